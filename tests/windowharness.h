#ifndef WINDOWHARNESS_H
#define WINDOWHARNESS_H

// Shared by the window tests: a settings store in a temporary folder, the
// window's controls by object name, and the marks found in the view. The
// files and the dialogs are the shared test kit's (testfiles.h, modaldriver.h).

#include "modaldriver.h"
#include "testfiles.h"

#include <QColor>
#include <QString>

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

// Characters of the view whose background is colour.
int charsWithBackground(QTextEdit *view, const QColor &colour);
// Foreground of the character at position (the view's text colour when unset).
QColor foregroundAt(QTextEdit *view, int position);

} // namespace harness

#endif // WINDOWHARNESS_H
