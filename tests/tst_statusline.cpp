// The status line through a real window: no file; the encoding for each codec
// and each byte-order mark; size and the window's byte range in each start
// mode; the follow state; a failure, with the warning's reason, until a read
// works again (also a timer reload that finds the file back at its old size);
// and the time of the last read that changed the view.

#include "mainwindow.h"
#include "statusline.h"
#include "windowharness.h"

#include <QAction>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include <memory>

using harness::Controls;

namespace {

// "ln 000001\n" ... : ten bytes a line, so every offset is computable.
QByteArray numberedLines(int count)
{
    QByteArray bytes;
    bytes.reserve(count * 10);
    for (int i = 1; i <= count; ++i)
        bytes += "ln " + QByteArray::number(i).rightJustified(6, '0') + '\n';
    return bytes;
}

} // namespace

class TestStatusLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void noFile();
    void encoding_data();
    void encoding();
    void sizeAndRange_data();
    void sizeAndRange();
    void followState_data();
    void followState();
    void failureUntilAReadWorks();
    void failureEndsWhenTheFileIsBackUnchanged();
    void timeOfTheLastChange();
    void oneFont();

private:
    QLabel *label(const char *name) const;
    // The label's text, or "(hidden)".
    QString shown(const char *name) const;
    // Opens logPath expecting the read warning; returns its text.
    QString openExpectingWarning();

    QTemporaryDir settingsDir;
    QTemporaryDir filesDir;
    QString logPath;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controls> controls;
    std::unique_ptr<testkit::ModalDriver> driver;
};

void TestStatusLine::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    QVERIFY(filesDir.isValid());
    harness::prepareApplication(settingsDir.path());
    logPath = filesDir.filePath(QStringLiteral("status.log"));
}

void TestStatusLine::init()
{
    harness::clearSettings();
    QFile::remove(logPath);
    window = std::make_unique<MainWindow>();
    controls = std::make_unique<Controls>(window.get());
    QVERIFY(controls->complete());
    driver = std::make_unique<testkit::ModalDriver>();
}

void TestStatusLine::cleanup()
{
    QVERIFY2(driver->stuck().isEmpty(), qPrintable(driver->stuck().join(", ")));
    driver.reset();
    controls.reset();
    window.reset();
}

QLabel *TestStatusLine::label(const char *name) const
{
    return window->findChild<QLabel *>(QLatin1String(name));
}

QString TestStatusLine::shown(const char *name) const
{
    QLabel *l = label(name);
    if (!l)
        return QStringLiteral("(missing)");
    return l->isHidden() ? QStringLiteral("(hidden)") : l->text();
}

QString TestStatusLine::openExpectingWarning()
{
    QString warning;
    driver->onNextModal([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            warning = box->text();
            box->accept();
        }
    });
    window->openFile(logPath);
    return warning;
}

void TestStatusLine::noFile()
{
    QCOMPARE(shown("statusFile"), QString::fromUtf8("ファイル未選択"));
    for (const char *name : {"statusFailure", "statusSize", "statusEncoding", "statusRange",
                             "statusFilter", "statusChanged", "statusFollow", "statusNote"})
        QVERIFY2(label(name) && label(name)->isHidden(), name);
    window->openFile(QString());
    QCOMPARE(shown("statusFile"), QString::fromUtf8("ファイル未選択"));
}

void TestStatusLine::encoding_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("chosen");

    const QString detect = QStringLiteral("actionUnicode");
    const QString locale = QString::fromLatin1(QTextCodec::codecForLocale()->name());
    QTest::newRow("detection, UTF-16LE mark") << detect << QByteArray("\xFF\xFEl\0\n\0", 6) << "UTF-16LE (BOM)" << false;
    QTest::newRow("detection, UTF-16BE mark") << detect << QByteArray("\xFE\xFF\0l\0\n", 6) << "UTF-16BE (BOM)" << false;
    QTest::newRow("detection, UTF-32LE mark") << detect << QByteArray("\xFF\xFE\0\0l\0\0\0\n\0\0\0", 12) << "UTF-32LE (BOM)" << false;
    QTest::newRow("detection, UTF-32BE mark") << detect << QByteArray("\0\0\xFE\xFF\0\0\0l\0\0\0\n", 12) << "UTF-32BE (BOM)" << false;
    QTest::newRow("detection, UTF-8 mark") << detect << QByteArray("\xEF\xBB\xBFl\n") << "UTF-8 (BOM)" << false;
    QTest::newRow("detection, no mark: the locale's codec") << detect << QByteArray("l\n") << locale << false;
    QTest::newRow("detection, Shift-JIS") << detect << QByteArray("\x93\xfa\x96\x7b\n") << "Shift_JIS（自動判定）" << false;
    QTest::newRow("detection, EUC-JP") << detect << QByteArray("\xc6\xfc\xcb\xdc\n") << "EUC-JP（自動判定）" << false;
    QTest::newRow("detection, UTF-8") << detect << QByteArray("\xe6\x97\xa5\n") << "UTF-8（自動判定）" << false;
    QTest::newRow("ShiftJIS") << QStringLiteral("actionSJIS") << QByteArray("\x93\xfa\x96\x7b\n") << "Shift_JIS" << true;
    QTest::newRow("EUC-JP") << QStringLiteral("actionEUC_JP") << QByteArray("\xc6\xfc\xcb\xdc\n") << "EUC-JP" << true;
    QTest::newRow("UTF-8") << QStringLiteral("actionUTF") << QByteArray("l\n") << "UTF-8" << true;
    QTest::newRow("UTF-8 with a mark") << QStringLiteral("actionUTF") << QByteArray("\xEF\xBB\xBFl\n") << "UTF-8 (BOM)" << true;
    QTest::newRow("ShiftJIS over a UTF-16 mark: no detection") << QStringLiteral("actionSJIS") << QByteArray("\xFF\xFEl\0\n\0", 6) << "Shift_JIS" << true;
}

void TestStatusLine::encoding()
{
    QFETCH(QString, action);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QFETCH(bool, chosen);

    QVERIFY(testkit::writeFile(logPath, bytes));
    window->openFile(logPath);
    controls->action(action.toLatin1().constData())->trigger();   // refreshes
    QCOMPARE(shown("statusEncoding"), expected);
    QCOMPARE(label("statusEncoding")->toolTip(),
             chosen ? QString::fromUtf8("文字コード（指定）") : QString::fromUtf8("文字コード（Unicode 自動判定）"));
}

void TestStatusLine::sizeAndRange_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("mode");
    QTest::addColumn<double>("percent");
    QTest::addColumn<int>("lineCount");
    QTest::addColumn<QString>("size");
    QTest::addColumn<QString>("range");

    // 100 lines of 10 bytes: newest 20 reads from line 81, the header's 20
    // end at byte 200, 50% is byte 500, the start of line 51.
    QTest::newRow("newest") << 100 << 1 << 0.0 << 20 << "サイズ 1000 B" << "範囲 800～1,000 バイト（80.0%～100%）";
    QTest::newRow("header") << 100 << 0 << 0.0 << 20 << "サイズ 1000 B" << "範囲 0～200 バイト（0%～20.0%）";
    QTest::newRow("percent") << 100 << 2 << 50.0 << 20 << "サイズ 1000 B" << "範囲 500～700 バイト（50.0%～70.0%）";
    QTest::newRow("kilobytes") << 4000 << 1 << 0.0 << 20 << "サイズ 39.1 KB" << "範囲 39,800～40,000 バイト（99.5%～100%）";
    QTest::newRow("megabytes") << 157287 << 1 << 0.0 << 1 << "サイズ 1.5 MB" << "範囲 1,572,860～1,572,870 バイト（99.9%～100%）";
    QTest::newRow("header of a short file") << 3 << 0 << 0.0 << 20 << "サイズ 30 B" << "範囲 0～30 バイト（0%～100%）";
    QTest::newRow("empty file") << 0 << 1 << 0.0 << 20 << "サイズ 0 B" << "範囲 なし（空のファイル）";
}

void TestStatusLine::sizeAndRange()
{
    QFETCH(int, lines);
    QFETCH(int, mode);
    QFETCH(double, percent);
    QFETCH(int, lineCount);
    QFETCH(QString, size);
    QFETCH(QString, range);

    QVERIFY(testkit::writeFile(logPath, numberedLines(lines)));
    controls->startMode->setCurrentIndex(mode);
    controls->percent->setValue(percent);
    controls->lineCount->setValue(lineCount);
    QCOMPARE(controls->startMode->currentIndex(), mode);
    window->openFile(logPath);
    QCOMPARE(shown("statusFile"), QStringLiteral("status.log"));
    QCOMPARE(label("statusFile")->toolTip(), logPath);
    QCOMPARE(shown("statusSize"), size);
    QCOMPARE(shown("statusRange"), range);
    QCOMPARE(label("statusSize")->toolTip(),
             QString::fromUtf8("%1 バイト").arg(QLocale(QLocale::Japanese).toString(lines * 10)));
}

void TestStatusLine::followState_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("expected");
    QTest::newRow("not following") << int(StatusLine::NotFollowing) << "(hidden)";
    QTest::newRow("following") << int(StatusLine::Following) << "追跡中";
    QTest::newRow("paused by a selection") << int(StatusLine::PausedBySelection) << "一時停止（選択中）";
    QTest::newRow("paused by scrolling back") << int(StatusLine::PausedByScroll) << "一時停止（スクロール中）";
}

void TestStatusLine::followState()
{
    QFETCH(int, state);
    QFETCH(QString, expected);

    QVERIFY(testkit::writeFile(logPath, numberedLines(5)));
    controls->startMode->setCurrentIndex(1);
    window->openFile(logPath);
    QCOMPARE(shown("statusFollow"), QStringLiteral("(hidden)"));   // newest, but no auto-update
    controls->frequency->setCurrentIndex(2);
    QCOMPARE(shown("statusFollow"), QString::fromUtf8("追跡中"));
    controls->startMode->setCurrentIndex(0);
    QCOMPARE(shown("statusFollow"), QStringLiteral("(hidden)"));
    controls->track->click();   // 最新追跡: newest mode, every 0.5 s
    QCOMPARE(shown("statusFollow"), QString::fromUtf8("追跡中"));
    controls->frequency->setCurrentIndex(0);
    QCOMPARE(shown("statusFollow"), QStringLiteral("(hidden)"));
    controls->track->click();

    auto *line = window->findChild<StatusLine *>();
    QVERIFY(line);
    line->setFollowState(StatusLine::FollowState(state));
    QCOMPARE(shown("statusFollow"), expected);
}

void TestStatusLine::failureUntilAReadWorks()
{
    window->findChild<StatusLine *>()->setClock([] { return QTime(12, 34, 56); });
    const QString warning = openExpectingWarning();
    QVERIFY(driver->acted());
    const QString failure = shown("statusFailure");
    const QString prefix = QString::fromUtf8("読込失敗（12:34:56 から）: ");
    QVERIFY2(failure.startsWith(prefix), qPrintable(failure));
    const QString reason = failure.mid(prefix.size());
    QVERIFY(!reason.isEmpty());
    QCOMPARE(warning, QStringLiteral("Cannot read file %1:\n%2.").arg(logPath, reason));
    QCOMPARE(shown("statusFile"), QStringLiteral("status.log"));
    QCOMPARE(shown("statusSize"), QStringLiteral("(hidden)"));   // nothing was read

    QVERIFY(testkit::writeFile(logPath, numberedLines(3)));
    controls->update->click();
    QCOMPARE(shown("statusFailure"), QStringLiteral("(hidden)"));
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 30 B"));
}

void TestStatusLine::failureEndsWhenTheFileIsBackUnchanged()
{
    QVERIFY(testkit::writeFile(logPath, numberedLines(3)));
    window->openFile(logPath);
    QVERIFY(QFile::remove(logPath));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "reloadFile"));   // a timer reload: no box
    QVERIFY(!label("statusFailure")->isHidden());
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 30 B"));   // what the view still shows

    // Back at the size of the last read: the timer reads nothing, but the file opens.
    QVERIFY(testkit::writeFile(logPath, numberedLines(3)));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "reloadFile"));
    QCOMPARE(shown("statusFailure"), QStringLiteral("(hidden)"));
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 30 B"));
}

void TestStatusLine::timeOfTheLastChange()
{
    QTime now(10, 0, 0);
    auto *line = window->findChild<StatusLine *>();
    QVERIFY(line);
    line->setClock([&] { return now; });
    controls->startMode->setCurrentIndex(1);
    QVERIFY(testkit::writeFile(logPath, numberedLines(3)));
    window->openFile(logPath);
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:00"));

    now = QTime(10, 0, 5);
    controls->update->click();   // read again, the view stays the same
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:00"));
    QVERIFY(testkit::appendFile(logPath, "ln 000004\n"));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "reloadFile"));
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:05"));
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 40 B"));

    now = QTime(10, 0, 9);
    controls->lineCount->setValue(2);   // the same file and size, fewer lines in view
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:09"));
}

void TestStatusLine::oneFont()
{
    // Digits and kana from one font, which has both where any installed font has kana.
    const auto labels = window->statusBar()->findChildren<QLabel *>();
    QVERIFY(labels.size() > 1);
    const QString family = QFontInfo(labels.first()->font()).family();
    for (const QLabel *l : labels)
        QCOMPARE(QFontInfo(l->font()).family(), family);
    if (!QFontDatabase().families(QFontDatabase::Japanese).isEmpty())
        QVERIFY2(QFontDatabase().writingSystems(family).contains(QFontDatabase::Japanese), qPrintable(family));
}

QTEST_MAIN(TestStatusLine)
#include "tst_statusline.moc"
