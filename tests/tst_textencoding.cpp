// TextEncoding alone: which decoding a codec name and the file's first bytes
// select, which Japanese encoding bytes without a mark are in, what it makes
// of every two-byte Japanese code and of invalid bytes, in one go or in pieces
// (the same under Qt 5 and Qt 6), and where the next character boundary lies
// in each encoding.

#include "filebytes.h"
#include "textencoding.h"

#include <QFile>
#include <QTemporaryFile>
#include <QTextCodec>
#include <QtTest>

class TestTextEncoding : public QObject
{
    Q_OBJECT

private slots:
    void choose_data();
    void choose();
    void decodesEveryTwoByteCode_data();
    void decodesEveryTwoByteCode();
    void decodesInvalidBytes_data();
    void decodesInvalidBytes();
    void decodesInPieces_data();
    void decodesInPieces();
    void alignToCharacter_data();
    void alignToCharacter();
    void detectJapanese_data();
    void detectJapanese();
};

namespace {

const char *codecOf(TextEncoding::Family family)
{
    switch (family) {
    case TextEncoding::Utf8:
        return "UTF-8";
    case TextEncoding::ShiftJis:
        return "SJIS";
    case TextEncoding::EucJp:
        return "EUC-JP";
    default:
        return "";
    }
}

bool decodesCleanly(const char *codec, const QByteArray &bytes)
{
    return !QTextCodec::codecForName(codec)->toUnicode(bytes).contains(QChar::ReplacementCharacter);
}

} // namespace

void TestTextEncoding::choose_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("codec");     // the Qt codec's name
    QTest::addColumn<int>("unitSize");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<int>("bomSize");

    const QByteArray utf16le("\xFF\xFE" "a\0", 4);
    QTest::newRow("SJIS by name, whatever the mark") << "SJIS" << utf16le << QByteArray("Shift_JIS") << 1 << false << 0;
    QTest::newRow("EUC-JP by name") << "EUC-JP" << QByteArray("ab") << QByteArray("EUC-JP") << 1 << false << 0;
    QTest::newRow("UTF-8 by name hides its mark") << "UTF-8" << QByteArray("\xEF\xBB\xBF" "a") << QByteArray("UTF-8") << 1 << false << 3;
    QTest::newRow("UTF-8 by name ignores a UTF-16 mark") << "UTF-8" << utf16le << QByteArray("UTF-8") << 1 << false << 0;
    QTest::newRow("detection: UTF-16LE") << "" << utf16le << QByteArray("UTF-16LE") << 2 << false << 2;
    QTest::newRow("detection: UTF-16BE") << "" << QByteArray("\xFE\xFF\0a", 4) << QByteArray("UTF-16BE") << 2 << true << 2;
    QTest::newRow("detection: UTF-32LE before UTF-16LE") << "" << QByteArray("\xFF\xFE\0\0a\0\0\0", 8) << QByteArray("UTF-32LE") << 4 << false << 4;
    QTest::newRow("detection: UTF-32BE") << "" << QByteArray("\0\0\xFE\xFF\0\0\0a", 8) << QByteArray("UTF-32BE") << 4 << true << 4;
    QTest::newRow("detection: UTF-8 mark") << "" << QByteArray("\xEF\xBB\xBF" "a") << QByteArray("UTF-8") << 1 << false << 3;
    QTest::newRow("detection without a mark: the locale's codec") << "" << QByteArray("ab")
        << QTextCodec::codecForLocale()->name() << 1 << false << 0;
    QTest::newRow("an unknown name detects") << "latin1" << QByteArray("\xFE\xFF\0a", 4) << QByteArray("UTF-16BE") << 2 << true << 2;
}

void TestTextEncoding::choose()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, codec);
    QFETCH(int, unitSize);
    QFETCH(bool, bigEndian);
    QFETCH(int, bomSize);
    const TextEncoding encoding = TextEncoding::choose(codecName, head);
    QVERIFY(encoding.codec);
    QCOMPARE(encoding.codec->name(), codec);
    QCOMPARE(encoding.unitSize, unitSize);
    QCOMPARE(encoding.bigEndian, bigEndian);
    QCOMPARE(encoding.bomSize, bomSize);
}

void TestTextEncoding::decodesEveryTwoByteCode_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<int>("codes");   // how many the table holds
    QTest::newRow("Shift-JIS as CP932") << "SJIS" << 60 * 188;
    QTest::newRow("EUC-JP") << "EUC-JP" << 94 * 94 + 63;
}

// The table comes from Python's codecs (tools/make-decode-table.py): a code
// it defines decodes to exactly that character, any other to U+FFFD first.
void TestTextEncoding::decodesEveryTwoByteCode()
{
    QFETCH(QString, codecName);
    QFETCH(int, codes);
    QFile table(QStringLiteral(TAILPEEK_DECODE_TABLE));
    QVERIFY2(table.open(QIODevice::ReadOnly | QIODevice::Text), qPrintable(table.fileName()));
    const TextEncoding encoding = TextEncoding::choose(codecName, QByteArray());
    int seen = 0;
    QStringList wrong;
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().trimmed().split(' ');
        if (fields.value(0) != codecName.toLatin1())
            continue;
        ++seen;
        const QString text = encoding.decode(QByteArray::fromHex(fields.value(1)));
        bool defined = false;
        const uint expected = fields.value(2).toUInt(&defined, 16);
        const bool right = defined ? text == QString(QChar(expected))
                                   : text.startsWith(QChar::ReplacementCharacter);
        if (!right) {
            QString got;
            for (const QChar c : text)
                got += QString::number(c.unicode(), 16) + QLatin1Char(' ');
            wrong << QString::fromLatin1(fields.value(1) + " wants " + fields.value(2)) + ", got " + got;
        }
    }
    QCOMPARE(seen, codes);
    QVERIFY2(wrong.isEmpty(), qPrintable(QString::number(wrong.size()) + QLatin1String(" codes: ")
                                         + wrong.mid(0, 10).join(QLatin1String("; "))));
}

void TestTextEncoding::decodesInvalidBytes_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    const QString bad(QChar::ReplacementCharacter);
    QTest::newRow("Shift-JIS 80") << "SJIS" << QByteArray() << QByteArray("\x80") << bad;
    QTest::newRow("Shift-JIS A0") << "SJIS" << QByteArray() << QByteArray("\xA0") << bad;
    QTest::newRow("Shift-JIS FD FE: one each") << "SJIS" << QByteArray() << QByteArray("\xFD\xFE") << bad + bad;
    QTest::newRow("Shift-JIS lead byte, ASCII after it") << "SJIS" << QByteArray() << QByteArray("\x81 ") << bad + " ";
    QTest::newRow("Shift-JIS lead byte at the end") << "SJIS" << QByteArray() << QByteArray("a\x82") << "a";
    QTest::newRow("EUC-JP FF") << "EUC-JP" << QByteArray() << QByteArray("\xFF") << bad;
    QTest::newRow("EUC-JP FD FE: one for both") << "EUC-JP" << QByteArray() << QByteArray("\xFD\xFE") << bad;
    QTest::newRow("UTF-8 surrogate") << "UTF-8" << QByteArray() << QByteArray("\xED\xA0\x80" "a") << bad + bad + bad + "a";
    QTest::newRow("UTF-8 mark kept") << "UTF-8" << QByteArray() << QByteArray("\xEF\xBB\xBF" "a") << QString(QChar(0xFEFF)) + "a";
    const QByteArray utf16le("\xFF\xFE", 2);
    QTest::newRow("UTF-16LE lone high surrogate") << "" << utf16le << QByteArray("\0\xD8" "a\0", 4)
                                                  << QString(QChar(0xD800)) + "a";
    QTest::newRow("UTF-16LE odd byte at the end") << "" << utf16le << QByteArray("a\0b", 3) << "a";
    QTest::newRow("UTF-32LE beyond U+10FFFF") << "" << QByteArray("\xFF\xFE\0\0", 4)
                                              << QByteArray("\0\0\x11\0" "a\0\0\0", 8)
                                              << QString(2, QChar(0xDC00)) + "a";
}

// As Qt 5's codecs have it, under either Qt.
void TestTextEncoding::decodesInvalidBytes()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(TextEncoding::choose(codecName, head).decode(bytes), text);
}

void TestTextEncoding::decodesInPieces_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("head");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");   // in one go; an unfinished character at the end dropped

    const QString bad(QChar::ReplacementCharacter);
    // é, €, 😀, a mark, a sequence broken off, a surrogate, a bad lead byte.
    QTest::newRow("UTF-8") << "UTF-8" << QByteArray()
        << QByteArray("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBB\xBF\xEF\xBB" "x\xED\xA0\x80\xC0" "b\xE2\x82")
        << QStringLiteral("aé€😀\uFEFF") + bad + bad + "x" + bad + bad + bad + bad + "b";
    // あ, ｱ, a lead byte before a space, 80, 亜, ソ (its trail byte is '\').
    QTest::newRow("Shift-JIS") << "SJIS" << QByteArray() << QByteArray("a\x82\xA0\xB1\x81 \x80\x88\x9F\x83\x5C\x82")
                               << QStringLiteral("aあｱ") + bad + " " + bad + QStringLiteral("亜ソ");
    // あ, ｱ, 丂 (JIS X 0212), a 0212 prefix broken off, FF.
    QTest::newRow("EUC-JP") << "EUC-JP" << QByteArray() << QByteArray("a\xA4\xA2\x8E\xB1\x8F\xB0\xA1\x8F\xA1" "A\xFF\xA4")
                            << QStringLiteral("aあｱ丂") + bad + bad + "A" + bad;
    QTest::newRow("UTF-16LE") << "" << QByteArray("\xFF\xFE", 2) << QByteArray("a\0\x3D\xD8\x00\xDE\x00\xD8" "b\0c", 11)
                              << QStringLiteral("a😀") + QChar(0xD800) + "b";
    QTest::newRow("UTF-16BE") << "" << QByteArray("\xFE\xFF", 2) << QByteArray("\0a\xD8\x3D\xDE\x00\0b\0", 9)
                              << QStringLiteral("a😀b");
    QTest::newRow("UTF-32LE") << "" << QByteArray("\xFF\xFE\0\0", 4)
                              << QByteArray("a\0\0\0\x00\xF6\x01\x00\0\0\x11\0" "b\0\0\0c\0", 18)
                              << QStringLiteral("a😀") + QString(2, QChar(0xDC00)) + "b";
}

// Bytes handed to one decoder in pieces decode as in one go wherever they are
// cut: in two at every place, and a byte at a time with empty pieces between.
void TestTextEncoding::decodesInPieces()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, head);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    TextDecoder decoder(TextEncoding::choose(codecName, head));
    QCOMPARE(decoder.decode(bytes.constData(), bytes.size()), text);
    for (int cut = 1; cut < bytes.size(); ++cut) {
        decoder.restart();
        QString pieces = decoder.decode(bytes.constData(), cut);
        pieces += decoder.decode(bytes.constData() + cut, bytes.size() - cut);
        QVERIFY2(pieces == text, qPrintable(QStringLiteral("cut after byte %1").arg(cut)));
    }
    decoder.restart();
    QString pieces;
    for (int i = 0; i < bytes.size(); ++i)
        pieces += decoder.decode(bytes.constData() + i, 1) + decoder.decode(bytes.constData() + i, 0);
    QCOMPARE(pieces, text);
}

void TestTextEncoding::alignToCharacter_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<qint64>("position");   // in code units
    QTest::addColumn<qint64>("aligned");

    const QByteArray utf8 = QStringLiteral("a😀é\n").toUtf8();   // 61 F0 9F 98 80 C3 A9 0A
    QTest::newRow("UTF-8, a lead byte") << "UTF-8" << utf8 << qint64(1) << qint64(1);
    QTest::newRow("UTF-8, inside a 4-byte character") << "UTF-8" << utf8 << qint64(2) << qint64(5);
    QTest::newRow("UTF-8, its last byte") << "UTF-8" << utf8 << qint64(4) << qint64(5);
    QTest::newRow("UTF-8, inside a 2-byte character") << "UTF-8" << utf8 << qint64(6) << qint64(7);
    QTest::newRow("UTF-8, past the end") << "UTF-8" << utf8 << qint64(20) << qint64(8);
    // FF FE, 'a', D83D DE00: the low half at unit 3 moves on to unit 4.
    const QByteArray utf16("\xFF\xFE" "a\0" "\x3D\xD8" "\x00\xDE" "b\0", 10);
    QTest::newRow("UTF-16, a high half") << "" << utf16 << qint64(2) << qint64(2);
    QTest::newRow("UTF-16, a low half") << "" << utf16 << qint64(3) << qint64(4);
    // x, then 亜 (88 9F) twice: 9F is a trail byte that could also lead.
    const QByteArray sjis("x\x88\x9F\x88\x9F\n");
    QTest::newRow("Shift-JIS, a lead-range trail byte") << "SJIS" << sjis << qint64(2) << qint64(3);
    QTest::newRow("Shift-JIS, a lead byte") << "SJIS" << sjis << qint64(3) << qint64(3);
    // ソ is 83 5C: its trail byte is ASCII '\'.
    QTest::newRow("Shift-JIS, an ASCII trail byte") << "SJIS" << QByteArray("x\x83\x5C" "y") << qint64(2) << qint64(3);
    // x, あ (A4 A2), い (A4 A4).
    const QByteArray euc("x\xA4\xA2\xA4\xA4\n");
    QTest::newRow("EUC-JP, a trail byte") << "EUC-JP" << euc << qint64(2) << qint64(3);
    QTest::newRow("EUC-JP, the next lead byte") << "EUC-JP" << euc << qint64(3) << qint64(3);
    QTest::newRow("EUC-JP, half-width katakana") << "EUC-JP" << QByteArray("x\x8E\xB1y") << qint64(2) << qint64(3);
}

void TestTextEncoding::alignToCharacter()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, bytes);
    QFETCH(qint64, position);
    QFETCH(qint64, aligned);
    QTemporaryFile file;
    QVERIFY(file.open());
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
    QVERIFY(file.flush());
    FileBytes fileBytes(file.handle(), bytes.size());
    const TextEncoding encoding = TextEncoding::choose(codecName, fileBytes.head());
    QCOMPARE(encoding.alignToCharacter(fileBytes, position, bytes.size() / encoding.unitSize), aligned);
}

void TestTextEncoding::detectJapanese_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("mustMatch");   // false: any choice that decodes as cleanly as the rest

    QTest::newRow("ASCII only") << QByteArray("2026-12-09 INFO ok\n") << "" << true;
    QTest::newRow("empty") << QByteArray() << "" << true;
    QTest::newRow("UTF-8 that is not Japanese") << QByteArray("caf\xC3\xA9\n") << "UTF-8" << true;
    QTest::newRow("a sequence cut by the end says nothing") << QByteArray("0123456789 \xE3\x81") << "" << true;
    QTest::newRow("EUC-JP, one character") << QByteArray("x \xA4\xA2\n") << "EUC-JP" << true;
    QTest::newRow("Shift-JIS, one character") << QByteArray("x \x82\xA0\n") << "SJIS" << true;
    QTest::newRow("Shift-JIS, an ASCII trail byte") << QByteArray("\x95\x5C\x8E\xA6\n") << "SJIS" << true;
    QTest::newRow("undecodable in all three") << QByteArray("\xFF\xFE\xFD\x80\n") << "" << true;

    // Windows of generated log lines (tools/make-detection-windows.py).
    QFile file(QStringLiteral(TAILPEEK_DETECTION_WINDOWS));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split('\t');
        QCOMPARE(fields.size(), 4);
        QTest::newRow(fields[0].constData()) << QByteArray::fromHex(fields[3]) << QString::fromLatin1(fields[1])
                                             << (fields[2].toInt() >= 4);
    }
}

void TestTextEncoding::detectJapanese()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    QFETCH(bool, mustMatch);
    const char *chosen = codecOf(TextEncoding::detectJapanese(bytes));
    if (mustMatch)
        QCOMPARE(QString::fromLatin1(chosen), expected);
    if (*chosen && !decodesCleanly(chosen, bytes)) {
        for (const char *other : {"UTF-8", "SJIS", "EUC-JP"})
            QVERIFY2(!decodesCleanly(other, bytes), other);
    }
}

QTEST_GUILESS_MAIN(TestTextEncoding)
#include "tst_textencoding.moc"
