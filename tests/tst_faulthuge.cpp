// Huge files followed with the 0.5 s auto-update: 200 MB without a single
// line feed, and a 10 GiB sparse file (10 GiB of NUL bytes, then two lines).
// The window shows exactly the bytes the mode asks for, cut at the per-line
// limit, and the event loop keeps turning while they are read.

#include "faultharness.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace fault;
using namespace testkit;

namespace {

constexpr qint64 NoLineFeedSize = 200LL * 1024 * 1024;
constexpr qint64 SparseSize = 10LL * 1024 * 1024 * 1024;
constexpr int Limit = 1000;   // characters per read

// The bytes [from, to) of an endless line of 12-byte cells, each the cell's
// own offset in 11 digits and a '|': any piece of it says where it is from.
QByteArray pattern(qint64 from, qint64 to)
{
    QByteArray bytes;
    bytes.reserve(int(to - from) + 12);
    char cell[13];
    for (qint64 c = from / 12 * 12; c < to; c += 12) {
        qint64 v = c;
        for (int d = 10; d >= 0; --d, v /= 10)
            cell[d] = char('0' + v % 10);
        cell[11] = '|';
        bytes.append(cell, 12);
    }
    return bytes.mid(int(from % 12), int(to - from));
}

// The view's lines run together, checking that none is longer than the limit.
QString joinedLines(const QString &text, int *count)
{
    const QStringList lines = viewLines(text);
    *count = lines.size();
    QString joined;
    for (const QString &line : lines) {
        if (line.size() > Limit)
            return QStringLiteral("<a line of %1 characters>").arg(line.size());
        joined += line;
    }
    return joined;
}

} // namespace

class FaultHuge : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void noLineFeedIn200MB_data();
    void noLineFeedIn200MB();
    void sparse10GiB_data();
    void sparse10GiB();

private:
    QTemporaryDir dir;
    QString noLineFeed;
    QString sparse;
};

void FaultHuge::initTestCase()
{
    // Written once for all rows, in 1 MiB pieces.
    noLineFeed = dir.filePath(QStringLiteral("one-line.log"));
    writeFile(noLineFeed, QByteArray());
    for (qint64 at = 0; at < NoLineFeedSize; at += 1024 * 1024)
        appendFile(noLineFeed, pattern(at, qMin(NoLineFeedSize, at + 1024 * 1024)));
    QCOMPARE(QFileInfo(noLineFeed).size(), NoLineFeedSize);

    sparse = dir.filePath(QStringLiteral("sparse.log"));
    writeFile(sparse, QByteArray());
    truncateFile(sparse, SparseSize);
    appendFile(sparse, "tail line 1\ntail line 2\n");
    struct stat info;
    QVERIFY(::stat(QFile::encodeName(sparse).constData(), &info) == 0);
    QCOMPARE(qint64(info.st_size), SparseSize + 24);
    if (qint64(info.st_blocks) * 512 > 64LL * 1024 * 1024)
        QSKIP("this file system does not keep files sparse");
}

void FaultHuge::cleanupTestCase()
{
    removePath(noLineFeed);
    removePath(sparse);
}

void FaultHuge::noLineFeedIn200MB_data()
{
    QTest::addColumn<int>("startMode");
    QTest::newRow("header") << int(WindowRequest::HeaderMode);
    QTest::newRow("newest") << int(WindowRequest::NewestMode);
    QTest::newRow("percent 50") << int(WindowRequest::PercentMode);
}

void FaultHuge::noLineFeedIn200MB()
{
    QFETCH(int, startMode);
    const qint64 size = QFileInfo(noLineFeed).size();
    ViewSetup setup;
    setup.startMode = startMode;
    setup.percent = 50.0;
    setup.lineCount = 20;
    setup.maxLineChars = Limit;
    ViewSession session(setup);
    session.open(noLineFeed);

    int lines = 0;
    const QString joined = joinedLines(session.text(), &lines);
    if (startMode == WindowRequest::HeaderMode) {
        // The first 20 reads of 1000 characters each.
        QCOMPARE(lines, 20);
        QCOMPARE(joined, QString::fromLatin1(pattern(0, 20 * Limit)));
    } else if (startMode == WindowRequest::PercentMode) {
        // The line holding byte S / 2 began too long ago: the reading starts
        // right after the character 1001 bytes before it.
        const qint64 start = size / 2 - Limit;
        QCOMPARE(lines, 20);
        QCOMPARE(joined, QString::fromLatin1(pattern(start, start + 20 * Limit)));
    } else {
        // About N + 1 cuts from the end, then everything to the very last byte.
        QVERIFY2(lines >= 20 && lines <= 23, qPrintable(QString::number(lines)));
        QVERIFY2(joined.size() >= 20 * Limit, qPrintable(QString::number(joined.size())));
        QCOMPARE(joined, QString::fromLatin1(pattern(size - joined.size(), size)));

        // It grows without a line feed while followed: the view keeps its end.
        const qint64 grown = size + 3 * 1024 * 1024;
        std::vector<FileScript::Step> steps;
        for (qint64 at = size; at < grown; at += 1024 * 1024)
            steps.push_back({150, [=] { appendFile(noLineFeed, pattern(at, at + 1024 * 1024)); }});
        FileScript script(std::move(steps));
        QVERIFY(session.waitFor([&] {
            int n = 0;
            const QString now = joinedLines(session.text(), &n);
            return script.finished() && now.size() >= 20 * Limit
                   && now == QString::fromLatin1(pattern(grown - now.size(), grown));
        }, 5000));
    }
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultHuge::sparse10GiB_data()
{
    QTest::addColumn<int>("startMode");
    QTest::newRow("header") << int(WindowRequest::HeaderMode);
    QTest::newRow("newest") << int(WindowRequest::NewestMode);
    QTest::newRow("percent 50") << int(WindowRequest::PercentMode);
}

void FaultHuge::sparse10GiB()
{
    QFETCH(int, startMode);
    ViewSetup setup;
    setup.startMode = startMode;
    setup.percent = 50.0;
    setup.lineCount = 5;
    setup.maxLineChars = Limit;
    ViewSession session(setup);
    session.open(sparse);

    const QString nuls(Limit, QChar(0));
    if (startMode != WindowRequest::NewestMode) {
        // Five reads of 1000 NUL characters, at the start or in the middle.
        QCOMPARE(session.text(), QString(nuls + QLatin1Char('\n')).repeated(5));
    } else {
        // The newest lines whole; before them the end of the one line that
        // runs from the file's start, all NUL bytes up to "tail line 1", cut
        // into reads of at most 1000 characters.
        auto check = [&](const QString &after) {
            const QString text = session.text();
            if (!text.endsWith(QLatin1Char('\n') + after))
                return false;
            const QStringList cut = viewLines(text.left(text.size() - after.size()));
            if (cut.size() > 2 * (setup.lineCount + 1))
                return false;
            QString joined;
            for (const QString &line : cut) {
                if (line.size() > Limit)
                    return false;
                joined += line;
            }
            const QString end = QStringLiteral("tail line 1");
            return joined.size() > Limit && joined.endsWith(end)
                   && joined.count(QChar(0)) == joined.size() - end.size();
        };
        QVERIFY(check(QStringLiteral("tail line 2\n\n")));
        FileScript script({{100, [=] { appendFile(sparse, "tail line 3\n"); }}});
        QVERIFY(session.waitFor([&] { return check(QStringLiteral("tail line 2\ntail line 3\n\n")); }, 3000));
    }
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

QTEST_MAIN(FaultHuge)
#include "tst_faulthuge.moc"
