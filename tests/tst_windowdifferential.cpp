// The engine against the literal stream-based oracle on many generated files.
//
// Files: seeded random, so every row can be rebuilt from its seed. ASCII and
// Japanese text (hiragana, katakana, kanji whose Shift-JIS trail bytes are
// ASCII or lead-range bytes, half-width katakana; in UTF-8 also characters
// outside the BMP, emoji and CJK Extension B) in UTF-8, Shift-JIS and
// EUC-JP with LF endings; empty lines, lines of exactly the per-line limit or
// twice it, lines longer than it, empty files, files without a final LF.
// Requests: all three modes with random N, percent position, per-line limit
// and codec name ("" for UTF-8 files too), the extract filter on and off.
//
// Where the engine deliberately reads differently, the oracle is given the
// same mend, done its own way, instead of leaving those cases out:
// - no window starts inside a character: the oracle seeks to the next
//   character boundary known from the generator (not from the engine) where
//   its scans stop inside a line;
// - newest mode reads to the end of the file: the oracle reads lines until
//   its stream is at the end, then one more when the last byte is a LF.
// Newest mode is in addition compared with the unmended oracle wherever the
// specified N + 1 reads are the same thing (no line longer than the limit,
// more than N + 1 line feeds, the last one needed past byte 1).
// Left out: CR LF files, byte-order marks, UTF-16/32, limits below 1 or above
// 9999 and non-regular files; their own tests cover them.

#include "linewindowreader.h"
#include "literalreader.h"

#include <QFile>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextCodec>
#include <QtTest>

namespace {

const int Limits[] = {1, 2, 3, 4, 5, 7, 10, 16, 33, 80, 1000};
const char *const Codecs[] = {"UTF-8", "SJIS", "EUC-JP"};
const char *const Highlights[] = {"err", "ERR", "あ", "ア", "1", "ｱ", "x", ""};

struct Sample
{
    QByteArray bytes;
    QVector<bool> charStart;      // per byte, and at the end: a character begins here
    QVector<qint64> lineFeeds;    // byte offsets of the line feeds
    QVector<int> lineBytes;       // each line's length in bytes, without its line feed
    int limit = 1;                // the per-line limit the lines were made around
};

class SampleMaker
{
public:
    SampleMaker(quint32 seed, QTextCodec *codec)
        : rng(seed), codec(codec), astral(codec->mibEnum() == 106)   // only UTF-8 encodes them
    {
    }

    Sample make()
    {
        Sample sample;
        sample.limit = pick(Limits);
        const double japanese = QList<double>{0.0, 0.3, 0.8}.at(int(rng.bounded(3)));
        const int lines = rng.bounded(20) == 0 ? int(rng.bounded(2)) : int(rng.bounded(40));
        const bool finalLineFeed = rng.bounded(10) < 7;
        for (int i = 0; i < lines; ++i) {
            const QStringList line = makeLine(i, sample.limit, japanese);
            const int before = sample.bytes.size();
            for (const QString &c : line)
                append(sample, c);
            sample.lineBytes.append(sample.bytes.size() - before);
            if (i + 1 < lines || finalLineFeed) {
                sample.lineFeeds.append(sample.bytes.size());
                append(sample, QStringLiteral("\n"));
            }
        }
        sample.charStart.append(true);
        return sample;
    }

    WindowRequest request(int mode, const Sample &sample, const char *codecName)
    {
        WindowRequest request;
        request.startMode = startModeFromIndex(mode);
        request.lineCount = 1 + rng.bounded(45);
        request.maxLineChars = rng.bounded(10) < 7 ? sample.limit : pick(Limits);
        const int where = int(rng.bounded(10));
        request.percent = where == 0 ? 0.0 : where == 1 ? 100.0 : rng.bounded(10000001) / 100000.0;
        request.codecName = QLatin1String(codecName);
        if (request.codecName == QLatin1String("UTF-8") && rng.bounded(3) == 0)
            request.codecName.clear();   // Unicode detection, no mark: the locale's UTF-8
        request.extract = rng.bounded(10) < 3;
        request.highlightText = QString::fromUtf8(pick(Highlights));
        return request;
    }

private:
    template <typename T, size_t n>
    T pick(const T (&from)[n]) { return from[rng.bounded(int(n))]; }

    // The line's characters, a surrogate pair as one.
    QStringList makeLine(int number, int limit, double japanese)
    {
        static const QString ascii = QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;=-_()#/");
        static const QString kana = QStringLiteral("あいうえおかきくけこアイウエオソ表能亜漢字日本語ｱｲｳｴｵー。、");
        static const QStringList outsideBmp = {QStringLiteral("😀"), QStringLiteral("𠮷"), QStringLiteral("𝄞")};
        int length;
        const int kind = int(rng.bounded(20));
        if (kind < 2)
            length = 0;
        else if (kind < 4 && limit <= 120)
            length = limit * (1 + kind % 2);   // exactly the limit, or twice it
        else if (kind < 7 && limit < 300)
            length = limit + 1 + int(rng.bounded(qMin(2 * limit + 2, 300 - limit)));
        else
            length = 1 + int(rng.bounded(40));
        QString prefix = QString::number(number) + QLatin1Char(':');
        if (rng.bounded(10) < 3)
            prefix += QLatin1String(rng.bounded(2) ? "err" : "ERR");
        QStringList line;
        for (QChar c : prefix.left(length))
            line += QString(c);
        while (line.size() < length) {
            if (astral && rng.bounded(8) == 0) {
                line += outsideBmp.at(int(rng.bounded(outsideBmp.size())));
                continue;
            }
            const QString &from = rng.generateDouble() < japanese ? kana : ascii;
            line += QString(from.at(int(rng.bounded(from.size()))));
        }
        return line;
    }

    void append(Sample &sample, const QString &c)
    {
        auto found = encodedChars.find(c);
        if (found == encodedChars.end())
            found = encodedChars.insert(c, codec->fromUnicode(c));
        sample.charStart.append(true);
        for (int i = 1; i < found->size(); ++i)
            sample.charStart.append(false);
        sample.bytes += *found;
    }

    QRandomGenerator rng;
    QTextCodec *codec;
    bool astral;
    QHash<QString, QByteArray> encodedChars;
};

QString describe(const WindowRequest &r)
{
    return QStringLiteral("mode %1 N=%2 max=%3 P=%4 codec '%5' extract=%6 '%7'")
        .arg(r.startMode).arg(r.lineCount).arg(r.maxLineChars).arg(r.percent, 0, 'f', 5)
        .arg(r.codecName).arg(r.extract).arg(r.highlightText);
}

// Empty when equal, otherwise where and how the two texts part.
QString firstDifference(const QString &actual, const QString &expected)
{
    if (actual == expected)
        return QString();
    int i = 0;
    while (i < actual.size() && i < expected.size() && actual.at(i) == expected.at(i))
        ++i;
    return QStringLiteral("differ at %1 (sizes %2, %3): engine '%4' oracle '%5'")
        .arg(i).arg(actual.size()).arg(expected.size())
        .arg(actual.mid(i, 24), expected.mid(i, 24));
}

// The newest-mode window is the specified N + 1 reads: the (N + 1)-th line
// feed from the end lies past byte 1, and no line after it is cut or split.
bool ordinaryNewest(const Sample &sample, const WindowRequest &request)
{
    const int boundaries = sample.lineFeeds.size();
    const int n = int(request.lineCount);
    if (boundaries <= n + 1 || sample.lineFeeds.at(boundaries - 1 - n) < 2)
        return false;
    const QVector<int> &lengths = sample.lineBytes;
    for (int i = lengths.size() - 1; i >= 0 && i >= boundaries - n; --i) {
        if (lengths.at(i) > request.maxLineChars)
            return false;
    }
    return true;
}

} // namespace

class TestWindowDifferential : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void engineMatchesOracle_data();
    void engineMatchesOracle();
    void oracleIsLiteral_data();
    void oracleIsLiteral();
    void cleanupTestCase();

private:
    QTemporaryDir dir;
    int compared = 0;
    int comparedUnmended = 0;
};

void TestWindowDifferential::engineMatchesOracle_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 500; ++seed) {
        const char *codec = Codecs[seed % 3];
        QTest::newRow(qPrintable(QStringLiteral("seed %1 %2").arg(seed).arg(QLatin1String(codec)))) << seed;
    }
}

void TestWindowDifferential::engineMatchesOracle()
{
    QFETCH(quint32, seed);
    const char *codecName = Codecs[seed % 3];
    SampleMaker maker(seed, QTextCodec::codecForName(codecName));
    const Sample sample = maker.make();
    const QString path = dir.filePath(QStringLiteral("seed%1.txt").arg(seed));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(sample.bytes), qint64(sample.bytes.size()));
    file.close();

    LiteralMends mends;
    mends.newestToEnd = true;
    mends.alignStart = [&sample](qint64 byte) {
        while (byte < sample.bytes.size() && !sample.charStart.at(int(byte)))
            ++byte;
        return qMin(byte, qint64(sample.bytes.size()));
    };
    // One request per mode, then a newest-mode one of few lines and a wide
    // limit, which is often the specified N + 1 reads.
    const int fewLines = -1;
    for (int mode : {int(WindowRequest::HeaderMode), int(WindowRequest::NewestMode),
                     int(WindowRequest::PercentMode), fewLines}) {
        WindowRequest request = maker.request(mode == fewLines ? WindowRequest::NewestMode : mode,
                                              sample, codecName);
        if (mode == fewLines) {
            request.lineCount = 1 + seed % 6;
            request.maxLineChars = 1000;
        }
        const WindowResult result = LineWindowReader::read(path, request);
        QCOMPARE(result.status, WindowResult::Read);
        const QString oracle = LiteralReader::read(path, request, mends);
        const QString difference = firstDifference(result.text, oracle);
        QVERIFY2(difference.isEmpty(), qPrintable(describe(request) + QLatin1String(": ") + difference));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
        // The stream that Qt 6 reads through reads as Qt 5's own.
        const QString remade = firstDifference(LiteralReader::readRemade(path, request, mends), oracle);
        QVERIFY2(remade.isEmpty(), qPrintable(describe(request) + QLatin1String(", remade: ") + remade));
#endif
        ++compared;
        if (request.startMode == WindowRequest::NewestMode && ordinaryNewest(sample, request)) {
            const QString unmended = firstDifference(result.text, LiteralReader::read(path, request));
            QVERIFY2(unmended.isEmpty(), qPrintable(describe(request) + QLatin1String(", unmended: ") + unmended));
            ++comparedUnmended;
        }
    }
}

// The oracle reads the literal way, faults included (except exact-length
// lines and split surrogate pairs).
void TestWindowDifferential::oracleIsLiteral_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("maxChars");
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QString>("expected");
    const int header = WindowRequest::HeaderMode;
    const int newest = WindowRequest::NewestMode;
    const int percent = WindowRequest::PercentMode;
    QTest::newRow("CR LF counted twice") << QByteArray("a\r\nb\r\nc\r\n") << newest << 2 << 1000 << "UTF-8" << "c\n\n\n";
    QTest::newRow("short file drops its last line") << QByteArray("a\nb") << newest << 5 << 1000 << "UTF-8" << "a\n";
    QTest::newRow("no line feed shows nothing") << QByteArray("hello") << newest << 5 << 1000 << "UTF-8" << "";
    QTest::newRow("long last line stops short") << QByteArray("x\nabcdefghij") << newest << 1 << 4 << "UTF-8" << "bcde\nfghi\n";
    QTest::newRow("exact-length lines are one read") << QByteArray("abcdefghij\nk\nabcd\nefgh\n") << header << 6 << 4
                                                     << "UTF-8" << "abcd\nefgh\nij\nk\nabcd\nefgh\n";
    QTest::newRow("a surrogate pair is one character") << QByteArray("\xf0\x9f\x98\x80x\n\xf0\xa0\xae\xb7") << header
                                                       << 3 << 1 << "UTF-8" << QStringLiteral("😀\nx\n𠮷\n");
    const QByteArray utf16("\xff\xfe" "l\0" "1\0" "\n\0" "l\0" "2\0" "\n\0" "l\0" "3\0" "\n\0" "l\0" "4\0" "\n\0", 26);
    QTest::newRow("UTF-16 mark unseen in percent mode") << utf16 << percent << 3 << 1000 << ""
        << QString::fromUtf16(u"\0l\0003\0\n\0l\0004\0\n\0\n", 14);
    QTest::newRow("UTF-16 mark seen in header mode") << utf16 << header << 3 << 1000 << "" << "l1\nl2\nl3\n";
}

void TestWindowDifferential::oracleIsLiteral()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, mode);
    QFETCH(int, lines);
    QFETCH(int, maxChars);
    QFETCH(QString, codecName);
    QFETCH(QString, expected);
    const QString path = dir.filePath(QStringLiteral("literal.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    WindowRequest request;
    request.startMode = startModeFromIndex(mode);
    request.lineCount = lines;
    request.maxLineChars = maxChars;
    request.percent = 50;
    request.codecName = codecName;
    QCOMPARE(LiteralReader::read(path, request), expected);
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCOMPARE(LiteralReader::readRemade(path, request), expected);
#endif
}

void TestWindowDifferential::cleanupTestCase()
{
    qInfo("%d windows compared with the oracle, %d newest-mode windows also with the unmended one",
          compared, comparedUnmended);
}

QTEST_GUILESS_MAIN(TestWindowDifferential)
#include "tst_windowdifferential.moc"
