// A file whose reads fail with an I/O error (a failing disk, a stale network
// handle) while the window shows it: the failed reload is reported as a failed
// open is (a refresh warns, a timer reload says why in the status line), and
// the view keeps what it showed. The errors come from tests/failingpread.cpp, loaded by CTest.

#include "faultharness.h"
#include "preadswitch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>


using namespace fault;
using namespace testkit;

class FaultIoError : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path;
    PreadSwitch preads;

    void arm() { QVERIFY(preads.arm(path, "EIO 0")); }
    void disarm() { QVERIFY(preads.disarm()); }
    QString warningText() const
    {
        return QStringLiteral("Cannot read file %1:\nInput/output error.").arg(path);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(PreadSwitch::shimLoaded(),
                 "tests/failingpread.cpp is not loaded: run this test through ctest");
        QVERIFY(dir.isValid());
        preads.placeIn(dir.path());
    }
    void init()
    {
        path = dir.filePath(QString::fromLatin1(QTest::currentTestFunction()) + QLatin1String(".log"));
        writeFile(path, "one\ntwo\n");
    }
    void cleanup() { preads.disarm(); }

    void refreshWarnsAndKeepsTheView();
    void timerFailsQuietlyAndRereadsOnceReadsWork();
};

void FaultIoError::refreshWarnsAndKeepsTheView()
{
    ViewSetup setup;
    setup.follow = false;
    ViewSession session(setup);
    session.open(path);
    QCOMPARE(session.text(), QStringLiteral("one\ntwo\n\n"));

    arm();
    appendFile(path, "three\n");
    session.clickRefresh();
    QVERIFY(session.waitFor([&] { return session.dialogs.warningCount() == 1; }));
    QCOMPARE(session.dialogs.warnings().first().title, QStringLiteral("Tailpeek"));
    QCOMPARE(session.dialogs.warnings().first().text, warningText());
    QCOMPARE(session.text(), QStringLiteral("one\ntwo\n\n"));
    QVERIFY(session.waitFor([&] { return !(session.dialogs.warningsOpen() > 0); }));
    session.clickRefresh();   // a refresh the user asks for always warns
    QVERIFY(session.waitFor([&] { return session.dialogs.warningCount() == 2; }));

    disarm();
    session.clickRefresh();
    QCOMPARE(session.text(), QStringLiteral("one\ntwo\nthree\n\n"));
    QCOMPARE(session.dialogs.warningCount(), 2);
}

void FaultIoError::timerFailsQuietlyAndRereadsOnceReadsWork()
{
    ViewSession session(ViewSetup{});   // newest mode, timer every 0.5 s
    session.open(path);
    QCOMPARE(session.text(), QStringLiteral("one\ntwo\n\n"));

    arm();
    appendFile(path, "three\n");   // a new size: every timer reload reads, and fails
    QVERIFY(session.waitFor([&] { return session.failureShown().endsWith(QLatin1String("Input/output error")); }));
    QTest::qWait(2000);   // four more timer reloads fail, with no box
    QCOMPARE(session.dialogs.warningCount(), 0);
    QCOMPARE(session.text(), QStringLiteral("one\ntwo\n\n"));

    // The failed reloads kept the size they had seen, so the first timer
    // reload that reads again shows the grown file.
    disarm();
    QVERIFY(session.waitForText(QStringLiteral("one\ntwo\nthree\n\n")));
    QCOMPARE(session.failureShown(), QString());

    // A read worked: the next failure is noted again.
    arm();
    appendFile(path, "four\n");
    QVERIFY(session.waitFor([&] { return !session.failureShown().isEmpty(); }));
    QCOMPARE(session.text(), QStringLiteral("one\ntwo\nthree\n\n"));
    QCOMPARE(session.dialogs.warningCount(), 0);
}

QTEST_MAIN(FaultIoError)
#include "tst_faultioerror.moc"
