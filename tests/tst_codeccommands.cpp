// The codec submenu through a real window: after every choice exactly one of
// the four actions carries the mark, the file is read once more and decoded
// with the chosen codec, and the store receives the codec's name; a stored
// name the program does not know marks "Unicode" and comes back unchanged.
// Under "Unicode", Japanese text without a mark is detected in the read that
// shows it, also when it comes after a first window of plain ASCII.

#include "fileaccesswatch.h"
#include "mainwindow.h"
#include "windowharness.h"

#include <QAction>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <memory>

using harness::Controls;

namespace {

const char *const codecActions[] = {"actionUnicode", "actionSJIS", "actionUTF", "actionEUC_JP"};

// "テスト" followed by a line feed in each encoding.
QByteArray testWord(const QByteArray &codec)
{
    if (codec == "SJIS")
        return QByteArray::fromHex("836583588367") + '\n';
    if (codec == "EUC-JP")
        return QByteArray::fromHex("a5c6a5b9a5c8") + '\n';
    if (codec == "UTF-8")
        return QByteArray::fromHex("e38386e382b9e38388") + '\n';
    // Unicode detection: UTF-16 little-endian with its byte-order mark.
    return QByteArray::fromHex("fffec630b930c8300a00");
}

const QString word = QString::fromUtf8("\u30c6\u30b9\u30c8");

QStringList checkedCodecActions(const Controls &controls)
{
    QStringList checked;
    for (const char *name : codecActions) {
        if (controls.action(name)->isChecked())
            checked << QLatin1String(name);
    }
    return checked;
}

} // namespace

class TestCodecCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void choice_data();
    void choice();
    void unknownStoredCodecReadsAsUnicode();
    void detectedWithoutMark_data();
    void detectedWithoutMark();

private:
    QTemporaryDir settingsDir;
    QTemporaryDir filesDir;
};

void TestCodecCommands::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    QVERIFY(filesDir.isValid());
    harness::prepareApplication(settingsDir.path());
}

void TestCodecCommands::init()
{
    harness::clearSettings();
}

void TestCodecCommands::choice_data()
{
    QTest::addColumn<QString>("storedCodec");
    QTest::addColumn<QString>("markedBefore");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("codecAfter");

    QTest::newRow("Unicode to ShiftJIS") << "" << "actionUnicode" << "actionSJIS" << "SJIS";
    QTest::newRow("Unicode to UTF-8") << "" << "actionUnicode" << "actionUTF" << "UTF-8";
    QTest::newRow("Unicode to EUC-JP") << "" << "actionUnicode" << "actionEUC_JP" << "EUC-JP";
    QTest::newRow("Unicode again") << "" << "actionUnicode" << "actionUnicode" << "";
    QTest::newRow("UTF-8 again") << "UTF-8" << "actionUTF" << "actionUTF" << "UTF-8";
    QTest::newRow("ShiftJIS again") << "SJIS" << "actionSJIS" << "actionSJIS" << "SJIS";
    QTest::newRow("ShiftJIS to Unicode") << "SJIS" << "actionSJIS" << "actionUnicode" << "";
    QTest::newRow("EUC-JP to ShiftJIS") << "EUC-JP" << "actionEUC_JP" << "actionSJIS" << "SJIS";
    QTest::newRow("UTF-8 to EUC-JP") << "UTF-8" << "actionUTF" << "actionEUC_JP" << "EUC-JP";
    QTest::newRow("unknown to UTF-8") << "utf-8" << "actionUnicode" << "actionUTF" << "UTF-8";
}

void TestCodecCommands::choice()
{
    QFETCH(QString, storedCodec);
    QFETCH(QString, markedBefore);
    QFETCH(QString, trigger);
    QFETCH(QString, codecAfter);

    QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"))
        .setValue(QStringLiteral("codec"), storedCodec);
    const QString path = filesDir.filePath(QStringLiteral("codec.txt"));
    QVERIFY(testkit::writeFile(path, testWord(codecAfter.toLatin1())));
    FileAccessWatch watch(path);
    QVERIFY(watch.isValid());

    {
        MainWindow window;
        Controls controls(&window);
        QCOMPARE(checkedCodecActions(controls), QStringList{markedBefore});
        window.openFile(path);
        watch.take();

        controls.action(trigger.toLatin1().constData())->trigger();
        QCOMPARE(watch.takeOpens(), 1);
        QCOMPARE(checkedCodecActions(controls), QStringList{trigger});
        QVERIFY2(controls.text().startsWith(word), qPrintable(controls.text()));
    }
    const QVariant stored =
        QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek")).value(QStringLiteral("codec"));
    QCOMPARE(stored.toString(), codecAfter);
}

void TestCodecCommands::unknownStoredCodecReadsAsUnicode()
{
    QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"))
        .setValue(QStringLiteral("codec"), QStringLiteral("utf-8"));
    const QString path = filesDir.filePath(QStringLiteral("utf16.txt"));
    // UTF-16 with a byte-order mark: read right only when Unicode is detected.
    QVERIFY(testkit::writeFile(path, testWord("")));
    {
        MainWindow window;
        Controls controls(&window);
        QCOMPARE(checkedCodecActions(controls), QStringList{QStringLiteral("actionUnicode")});
        window.openFile(path);
        QVERIFY2(controls.text().startsWith(word), qPrintable(controls.text()));
    }
    QCOMPARE(QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"))
                 .value(QStringLiteral("codec"))
                 .toString(),
             QStringLiteral("utf-8"));
}

void TestCodecCommands::detectedWithoutMark_data()
{
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<bool>("asciiFirst");
    for (const QByteArray codec : {"SJIS", "EUC-JP", "UTF-8"}) {
        QTest::newRow(codec) << codec << false;
        QTest::newRow(codec + " after an ASCII window") << codec << true;
    }
}

void TestCodecCommands::detectedWithoutMark()
{
    QFETCH(QByteArray, codec);
    QFETCH(bool, asciiFirst);
    const QString path = filesDir.filePath(QStringLiteral("detect.txt"));
    QVERIFY(testkit::writeFile(path, asciiFirst ? QByteArray("plain\n") : testWord(codec)));
    FileAccessWatch watch(path);
    QVERIFY(watch.isValid());
    MainWindow window;
    Controls controls(&window);
    watch.take();
    window.openFile(path);
    if (asciiFirst) {
        QCOMPARE(window.effectiveCodecName(), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::Append) && file.write(testWord(codec)) > 0);
        file.close();
        watch.take();
        controls.update->click();
    }
    QCOMPARE(watch.takeOpens(), 1);
    QVERIFY2(controls.text().contains(word), qPrintable(controls.text()));
    QCOMPARE(window.effectiveCodecName(), QString::fromLatin1(codec));
    controls.action("actionSJIS")->trigger();   // a chosen codec is used as chosen
    QCOMPARE(window.effectiveCodecName(), QStringLiteral("SJIS"));
}

QTEST_MAIN(TestCodecCommands)
#include "tst_codeccommands.moc"
