#ifndef FAULTHARNESS_H
#define FAULTHARNESS_H

// Shared pieces of the fault suites: a real MainWindow following a file, a
// probe that proves the event loop keeps turning, and a writer thread that
// changes the file while the window follows it. The files and the dialogs are
// the shared test kit's (testfiles.h, modaldriver.h).

#include "linewindowreader.h"
#include "modaldriver.h"
#include "testfiles.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

class MainWindow;
class QTextEdit;

namespace fault {

// How late a timer may fire. 100 ms is what the window must manage; a build
// with AddressSanitizer and UndefinedBehaviorSanitizer runs the same code two
// to three times slower, so such a build is given 250 ms.
int livenessLimitMs();

// A timer due every 20 ms that measures how late each firing comes. Any
// reload, warning or scan that holds up the GUI thread shows as lateness;
// time the thread spent waiting for a CPU that other processes held does not.
class LivenessProbe : public QObject
{
public:
    LivenessProbe();
    // Forgets what was measured so far (the window's construction and first paint).
    void restart();
    qint64 worstLatenessMs() const { return worst; }
    int firings() const { return count; }

private:
    void fire();
    QTimer timer;
    QElapsedTimer clock;
    qint64 due = 0;
    qint64 waitedBefore = 0;
    qint64 worst = 0;
    int count = 0;
};

// What the window is set to before the file is opened.
struct ViewSetup
{
    int startMode = WindowRequest::NewestMode;
    int lineCount = 5;
    double percent = 0.0;
    bool follow = true;         // frequency box at 0.5 s
    QString codec;              // "", "SJIS", "UTF-8", "EUC-JP"
    qint64 maxLineChars = 1000;
    QString highlight;
    bool extract = false;
};

// A real MainWindow, shown on the offscreen platform, with its settings
// prepared in the (temporary) settings folder, a probe, and a modal driver
// that presses OK on each read warning after warningHoldMs.
class ViewSession
{
public:
    explicit ViewSession(const ViewSetup &setup, int warningHoldMs = 300);
    ~ViewSession();

    void open(const QString &path);
    MainWindow *window() const { return win.get(); }
    QTextEdit *view() const;
    QString text() const;
    // The status line's read failure in sight, or an empty text.
    QString failureShown() const;
    void clickRefresh();
    void setHighlight(const QString &text);
    // Waits, turning the event loop, until the view text equals expected.
    bool waitForText(const QString &expected, int timeoutMs = 5000);
    bool waitFor(const std::function<bool()> &condition, int timeoutMs = 5000);
    // Every distinct text the view has shown, in order.
    const QStringList &history() const { return shown; }

    LivenessProbe probe;
    testkit::ModalDriver dialogs;

private:
    std::unique_ptr<MainWindow> win;
    QStringList shown;
};

// Runs steps in a thread of its own: each waits delayMs, then acts.
class FileScript
{
public:
    struct Step
    {
        int delayMs;
        std::function<void()> action;
    };
    explicit FileScript(std::vector<Step> steps);
    ~FileScript();
    bool finished() const { return done.load(); }

private:
    std::atomic<bool> done{false};
    std::atomic<bool> stop{false};
    std::thread worker;
};

// The newest-mode window of an LF text whose lines are all shorter than the
// per-line limit and hold no carriage return: the last N + 1 pieces between
// line feeds (the piece after the final line feed included, empty or not),
// each followed by a line feed; nothing for an empty file.
QString newestWindow(const QByteArray &utf8, int lineCount);
// The lines of a view text (the text ends with a line feed).
QStringList viewLines(const QString &text);

} // namespace fault

// Lets one more auto-update period pass under the probe, then fails the
// current test unless the probe's worst lateness is within its limit.
#define FAULT_CHECK_RESPONSIVE(session)                                                   \
    do {                                                                                  \
        QTest::qWait(600);                                                                \
        const qint64 late_ = (session).probe.worstLatenessMs();                           \
        QVERIFY2((session).probe.firings() > 0, "the liveness timer never fired");       \
        QVERIFY2(late_ <= fault::livenessLimitMs(),                                       \
                 qPrintable(QStringLiteral("the event loop stalled: a timer fired %1 ms " \
                                           "late (limit %2 ms)")                           \
                                .arg(late_)                                               \
                                .arg(fault::livenessLimitMs())));                        \
    } while (0)

#endif // FAULTHARNESS_H
