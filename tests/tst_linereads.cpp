// LineReads alone: how decoded text is cut into reads of at most maxChars
// characters (a surrogate pair is one), which reads the filter keeps, and
// where the read limit stops them.

#include "linereads.h"

#include <QtTest>

class TestLineReads : public QObject
{
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
};

void TestLineReads::reads_data()
{
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("filter");
    QTest::addColumn<qint64>("limit");
    QTest::addColumn<QStringList>("chunks");     // appended in turn, the last one atEnd
    QTest::addColumn<int>("shortLineFeeds");     // >= 0: one chunk through appendShortLines
    QTest::addColumn<QString>("window");
    QTest::addColumn<qint64>("count");

    const QString none;
    QTest::newRow("lines") << 10 << none << qint64(-1) << QStringList{"a\nbc\n"} << -1 << "a\nbc\n" << qint64(2);
    QTest::newRow("a long line in parts") << 3 << none << qint64(-1) << QStringList{"abcdefgh\n"} << -1
                                          << "abc\ndef\ngh\n" << qint64(3);
    QTest::newRow("exactly maxChars consumes its line feed") << 3 << none << qint64(-1) << QStringList{"abc\ndef"}
                                                             << -1 << "abc\ndef\n" << qint64(2);
    QTest::newRow("a line across two appends") << 10 << none << qint64(-1) << QStringList{"ab", "c\nd"} << -1
                                                << "abc\nd\n" << qint64(2);
    QTest::newRow("an exact-length line, its line feed in the next append")
        << 3 << none << qint64(-1) << QStringList{"abc", "\nd\n"} << -1 << "abc\nd\n" << qint64(2);
    QTest::newRow("a pair at the limit stays whole") << 2 << none << qint64(-1) << QStringList{"a😀b\n"} << -1
                                                     << "a😀\nb\n" << qint64(2);
    QTest::newRow("a pair right before the line feed") << 1 << none << qint64(-1) << QStringList{"x😀\n"} << -1
                                                       << "x\n😀\n" << qint64(2);
    QTest::newRow("a pair is one character") << 1 << none << qint64(-1) << QStringList{"😀x\n"} << -1
                                             << "😀\nx\n" << qint64(2);
    QTest::newRow("a pair across two appends") << 2 << none << qint64(-1)
                                               << QStringList{QString::fromUtf16(u"a\xD83D"), QString::fromUtf16(u"\xDE00" "b\n")}
                                               << -1 << "a😀\nb\n" << qint64(2);
    QTest::newRow("a lone half is a character of its own")
        << 1 << none << qint64(-1) << QStringList{QString::fromUtf16(u"\xD83Dx\n")} << -1
        << QString::fromUtf16(u"\xD83D\nx\n") << qint64(2);
    QTest::newRow("the filter keeps matching reads, all count")
        << 10 << "ER" << qint64(-1) << QStringList{"err 1\nok\nxEr\n"} << -1 << "err 1\nxEr\n" << qint64(3);
    QTest::newRow("the filter looks at each part") << 4 << "err" << qint64(-1) << QStringList{"xxerr yy\n"} << -1
                                                   << "" << qint64(2);
    QTest::newRow("the limit stops the reads") << 10 << none << qint64(2) << QStringList{"a\nb\nc\n"} << -1
                                               << "a\nb\n" << qint64(2);
    QTest::newRow("short lines, shown as they are") << 10 << none << qint64(5) << QStringList{"a\nbc\nd"} << 2
                                                    << "a\nbc\nd\n" << qint64(3);
    QTest::newRow("short lines past the limit") << 10 << none << qint64(2) << QStringList{"a\nbc\nd\n"} << 3
                                                << "a\nbc\n" << qint64(2);
}

void TestLineReads::reads()
{
    QFETCH(int, maxChars);
    QFETCH(QString, filter);
    QFETCH(qint64, limit);
    QFETCH(QStringList, chunks);
    QFETCH(int, shortLineFeeds);
    QFETCH(QString, window);
    QFETCH(qint64, count);
    LineReads reads(maxChars, filter, limit);
    for (int i = 0; i < chunks.size(); ++i) {
        const bool atEnd = i + 1 == chunks.size();
        if (shortLineFeeds >= 0)
            reads.appendShortLines(chunks.at(i), shortLineFeeds, atEnd);
        else
            reads.append(chunks.at(i), atEnd);
    }
    QCOMPARE(reads.window(), window);
    QCOMPARE(reads.reads(), count);
    QCOMPARE(reads.full(), limit >= 0 && count >= limit);
    if (limit < 0)
        return;
    // Reads past the end of the file fill the window up to its limit with empty lines.
    const qint64 missing = limit - count;
    for (qint64 i = 0; i < missing + 2; ++i)
        reads.readPastEnd();
    QCOMPARE(reads.reads(), limit);
    QCOMPARE(reads.window(), window + (filter.isEmpty() ? QString(int(missing), QLatin1Char('\n')) : QString()));
}

QTEST_GUILESS_MAIN(TestLineReads)
#include "tst_linereads.moc"
