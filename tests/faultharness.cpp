#include "faultharness.h"

#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fault {

int livenessLimitMs()
{
#if defined(__SANITIZE_ADDRESS__)
    return 250;
#else
    return 100;
#endif
}

// ---------------------------------------------------------------- probe

namespace {
constexpr int ProbePeriodMs = 20;
}

LivenessProbe::LivenessProbe()
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] { fire(); });
    clock.start();
    due = ProbePeriodMs;
    timer.start(ProbePeriodMs);
}

void LivenessProbe::restart()
{
    worst = 0;
    count = 0;
    due = clock.elapsed() + ProbePeriodMs;
    timer.start(ProbePeriodMs);
}

void LivenessProbe::fire()
{
    const qint64 now = clock.elapsed();
    worst = qMax(worst, now - due);
    ++count;
    due = now + ProbePeriodMs;
    timer.start(ProbePeriodMs);
}

// ---------------------------------------------------------------- warnings

namespace {
// Boxes already counted and still alive. A box that has been destroyed drops
// out by itself, so a new box at a reused address counts again.
QList<QPointer<QMessageBox>> countedBoxes;

bool counted(QMessageBox *box)
{
    for (const auto &p : qAsConst(countedBoxes))
        if (p == box)
            return true;
    return false;
}
} // namespace

WarningWatcher::WarningWatcher(int holdMs) : hold(holdMs)
{
    clock.start();
    connect(&timer, &QTimer::timeout, this, [this] { poll(); });
    timer.start(10);
}

void WarningWatcher::poll()
{
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box || !box->isVisible() || counted(box))
            continue;
        countedBoxes.append(box);
        seen.append({box->windowTitle(), box->text(), clock.elapsed()});
        if (!current) {
            current = box;
            currentSince = clock.elapsed();
        }
    }
    QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(current);
    if (!box || !box->isVisible()) {
        current = nullptr;
        return;
    }
    if (clock.elapsed() - currentSince >= hold) {
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
        current = nullptr;
    }
}

QString WarningWatcher::describe() const
{
    QStringList parts;
    for (const Warning &w : seen)
        parts << QStringLiteral("[%1 ms] %2: %3").arg(w.shownAtMs).arg(w.title, w.text);
    return QStringLiteral("%1 warning(s) %2").arg(seen.size()).arg(parts.join(QStringLiteral("; ")));
}

// ---------------------------------------------------------------- window

ViewSession::ViewSession(const ViewSetup &setup, int warningHoldMs) : warnings(warningHoldMs)
{
    {
        QSettings settings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));
        settings.clear();
        settings.setValue(QStringLiteral("sktype"), setup.startMode);
        settings.setValue(QStringLiteral("linecnt"), setup.lineCount);
        settings.setValue(QStringLiteral("codec"), setup.codec);
        settings.setValue(QStringLiteral("linemax"), setup.maxLineChars);
        settings.setValue(QStringLiteral("chmode"), setup.extract);
        settings.sync();
    }
    win = std::make_unique<MainWindow>();
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(setup.highlight);
    if (setup.startMode == 2)
        win->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox"))->setValue(setup.percent);
    win->findChild<QComboBox *>(QStringLiteral("comboBox_3"))->setCurrentIndex(setup.follow ? 1 : 0);
    win->show();
    if (!QTest::qWaitForWindowExposed(win.get()))
        qWarning("the window was never exposed");
    QCoreApplication::processEvents();
    probe.restart();
    QObject::connect(view(), &QTextEdit::textChanged, win.get(), [this] {
        const QString now = text();
        if (shown.isEmpty() || shown.last() != now)
            shown << now;
    });
}

ViewSession::~ViewSession() = default;

void ViewSession::open(const QString &path)
{
    win->openFile(path);
}

QTextEdit *ViewSession::view() const
{
    return win->findChild<QTextEdit *>(QStringLiteral("textEdit"));
}

QString ViewSession::text() const
{
    return view()->toPlainText();
}

void ViewSession::clickRefresh()
{
    win->findChild<QPushButton *>(QStringLiteral("pushButton_4"))->click();
}

void ViewSession::setHighlight(const QString &text)
{
    win->findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(text);
}

bool ViewSession::waitForText(const QString &expected, int timeoutMs)
{
    return QTest::qWaitFor([&] { return text() == expected; }, timeoutMs);
}

bool ViewSession::waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

// ---------------------------------------------------------------- writer

FileScript::FileScript(std::vector<Step> steps)
{
    worker = std::thread([this, steps = std::move(steps)] {
        for (const Step &step : steps) {
            for (int waited = 0; waited < step.delayMs && !stop; waited += 2)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (stop)
                break;
            step.action();
        }
        done = true;
    });
}

FileScript::~FileScript()
{
    stop = true;
    worker.join();
}

namespace {

void writeAll(int fd, const QByteArray &bytes, const QString &path)
{
    qint64 at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            std::perror(QFile::encodeName(path).constData());
            break;
        }
        at += n;
    }
}

void writeWithFlags(const QString &path, const QByteArray &bytes, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | flags, 0644);
    if (fd < 0) {
        std::perror(QFile::encodeName(path).constData());
        return;
    }
    writeAll(fd, bytes, path);
    ::close(fd);
}

} // namespace

void writeFile(const QString &path, const QByteArray &bytes)
{
    writeWithFlags(path, bytes, O_TRUNC);
}

void appendFile(const QString &path, const QByteArray &bytes)
{
    writeWithFlags(path, bytes, O_APPEND);
}

void truncateFile(const QString &path, qint64 size)
{
    if (::truncate(QFile::encodeName(path).constData(), off_t(size)) != 0)
        std::perror("truncate");
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void removePath(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    if (::lstat(name.constData(), &info) != 0)
        return;
    if ((S_ISDIR(info.st_mode) ? ::rmdir(name.constData()) : ::unlink(name.constData())) != 0)
        std::perror(name.constData());
}

void renamePath(const QString &from, const QString &to)
{
    if (::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        std::perror("rename");
}

// ---------------------------------------------------------------- expectations

QString newestWindow(const QByteArray &utf8, int lineCount)
{
    if (utf8.isEmpty())
        return QString();
    const QStringList pieces = QString::fromUtf8(utf8.constData(), utf8.size()).split(QLatin1Char('\n'));
    QString window;
    for (int i = qMax(0, pieces.size() - lineCount - 1); i < pieces.size(); ++i)
        window += pieces.at(i) + QLatin1Char('\n');
    return window;
}

QByteArray numberedLines(const char *prefix, int first, int last)
{
    QByteArray bytes;
    for (int i = first; i <= last; ++i)
        bytes += QByteArray(prefix) + ' ' + QByteArray::number(i) + '\n';
    return bytes;
}

QStringList viewLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace fault
