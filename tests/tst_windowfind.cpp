// The find bar through a real window: next and previous across the window's
// edge and around the file, the anchor a jump leaves, what it says when
// nothing is found, Esc on a long search, a file that goes away, and go to a
// time.

#include "fileaccesswatch.h"
#include "mainwindow.h"
#include "windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QFile>
#include <QTime>

#include <memory>

using harness::Controls;

namespace {

// Lines "line <i>", with "ERROR <i>" at the lines given.
QByteArray logWithErrors(int lines, const QList<int> &errors)
{
    QByteArray bytes;
    for (int i = 1; i <= lines; ++i)
        bytes += (errors.contains(i) ? "ERROR " : "line ") + QByteArray::number(i) + '\n';
    return bytes;
}

// The find bar's widgets by their object names.
struct Bar
{
    explicit Bar(QWidget *window)
        : bar(window->findChild<QWidget *>(QStringLiteral("findBar"))),
          text(window->findChild<QLineEdit *>(QStringLiteral("findText"))),
          regex(window->findChild<QCheckBox *>(QStringLiteral("findRegex"))),
          caseSensitive(window->findChild<QCheckBox *>(QStringLiteral("findCase"))),
          next(window->findChild<QPushButton *>(QStringLiteral("findNext"))),
          previous(window->findChild<QPushButton *>(QStringLiteral("findPrevious"))),
          time(window->findChild<QLineEdit *>(QStringLiteral("gotoTime"))),
          status(window->findChild<QLabel *>(QStringLiteral("findStatus")))
    {
    }
    bool complete() const { return bar && text && regex && caseSensitive && next && previous && time && status; }

    QWidget *bar;
    QLineEdit *text;
    QCheckBox *regex;
    QCheckBox *caseSensitive;
    QPushButton *next;
    QPushButton *previous;
    QLineEdit *time;
    QLabel *status;
};

} // namespace

class TestWindowFind : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void keysReachTheBar();
    void nextAndPreviousCrossTheWindowEdge();
    void anchorSurvivesATimerReloadOfAGrownFile();
    void reportsWhatItCannotFind_data();
    void reportsWhatItCannotFind();
    void escCancelsALongSearchWhileTheTimerReloads();
    void fileDeletedDuringAScanEndsIt();
    void goesToATime();

private:
    // Opens the file in a shown, active window in header mode with N lines.
    void open(const QByteArray &content, int lineCount = 20);
    // Finds with F3 or Shift+F3 and waits until the search has ended.
    void press(bool backward);
    QString selectedLine() const;

    QTemporaryDir settingsDir;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controls> controls;
    std::unique_ptr<Bar> bar;
    QString path;
};

void TestWindowFind::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    harness::prepareApplication(settingsDir.path());
}

void TestWindowFind::init()
{
    harness::clearSettings();
    dir = std::make_unique<QTemporaryDir>();
    path = dir->filePath(QStringLiteral("app.log"));
    window = std::make_unique<MainWindow>();
    controls = std::make_unique<Controls>(window.get());
    bar = std::make_unique<Bar>(window.get());
    QVERIFY(controls->complete());
    QVERIFY(bar->complete());
}

void TestWindowFind::cleanup()
{
    bar.reset();
    controls.reset();
    window.reset();
    dir.reset();
}

void TestWindowFind::open(const QByteArray &content, int lineCount)
{
    QVERIFY(testkit::writeFile(path, content));
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    controls->startMode->setCurrentIndex(0);
    controls->lineCount->setValue(lineCount);
    window->openFile(path);
}

void TestWindowFind::press(bool backward)
{
    QTest::keyClick(window.get(), Qt::Key_F3, backward ? Qt::ShiftModifier : Qt::NoModifier);
    QTRY_VERIFY(!bar->bar->property("busy").toBool());
}

QString TestWindowFind::selectedLine() const
{
    return controls->view->textCursor().block().text();
}

void TestWindowFind::keysReachTheBar()
{
    open(logWithErrors(10, {}));
    bar->bar->hide();
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    QVERIFY(bar->bar->isVisible());
    QVERIFY(bar->text->hasFocus());
    QTest::keyClick(window.get(), Qt::Key_G, Qt::ControlModifier);
    QVERIFY(bar->time->hasFocus());
    QTest::keyClick(bar->time, Qt::Key_Escape);
    QVERIFY(!bar->bar->isVisible());
}

void TestWindowFind::nextAndPreviousCrossTheWindowEdge()
{
    open(logWithErrors(3000, {5, 1500, 2900}));
    FileAccessWatch watch(path);
    QVERIFY(watch.isValid());
    bar->text->setText(QStringLiteral("error"));

    press(false);   // inside the window: selected, the file not read again
    QCOMPARE(selectedLine(), QStringLiteral("ERROR 5"));
    QCOMPARE(controls->view->textCursor().selectedText(), QStringLiteral("ERROR"));
    QCOMPARE(watch.takeOpens(), 0);
    QCOMPARE(controls->startMode->currentIndex(), 0);

    press(false);   // beyond it: the window jumps there in percent mode
    QCOMPARE(selectedLine(), QStringLiteral("ERROR 1500"));
    QCOMPARE(controls->startMode->currentIndex(), 2);
    QCOMPARE(controls->view->document()->firstBlock().text(),
             QStringLiteral("line %1").arg(1500 - 3));
    const QByteArray content = logWithErrors(3000, {5, 1500, 2900});
    const qint64 anchor = content.indexOf("line 1497\n");
    const double exact = anchor * 100.0 / content.size();
    QVERIFY(controls->percent->value() <= exact && controls->percent->value() > exact - 0.00001);

    press(false);
    QCOMPARE(selectedLine(), QStringLiteral("ERROR 2900"));
    QVERIFY(bar->status->text().isEmpty());

    press(false);   // around the end, back to the first
    QCOMPARE(selectedLine(), QStringLiteral("ERROR 5"));
    QCOMPARE(bar->status->text(), QStringLiteral("先頭から検索しました"));

    press(true);    // and back around the start
    QCOMPARE(selectedLine(), QStringLiteral("ERROR 2900"));
    QCOMPARE(bar->status->text(), QStringLiteral("末尾から検索しました"));
    press(true);
    QCOMPARE(selectedLine(), QStringLiteral("ERROR 1500"));
}

void TestWindowFind::anchorSurvivesATimerReloadOfAGrownFile()
{
    open(logWithErrors(3000, {1500}));
    bar->text->setText(QStringLiteral("ERROR"));
    press(false);
    const QString first = controls->view->document()->firstBlock().text();
    QCOMPARE(first, QStringLiteral("line 1497"));
    const double percent = controls->percent->value();

    // The file grows to several times its size: the percentage now points
    // far earlier, the anchor still at the same line.
    FileAccessWatch watch(path);
    QVERIFY(testkit::appendFile(path, logWithErrors(20000, {})));
    watch.take();
    controls->frequency->setCurrentIndex(1);
    int opens = 0;
    QTRY_VERIFY((opens += watch.take().opens) > 0);
    QCOMPARE(controls->view->document()->firstBlock().text(), first);
    QCOMPARE(controls->percent->value(), percent);

    // The user's own position drops the anchor.
    controls->percent->setValue(0.5);
    QVERIFY(controls->view->document()->firstBlock().text() != first);
}

void TestWindowFind::reportsWhatItCannotFind_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("status");
    QTest::newRow("absent") << "NOPE" << false << false << "見つかりません";
    QTest::newRow("case") << "error" << false << true << "見つかりません";
    QTest::newRow("bad regex") << "ERR(OR" << true << false << "正規表現が正しくありません";
}

void TestWindowFind::reportsWhatItCannotFind()
{
    QFETCH(QString, pattern);
    QFETCH(bool, regex);
    QFETCH(bool, caseSensitive);
    QFETCH(QString, status);
    open(logWithErrors(3000, {1500}));
    bar->text->setText(pattern);
    bar->regex->setChecked(regex);
    bar->caseSensitive->setChecked(caseSensitive);
    press(false);
    QVERIFY2(bar->status->text().startsWith(status), qPrintable(bar->status->text()));
    QCOMPARE(controls->startMode->currentIndex(), 0);   // the window stayed
    QVERIFY(!controls->view->textCursor().hasSelection());
}

namespace {

// A file of gigabytes that costs no disk: a hole, then a last line. A search
// through it takes long enough to be seen running.
bool writeHugeSparseFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.resize(qint64(8) << 30) && file.seek(file.size())
           && file.write("last line\n") == 10;
}

} // namespace

void TestWindowFind::escCancelsALongSearchWhileTheTimerReloads()
{
    open(QByteArray());
    QVERIFY(writeHugeSparseFile(path));
    controls->startMode->setCurrentIndex(1);
    controls->frequency->setCurrentIndex(1);
    window->openFile(path);
    bar->text->setText(QStringLiteral("NEEDLE"));
    QTest::keyClick(window.get(), Qt::Key_F3);
    QTRY_VERIFY(bar->status->text().startsWith(QStringLiteral("検索中")));

    // The timer goes on reading the growing file while the search runs.
    QVERIFY(testkit::appendFile(path, "fresh line\n"));
    QTRY_VERIFY(controls->view->toPlainText().contains(QStringLiteral("fresh line")));
    QVERIFY(bar->status->text().startsWith(QStringLiteral("検索中")));

    QTest::keyClick(window.get(), Qt::Key_Escape);
    QCOMPARE(bar->status->text(), QStringLiteral("検索を中止しました"));
    QVERIFY(bar->bar->isVisible());   // the first Esc cancels, the next would hide the bar
    QTest::qWait(300);
    QCOMPARE(bar->status->text(), QStringLiteral("検索を中止しました"));
    QCOMPARE(controls->startMode->currentIndex(), 1);
}

void TestWindowFind::fileDeletedDuringAScanEndsIt()
{
    open(QByteArray());
    QVERIFY(writeHugeSparseFile(path));
    controls->startMode->setCurrentIndex(1);
    window->openFile(path);
    bar->text->setText(QStringLiteral("NEEDLE"));
    QTest::keyClick(window.get(), Qt::Key_F3);
    QTRY_VERIFY(bar->status->text().startsWith(QStringLiteral("検索中")));
    QVERIFY(testkit::removePath(path));
    QTRY_VERIFY_WITH_TIMEOUT(bar->status->text().startsWith(QStringLiteral("検索できません")), 20000);
    QCOMPARE(controls->startMode->currentIndex(), 1);
}

void TestWindowFind::goesToATime()
{
    QByteArray log;
    for (int i = 0; i < 3000; ++i) {
        const QTime time = QTime(12, 0).addSecs(i);
        log += "2026-12-09 " + time.toString(QStringLiteral("HH:mm:ss")).toLatin1() + " event "
               + QByteArray::number(i) + '\n';
        if (i % 10 == 0)
            log += "    continued without a time\n";
    }
    open(log);
    bar->time->setText(QStringLiteral("12:25:00"));
    QTest::keyClick(bar->time, Qt::Key_Return);
    QTRY_VERIFY(controls->startMode->currentIndex() == 2);
    QVERIFY(controls->view->document()->firstBlock().text().startsWith(
        QStringLiteral("2026-12-09 12:25:00")));

    bar->time->setText(QStringLiteral("2026-12-10 00:00"));   // after the last line: the end
    QTest::keyClick(bar->time, Qt::Key_Return);
    QTRY_COMPARE(controls->startMode->currentIndex(), 1);

    QVERIFY(testkit::writeFile(path, logWithErrors(100, {})));
    window->openFile(path);
    bar->time->setText(QStringLiteral("12:25"));
    QTest::keyClick(bar->time, Qt::Key_Return);
    QTRY_COMPARE(bar->status->text(), QStringLiteral("このファイルには認識できる時刻がありません"));
}

QTEST_MAIN(TestWindowFind)
#include "tst_windowfind.moc"
