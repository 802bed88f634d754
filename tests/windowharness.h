#ifndef WINDOWHARNESS_H
#define WINDOWHARNESS_H

// Shared by the window tests: a settings store in a temporary folder, the
// window's controls by object name, files to view, modal dialogs driven from
// the event loop with a watchdog, and the marks found in the view.

#include <QByteArray>
#include <QColor>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

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

// Replaces or extends a file's content; false when it cannot be written.
bool writeFile(const QString &path, const QByteArray &bytes);
bool appendFile(const QString &path, const QByteArray &bytes);

// Characters of the view whose background is colour.
int charsWithBackground(QTextEdit *view, const QColor &colour);
// Foreground of the character at position (the view's text colour when unset).
QColor foregroundAt(QTextEdit *view, int position);

// Hands the next modal widget to an action, from inside the dialog's own event
// loop. A modal widget that nobody expects, or one still open 5 s after it
// appeared, is closed and recorded, so a stuck dialog fails instead of hanging.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(QObject *parent = nullptr);

    void onNextModal(std::function<void(QWidget *)> act);
    bool acted() const { return actDone; }   // the action for the last onNextModal ran
    // Descriptions of the dialogs the watchdog had to close; cleared by reset().
    QStringList stuck() const { return stuckDialogs; }
    void reset();

private:
    void poll();

    QTimer pollTimer;
    std::function<void(QWidget *)> pending;
    bool actDone = false;
    QPointer<QWidget> seen;   // cleared when that widget is destroyed
    qint64 seenSince = 0;
    QStringList stuckDialogs;
};

} // namespace harness

#endif // WINDOWHARNESS_H
