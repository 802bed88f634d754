// The status line on a bare status bar, fed what real reads return: no file;
// the encoding for each codec, each byte-order mark and each detected Japanese
// encoding; size and the window's byte range in each start mode; the follow
// states; a failure until a read works again (also a timer read that finds the
// file back at its old size); the time of the last read that changed the view;
// one font for every field. Through a real window: the follow state as the mode, the timer and
// 最新追跡 change it, and a failure that gives the warning's reason. A file
// name that holds hidden characters.

#include "enginetestkit.h"
#include "mainwindow.h"
#include "statusline.h"
#include "windowharness.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTest>
#include <QTextDocument>
#include <QTextCodec>

#include <memory>

class TestStatusLine : public QObject, private harness::WindowFixture
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
    void followStateFromTheWindow();
    void failureUntilAReadWorks();
    void failureEndsWhenTheFileIsBackUnchanged();
    void timeOfTheLastChange();
    void oneFont();
    void fileNameShowsHiddenCharacters_data();
    void fileNameShowsHiddenCharacters();

private:
    // Reads logPath as a reload with request would, and shows the result.
    WindowResult showRead(const WindowRequest &request, bool viewChanged = true, qint64 skipIfSize = -1);
    QLabel *label(const char *name) const;
    // The label's text, or "(hidden)".
    QString shown(const char *name) const;

    QString logPath;
    std::unique_ptr<QStatusBar> bar;
    StatusLine *line = nullptr;   // the bar's, or the window's in the window cases
};

void TestStatusLine::initTestCase()
{
    QVERIFY(prepare());
    logPath = filePath(QStringLiteral("status.log"));
}

void TestStatusLine::init()
{
    QFile::remove(logPath);
    bar = std::make_unique<QStatusBar>();
    line = new StatusLine(bar.get(), bar.get());
}

void TestStatusLine::cleanup()
{
    const QStringList stuck = closeWindow();
    QVERIFY2(stuck.isEmpty(), qPrintable(stuck.join(", ")));
    bar.reset();
}

WindowResult TestStatusLine::showRead(const WindowRequest &request, bool viewChanged, qint64 skipIfSize)
{
    const WindowResult result = LineWindowReader::read(logPath, request, skipIfSize);
    if (result.status == WindowResult::Read || result.status == WindowResult::Unchanged)
        line->showRead(logPath, request.codecName, result, viewChanged);
    else
        line->showFailure(logPath, result.errorString);
    return result;
}

QLabel *TestStatusLine::label(const char *name) const
{
    const QObject *scope = window ? static_cast<QObject *>(window.get()) : bar.get();
    return scope->findChild<QLabel *>(QLatin1String(name));
}

QString TestStatusLine::shown(const char *name) const
{
    QLabel *l = label(name);
    if (!l)
        return QStringLiteral("(missing)");
    return l->isHidden() ? QStringLiteral("(hidden)") : l->text();
}

void TestStatusLine::noFile()
{
    QCOMPARE(shown("statusFile"), QString::fromUtf8("ファイル未選択"));
    for (const char *name : {"statusFailure", "statusSize", "statusEncoding", "statusRange",
                             "statusFilter", "statusChanged", "statusFollow", "statusNote"})
        QVERIFY2(label(name) && label(name)->isHidden(), name);
    QVERIFY(testkit::writeFile(logPath, testkit::fixedWidthLines(1, 3, 9)));
    showRead(makeRequest(Header, 20));
    line->showNoFile();
    QCOMPARE(shown("statusFile"), QString::fromUtf8("ファイル未選択"));
    QCOMPARE(shown("statusSize"), QStringLiteral("(hidden)"));
}

void TestStatusLine::encoding_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("chosen");

    const QString detect;
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
    QTest::newRow("ShiftJIS") << "SJIS" << QByteArray("\x93\xfa\x96\x7b\n") << "Shift_JIS" << true;
    QTest::newRow("EUC-JP") << "EUC-JP" << QByteArray("\xc6\xfc\xcb\xdc\n") << "EUC-JP" << true;
    QTest::newRow("UTF-8") << "UTF-8" << QByteArray("l\n") << "UTF-8" << true;
    QTest::newRow("UTF-8 with a mark") << "UTF-8" << QByteArray("\xEF\xBB\xBFl\n") << "UTF-8 (BOM)" << true;
    QTest::newRow("ShiftJIS over a UTF-16 mark: no detection") << "SJIS" << QByteArray("\xFF\xFEl\0\n\0", 6) << "Shift_JIS" << true;
    QTest::newRow("an unknown name detects") << "utf-8" << QByteArray("\xFF\xFEl\0\n\0", 6) << "UTF-16LE (BOM)" << false;
}

void TestStatusLine::encoding()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QFETCH(bool, chosen);

    QVERIFY(testkit::writeFile(logPath, bytes));
    showRead(makeRequest(Header, 20, 1000, 0, codecName));
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

    QVERIFY(testkit::writeFile(logPath, testkit::fixedWidthLines(1, lines, 9)));
    showRead(makeRequest(mode, lineCount, 1000, percent, QString()));
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
    line->setFollowState(StatusLine::FollowState(state));
    QCOMPARE(shown("statusFollow"), QStringLiteral("(hidden)"));   // no file yet
    QVERIFY(testkit::writeFile(logPath, testkit::fixedWidthLines(1, 5, 9)));
    showRead(makeRequest(Newest, 20));
    QCOMPARE(shown("statusFollow"), expected);
}

void TestStatusLine::followStateFromTheWindow()
{
    QVERIFY(openWindow());
    QVERIFY(testkit::writeFile(logPath, testkit::fixedWidthLines(1, 5, 9)));
    controls->startMode->setCurrentIndex(WindowRequest::NewestMode);
    window->openFile(logPath);
    QCOMPARE(shown("statusFollow"), QStringLiteral("(hidden)"));   // newest, but no auto-update
    controls->frequency->setCurrentIndex(2);
    QCOMPARE(shown("statusFollow"), QString::fromUtf8("追跡中"));
    controls->startMode->setCurrentIndex(WindowRequest::HeaderMode);
    QCOMPARE(shown("statusFollow"), QStringLiteral("(hidden)"));
    controls->track->click();   // 最新追跡: newest mode, every 0.5 s
    QCOMPARE(shown("statusFollow"), QString::fromUtf8("追跡中"));
    controls->frequency->setCurrentIndex(0);
    QCOMPARE(shown("statusFollow"), QStringLiteral("(hidden)"));
}

void TestStatusLine::failureUntilAReadWorks()
{
    QVERIFY(openWindow());
    window->findChild<StatusLine *>()->setClock([] { return QTime(12, 34, 56); });
    QString warning;
    driver->onNextModal([&](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            warning = box->text();
            box->accept();
        }
    });
    window->openFile(logPath);
    QVERIFY(driver->acted());
    const QString failure = shown("statusFailure");
    const QString prefix = QString::fromUtf8("読込失敗（12:34:56 から）: ");
    QVERIFY2(failure.startsWith(prefix), qPrintable(failure));
    const QString reason = failure.mid(prefix.size());
    QVERIFY(!reason.isEmpty());
    QCOMPARE(warning, QStringLiteral("Cannot read file %1:\n%2.").arg(logPath, reason));
    QCOMPARE(shown("statusFile"), QStringLiteral("status.log"));
    QCOMPARE(shown("statusSize"), QStringLiteral("(hidden)"));   // nothing was read

    QVERIFY(testkit::writeFile(logPath, testkit::fixedWidthLines(1, 3, 9)));
    controls->update->click();
    QCOMPARE(shown("statusFailure"), QStringLiteral("(hidden)"));
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 30 B"));
}

void TestStatusLine::failureEndsWhenTheFileIsBackUnchanged()
{
    const QByteArray lines = testkit::fixedWidthLines(1, 3, 9);
    QVERIFY(testkit::writeFile(logPath, lines));
    showRead(makeRequest(Newest, 20));
    QVERIFY(QFile::remove(logPath));
    QCOMPARE(showRead(makeRequest(Newest, 20), false, lines.size()).status, WindowResult::OpenFailed);
    QVERIFY(!label("statusFailure")->isHidden());
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 30 B"));   // what the view still shows

    // Back at the size of the last read: the timer reads nothing, but the file opens.
    QVERIFY(testkit::writeFile(logPath, lines));
    QCOMPARE(showRead(makeRequest(Newest, 20), false, lines.size()).status, WindowResult::Unchanged);
    QCOMPARE(shown("statusFailure"), QStringLiteral("(hidden)"));
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 30 B"));
}

void TestStatusLine::timeOfTheLastChange()
{
    QTime now(10, 0, 0);
    line->setClock([&] { return now; });
    QVERIFY(testkit::writeFile(logPath, testkit::fixedWidthLines(1, 3, 9)));
    showRead(makeRequest(Newest, 20));
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:00"));

    now = QTime(10, 0, 5);
    showRead(makeRequest(Newest, 20), false);   // read again, the view stays the same
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:00"));
    QVERIFY(testkit::appendFile(logPath, testkit::fixedWidthLines(4, 4, 9)));
    showRead(makeRequest(Newest, 20), false);   // a new size tells of a change
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:05"));
    QCOMPARE(shown("statusSize"), QStringLiteral("サイズ 40 B"));

    now = QTime(10, 0, 9);
    showRead(makeRequest(Newest, 2), true);   // the same file and size, fewer lines in view
    QCOMPARE(shown("statusChanged"), QString::fromUtf8("最終更新 10:00:09"));
}

void TestStatusLine::oneFont()
{
    // Digits and kana from one font, which has both where any installed font has kana.
    const auto labels = bar->findChildren<QLabel *>();
    QVERIFY(labels.size() > 1);
    const QString family = QFontInfo(labels.first()->font()).family();
    for (const QLabel *l : labels)
        QCOMPARE(QFontInfo(l->font()).family(), family);
    if (!QFontDatabase().families(QFontDatabase::Japanese).isEmpty())
        QVERIFY2(QFontDatabase().writingSystems(family).contains(QFontDatabase::Japanese), qPrintable(family));
}

void TestStatusLine::fileNameShowsHiddenCharacters_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("seen");   // what the label reads as
    QTest::newRow("plain") << QStringLiteral("app.log") << QStringLiteral("app.log");
    QTest::newRow("markup is a name") << QStringLiteral("<b>a  b.log") << QStringLiteral("<b>a  b.log");
    QTest::newRow("override and zero width")
        << QString::fromUtf8("user=\u202egol.exe\u202c\u200b.log") << QStringLiteral("user=RLOgol.exePDFZWSP.log");
}

void TestStatusLine::fileNameShowsHiddenCharacters()
{
    QFETCH(QString, name);
    QFETCH(QString, seen);
    const QString path = QFileInfo(logPath).dir().filePath(name);
    QVERIFY(testkit::writeFile(path, testkit::numberedLines("ln", 1, 3)));
    line->showRead(path, QString(), LineWindowReader::read(path, WindowRequest()), true);
    QLabel *file = label("statusFile");
    QTextDocument shownDocument;
    if (file->textFormat() == Qt::RichText)
        shownDocument.setHtml(file->text());
    else
        shownDocument.setPlainText(file->text());
    QCOMPARE(shownDocument.toPlainText(), seen);
    QVERIFY(testkit::removePath(path));
}

QTEST_MAIN(TestStatusLine)
#include "tst_statusline.moc"
