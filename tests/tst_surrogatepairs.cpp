// Characters outside the BMP, a surrogate pair in the decoded text, in every
// encoding that has them and every mode: a read of maxLineChars characters
// counts a pair as one and never ends between its halves, and no backward
// scan starts a window there.

#include "encodedtext.h"
#include "linewindowreader.h"
#include "enginetestkit.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSurrogatePairs : public QObject
{
    Q_OBJECT

private:
    ScratchFiles files;

    void addColumns()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QVariant>("request");
        QTest::addColumn<QString>("expected");
    }

private slots:
    void initTestCase() { QVERIFY(files.isValid()); }
    void surrogatePairsWhole_data();
    void surrogatePairsWhole();
    void scansKeepPairsWhole_data();
    void scansKeepPairsWhole();
};

Q_DECLARE_METATYPE(WindowRequest)

namespace {

// The encodings that can hold characters outside the BMP (Shift-JIS and
// EUC-JP cannot: Qt's codecs map them to BMP characters only), each with
// the codec name that reads it.
struct PairCodec
{
    const char *codec;
    bool mark;
    const char *codecName;
};
const PairCodec PairCodecs[] = {
    {"UTF-8", false, "UTF-8"},  {"UTF-8", false, ""},      {"UTF-8", true, ""},
    {"UTF-16LE", true, ""},     {"UTF-16BE", true, ""},    {"UTF-32LE", true, ""},
    {"UTF-32BE", true, ""},
};

QString pairCodecName(const PairCodec &c)
{
    return QStringLiteral("%1%2, codec '%3'")
        .arg(QLatin1String(c.codec), QLatin1String(c.mark ? " mark" : ""), QLatin1String(c.codecName));
}

} // namespace

// A read of maxLineChars characters counts a surrogate pair as one and never
// ends between its halves, in every encoding that has pairs and every mode.
void TestSurrogatePairs::surrogatePairsWhole_data()
{
    addColumns();
    const QString a999 = QString(999, QLatin1Char('a'));
    for (const PairCodec &c : PairCodecs) {
        const QString codecName = QLatin1String(c.codecName);
        auto row = [&](const char *what, const QString &text, const WindowRequest &request,
                       const QString &expected) {
            QTest::newRow(qPrintable(pairCodecName(c) + QLatin1String(", ") + QLatin1String(what)))
                << encoded(c.codec, text, c.mark) << QVariant::fromValue(request) << expected;
        };
        const QString longLine = a999 + QStringLiteral("😀b\n");
        const QString longExpected = a999 + QStringLiteral("😀\nb\n\n");
        row("999 a, U+1F600, b; header", longLine, makeRequest(Header, 3, 1000, 0, codecName), longExpected);
        row("999 a, U+1F600, b; newest", longLine, makeRequest(Newest, 3, 1000, 0, codecName), longExpected);
        row("999 a, U+1F600, b; percent 50", longLine, makeRequest(Percent, 3, 1000, 50, codecName),
            longExpected);
        const QString shortLine = QStringLiteral("😀x\n");
        row("limit 1; header", shortLine, makeRequest(Header, 3, 1, 0, codecName), QStringLiteral("😀\nx\n\n"));
        row("limit 1; newest", shortLine, makeRequest(Newest, 3, 1, 0, codecName), QStringLiteral("😀\nx\n\n"));
        row("limit 1; percent 0", shortLine, makeRequest(Percent, 3, 1, 0, codecName),
            QStringLiteral("😀\nx\n\n"));
        const QString name = QStringLiteral("𠮷野家\n");
        row("U+20BB7, limit 2; header", name, makeRequest(Header, 2, 2, 0, codecName), QStringLiteral("𠮷野\n家\n"));
        row("U+20BB7, limit 2; newest", name, makeRequest(Newest, 5, 2, 0, codecName),
            QStringLiteral("𠮷野\n家\n\n"));
        WindowRequest filtered = makeRequest(Header, 3, 1, 0, codecName);
        filtered.extract = true;
        filtered.highlightText = QStringLiteral("𠮷");
        row("U+20BB7, limit 1, filter", name, filtered, QStringLiteral("𠮷\n"));
    }
}

void TestSurrogatePairs::scansKeepPairsWhole_data()
{
    QTest::addColumn<int>("codec");
    QTest::addColumn<int>("mode");
    for (int i = 0; i < int(sizeof PairCodecs / sizeof *PairCodecs); ++i) {
        for (int mode : {Header, Newest, Percent})
            QTest::newRow(qPrintable(pairCodecName(PairCodecs[i]) + QStringLiteral(", mode %1").arg(mode)))
                << i << mode;
    }
}

// Wherever a scan or a read stops, the window holds no lone half of a pair,
// no read is longer than the limit, and it is the file's text from where it
// starts (line feeds aside).
void TestSurrogatePairs::scansKeepPairsWhole()
{
    QFETCH(int, codec);
    QFETCH(int, mode);
    const PairCodec &c = PairCodecs[codec];
    const QString text = QStringLiteral("x😀\n😀😀😀😀😀\nab𠮷c😀😀d𠮷𠮷𠮷\n😀\n\n𝄞e𝄞f𝄞g😀😀😀😀😀😀h");
    const QString path = files.write(encoded(c.codec, text, c.mark));
    QString flat = text;
    flat.remove(QLatin1Char('\n'));
    for (int limit : {1, 2, 3, 5}) {
        for (int lines : {1, 2, 3, 7}) {
            for (double percent : {0.0, 10.0, 33.3, 50.0, 61.0, 77.0, 95.0}) {
                if (mode != Percent && percent > 0)
                    break;
                const WindowRequest request = makeRequest(mode, lines, limit, percent, QLatin1String(c.codecName));
                const WindowResult result = LineWindowReader::read(path, request);
                const QString where = QStringLiteral("limit %1, N=%2, P=%3: '%4'")
                                          .arg(limit).arg(lines).arg(percent).arg(result.text);
                QVERIFY2(result.status == WindowResult::Read, qPrintable(where));
                QVERIFY2(!hasLoneSurrogate(result.text), qPrintable(where));
                const QStringList reads = result.text.split(QLatin1Char('\n'));
                for (const QString &read : reads)
                    QVERIFY2(characters(read) <= limit, qPrintable(where));
                QString shown = result.text;
                shown.remove(QLatin1Char('\n'));
                QVERIFY2(flat.contains(shown), qPrintable(where));
            }
        }
    }
}

void TestSurrogatePairs::surrogatePairsWhole()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QVariant, request);
    QFETCH(QString, expected);
    const WindowResult result = LineWindowReader::read(files.write(bytes), request.value<WindowRequest>());
    QCOMPARE(result.status, WindowResult::Read);
    QCOMPARE(result.text, expected);
}

QTEST_GUILESS_MAIN(TestSurrogatePairs)
#include "tst_surrogatepairs.moc"
