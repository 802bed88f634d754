// LineWindowReader on a file whose reads fail: an I/O error is a failed read
// with the system's error text, never a short window; an interrupted read is
// retried. The failures come from tests/failingpread.cpp, loaded by CTest.

#include "linewindowreader.h"
#include "preadswitch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>


namespace {

WindowRequest makeRequest(int mode, const char *codec)
{
    WindowRequest request;
    request.startMode = startModeFromIndex(mode);
    request.lineCount = 5;
    request.percent = 50;
    request.codecName = QLatin1String(codec);
    return request;
}

} // namespace

class TestReadFailure : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir;
    QString path;
    PreadSwitch preads;

    // Arms the shim for path: fault is "EIO <from>" or "EINTR".
    void arm(const QByteArray &fault) { QVERIFY(preads.arm(path, fault)); }

private slots:
    void initTestCase()
    {
        QVERIFY2(PreadSwitch::shimLoaded(),
                 "tests/failingpread.cpp is not loaded: run this test through ctest");
        QVERIFY(dir.isValid());
        path = dir.filePath(QStringLiteral("log.txt"));
        preads.placeIn(dir.path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 4000; ++i)   // 64 KiB of lines
            file.write(QByteArray::number(i).rightJustified(15, '0') + '\n');
    }
    void cleanup() { preads.disarm(); }

    void ioErrorFailsTheRead_data();
    void ioErrorFailsTheRead();
    void interruptedReadsAreRetried_data();
    void interruptedReadsAreRetried();
};

void TestReadFailure::ioErrorFailsTheRead_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<qint64>("badFrom");
    QTest::addColumn<bool>("fails");
    for (const char *codec : {"UTF-8", "", "SJIS", "EUC-JP"}) {
        const QByteArray name = codec;
        QTest::newRow("header, first byte, " + name) << 0 << name << qint64(0) << true;
        QTest::newRow("newest, last page, " + name) << 1 << name << qint64(60000) << true;
        QTest::newRow("percent, middle, " + name) << 2 << name << qint64(32000) << true;
    }
    // A bad block that the window never reads costs nothing.
    QTest::newRow("header, bad block far behind") << 0 << QByteArray("UTF-8") << qint64(40000) << false;
}

void TestReadFailure::ioErrorFailsTheRead()
{
    QFETCH(int, mode);
    QFETCH(QByteArray, codec);
    QFETCH(qint64, badFrom);
    QFETCH(bool, fails);
    const WindowRequest request = makeRequest(mode, codec.constData());
    const WindowResult healthy = LineWindowReader::read(path, request);
    QCOMPARE(healthy.status, WindowResult::Read);
    arm("EIO " + QByteArray::number(badFrom));
    const WindowResult result = LineWindowReader::read(path, request);
    if (!fails) {
        QCOMPARE(result.status, WindowResult::Read);
        QCOMPARE(result.text, healthy.text);
        return;
    }
    QCOMPARE(result.status, WindowResult::ReadFailed);
    QCOMPARE(result.errorString, QStringLiteral("Input/output error"));
    QCOMPARE(result.text, QString());
}

void TestReadFailure::interruptedReadsAreRetried_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("header") << 0;
    QTest::newRow("newest") << 1;
    QTest::newRow("percent") << 2;
}

void TestReadFailure::interruptedReadsAreRetried()
{
    QFETCH(int, mode);
    const WindowRequest request = makeRequest(mode, "UTF-8");
    const WindowResult healthy = LineWindowReader::read(path, request);
    arm("EINTR");
    const WindowResult result = LineWindowReader::read(path, request);
    QCOMPARE(result.status, WindowResult::Read);
    QCOMPARE(result.text, healthy.text);
    QVERIFY(!result.text.isEmpty());
}

QTEST_GUILESS_MAIN(TestReadFailure)
#include "tst_readfailure.moc"
