#include "faultharness.h"

#include "mainwindow.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

#include <chrono>

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

// How long this thread has waited, runnable, for a CPU that other processes
// held (the kernel's scheduler statistics; 0 where they are not kept). On a
// loaded machine that wait is not the window's doing, so it is not lateness.
qint64 runQueueWaitMs()
{
    QFile stats(QStringLiteral("/proc/thread-self/schedstat"));
    if (!stats.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stats.readAll().simplified().split(' ');
    return fields.size() >= 2 ? fields.at(1).toLongLong() / 1000000 : 0;
}
}

LivenessProbe::LivenessProbe()
{
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, [this] { fire(); });
    clock.start();
    due = ProbePeriodMs;
    waitedBefore = runQueueWaitMs();
    timer.start(ProbePeriodMs);
}

void LivenessProbe::restart()
{
    worst = 0;
    count = 0;
    due = clock.elapsed() + ProbePeriodMs;
    waitedBefore = runQueueWaitMs();
    timer.start(ProbePeriodMs);
}

void LivenessProbe::fire()
{
    const qint64 now = clock.elapsed();
    const qint64 waited = runQueueWaitMs();
    worst = qMax(worst, now - due - (waited - waitedBefore));
    ++count;
    due = now + ProbePeriodMs;
    waitedBefore = waited;
    timer.start(ProbePeriodMs);
}

// ---------------------------------------------------------------- window

ViewSession::ViewSession(const ViewSetup &setup, int warningHoldMs)
{
    dialogs.closeWarningsAfter(warningHoldMs);
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
    if (setup.startMode == WindowRequest::PercentMode)
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

QString ViewSession::failureShown() const
{
    const auto *failure = win->findChild<QLabel *>(QStringLiteral("statusFailure"));
    return failure && failure->isVisible() ? failure->text() : QString();
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

QStringList viewLines(const QString &text)
{
    QStringList lines = text.split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace fault
