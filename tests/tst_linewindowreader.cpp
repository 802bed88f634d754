// The window text of LineWindowReader: the examples it must give, and each
// place where it deliberately reads differently from the stream-based design
// (CR LF boundaries, byte-order marks in every mode, no start inside a
// character, newest mode up to the end, exact-length lines, the clamped line
// limit); the bytes a window covers. Opening, skipping and cost: tst_readerfileaccess; characters
// outside the BMP: tst_surrogatepairs.

#include "encodedtext.h"
#include "linewindowreader.h"
#include "enginetestkit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

namespace {

QByteArray repeated(char c, int count) { return QByteArray(count, c); }

} // namespace

class TestLineWindowReader : public QObject
{
    Q_OBJECT

private:
    ScratchFiles files;

    QString readText(const QByteArray &bytes, const WindowRequest &request)
    {
        const WindowResult result = LineWindowReader::read(files.write(bytes), request);
        if (result.status != WindowResult::Read)
            qWarning("not read: %s", qPrintable(result.errorString));
        return result.text;
    }
    void addRow(const char *name, const QByteArray &bytes, const WindowRequest &request,
                const QString &expected)
    {
        QTest::newRow(name) << bytes << QVariant::fromValue(request) << expected;
    }
    void addColumns()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("request");
        QTest::addColumn<QString>("expected");
    }
    void checkRow()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QVariant, request);
        QFETCH(QString, expected);
        const QString text = readText(bytes, request.value<WindowRequest>());
        QCOMPARE(text, expected);
    }

private slots:
    void initTestCase() { QVERIFY(files.isValid()); }

    void windowExamples_data();
    void windowExamples() { checkRow(); }
    void newestReadsToEnd_data();
    void newestReadsToEnd() { checkRow(); }
    void exactLengthLines_data();
    void exactLengthLines() { checkRow(); }
    void byteOrderMarks_data();
    void byteOrderMarks() { checkRow(); }
    void noStartInsideCharacter_data();
    void noStartInsideCharacter();
    void crLfCountsOnce_data();
    void crLfCountsOnce();
    void carriageReturnsDropped();
    void lineLimitClamped_data();
    void lineLimitClamped();
    void windowBytesOfLongLines_data();
    void windowBytesOfLongLines();
    void invalidSequencesWithinLimit_data();
    void invalidSequencesWithinLimit() { checkRow(); }
    void japaneseDetected_data();
    void japaneseDetected();
    void detectionKeptPerFile();
};

Q_DECLARE_METATYPE(WindowRequest)

void TestLineWindowReader::windowExamples_data()
{
    addColumns();
    addRow("header, short file", "a\nb\nc\n", makeRequest(Header, 5), "a\nb\nc\n\n\n");
    addRow("newest N=2", "a\nb\nc\nd\n", makeRequest(Newest, 2), "c\nd\n\n");
    addRow("newest, no final LF", "x\na\nb\nc\nd", makeRequest(Newest, 2), "b\nc\nd\n");
    addRow("newest, cut inside a long line", "abcdefghij\n", makeRequest(Newest, 1, 4), "ghij\n\n");
    addRow("newest, last boundary at byte 1", "a\nb\n", makeRequest(Newest, 1), "a\nb\n\n");
    addRow("empty, header", "", makeRequest(Header, 3), "\n\n\n");
    addRow("empty, percent", "", makeRequest(Percent, 3, 1000, 50), "\n\n\n");
    addRow("empty, newest", "", makeRequest(Newest, 3), "");
    WindowRequest filtered = makeRequest(Header, 3);
    filtered.extract = true;
    filtered.highlightText = QStringLiteral("a");
    addRow("empty, header, filter on", "", filtered, "");
    addRow("percent 100 after final LF", "a\nb\nc\n", makeRequest(Percent, 3, 1000, 100), "\n\n\n");
    // LF at byte 450, none from 451 to 699: the 50 % target (byte 500) starts at 451.
    const QByteArray thousand = repeated('a', 450) + '\n' + repeated('b', 249) + '\n' + repeated('c', 299);
    addRow("percent 50, line start at 451", thousand, makeRequest(Percent, 1, 1000, 50),
           QString(249, QLatin1Char('b')) + '\n');
    addRow("percent, no LF from byte 1 to target", "abcdef\nxyz\n", makeRequest(Percent, 1, 1000, 30),
           "abcdef\n");
    addRow("percent, stops after maxLineChars + 1", "0123456789\n", makeRequest(Percent, 2, 3, 80),
           "567\n89\n");
    addRow("percent, stop at byte 1 itself", "abcdefgh\n", makeRequest(Percent, 1, 3, 60), "cde\n");
    addRow("mode outside 0..2", "a\n", makeRequest(3, 5), "");
    WindowRequest extract = makeRequest(Header, 10);
    extract.extract = true;
    extract.highlightText = QStringLiteral("err");
    addRow("extract, case-insensitive", "Error 1\nok\nERR2\n", extract, "Error 1\nERR2\n");
    extract.highlightText = QStringLiteral("nowhere");
    addRow("extract, no match", "Error 1\nok\nERR2\n", extract, "");
    // Each part of a split line is a read of its own, tested on its own, and
    // dropped reads still count: 'xxer', 'r yy', 'err' are the three reads.
    WindowRequest parts = makeRequest(Header, 3, 4);
    parts.extract = true;
    parts.highlightText = QStringLiteral("ERR");
    addRow("extract, parts of a split line", "xxerr yy\nerr\nok\nerr\n", parts, "err\n");
    parts.startMode = WindowRequest::NewestMode;
    parts.lineCount = 2;
    parts.maxLineChars = 1000;
    addRow("extract, newest", "err 1\nok\nerr 2\nok\n", parts, "err 2\n");
    extract.extract = false;
    addRow("extract off shows all", "Error 1\nok\n", extract, "Error 1\nok\n\n\n\n\n\n\n\n\n");
}

void TestLineWindowReader::newestReadsToEnd_data()
{
    addColumns();
    addRow("short file, no final LF", "a\nb", makeRequest(Newest, 5), "a\nb\n");
    addRow("short file, final LF", "a\nb\n", makeRequest(Newest, 5), "a\nb\n\n");
    addRow("no line feed at all", "hello", makeRequest(Newest, 5), "hello\n");
    addRow("no line feed, N=1", "hello", makeRequest(Newest, 1), "hello\n");
    addRow("only line feeds", "\n\n", makeRequest(Newest, 5), "\n\n\n");
    // Cuts every 5 bytes, reads every 4 characters: the literal count stops at 'fghi'.
    addRow("long last line shows its end", "x\nabcdefghij", makeRequest(Newest, 1, 4),
           "bcde\nfghi\nj\n");
    // Cut by bytes, read by characters: no empty read past the end.
    addRow("long last line, multi-byte", encoded("UTF-8", QStringLiteral("x\n") + QString(10, QChar(0x3042))),
           makeRequest(Newest, 1, 4), QString(3, QChar(0x3042)) + '\n');
    WindowRequest filtered = makeRequest(Newest, 5);
    filtered.extract = true;
    filtered.highlightText = QStringLiteral("B");
    addRow("short file, filter on", "a\nb", filtered, "b\n");
}

void TestLineWindowReader::exactLengthLines_data()
{
    addColumns();
    addRow("header, lines of exactly 4", "abcd\nefgh\n", makeRequest(Header, 3, 4), "abcd\nefgh\n\n");
    addRow("header, line of exactly 8", "abcdefgh\nx\n", makeRequest(Header, 3, 4), "abcd\nefgh\nx\n");
    addRow("header, mixed", "abcdefghij\nk\nabcd\nefgh\n", makeRequest(Header, 6, 4),
           "abcd\nefgh\nij\nk\nabcd\nefgh\n");
    addRow("newest, lines of exactly 4", "abcd\nefgh\n", makeRequest(Newest, 5, 4), "abcd\nefgh\n\n");
    addRow("percent, line of exactly 4", "abcd\nefgh\n", makeRequest(Percent, 2, 4, 60), "efgh\n\n");
    addRow("counted in characters", encoded("UTF-8", QStringLiteral("あいう\nえ\n")),
           makeRequest(Header, 2, 3), QStringLiteral("あいう\nえ\n"));
    addRow("a pair within a limit of 2", encoded("UTF-8", QStringLiteral("𝄞\nx\n")),
           makeRequest(Header, 2, 2), QStringLiteral("𝄞\nx\n"));
}

void TestLineWindowReader::byteOrderMarks_data()
{
    addColumns();
    // 上 is U+4E0A and 不 is U+4E0D: a 0x0A and a 0x0D byte inside wide
    // characters that are neither a line feed nor a carriage return.
    const QString text = QStringLiteral("l1上\nl2不\nl3ਰ\nl4𝄞\nl5y\n");
    const QString crLf = QStringLiteral("l1上\r\nl2不\r\nl3ਰ\r\nl4𝄞\r\nl5y\r\n");
    for (const char *codec : {"UTF-16LE", "UTF-16BE", "UTF-32LE", "UTF-32BE", "UTF-8"}) {
        const QByteArray bytes = encoded(codec, text, true);
        auto row = [&](const char *what, const WindowRequest &request, const QString &expected) {
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(QLatin1String(codec), QLatin1String(what))))
                << bytes << QVariant::fromValue(request) << expected;
        };
        row("header", makeRequest(Header, 3, 1000, 0, QString()), QStringLiteral("l1上\nl2不\nl3ਰ\n"));
        row("newest", makeRequest(Newest, 2, 1000, 0, QString()), QStringLiteral("l4𝄞\nl5y\n\n"));
        row("newest from the first byte", makeRequest(Newest, 9, 1000, 0, QString()), text + '\n');
        row("percent 50", makeRequest(Percent, 2, 1000, 50, QString()), QStringLiteral("l3ਰ\nl4𝄞\n"));
        QTest::newRow(qPrintable(QStringLiteral("%1, CR LF, newest").arg(QLatin1String(codec))))
            << encoded(codec, crLf, true) << QVariant::fromValue(makeRequest(Newest, 2, 1000, 0, QString()))
            << QStringLiteral("l4𝄞\nl5y\n\n");
    }
    addRow("UTF-8 mark, codec UTF-8, percent 0", encoded("UTF-8", text, true),
           makeRequest(Percent, 1, 1000, 0), QStringLiteral("l1上\n"));
}

void TestLineWindowReader::noStartInsideCharacter_data()
{
    addColumns();
    auto bytes = [](const char *codec, const QString &text) { return encoded(codec, text); };
    addRow("UTF-8, newest cut", bytes("UTF-8", QStringLiteral("x\nあいうえおかきくけこ\n")),
           makeRequest(Newest, 1, 4), QStringLiteral("こ\n\n"));
    addRow("UTF-8, percent cut", bytes("UTF-8", QStringLiteral("あいうえおかきくけこ\n")),
           makeRequest(Percent, 1, 4, 90), QStringLiteral("けこ\n"));
    // ソ is 83 5C: its trail byte is ASCII '\'.
    addRow("Shift-JIS, ASCII trail byte", bytes("SJIS", QStringLiteral("x\nソソソソ\n")),
           makeRequest(Newest, 1, 3, 0, QStringLiteral("SJIS")), QStringLiteral("ソ\n\n"));
    // 亜 is 88 9F: its trail byte is also a lead byte.
    addRow("Shift-JIS, lead-range trail byte", bytes("SJIS", QStringLiteral("x\n亜亜亜亜\n")),
           makeRequest(Newest, 1, 3, 0, QStringLiteral("SJIS")), QStringLiteral("亜\n\n"));
    addRow("Shift-JIS, percent cut", bytes("SJIS", QStringLiteral("亜亜亜亜亜亜\n")),
           makeRequest(Percent, 1, 3, 69.3, QStringLiteral("SJIS")), QStringLiteral("亜亜亜\n"));
    addRow("EUC-JP, two-byte", bytes("EUC-JP", QStringLiteral("x\nあいうえ\n")),
           makeRequest(Newest, 1, 3, 0, QStringLiteral("EUC-JP")), QStringLiteral("え\n\n"));
    addRow("EUC-JP, half-width katakana", bytes("EUC-JP", QStringLiteral("x\nｱｲｳｴ\n")),
           makeRequest(Newest, 1, 3, 0, QStringLiteral("EUC-JP")), QStringLiteral("ｴ\n\n"));
    addRow("UTF-16LE, surrogate pair", encoded("UTF-16LE", QStringLiteral("x\n𝄞𝄞𝄞\n"), true),
           makeRequest(Newest, 1, 3, 0, QString()), QStringLiteral("𝄞\n\n"));
}

void TestLineWindowReader::noStartInsideCharacter()
{
    checkRow();
    QFETCH(QString, expected);
    QVERIFY(!expected.contains(QChar(QChar::ReplacementCharacter)));
}

void TestLineWindowReader::crLfCountsOnce_data()
{
    QTest::addColumn<QByteArray>("lfText");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("maxChars");
    QTest::newRow("newest N=2") << QByteArray("a\nb\nc\nd\n") << Newest << 2 << 1000;
    QTest::newRow("newest, no final LF") << QByteArray("a\nb\nc\nd") << Newest << 2 << 1000;
    QTest::newRow("newest, cuts") << QByteArray("abcdefghij\nklm\n") << Newest << 2 << 4;
    QTest::newRow("newest, exact length") << QByteArray("x\nabcd\nefgh\n") << Newest << 1 << 4;
    QTest::newRow("newest, empty lines") << QByteArray("\n\n\n\n") << Newest << 2 << 1000;
    QTest::newRow("newest, short file") << QByteArray("a\nb\n") << Newest << 1 << 1000;
    QTest::newRow("header") << QByteArray("a\nbcdefg\n") << Header << 4 << 3;
}

void TestLineWindowReader::crLfCountsOnce()
{
    QFETCH(QByteArray, lfText);
    QFETCH(int, mode);
    QFETCH(int, lines);
    QFETCH(int, maxChars);
    QByteArray crLfText = lfText;
    crLfText.replace("\n", "\r\n");
    const WindowRequest request = makeRequest(mode, lines, maxChars);
    const QString fromLf = readText(lfText, request);
    QVERIFY(!fromLf.isEmpty());
    QCOMPARE(readText(crLfText, request), fromLf);
}

void TestLineWindowReader::carriageReturnsDropped()
{
    QCOMPARE(readText("a\rb\r\nc\n\rd\r", makeRequest(Header, 3)), QStringLiteral("ab\nc\nd\n"));
    QCOMPARE(readText("a\r\nb\r\nc\r\nd\r\n", makeRequest(Newest, 2)), QStringLiteral("c\nd\n\n"));
}

void TestLineWindowReader::lineLimitClamped_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<qint64>("maxChars");
    QTest::addColumn<qint64>("sameAs");
    for (int mode : {Header, Newest, Percent}) {
        const QByteArray name = QByteArray::number(mode);
        QTest::newRow("0, mode " + name) << mode << qint64(0) << qint64(1);
        QTest::newRow("-5, mode " + name) << mode << qint64(-5) << qint64(1);
        QTest::newRow("100000, mode " + name) << mode << qint64(100000) << qint64(9999);
    }
}

void TestLineWindowReader::lineLimitClamped()
{
    QFETCH(int, mode);
    QFETCH(qint64, maxChars);
    QFETCH(qint64, sameAs);
    const QByteArray bytes = "ab\n" + repeated('x', 12000) + "\nyz\n";
    const QString clamped = readText(bytes, makeRequest(mode, 4, maxChars, 10));
    QCOMPARE(clamped, readText(bytes, makeRequest(mode, 4, sameAs, 10)));
    if (mode == Header) {
        const QString expected = sameAs == 1 ? QStringLiteral("a\nb\nx\nx\n")
                                             : "ab\n" + QString(9999, 'x') + '\n' + QString(2001, 'x') + "\nyz\n";
        QCOMPARE(clamped, expected);
    }
}

// The bytes the reads of a window cover, [windowBegin, windowEnd): a window
// that ends inside a line over the limit ends where its last read does, not
// where decoding stopped.
void TestLineWindowReader::windowBytesOfLongLines_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVariant>("request");
    QTest::addColumn<qint64>("begin");
    QTest::addColumn<qint64>("end");
    QByteArray tenLong;   // 10 lines of 3,000 characters: 30,010 bytes
    for (int i = 0; i < 10; ++i)
        tenLong += repeated(char('a' + i), 3000) + '\n';
    const auto row = [](const char *name, const QByteArray &bytes, const WindowRequest &request,
                        qint64 begin, qint64 end) {
        QTest::newRow(name) << bytes << QVariant::fromValue(request) << begin << end;
    };
    // 20 reads: 6 lines of 3 reads, and 2 reads of the 7th.
    row("header, ends inside a line", tenLong, makeRequest(Header, 20), 0, 6 * 3001 + 2000);
    row("header, ends at a line feed", tenLong, makeRequest(Header, 3), 0, 3001);
    // The 50 % target, byte 15,005, starts line 5: 4 reads, one line and one part.
    row("percent, ends inside a line", tenLong, makeRequest(Percent, 4, 1000, 50), 15005, 15005 + 3001 + 1000);
    row("percent, reads past the end", tenLong, makeRequest(Percent, 20, 1000, 50), 15005, 30010);
    // The scan cuts every 1,001 positions: the window's reads cover the last 2,002 bytes.
    row("newest, to the end", tenLong, makeRequest(Newest, 2), 28008, 30010);
    WindowRequest filtered = makeRequest(Header, 4);
    filtered.extract = true;
    filtered.highlightText = QStringLiteral("b");
    row("header, filter on: the reads' bytes", tenLong, filtered, 0, 3001 + 1000);
    row("header, one line of 200,000", repeated('x', 200000), makeRequest(Header, 20, 9999), 0, 20 * 9999);
    const QString kana(3000, QChar(0x3042));
    row("UTF-8, 3 bytes a character", encoded("UTF-8", kana + '\n'), makeRequest(Header, 2), 0, 2000 * 3);
    row("UTF-16LE behind its mark", encoded("UTF-16LE", kana + '\n', true),
        makeRequest(Header, 2, 1000, 0, CodecName::Unicode), 2, 2 + 2000 * 2);
    row("CR LF after exactly the limit", repeated('a', 3000) + "\r\n" + repeated('b', 3000) + "\r\n",
        makeRequest(Header, 4), 0, 3002 + 1000);
    row("short lines", "ab\ncd\nef\n", makeRequest(Header, 2), 0, 6);
}

void TestLineWindowReader::windowBytesOfLongLines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVariant, request);
    QFETCH(qint64, begin);
    QFETCH(qint64, end);
    const WindowResult result = LineWindowReader::read(files.write(bytes), request.value<WindowRequest>());
    QCOMPARE(result.status, WindowResult::Read);
    QCOMPARE(result.windowBegin, begin);
    QCOMPARE(result.windowEnd, end);
}

void TestLineWindowReader::invalidSequencesWithinLimit_data()
{
    // The cut sequence EF BB waits over the end of a round of carriage
    // returns and decodes with the next round's 'x', as in one pass.
    addColumns();
    const QByteArray cut = repeated('\r', 8) + "\xEF\xBB" "x";
    addRow("held over a round, limit 1", cut, makeRequest(Header, 1, 1), QStringLiteral("\uFFFD\n"));
    addRow("held over a round, limit 2", cut, makeRequest(Header, 1, 2), QStringLiteral("\uFFFD\uFFFD\n"));
    addRow("percent 0.01, limit 1", "\r\r\r\r\xEF\xBB" "x", makeRequest(Percent, 1, 1, 0.01),
           QStringLiteral("\uFFFD\n"));
}

void TestLineWindowReader::japaneseDetected_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QVariant>("request");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("detected");
    const QString text = QStringLiteral("INFO 要求を処理しました\nWARN 接続が切断されました\n");
    const QByteArray ascii = QByteArray("INFO plain ASCII line\n").repeated(8);
    const QString unicode;
    auto row = [&](const char *name, const QByteArray &bytes, int mode, qint64 lines, const QString &expected,
                   const char *detected, const QString &codecName = QString()) {
        QTest::newRow(name) << bytes << QVariant::fromValue(makeRequest(mode, lines, 1000, 50, codecName))
                            << expected << QString::fromLatin1(detected);
    };
    for (const char *codec : {"SJIS", "EUC-JP", "UTF-8"}) {
        const QByteArray bytes = encoded(codec, text);
        const QByteArray name(codec);
        row(name + ", header", bytes, Header, 2, text, codec);
        row(name + ", newest", bytes, Newest, 1, text.section('\n', 1) + '\n', codec);
        row(name + ", percent", bytes, Percent, 1, text.section('\n', 1), codec);
        row(name + " after ASCII, its window", ascii + bytes, Newest, 2, text + '\n', codec);
        row(name + " after ASCII, an ASCII window", ascii + bytes, Header, 2, ascii.left(44), "");
    }
    row("chosen by name, nothing detected", encoded("SJIS", text), Header, 2, text, "", CodecName::ShiftJis);
    row("a byte-order mark decides", encoded("UTF-16LE", text, true), Header, 2, text, "");
}

void TestLineWindowReader::japaneseDetected()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVariant, request);
    QFETCH(QString, expected);
    QFETCH(QString, detected);
    const WindowResult result = LineWindowReader::read(files.write(bytes), request.value<WindowRequest>());
    QCOMPARE(result.text, expected);
    QCOMPARE(result.detected.codecName, detected);
}

// A decision holds for the file it was made on until it shrinks or is replaced.
void TestLineWindowReader::detectionKeptPerFile()
{
    const QString path = files.write(encoded("SJIS", QStringLiteral("表示\n")));
    WindowRequest request = makeRequest(Header, 1, 1000, 0, QString());
    request.detected = LineWindowReader::read(path, request).detected;
    QCOMPARE(request.detected.codecName, QStringLiteral("SJIS"));

    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    file.write("ascii\n");
    file.close();
    request.startMode = WindowRequest::NewestMode;   // a window of plain ASCII keeps the decision
    WindowResult result = LineWindowReader::read(path, request);
    QCOMPARE(result.text, QStringLiteral("ascii\n\n"));
    QCOMPARE(result.detected.codecName, QStringLiteral("SJIS"));

    request.detected = result.detected;
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));   // the same inode, shrunk
    file.write(encoded("EUC-JP", QStringLiteral("表示\n")));
    file.close();
    result = LineWindowReader::read(path, request);
    QCOMPARE(result.detected.codecName, QStringLiteral("EUC-JP"));
    QCOMPARE(result.text, QStringLiteral("表示\n\n"));

    request.detected = result.detected;   // another file of the same size takes the path
    const QString other = files.write(encoded("SJIS", QStringLiteral("表示\n")));
    QVERIFY(QFile::remove(path) && QFile::rename(other, path));
    result = LineWindowReader::read(path, request);
    QCOMPARE(result.detected.codecName, QStringLiteral("SJIS"));
}

QTEST_GUILESS_MAIN(TestLineWindowReader)
#include "tst_linewindowreader.moc"
