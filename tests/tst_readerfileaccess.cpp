// LineWindowReader and the file itself: what it refuses to open (without
// ever blocking), the skip of a file whose size is unchanged, growth and
// truncation between reads, and a cost that follows the window, not the file.

#include "linewindowreader.h"
#include "enginetestkit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>
#include <fcntl.h>
#include <future>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

class TestReaderFileAccess : public QObject
{
    Q_OBJECT

private:
    ScratchFiles files;


private slots:
    void initTestCase() { QVERIFY(files.isValid()); }
    void nonRegularFilesRefused_data();
    void nonRegularFilesRefused();
    void unreadableFile();
    void unchangedSizeReadsNothing();
    void appendAndTruncate();
    void costFollowsWindow();
};

void TestReaderFileAccess::nonRegularFilesRefused_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("error");
    QTest::newRow("directory") << "directory" << "Not a regular file (a directory)";
    QTest::newRow("FIFO without a writer") << "fifo" << "Not a regular file (a FIFO)";
    QTest::newRow("socket") << "socket" << "Not a regular file (a socket)";
    QTest::newRow("character device") << "device" << "Not a regular file (a character device)";
    QTest::newRow("missing") << "missing" << "No such file or directory";
}

void TestReaderFileAccess::nonRegularFilesRefused()
{
    QFETCH(QString, kind);
    QFETCH(QString, error);
    QString path = files.newPath(kind);
    const QByteArray native = QFile::encodeName(path);
    int socketFd = -1;
    if (kind == QLatin1String("directory")) {
        path = files.folder();
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(native.constData(), 0600), 0);
    } else if (kind == QLatin1String("socket")) {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(native.size()) < sizeof address.sun_path);
        qstrcpy(address.sun_path, native.constData());
        QCOMPARE(::bind(socketFd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    } else if (kind == QLatin1String("device")) {
        path = QStringLiteral("/dev/null");
    }
    // A read that blocks would hang here: wait a while, then give it a writer
    // so that it can return, and fail.
    auto pending = std::async(std::launch::async, [&] {
        return LineWindowReader::read(path, makeRequest(Newest, 5));
    });
    if (pending.wait_for(std::chrono::seconds(10)) == std::future_status::timeout) {
        const int writer = ::open(native.constData(), O_WRONLY | O_NONBLOCK);
        pending.wait();
        ::close(writer);
        QFAIL("the read blocked");
    }
    const WindowResult result = pending.get();
    if (socketFd >= 0)
        ::close(socketFd);
    QCOMPARE(result.status, WindowResult::OpenFailed);
    QCOMPARE(result.errorString, error);
    QVERIFY(result.text.isEmpty());
}

void TestReaderFileAccess::unreadableFile()
{
    if (::geteuid() == 0)
        QSKIP("root reads files without permission");
    const QString path = files.write("secret\n");
    QFile::setPermissions(path, QFileDevice::WriteOwner);
    const WindowResult result = LineWindowReader::read(path, makeRequest(Header, 1));
    QCOMPARE(result.status, WindowResult::OpenFailed);
    QCOMPARE(result.errorString, QStringLiteral("Permission denied"));
}

namespace {

// Bytes this process has read so far, counted by the kernel.
qint64 bytesReadByProcess()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray all = io.readAll();
    const int at = all.indexOf("rchar: ");
    return at < 0 ? -1 : all.mid(at + 7, all.indexOf('\n', at) - at - 7).toLongLong();
}

} // namespace

void TestReaderFileAccess::unchangedSizeReadsNothing()
{
    const QString path = files.write("0123456\n8\n");
    const WindowRequest request = makeRequest(Newest, 5);
    const qint64 before = bytesReadByProcess();
    const qint64 idle = bytesReadByProcess() - before;   // what reading the counter costs
    const qint64 start = bytesReadByProcess();
    const WindowResult skipped = LineWindowReader::read(path, request, 10);
    const qint64 during = bytesReadByProcess() - start;
    QCOMPARE(skipped.status, WindowResult::Unchanged);
    QCOMPARE(skipped.fileSize, qint64(10));
    QVERIFY(skipped.text.isEmpty());
    QCOMPARE(skipped.bytesRead, qint64(0));
    if (before >= 0)
        QVERIFY2(during == idle, qPrintable(QStringLiteral("%1 %2").arg(during).arg(idle)));

    for (qint64 other : {qint64(-1), qint64(9), qint64(11), qint64(0)}) {
        const WindowResult read = LineWindowReader::read(path, request, other);
        QCOMPARE(read.status, WindowResult::Read);
        QCOMPARE(read.text, QStringLiteral("0123456\n8\n\n"));
        QVERIFY(read.bytesRead > 0);
    }
}

void TestReaderFileAccess::appendAndTruncate()
{
    const QString path = files.write("l1\nl2\nl3\n");
    const WindowRequest request = makeRequest(Newest, 2);
    WindowResult result = LineWindowReader::read(path, request);
    QCOMPARE(result.text, QStringLiteral("l2\nl3\n\n"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("l4\nl5");
    file.flush();
    result = LineWindowReader::read(path, request, result.fileSize);
    QCOMPARE(result.status, WindowResult::Read);
    QCOMPARE(result.fileSize, qint64(14));
    QCOMPARE(result.text, QStringLiteral("l3\nl4\nl5\n"));
    QVERIFY(file.resize(3));
    result = LineWindowReader::read(path, request, result.fileSize);
    QCOMPARE(result.text, QStringLiteral("l1\n\n"));
    QCOMPARE(LineWindowReader::read(path, request, 3).status, WindowResult::Unchanged);
}

// The cost of a read follows the window, not the file: a sparse file of more
// than 4 GiB (no disk space needed) whose zeros hold no line feed.
void TestReaderFileAccess::costFollowsWindow()
{
    const QString path = files.write(QByteArray());
    const qint64 lines = qint64(4) << 30;
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        if (!file.resize(lines))
            QSKIP("no sparse files here");
        QVERIFY(file.seek(lines));
        file.write("tail1\ntail2\ntail3\n");
    }
    WindowResult result = LineWindowReader::read(path, makeRequest(Newest, 2));
    QCOMPARE(result.text, QStringLiteral("tail2\ntail3\n\n"));
    QVERIFY2(result.bytesRead <= 16 * 1024, qPrintable(QString::number(result.bytesRead)));

    // Long cut lines of zeros, in every mode: each read is at most 9999 characters.
    for (int mode : {Newest, Percent, Header}) {
        result = LineWindowReader::read(path, makeRequest(mode, 999, 9999, 50));
        QCOMPARE(result.status, WindowResult::Read);
        const qint64 window = 1000 * 10000;
        // The newest-mode scan reads the window's bytes once and decoding reads them again.
        QVERIFY2(result.bytesRead <= 2 * window + 2 * 1024 * 1024, qPrintable(QString::number(result.bytesRead)));
        QVERIFY(result.text.size() <= window);
        QVERIFY(result.text.count(QLatin1Char('\n')) >= 999);
    }
}

QTEST_GUILESS_MAIN(TestReaderFileAccess)
#include "tst_readerfileaccess.moc"
