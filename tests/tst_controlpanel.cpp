// The control dock through a real window: for each user action the controls'
// values afterwards, whether the reload timer then runs, and how often the
// viewed file is opened (counted by inotify from outside the program). Then the
// timer itself: following a growing file, skipping an unchanged one, re-reading
// a shrunken one, and its interval for each frequency entry.

#include "fileaccesswatch.h"
#include "mainwindow.h"
#include "windowharness.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <memory>

using harness::Controls;

namespace {

enum Action { PickMode, PressTrack, SetPercent, SetLineCount, PickFrequency, PickStep, PressUpdate, PressEnter };
enum Mode { Header = WindowRequest::HeaderMode, Newest = WindowRequest::NewestMode, Percent = WindowRequest::PercentMode };   // start-mode entries
enum Frequency { Off, HalfSecond, OneSecond, FiveSeconds };   // frequency entries

// What the dock shows: start mode, percent position, frequency.
struct PanelState
{
    Mode mode;
    double percent;
    Frequency frequency;
};

// One user action with its argument (a mode, a frequency, a value or a step
// entry), the state it starts from and leaves, and the reads it costs.
struct Cascade
{
    Action action;
    double argument = 0.0;   // none for the two buttons
    PanelState from;
    PanelState to;
    int reads;
};

// Six numbered lines: every window of 20 lines in any mode reaches the end.
const QByteArray sixLines = "line 1\nline 2\nline 3\nline 4\nline 5\nline 6\n";

} // namespace

Q_DECLARE_METATYPE(Cascade)

class TestControlPanel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cascade_data();
    void cascade();
    void typingPercentSwitchesAtFirstInnerValue();
    void stepEntries_data();
    void stepEntries();
    void frequencyIntervals_data();
    void frequencyIntervals();
    void timerFollowsGrowingFile();
    void timerSkipsUnchangedFile();
    void timerSkipsSameSizeRewriteButUpdateReads();
    void timerRereadsShrunkenFile();
    void timerGoesOnWhileDialogIsOpen();

private:
    void openWindow();
    // Sets start mode, then percent position, then frequency, as a user would.
    void reachState(int mode, double percent, int frequency);
    // Whether the window follows the file growing within a few timer periods.
    bool followsGrowth(const QByteArray &line);

    QTemporaryDir settingsDir;
    QTemporaryDir filesDir;
    QString logPath;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controls> controls;
    std::unique_ptr<FileAccessWatch> watch;
};

void TestControlPanel::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    QVERIFY(filesDir.isValid());
    harness::prepareApplication(settingsDir.path());
    logPath = filesDir.filePath(QStringLiteral("panel.log"));
}

void TestControlPanel::init()
{
    harness::clearSettings();
    QVERIFY(testkit::writeFile(logPath, sixLines));
    watch.reset(new FileAccessWatch(logPath));
    QVERIFY(watch->isValid());
    openWindow();
}

void TestControlPanel::cleanup()
{
    controls.reset();
    window.reset();
    watch.reset();
}

void TestControlPanel::openWindow()
{
    window.reset(new MainWindow);
    controls.reset(new Controls(window.get()));
    QVERIFY(controls->complete());
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->openFile(logPath);
    QVERIFY(controls->text().contains(QLatin1String("line 6")));
}

void TestControlPanel::reachState(int mode, double percent, int frequency)
{
    controls->startMode->setCurrentIndex(mode);
    controls->percent->setValue(percent);
    controls->frequency->setCurrentIndex(frequency);
    QCOMPARE(controls->startMode->currentIndex(), mode);
    QCOMPARE(controls->percent->value(), percent);
    QCOMPARE(controls->frequency->currentIndex(), frequency);
}

bool TestControlPanel::followsGrowth(const QByteArray &line)
{
    if (!testkit::appendFile(logPath, line + '\n'))
        return false;
    const QString text = QString::fromLatin1(line);
    return QTest::qWaitFor([&] { return controls->text().contains(text); }, 3000);
}

void TestControlPanel::cascade_data()
{
    QTest::addColumn<Cascade>("cascade");
    const std::pair<const char *, Cascade> rows[] = {
        {"header from percent mode at 50",
         {.action = PickMode, .argument = Header, .from = {Percent, 50.0, Off}, .to = {Header, 0.0, Off}, .reads = 2}},
        {"header from newest, following",
         {.action = PickMode, .argument = Header, .from = {Newest, 100.0, HalfSecond}, .to = {Header, 0.0, Off}, .reads = 2}},
        {"header from percent mode at 0, timer on",
         {.action = PickMode, .argument = Header, .from = {Percent, 0.0, HalfSecond}, .to = {Header, 0.0, Off}, .reads = 1}},
        {"header from header at 100",
         {.action = PickMode, .argument = Header, .from = {Header, 100.0, Off}, .to = {Header, 100.0, Off}, .reads = 0}},
        {"newest from header",
         {.action = PickMode, .argument = Newest, .from = {Header, 0.0, Off}, .to = {Newest, 100.0, Off}, .reads = 2}},
        {"newest from percent mode, timer at 1 s",
         {.action = PickMode, .argument = Newest, .from = {Percent, 50.0, OneSecond}, .to = {Newest, 100.0, OneSecond}, .reads = 2}},
        {"newest from percent mode at 100",
         {.action = PickMode, .argument = Newest, .from = {Percent, 100.0, Off}, .to = {Newest, 100.0, Off}, .reads = 1}},
        {"percent from newest, following",
         {.action = PickMode, .argument = Percent, .from = {Newest, 100.0, HalfSecond}, .to = {Percent, 100.0, Off}, .reads = 1}},
        {"percent from header, timer at 5 s",
         {.action = PickMode, .argument = Percent, .from = {Header, 0.0, FiveSeconds}, .to = {Percent, 0.0, Off}, .reads = 1}},

        {"track from header, off",
         {.action = PressTrack, .from = {Header, 0.0, Off}, .to = {Newest, 100.0, HalfSecond}, .reads = 2}},
        {"track while already following",
         {.action = PressTrack, .from = {Newest, 100.0, HalfSecond}, .to = {Newest, 100.0, HalfSecond}, .reads = 0}},
        {"track in newest mode, off",
         {.action = PressTrack, .from = {Newest, 100.0, Off}, .to = {Newest, 100.0, HalfSecond}, .reads = 0}},
        {"track from percent mode at 100, 1 s",
         {.action = PressTrack, .from = {Percent, 100.0, OneSecond}, .to = {Newest, 100.0, HalfSecond}, .reads = 1}},
        {"track in newest mode at 0",
         {.action = PressTrack, .from = {Newest, 0.0, Off}, .to = {Newest, 0.0, HalfSecond}, .reads = 0}},

        {"percent inside, from header, timer on",
         {.action = SetPercent, .argument = 37.5, .from = {Header, 0.0, HalfSecond}, .to = {Percent, 37.5, Off}, .reads = 2}},
        {"percent inside, from newest, following",
         {.action = SetPercent, .argument = 37.5, .from = {Newest, 100.0, HalfSecond}, .to = {Percent, 37.5, Off}, .reads = 2}},
        {"percent inside, already percent mode, timer on",
         {.action = SetPercent, .argument = 0.00001, .from = {Percent, 50.0, HalfSecond}, .to = {Percent, 0.00001, HalfSecond}, .reads = 1}},
        {"percent to 100 in header mode",
         {.action = SetPercent, .argument = 100.0, .from = {Header, 0.0, Off}, .to = {Header, 100.0, Off}, .reads = 1}},
        {"percent to 0 in newest mode, following",
         {.action = SetPercent, .from = {Newest, 100.0, HalfSecond}, .to = {Newest, 0.0, HalfSecond}, .reads = 1}},
        {"percent to 0 in percent mode",
         {.action = SetPercent, .from = {Percent, 50.0, Off}, .to = {Percent, 0.0, Off}, .reads = 1}},
        {"percent to 100 in percent mode, timer on",
         {.action = SetPercent, .argument = 100.0, .from = {Percent, 50.0, HalfSecond}, .to = {Percent, 100.0, HalfSecond}, .reads = 1}},

        {"line count, following",
         {.action = SetLineCount, .argument = 30.0, .from = {Newest, 100.0, HalfSecond}, .to = {Newest, 100.0, HalfSecond}, .reads = 1}},
        {"line count, header mode",
         {.action = SetLineCount, .argument = 1.0, .from = {Header, 0.0, Off}, .to = {Header, 0.0, Off}, .reads = 1}},
        {"frequency on in percent mode",
         {.action = PickFrequency, .argument = HalfSecond, .from = {Percent, 50.0, Off}, .to = {Percent, 50.0, HalfSecond}, .reads = 0}},
        {"frequency off while following",
         {.action = PickFrequency, .argument = Off, .from = {Newest, 100.0, HalfSecond}, .to = {Newest, 100.0, Off}, .reads = 0}},
        {"frequency in header mode",
         {.action = PickFrequency, .argument = HalfSecond, .from = {Header, 0.0, Off}, .to = {Header, 0.0, HalfSecond}, .reads = 0}},
        {"step, following",
         {.action = PickStep, .argument = 6.0, .from = {Newest, 100.0, HalfSecond}, .to = {Newest, 100.0, HalfSecond}, .reads = 0}},
        {"update, following",
         {.action = PressUpdate, .from = {Newest, 100.0, HalfSecond}, .to = {Newest, 100.0, HalfSecond}, .reads = 1}},
        {"update, header mode",
         {.action = PressUpdate, .from = {Header, 0.0, Off}, .to = {Header, 0.0, Off}, .reads = 1}},
        // Enter in the highlight field does what the update button does; argument 1 is the keypad's Enter.
        {"Enter, following",
         {.action = PressEnter, .from = {Newest, 100.0, HalfSecond}, .to = {Newest, 100.0, HalfSecond}, .reads = 1}},
        {"Enter, header mode",
         {.action = PressEnter, .from = {Header, 0.0, Off}, .to = {Header, 0.0, Off}, .reads = 1}},
        {"keypad Enter, percent mode",
         {.action = PressEnter, .argument = 1.0, .from = {Percent, 50.0, Off}, .to = {Percent, 50.0, Off}, .reads = 1}},
    };
    for (const auto &[name, cascade] : rows)
        QTest::newRow(name) << cascade;
}

void TestControlPanel::cascade()
{
    QFETCH(Cascade, cascade);
    const double argument = cascade.argument;
    reachState(cascade.from.mode, cascade.from.percent, cascade.from.frequency);
    watch->take();

    switch (cascade.action) {
    case PickMode:
        controls->startMode->setCurrentIndex(int(argument));
        break;
    case PressTrack:
        QTest::mouseClick(controls->track, Qt::LeftButton);
        break;
    case SetPercent:
        controls->percent->setValue(argument);
        break;
    case SetLineCount:
        controls->lineCount->setValue(int(argument));
        break;
    case PickFrequency:
        controls->frequency->setCurrentIndex(int(argument));
        break;
    case PickStep:
        controls->step->setCurrentIndex(int(argument));
        break;
    case PressUpdate:
        QTest::mouseClick(controls->update, Qt::LeftButton);
        break;
    case PressEnter:
        controls->highlight->setFocus();
        QTest::keyClick(controls->highlight, argument == 0.0 ? Qt::Key_Return : Qt::Key_Enter,
                        argument == 0.0 ? Qt::NoModifier : Qt::KeypadModifier);
        break;
    }

    QCOMPARE(watch->takeOpens(), cascade.reads);
    QCOMPARE(controls->startMode->currentIndex(), int(cascade.to.mode));
    QCOMPARE(controls->percent->value(), cascade.to.percent);
    QCOMPARE(controls->frequency->currentIndex(), int(cascade.to.frequency));

    // The timer runs exactly when the frequency box is on an interval entry
    // (only 0.5 s and 1 s occur here): a running one reads the grown file.
    QVERIFY(testkit::appendFile(logPath, "grown\n"));
    watch->take();
    int accesses = 0;
    const bool read = QTest::qWaitFor([&] { return (accesses += watch->take().accesses) > 0; },
                                      cascade.to.frequency == Off ? 1300 : 3000);
    QCOMPARE(read, cascade.to.frequency != Off);
}

void TestControlPanel::typingPercentSwitchesAtFirstInnerValue()
{
    reachState(1, 100.0, 0);
    controls->percent->setFocus();
    controls->percent->selectAll();
    watch->take();
    QTest::keyClick(controls->percent, Qt::Key_5);
    // 5 lies strictly inside: the switch to percent mode refreshes, then the position.
    QCOMPARE(controls->startMode->currentIndex(), int(WindowRequest::PercentMode));
    QCOMPARE(controls->percent->value(), 5.0);
    QCOMPARE(watch->takeOpens(), 2);
    QTest::keyClick(controls->percent, Qt::Key_0);
    QCOMPARE(controls->percent->value(), 50.0);
    QCOMPARE(watch->takeOpens(), 1);
}

void TestControlPanel::stepEntries_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<double>("step");
    QTest::newRow("10") << 0 << 10.0;
    QTest::newRow("1") << 1 << 1.0;
    QTest::newRow("0.1") << 2 << 0.1;
    QTest::newRow("0.01") << 3 << 0.01;
    QTest::newRow("0.001") << 4 << 0.001;
    QTest::newRow("0.0001") << 5 << 0.0001;
    QTest::newRow("0.00001") << 6 << 0.00001;
}

void TestControlPanel::stepEntries()
{
    QFETCH(int, index);
    QFETCH(double, step);
    reachState(2, 50.0, 0);
    // Coming from another entry, so that every row changes the index.
    controls->step->setCurrentIndex(index == 3 ? 2 : 3);
    watch->take();
    controls->step->setCurrentIndex(index);
    QCOMPARE(controls->percent->singleStep(), step);
    QCOMPARE(watch->takeOpens(), 0);

    // The arrows move the position by that step; the five decimals show it.
    controls->percent->stepUp();
    QCOMPARE(controls->percent->value(), 50.0 + step);
    QCOMPARE(controls->percent->text(), QString::number(50.0 + step, 'f', 5));
    QCOMPARE(watch->takeOpens(), 1);
}

void TestControlPanel::frequencyIntervals_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("fewestOpens");
    QTest::addColumn<int>("mostOpens");
    // Timer reloads of an unchanged file in 2.6 s: each one opens it once.
    QTest::newRow("0.5 s") << 1 << 3 << 6;
    QTest::newRow("1 s") << 2 << 1 << 3;
    QTest::newRow("5 s") << 3 << 0 << 0;
    QTest::newRow("10 s") << 4 << 0 << 0;
    QTest::newRow("30 s") << 5 << 0 << 0;
    QTest::newRow("1 min") << 6 << 0 << 0;
    QTest::newRow("off") << 0 << 0 << 0;
}

void TestControlPanel::frequencyIntervals()
{
    QFETCH(int, index);
    QFETCH(int, fewestOpens);
    QFETCH(int, mostOpens);
    reachState(2, 50.0, index == 1 ? 2 : 1);   // a running timer that the pick must change
    watch->take();
    controls->frequency->setCurrentIndex(index);
    QCOMPARE(watch->takeOpens(), 0);   // choosing a frequency reads nothing at once
    QTest::qWait(2600);
    const FileAccessWatch::Counts counts = watch->take();
    QVERIFY2(counts.opens >= fewestOpens && counts.opens <= mostOpens,
             qPrintable(QStringLiteral("%1 opens").arg(counts.opens)));
    QCOMPARE(counts.accesses, 0);   // the size did not change: nothing is read
}

void TestControlPanel::timerFollowsGrowingFile()
{
    controls->lineCount->setValue(50);
    controls->highlight->setText(QStringLiteral("line 12"));
    controls->action("action_3")->trigger();   // extract mode off: all lines, some marked
    QByteArray many;
    for (int i = 7; i <= 120; ++i)
        many += "line " + QByteArray::number(i) + '\n';
    QVERIFY(testkit::appendFile(logPath, many));
    QTest::mouseClick(controls->track, Qt::LeftButton);
    for (int i = 121; i <= 124; ++i) {
        const QByteArray line = "line " + QByteArray::number(i);
        QVERIFY2(followsGrowth(line), line.constData());
        // Newest mode: the last 50 lines, ending with the new one, scrolled to the end.
        const QStringList lines = controls->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 50);
        QCOMPARE(lines.last(), QString::fromLatin1(line));
        QCOMPARE(lines.first(), QStringLiteral("line %1").arg(i - 49));
        // "line 12" is marked in "line 120" .. the new line: 7 characters each.
        QCOMPARE(harness::charsWithBackground(controls->view, QColor("#ffff00")), 7 * (i - 119));
        QScrollBar *bar = controls->view->verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());
    }
}

void TestControlPanel::timerSkipsUnchangedFile()
{
    QTest::mouseClick(controls->track, Qt::LeftButton);
    const QString before = controls->text();
    // A changed highlight text shows only when the view is rebuilt.
    controls->highlight->setText(QStringLiteral("line"));
    watch->take();
    QTest::qWait(1300);
    const FileAccessWatch::Counts counts = watch->take();
    QVERIFY(counts.opens >= 1);       // the timer looks at the size...
    QCOMPARE(counts.accesses, 0);     // ...and reads nothing
    QCOMPARE(controls->text(), before);
    QCOMPARE(harness::charsWithBackground(controls->view, QColor("#ffff00")), 0);

    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE(watch->takeOpens(), 1);
    QCOMPARE(harness::charsWithBackground(controls->view, QColor("#ffff00")), 6 * 4);
}

void TestControlPanel::timerSkipsSameSizeRewriteButUpdateReads()
{
    QTest::mouseClick(controls->track, Qt::LeftButton);
    QByteArray same = sixLines;
    same.replace("line 3", "LINE 3");
    QVERIFY(testkit::writeFile(logPath, same));
    QTest::qWait(1300);
    QVERIFY(controls->text().contains(QLatin1String("line 3")));
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QVERIFY(controls->text().contains(QLatin1String("LINE 3")));
}

void TestControlPanel::timerRereadsShrunkenFile()
{
    QTest::mouseClick(controls->track, Qt::LeftButton);
    QVERIFY(testkit::writeFile(logPath, "short 1\nshort 2\n"));
    QTRY_VERIFY_WITH_TIMEOUT(controls->text().contains(QLatin1String("short 2")), 3000);
    QVERIFY(!controls->text().contains(QLatin1String("line")));
    // It keeps following after the shrink.
    QVERIFY(followsGrowth("short 3"));
}

void TestControlPanel::timerGoesOnWhileDialogIsOpen()
{
    testkit::ModalDriver driver;
    QTest::mouseClick(controls->track, Qt::LeftButton);
    bool followed = false;
    driver.onNextModal([&](QWidget *modal) {
        followed = followsGrowth("during the dialog");
        modal->close();
    });
    controls->action("action_6")->trigger();   // the per-line limit's input dialog
    QVERIFY(driver.acted());
    QVERIFY(followed);
    QVERIFY(driver.stuck().isEmpty());
}

QTEST_MAIN(TestControlPanel)
#include "tst_controlpanel.moc"
