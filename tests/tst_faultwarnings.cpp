// The read warnings over a long session: seeded random sequences of deleting,
// recreating, rotating, truncating and growing the followed file, pressing
// 更新, leaving a warning open, and opening other modal dialogs while a
// file is missing (also from inside a refresh warning's own loop). After every
// step: a refresh on a missing file warned; a timer failure showed no box, only
// the status line's reason; never two warnings at once; after a refresh on a
// missing file the view shows none of its lines; a file that is back is shown.
//
// TAILPEEK_WARNING_SEEDS and TAILPEEK_WARNING_STEPS run more and longer
// sequences than the default.

#include "faultharness.h"

#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace fault;
using namespace testkit;

namespace {

enum Op { Delete, Recreate, Rotate, Truncate, Grow, Refresh, HoldWarning, DialogWhileDue, OpCount };
const char *const opNames[] = {"delete", "recreate", "rotate", "truncate", "grow",
                               "refresh", "hold the warning", "dialog while the file is missing"};

const int shortHoldMs = 150;   // how long a warning stays open as a rule
const int longHoldMs = 1500;   // three timer periods
const int quietMs = 800;       // after a timer failure: no box may follow

int fromEnvironment(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

class FaultWarnings : public QObject
{
    Q_OBJECT

private slots:
    void randomSequences_data();
    void randomSequences();

private:
    // Runs one step; false (with why) when an invariant broke.
    bool step(Op op, QString *why);
    bool present() const { return QFile::exists(log); }
    // New numbered content of another size, or of the same size as the current.
    QByteArray freshContent(bool sameSize);
    bool showsContent(QString *why);
    bool failsQuietly(int before, QString *why);
    // Triggers action; the dialog it opens is cancelled once until() holds
    // and it is on top again, at least 300 ms after it opened.
    void openDialogFor(const char *action, std::function<bool()> until);

    QTemporaryDir dir;
    QString log;
    ViewSession *session = nullptr;
    QRandomGenerator random;
    QByteArray content;
    int generation = 10;           // numbers the contents written
    int expected = 0;              // warnings that should have come so far
    bool refreshedMissing = false; // the user pressed 更新 since the file went away
    int mostOpen = 0;              // most warnings open at once
};

void FaultWarnings::randomSequences_data()
{
    QTest::addColumn<quint32>("seed");
    const int seeds = fromEnvironment("TAILPEEK_WARNING_SEEDS", 4);
    for (int i = 1; i <= seeds; ++i)
        QTest::newRow(qPrintable(QStringLiteral("seed %1").arg(i))) << quint32(i);
}

void FaultWarnings::randomSequences()
{
    QFETCH(quint32, seed);
    const int steps = fromEnvironment("TAILPEEK_WARNING_STEPS", 10);
    random.seed(seed);
    log = dir.filePath(QStringLiteral("stress-%1.log").arg(seed));
    content = numberedLines("g10", 1, 8);
    QVERIFY(writeFile(log, content));
    ViewSession window(ViewSetup{}, shortHoldMs);
    session = &window;
    expected = 0;
    refreshedMissing = false;
    mostOpen = 0;
    QTimer observer;   // fires inside every nested loop too
    connect(&observer, &QTimer::timeout, this,
            [&] { mostOpen = qMax(mostOpen, window.dialogs.warningsOpen()); });
    observer.start(5);
    window.open(log);
    QVERIFY(window.waitForText(newestWindow(content, 5)));

    QStringList done;
    for (int i = 1; i <= steps; ++i) {
        const Op op = Op(random.bounded(int(OpCount)));
        done << QLatin1String(opNames[op]);
        QString why;
        const bool kept = step(op, &why);
        if (kept && mostOpen > 1)
            why = QStringLiteral("%1 warnings were open at once").arg(mostOpen);
        else if (kept && window.dialogs.warningCount() != expected)
            why = QStringLiteral("%1 warnings, expected %2").arg(window.dialogs.warningCount()).arg(expected);
        else if (kept && refreshedMissing && !window.text().isEmpty())
            why = QStringLiteral("the view shows lines of the deleted file after 更新");
        QVERIFY2(why.isEmpty(),
                 qPrintable(QStringLiteral("seed %1, step %2 (%3): %4\n  steps: %5\n  %6")
                                .arg(seed).arg(i).arg(done.last(), why, done.join(QLatin1String(", ")),
                                                      window.dialogs.describeWarnings())));
    }
    QVERIFY2(window.dialogs.stuck().isEmpty(), qPrintable(window.dialogs.stuck().join(", ")));
    session = nullptr;
}

bool FaultWarnings::step(Op op, QString *why)
{
    const bool was = present();
    const int before = session->dialogs.warningCount();
    switch (op) {
    case Delete:
        if (!was)
            return true;
        removePath(log);
        return failsQuietly(before, why);
    case Recreate:
        // Gone for a while, it may come back at its old size; replaced at
        // once, it has another (the timer compares sizes only).
        if (was)
            removePath(log);
        writeFile(log, freshContent(!was && random.bounded(2) == 0));
        return showsContent(why);
    case Rotate:
        if (!was)
            return true;
        removePath(log + QStringLiteral(".1"));
        renamePath(log, log + QStringLiteral(".1"));
        writeFile(log, freshContent(false));
        return showsContent(why);
    case Truncate:
        if (!was)
            return true;
        content.truncate(content.indexOf('\n', content.size() / 2 - 1) + 1);
        truncateFile(log, content.size());
        return showsContent(why);
    case Grow: {
        if (!was)
            return true;
        const QByteArray more = numberedLines(qPrintable(QStringLiteral("g%1").arg(++generation)), 1, 2);
        content += more;
        appendFile(log, more);
        return showsContent(why);
    }
    case Refresh:
    case HoldWarning:
        if (op == HoldWarning)
            session->dialogs.closeWarningsAfter(longHoldMs);
        session->clickRefresh();
        session->dialogs.closeWarningsAfter(shortHoldMs);
        if (was)
            return session->dialogs.warningCount() == before || (*why = "a refresh of a readable file warned", false);
        refreshedMissing = true;
        ++expected;
        return session->dialogs.warningCount() == before + 1
               || (*why = "a refresh of the missing file did not warn", false);
    case DialogWhileDue: {
        if (was)
            removePath(log);   // the timer's failure is due now
        const int kind = random.bounded(3);
        if (kind == 2) {
            // From inside a refresh warning's own loop: a colour dialog, and
            // the refresh after it on the missing file, which opens no second box.
            session->dialogs.closeWarningsAfter(longHoldMs);
            session->dialogs.onNextModal([this](QWidget *box) {
                QTimer::singleShot(100, box, [this] { openDialogFor("action_4", [] { return true; }); });
            });
            session->clickRefresh();
            session->dialogs.closeWarningsAfter(shortHoldMs);
            refreshedMissing = true;
            ++expected;
            return session->dialogs.warningCount() == before + 1
                   || (*why = "a refresh of the missing file did not warn once", false);
        }
        // The input dialog (no refresh of its own) or a colour dialog (refreshes),
        // open until the timer has found the file missing.
        openDialogFor(kind == 0 ? "action_6" : "action_4",
                      [this] { return !session->failureShown().isEmpty(); });
        if (!session->dialogs.acted())
            return (*why = "the dialog never opened", false);
        if (kind == 1) {   // its refresh on the missing file
            refreshedMissing = true;
            ++expected;
        }
        QTest::qWait(quietMs);
        return true;
    }
    case OpCount:
        break;
    }
    return true;
}

void FaultWarnings::openDialogFor(const char *action, std::function<bool()> until)
{
    session->dialogs.onNextModal([until](QWidget *modal) {
        auto *poll = new QTimer(modal);   // runs in the dialog's loop and those above it
        connect(poll, &QTimer::timeout, modal, [modal, until] {
            if (until() && QApplication::activeModalWidget() == modal)
                static_cast<QDialog *>(modal)->reject();
        });
        poll->start(300);
    });
    session->window()->findChild<QAction *>(QLatin1String(action))->trigger();
}

QByteArray FaultWarnings::freshContent(bool sameSize)
{
    if (sameSize) {   // every line changed, not the byte count: "g" <-> "G"
        for (char &c : content)
            c = c == 'g' ? 'G' : c == 'G' ? 'g' : c;
        return content;
    }
    const int now = content.count('\n');
    const int lines = 3 + (now - 2 + random.bounded(7)) % 8;   // 3 .. 10, not now
    content = numberedLines(qPrintable(QStringLiteral("g%1").arg(++generation)), 1, lines);
    return content;
}

bool FaultWarnings::showsContent(QString *why)
{
    refreshedMissing = false;
    if (session->waitForText(newestWindow(content, 5), 3000))
        return true;
    *why = QStringLiteral("the view does not show the file as it is now, but:\n%1").arg(session->text());
    return false;
}

bool FaultWarnings::failsQuietly(int before, QString *why)
{
    // The timer finds the file missing within a period and says so in the
    // status line; it opens no box while it keeps failing.
    if (!session->waitFor([&] { return !session->failureShown().isEmpty(); }, 2000)) {
        *why = QStringLiteral("the timer found the file missing and the status line did not say so");
        return false;
    }
    QTest::qWait(quietMs);
    return session->dialogs.warningCount() == before || (*why = "a timer failure opened a box", false);
}

QTEST_MAIN(FaultWarnings)
#include "tst_faultwarnings.moc"
