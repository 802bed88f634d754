#ifndef WINDOWHARNESS_H
#define WINDOWHARNESS_H

// Shared by the window tests: a settings store in a temporary folder, the
// window's controls by object name, a fresh window for each test function,
// and the marks found in the view. The files and the dialogs are the shared
// test kit's (testfiles.h, modaldriver.h).

#include "modaldriver.h"
#include "testfiles.h"

#include <QColor>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class MainWindow;
class QAction;
class QComboBox;
class QDockWidget;
class QDoubleSpinBox;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTextEdit;

namespace harness {

// Names the application as main() does and points every settings store at
// folder, so no test can touch the user's own. Call from initTestCase.
void prepareApplication(const QString &folder);

// Empties the store "VARNOK"/"Tailpeek"; the path of its file.
void clearSettings();
QString settingsFile();

struct Controls
{
    explicit Controls(MainWindow *window);

    QComboBox *startMode;     // comboBox_2
    QDoubleSpinBox *percent;  // doubleSpinBox
    QComboBox *step;          // comboBox
    QSpinBox *lineCount;      // spinBox
    QComboBox *frequency;     // comboBox_3
    QLineEdit *highlight;     // lineEdit
    QTextEdit *view;          // textEdit
    QPushButton *track;       // pushButton_2, "track newest"
    QPushButton *copy;        // pushButton_3
    QPushButton *update;      // pushButton_4
    QDockWidget *dock;        // dockWidget_2
    MainWindow *window;

    QAction *action(const char *objectName) const;
    bool complete() const;   // every widget above was found
    QString text() const;    // the view's plain text
};

// One window a test function, on the default settings, with a driver that
// answers its dialogs; the settings and the test's files live in temporary
// folders as long as the fixture.
class WindowFixture
{
public:
    // From initTestCase: whether the folders exist; points the settings there.
    ~WindowFixture();
    bool prepare();
    // From init: forgets the settings and makes the driver, the window (shown
    // and exposed when show) and its controls; whether every control was found.
    bool openWindow(bool show = false);
    // From cleanup: closes the window; the dialogs it left open.
    QStringList closeWindow();
    // A path in the files folder.
    QString filePath(const QString &name) const { return filesDir.filePath(name); }

    std::unique_ptr<testkit::ModalDriver> driver;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controls> controls;

private:
    QTemporaryDir settingsDir;
    QTemporaryDir filesDir;
};

// Characters of the view whose background is colour.
int charsWithBackground(QTextEdit *view, const QColor &colour);
// Foreground of the character at position (the view's text colour when unset).
QColor foregroundAt(QTextEdit *view, int position);

} // namespace harness

#endif // WINDOWHARNESS_H
