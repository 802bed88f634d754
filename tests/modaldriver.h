#ifndef MODALDRIVER_H
#define MODALDRIVER_H

// Drives the modal dialogs of a test from inside their own event loops, as a
// user would: the next modal widget is handed to an action; message boxes are
// recorded, and closed with OK after a while when the test says so; any other
// modal widget, or a box nobody closes, is closed by a watchdog 5 s after it
// appeared and reported as stuck, so a stuck dialog fails instead of hanging.

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QMessageBox;

namespace testkit {

struct Warning
{
    QString title;
    QString text;
    qint64 shownAtMs;   // since the driver was made
};

class ModalDriver : public QObject
{
public:
    explicit ModalDriver(QObject *parent = nullptr);

    // The next modal widget that appears goes to act (a message box too).
    void onNextModal(std::function<void(QWidget *)> act);
    bool acted() const { return actDone; }   // the action for the last onNextModal ran

    // Message boxes are pressed OK holdMs after they became the active modal
    // widget; a negative hold leaves them to the watchdog.
    void closeWarningsAfter(int holdMs) { warningHold = holdMs; }
    const QList<Warning> &warnings() const { return seenWarnings; }
    int warningCount() const { return seenWarnings.size(); }
    int warningsOpen() const;   // message boxes visible now
    QString describeWarnings() const;

    // Descriptions of the dialogs the watchdog had to close; cleared by reset().
    QStringList stuck() const { return stuckDialogs; }
    void reset();

private:
    void poll();
    void noteWarnings();

    QTimer pollTimer;
    QElapsedTimer clock;
    std::function<void(QWidget *)> pending;
    bool actDone = false;
    QPointer<QWidget> seen;   // the active modal widget; cleared when destroyed
    qint64 seenSince = 0;
    int warningHold = -1;
    QList<QPointer<QMessageBox>> countedBoxes;   // recorded and still alive
    QList<Warning> seenWarnings;
    QStringList stuckDialogs;
};

} // namespace testkit

#endif // MODALDRIVER_H
