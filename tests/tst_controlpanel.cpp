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

// Six numbered lines: every window of 20 lines in any mode reaches the end.
const QByteArray sixLines = "line 1\nline 2\nline 3\nline 4\nline 5\nline 6\n";

} // namespace

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
    QVERIFY(harness::writeFile(logPath, sixLines));
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
    if (!harness::appendFile(logPath, line + '\n'))
        return false;
    const QString text = QString::fromLatin1(line);
    return QTest::qWaitFor([&] { return controls->text().contains(text); }, 3000);
}

void TestControlPanel::cascade_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<double>("argument");
    QTest::addColumn<int>("fromMode");
    QTest::addColumn<double>("fromPercent");
    QTest::addColumn<int>("fromFrequency");
    QTest::addColumn<int>("toMode");
    QTest::addColumn<double>("toPercent");
    QTest::addColumn<int>("toFrequency");
    QTest::addColumn<int>("reads");

    // Start modes: 0 header, 1 newest, 2 percent. Frequency 0 is off, 1 is 0.5 s.
    QTest::newRow("header from percent mode at 50") << int(PickMode) << 0.0 << 2 << 50.0 << 0 << 0 << 0.0 << 0 << 2;
    QTest::newRow("header from newest, following") << int(PickMode) << 0.0 << 1 << 100.0 << 1 << 0 << 0.0 << 0 << 2;
    QTest::newRow("header from percent mode at 0, timer on") << int(PickMode) << 0.0 << 2 << 0.0 << 1 << 0 << 0.0 << 0 << 1;
    QTest::newRow("header from header at 100") << int(PickMode) << 0.0 << 0 << 100.0 << 0 << 0 << 100.0 << 0 << 0;
    QTest::newRow("newest from header") << int(PickMode) << 1.0 << 0 << 0.0 << 0 << 1 << 100.0 << 0 << 2;
    QTest::newRow("newest from percent mode, timer at 1 s") << int(PickMode) << 1.0 << 2 << 50.0 << 2 << 1 << 100.0 << 2 << 2;
    QTest::newRow("newest from percent mode at 100") << int(PickMode) << 1.0 << 2 << 100.0 << 0 << 1 << 100.0 << 0 << 1;
    QTest::newRow("percent from newest, following") << int(PickMode) << 2.0 << 1 << 100.0 << 1 << 2 << 100.0 << 0 << 1;
    QTest::newRow("percent from header, timer at 5 s") << int(PickMode) << 2.0 << 0 << 0.0 << 3 << 2 << 0.0 << 0 << 1;

    QTest::newRow("track from header, off") << int(PressTrack) << 0.0 << 0 << 0.0 << 0 << 1 << 100.0 << 1 << 2;
    QTest::newRow("track while already following") << int(PressTrack) << 0.0 << 1 << 100.0 << 1 << 1 << 100.0 << 1 << 0;
    QTest::newRow("track in newest mode, off") << int(PressTrack) << 0.0 << 1 << 100.0 << 0 << 1 << 100.0 << 1 << 0;
    QTest::newRow("track from percent mode at 100, 1 s") << int(PressTrack) << 0.0 << 2 << 100.0 << 2 << 1 << 100.0 << 1 << 1;
    QTest::newRow("track in newest mode at 0") << int(PressTrack) << 0.0 << 1 << 0.0 << 0 << 1 << 0.0 << 1 << 0;

    QTest::newRow("percent inside, from header, timer on") << int(SetPercent) << 37.5 << 0 << 0.0 << 1 << 2 << 37.5 << 0 << 2;
    QTest::newRow("percent inside, from newest, following") << int(SetPercent) << 37.5 << 1 << 100.0 << 1 << 2 << 37.5 << 0 << 2;
    QTest::newRow("percent inside, already percent mode, timer on") << int(SetPercent) << 0.00001 << 2 << 50.0 << 1 << 2 << 0.00001 << 1 << 1;
    QTest::newRow("percent to 100 in header mode") << int(SetPercent) << 100.0 << 0 << 0.0 << 0 << 0 << 100.0 << 0 << 1;
    QTest::newRow("percent to 0 in newest mode, following") << int(SetPercent) << 0.0 << 1 << 100.0 << 1 << 1 << 0.0 << 1 << 1;
    QTest::newRow("percent to 0 in percent mode") << int(SetPercent) << 0.0 << 2 << 50.0 << 0 << 2 << 0.0 << 0 << 1;
    QTest::newRow("percent to 100 in percent mode, timer on") << int(SetPercent) << 100.0 << 2 << 50.0 << 1 << 2 << 100.0 << 1 << 1;

    QTest::newRow("line count, following") << int(SetLineCount) << 30.0 << 1 << 100.0 << 1 << 1 << 100.0 << 1 << 1;
    QTest::newRow("line count, header mode") << int(SetLineCount) << 1.0 << 0 << 0.0 << 0 << 0 << 0.0 << 0 << 1;
    QTest::newRow("frequency on in percent mode") << int(PickFrequency) << 1.0 << 2 << 50.0 << 0 << 2 << 50.0 << 1 << 0;
    QTest::newRow("frequency off while following") << int(PickFrequency) << 0.0 << 1 << 100.0 << 1 << 1 << 100.0 << 0 << 0;
    QTest::newRow("frequency in header mode") << int(PickFrequency) << 1.0 << 0 << 0.0 << 0 << 0 << 0.0 << 1 << 0;
    QTest::newRow("step, following") << int(PickStep) << 6.0 << 1 << 100.0 << 1 << 1 << 100.0 << 1 << 0;
    QTest::newRow("update, following") << int(PressUpdate) << 0.0 << 1 << 100.0 << 1 << 1 << 100.0 << 1 << 1;
    QTest::newRow("update, header mode") << int(PressUpdate) << 0.0 << 0 << 0.0 << 0 << 0 << 0.0 << 0 << 1;
    // Enter in the highlight field does what the update button does; argument 1 is the keypad's Enter.
    QTest::newRow("Enter, following") << int(PressEnter) << 0.0 << 1 << 100.0 << 1 << 1 << 100.0 << 1 << 1;
    QTest::newRow("Enter, header mode") << int(PressEnter) << 0.0 << 0 << 0.0 << 0 << 0 << 0.0 << 0 << 1;
    QTest::newRow("keypad Enter, percent mode") << int(PressEnter) << 1.0 << 2 << 50.0 << 0 << 2 << 50.0 << 0 << 1;
}

void TestControlPanel::cascade()
{
    QFETCH(int, action);
    QFETCH(double, argument);
    QFETCH(int, fromMode);
    QFETCH(double, fromPercent);
    QFETCH(int, fromFrequency);
    QFETCH(int, toMode);
    QFETCH(double, toPercent);
    QFETCH(int, toFrequency);
    QFETCH(int, reads);

    reachState(fromMode, fromPercent, fromFrequency);
    watch->take();

    switch (Action(action)) {
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

    QCOMPARE(watch->takeOpens(), reads);
    QCOMPARE(controls->startMode->currentIndex(), toMode);
    QCOMPARE(controls->percent->value(), toPercent);
    QCOMPARE(controls->frequency->currentIndex(), toFrequency);

    // The timer runs exactly when the frequency box is on an interval entry
    // (only 0.5 s and 1 s occur here): a running one reads the grown file.
    QVERIFY(harness::appendFile(logPath, "grown\n"));
    watch->take();
    int accesses = 0;
    const bool read = QTest::qWaitFor([&] { return (accesses += watch->take().accesses) > 0; },
                                      toFrequency == 0 ? 1300 : 3000);
    QCOMPARE(read, toFrequency != 0);
}

void TestControlPanel::typingPercentSwitchesAtFirstInnerValue()
{
    reachState(1, 100.0, 0);
    controls->percent->setFocus();
    controls->percent->selectAll();
    watch->take();
    QTest::keyClick(controls->percent, Qt::Key_5);
    // 5 lies strictly inside: the switch to percent mode refreshes, then the position.
    QCOMPARE(controls->startMode->currentIndex(), 2);
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
    QVERIFY(harness::appendFile(logPath, many));
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
    QVERIFY(harness::writeFile(logPath, same));
    QTest::qWait(1300);
    QVERIFY(controls->text().contains(QLatin1String("line 3")));
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QVERIFY(controls->text().contains(QLatin1String("LINE 3")));
}

void TestControlPanel::timerRereadsShrunkenFile()
{
    QTest::mouseClick(controls->track, Qt::LeftButton);
    QVERIFY(harness::writeFile(logPath, "short 1\nshort 2\n"));
    QTRY_VERIFY_WITH_TIMEOUT(controls->text().contains(QLatin1String("short 2")), 3000);
    QVERIFY(!controls->text().contains(QLatin1String("line")));
    // It keeps following after the shrink.
    QVERIFY(followsGrowth("short 3"));
}

void TestControlPanel::timerGoesOnWhileDialogIsOpen()
{
    harness::ModalDriver driver;
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
