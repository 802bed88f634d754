#include "windowharness.h"

#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTextBlock>
#include <QTextDocument>
#include <QTest>
#include <QTextEdit>

namespace harness {

WindowFixture::~WindowFixture() = default;

bool WindowFixture::prepare()
{
    if (!settingsDir.isValid() || !filesDir.isValid())
        return false;
    prepareApplication(settingsDir.path());
    return true;
}

bool WindowFixture::openWindow(bool show)
{
    clearSettings();
    driver = std::make_unique<testkit::ModalDriver>();
    window = std::make_unique<MainWindow>();
    controls = std::make_unique<Controls>(window.get());
    if (show) {
        window->show();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return false;
    }
    return controls->complete();
}

QStringList WindowFixture::closeWindow()
{
    controls.reset();
    window.reset();
    const QStringList stuck = driver ? driver->stuck() : QStringList();
    driver.reset();
    return stuck;
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

} // namespace harness
