#include "windowharness.h"

#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QDialog>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

namespace harness {

namespace {
const int watchdogMs = 5000;
}

void prepareApplication(const QString &folder)
{
    QCoreApplication::setApplicationName(QStringLiteral("Tailpeek"));
    QCoreApplication::setOrganizationName(QStringLiteral("VARNOK"));
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
    QApplication::setQuitOnLastWindowClosed(false);
}

void clearSettings()
{
    QSettings settings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));
    settings.clear();
    settings.sync();
}

QString settingsFile()
{
    return QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek")).fileName();
}

template <typename T> T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

Controls::Controls(MainWindow *w)
    : startMode(child<QComboBox>(w, "comboBox_2")),
      percent(child<QDoubleSpinBox>(w, "doubleSpinBox")),
      step(child<QComboBox>(w, "comboBox")),
      lineCount(child<QSpinBox>(w, "spinBox")),
      frequency(child<QComboBox>(w, "comboBox_3")),
      highlight(child<QLineEdit>(w, "lineEdit")),
      view(child<QTextEdit>(w, "textEdit")),
      track(child<QPushButton>(w, "pushButton_2")),
      copy(child<QPushButton>(w, "pushButton_3")),
      update(child<QPushButton>(w, "pushButton_4")),
      dock(child<QDockWidget>(w, "dockWidget_2")),
      window(w)
{
}

QAction *Controls::action(const char *objectName) const
{
    return child<QAction>(window, objectName);
}

bool Controls::complete() const
{
    return startMode && percent && step && lineCount && frequency && highlight && view && track
           && copy && update && dock;
}

QString Controls::text() const
{
    return view->toPlainText();
}

static bool putFile(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    return putFile(path, bytes, QIODevice::WriteOnly | QIODevice::Truncate);
}

bool appendFile(const QString &path, const QByteArray &bytes)
{
    return putFile(path, bytes, QIODevice::WriteOnly | QIODevice::Append);
}

int charsWithBackground(QTextEdit *view, const QColor &colour)
{
    int count = 0;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QBrush brush = fragment.charFormat().background();
            if (brush.style() != Qt::NoBrush && brush.color() == colour)
                count += fragment.length();
        }
    }
    return count;
}

QColor foregroundAt(QTextEdit *view, int position)
{
    QTextCursor cursor(view->document());
    cursor.setPosition(position);
    cursor.setPosition(position + 1, QTextCursor::KeepAnchor);
    return cursor.charFormat().foreground().color();
}

ModalDriver::ModalDriver(QObject *parent) : QObject(parent)
{
    pollTimer.setInterval(20);
    connect(&pollTimer, &QTimer::timeout, this, &ModalDriver::poll);
    pollTimer.start();
}

void ModalDriver::onNextModal(std::function<void(QWidget *)> act)
{
    pending = std::move(act);
    actDone = false;
}

void ModalDriver::reset()
{
    pending = nullptr;
    actDone = false;
    stuckDialogs.clear();
}

void ModalDriver::poll()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) {
        seen = nullptr;
        return;
    }
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (modal != seen) {
        seen = modal;
        seenSince = now;
        if (pending) {
            auto act = std::move(pending);
            pending = nullptr;
            actDone = true;
            act(modal);
            return;
        }
    }
    if (now - seenSince < watchdogMs)
        return;
    stuckDialogs << QStringLiteral("%1 \"%2\"").arg(QLatin1String(modal->metaObject()->className()),
                                                    modal->windowTitle());
    seen = nullptr;
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace harness
