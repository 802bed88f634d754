// FileSearch against a plain reference: generated files whose every read is
// known in advance (its text and the byte where it starts, counted from the
// lines as they were encoded), searched with QString::indexOf and
// QRegularExpression read by read.

#include "encodedtext.h"
#include "enginetestkit.h"
#include "filesearch.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

struct RefRead
{
    qint64 start;
    QString text;
    std::vector<qint64> unitBytes;   // where each unit of text starts in the file
};

struct RefFile
{
    QByteArray bytes;
    std::vector<RefRead> reads;
    std::vector<int> lineFirstRead;   // the first read of each line
};

// Text encoded character by character, so that every character's byte is known.
struct Encoder
{
    QByteArray codec;
    int unitSize() const { return codec.startsWith("UTF-32") ? 4 : codec.startsWith("UTF-16") ? 2 : 1; }
};

// The file's lines (raw, carriage returns included) in the codec behind bom,
// each line ending in "\n" unless it is the last and finalLineFeed is false.
RefFile makeFile(const Encoder &encoder, const QByteArray &bom, const QStringList &lines, bool finalLineFeed,
                 int maxChars)
{
    RefFile file;
    file.bytes = bom;
    for (int l = 0; l < lines.size(); ++l) {
        const QString &raw = lines[l];
        const qint64 lineStart = file.bytes.size();
        const bool terminated = l + 1 < lines.size() || finalLineFeed;
        QString text;
        std::vector<qint64> bytes;
        for (int i = 0; i < raw.size(); ++i) {
            const int width = raw.at(i).isHighSurrogate() && i + 1 < raw.size() ? 2 : 1;
            if (raw.at(i) != QLatin1Char('\r')) {
                for (int k = 0; k < width; ++k) {
                    text.append(raw.at(i + k));
                    bytes.push_back(file.bytes.size());
                }
            }
            file.bytes += encoded(encoder.codec, raw.mid(i, width));
            i += width - 1;
        }
        file.lineFirstRead.push_back(int(file.reads.size()));
        if (text.isEmpty() && terminated)
            file.reads.push_back({lineStart, QString(), {}});
        for (int from = 0; from < text.size();) {
            int to = from;
            for (int chars = 0; chars < maxChars && to < text.size(); ++chars)
                to += text.at(to).isHighSurrogate() && to + 1 < text.size() ? 2 : 1;
            file.reads.push_back({bytes[size_t(from)], text.mid(from, to - from),
                                  std::vector<qint64>(bytes.begin() + from, bytes.begin() + to)});
            from = to;
        }
        if (terminated)
            file.bytes += encoded(encoder.codec, QStringLiteral("\n"));
    }
    return file;
}

// Lines of words from a small vocabulary, some longer than the limit, one
// longer than the search's blocks when asked; the first starts and the last
// ends with "ERROR".
QStringList makeLines(bool unicode, bool crLf, bool hugeLine, int count)
{
    QStringList words = {"alpha", "ERROR", "error", "Err", "user=u31337", QString::fromUtf8("ログ"),
                         QString::fromUtf8("エラー"), "k9", "K9", "beta", "x", ""};
    if (unicode)
        words << QString::fromUtf8("\u212A9") << QString::fromUtf8("😀") << QString::fromUtf8("é");
    QStringList lines;
    quint32 seed = 12345;
    const auto next = [&seed](quint32 range) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % range;
    };
    for (int l = 0; l < count; ++l) {
        QString line = l == 0 ? QStringLiteral("ERROR first") : QString();
        const int length = next(10) == 0 ? 20 + int(next(30)) : int(next(6));
        for (int w = 0; w < length; ++w)
            line += words[int(next(quint32(words.size())))] + QLatin1Char(' ');
        if (l == count / 2 && hugeLine)
            line += QString(300 * 1024, QLatin1Char('z')) + QStringLiteral(" ERROR in a huge line");
        if (l == count / 3)
            line += QStringLiteral("a carriage return inside: ER\rROR");
        if (l + 1 == count)
            line += QStringLiteral("last ERROR");
        if (crLf && l + 1 < count)
            line += QLatin1Char('\r');
        lines << line;
    }
    return lines;
}

QRegularExpression expressionOf(const MatchPattern &pattern)
{
    return QRegularExpression(pattern.text, pattern.caseSensitive ? QRegularExpression::NoPatternOption
                                                                  : QRegularExpression::CaseInsensitiveOption);
}

TextMatch referenceMatch(const MatchPattern &pattern, const QRegularExpression &expression, const QString &text,
                         bool last)
{
    TextMatch found;
    const Qt::CaseSensitivity cs = pattern.caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    for (int from = 0;;) {
        TextMatch m;
        if (pattern.regex) {
            const QRegularExpressionMatch r = expression.match(text, from);
            if (r.hasMatch())
                m = {int(r.capturedStart()), int(r.capturedLength())};
        } else {
            const int at = text.indexOf(pattern.text, from, cs);
            if (at >= 0)
                m = {at, int(pattern.text.size())};
        }
        if (!m.found() || m.length == 0)
            return found;
        found = m;
        if (!last)
            return found;
        from = m.end();
    }
}

} // namespace

class TestFileSearch : public QObject
{
    Q_OBJECT

private slots:
    void differential_data();
    void differential();
    void anchoredWindow_data();
    void anchoredWindow();
    void resumeAfterAppend();
    void scanInterrupted_data();
    void scanInterrupted();

private:
    ScratchFiles files;
};

void TestFileSearch::differential_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("codec");
    QTest::addColumn<bool>("withBom");
    QTest::addColumn<bool>("crLf");
    QTest::addColumn<bool>("finalLineFeed");
    QTest::addColumn<bool>("hugeLine");
    QTest::addColumn<bool>("strayByte");   // the file ends in part of a unit, which shows nothing

    QTest::newRow("UTF-8, LF") << "UTF-8" << QByteArray("UTF-8") << false << false << true << false << false;
    QTest::newRow("UTF-8, CR LF, no final LF, a huge line") << "UTF-8" << QByteArray("UTF-8") << false << true
                                                           << false << true << false;
    QTest::newRow("UTF-8 with its mark, detected") << "" << QByteArray("UTF-8") << true << false << false << false
                                                   << false;
    QTest::newRow("Shift-JIS, CR LF") << "SJIS" << QByteArray("Shift_JIS") << false << true << true << false << false;
    QTest::newRow("EUC-JP, no final LF") << "EUC-JP" << QByteArray("EUC-JP") << false << false << false << false
                                         << false;
    QTest::newRow("UTF-16LE, a stray byte") << "" << QByteArray("UTF-16LE") << true << false << true << false << true;
    QTest::newRow("UTF-16BE, CR LF") << "" << QByteArray("UTF-16BE") << true << true << false << false << false;
    QTest::newRow("UTF-32LE") << "" << QByteArray("UTF-32LE") << true << false << false << false << false;
    QTest::newRow("UTF-32BE, CR LF, a stray byte") << "" << QByteArray("UTF-32BE") << true << true << true << false
                                                   << true;
}

void TestFileSearch::differential()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, codec);
    QFETCH(bool, withBom);
    QFETCH(bool, crLf);
    QFETCH(bool, finalLineFeed);
    QFETCH(bool, hugeLine);
    QFETCH(bool, strayByte);
    const int maxChars = 40;
    const bool unicode = codec.startsWith("UTF");
    const Encoder encoder{codec};
    const QByteArray bom = withBom ? encoded(codec, QString(), true) : QByteArray();
    // Enough lines to fill two or more of the search's blocks of 256 KiB.
    const RefFile ref = makeFile(encoder, bom, makeLines(unicode, crLf, hugeLine, 25000 / encoder.unitSize()),
                                 finalLineFeed, maxChars);
    const QString path = files.write(strayByte ? ref.bytes + 'A' : ref.bytes);
    const int reads = int(ref.reads.size());

    SearchRequest request;
    request.path = path;
    request.codecName = codecName;
    request.maxLineChars = maxChars;
    request.leadReads = 5;
    request.extractFilter = QStringLiteral("e");
    const QList<MatchPattern> patterns = {
        {"error", false, false}, {"ERROR", false, true}, {QString::fromUtf8("エラー"), false, false},
        {"k9 ", false, false},   {"u\\d+7", true, true}, {"^err", true, false},
        {"absent", false, false}, {"ERROR$", true, true}};
    // Ranges as read indices: [from, end), from being a line's first read.
    const int middle = ref.lineFirstRead[ref.lineFirstRead.size() / 2 - 3];
    const QVector<QPair<int, int>> ranges = {{0, reads}, {middle, reads - reads / 5}};
    for (const MatchPattern &pattern : patterns) {
        request.pattern = pattern;
        const QRegularExpression expression = expressionOf(pattern);
        for (const auto &range : ranges) {
            request.fromByte = range.first == 0 ? 0 : ref.reads[size_t(range.first)].start;
            request.skipReads = range.first == 0 ? 0 : 3;
            request.endByte = range.second == reads ? -1 : ref.reads[size_t(range.second)].start;
            const int first = range.first + int(request.skipReads);
            for (const bool backward : {false, true}) {
                request.backward = backward;
                int expected = -1;
                TextMatch match;
                for (int i = first; i < range.second && (expected < 0 || backward); ++i) {
                    const TextMatch m = referenceMatch(pattern, expression, ref.reads[size_t(i)].text, backward);
                    if (m.found()) {
                        expected = i;
                        match = m;
                    }
                }
                const QString what = QStringLiteral("%1 %2 from %3").arg(pattern.text, backward ? "backward" : "forward")
                                         .arg(range.first);
                const SearchResult result = FileSearch::find(request);
                QVERIFY2(result.status == (expected >= 0 ? SearchResult::Found : SearchResult::NotFound),
                         qPrintable(what));
                if (expected < 0)
                    continue;
                const RefRead &read = ref.reads[size_t(expected)];
                QVERIFY2(result.hit.readStart == read.start, qPrintable(what));
                QCOMPARE(result.hit.readText, read.text);
                QCOMPARE(result.hit.match.start, match.start);
                QCOMPARE(result.hit.match.length, match.length);
                QCOMPARE(result.hit.matchByte, read.unitBytes[size_t(match.start)]);
                const int anchor = qMax(0, expected - request.leadReads);
                QVERIFY2(result.hit.anchorByte == ref.reads[size_t(anchor)].start,
                         qPrintable(what + QStringLiteral(": anchor %1, hit %2").arg(result.hit.anchorByte).arg(read.start)));
                int inWindow = -1;
                if (read.text.contains(request.extractFilter, Qt::CaseInsensitive)) {
                    inWindow = 0;
                    for (int i = anchor; i < expected; ++i)
                        inWindow += ref.reads[size_t(i)].text.contains(request.extractFilter, Qt::CaseInsensitive);
                }
                QCOMPARE(result.hit.readInWindow, inWindow);
                QCOMPARE(FileSearch::readAt(path, codecName, maxChars, read.start), read.text);
            }
            // Every matching read, those holding "user" left out.
            const MatchPattern exclude{"user", false, false};
            std::vector<qint64> expected;
            for (int i = first; i < range.second; ++i) {
                const QString &text = ref.reads[size_t(i)].text;
                if (referenceMatch(pattern, expression, text, false).found() && !text.contains(exclude.text, Qt::CaseInsensitive))
                    expected.push_back(ref.reads[size_t(i)].start);
            }
            std::vector<qint64> listed;
            const FileSearch::Listing listing = FileSearch::listAll(
                request, exclude, -1, [&](const std::vector<qint64> &batch) { listed.insert(listed.end(), batch.begin(), batch.end()); });
            QVERIFY2(listed == expected, qPrintable(pattern.text));
            QCOMPARE(listing.count, qint64(expected.size()));
            // A limit stops the listing after that many.
            listed.clear();
            const FileSearch::Listing limited = FileSearch::listAll(
                request, exclude, 3, [&](const std::vector<qint64> &batch) { listed.insert(listed.end(), batch.begin(), batch.end()); });
            expected.resize(qMin<size_t>(expected.size(), 3));
            QVERIFY2(listed == expected, qPrintable(pattern.text));
            QCOMPARE(limited.limited, listing.count >= 3);
        }
    }
}

void TestFileSearch::anchoredWindow_data()
{
    QTest::addColumn<QString>("codecName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<double>("percent");
    QTest::addColumn<qint64>("anchorByte");
    QTest::addColumn<QString>("window");

    QTest::newRow("in the middle of a line") << "UTF-8" << QByteArray("abc\ndef\n") << 0.0 << qint64(5) << "ef\n\n";
    QTest::newRow("the anchor, not the percentage") << "UTF-8" << QByteArray("abc\ndef\n") << 10.0 << qint64(4)
                                                    << "def\n\n";
    QTest::newRow("at 0: past the byte-order mark") << "" << encoded("UTF-16LE", "ab\ncd\n", true) << 0.0
                                                    << qint64(0) << "ab\ncd\n";
    QTest::newRow("inside a character: the next one") << "UTF-8" << QByteArray("\xC3\xA9x\ny\n") << 0.0
                                                       << qint64(1) << "x\ny\n";
    QTest::newRow("past the end") << "UTF-8" << QByteArray("abc\n") << 0.0 << qint64(100) << "\n\n";
}

void TestFileSearch::anchoredWindow()
{
    QFETCH(QString, codecName);
    QFETCH(QByteArray, bytes);
    QFETCH(double, percent);
    QFETCH(qint64, anchorByte);
    QFETCH(QString, window);
    WindowRequest request = makeRequest(Percent, 2, WindowRequest::DefaultLineChars, percent, codecName);
    request.anchorByte = anchorByte;
    const WindowResult result = LineWindowReader::read(files.write(bytes), request);
    QCOMPARE(result.status, WindowResult::Read);
    QCOMPARE(result.text, window);
}

// A listing goes on from resumeByte after the file grew: the rows at or past
// it are listed again, and with those of the first listing before it they
// are the listing of the grown file.
void TestFileSearch::resumeAfterAppend()
{
    const int maxChars = 40;
    const Encoder encoder{"UTF-8"};
    QStringList lines = makeLines(true, false, false, 3000);
    lines.last() += QStringLiteral(" ERROR partial");
    const RefFile before = makeFile(encoder, QByteArray(), lines, false, maxChars);
    const QString path = files.write(before.bytes);
    SearchRequest request;
    request.path = path;
    request.codecName = CodecName::Utf8;
    request.maxLineChars = maxChars;
    request.pattern = {"error", false, false};
    std::vector<qint64> listed;
    const auto collect = [&](const std::vector<qint64> &batch) { listed.insert(listed.end(), batch.begin(), batch.end()); };
    const FileSearch::Listing first = FileSearch::listAll(request, MatchPattern(), -1, collect);
    // The unterminated last line is not complete.
    QCOMPARE(first.resumeByte, before.reads[size_t(before.lineFirstRead.back())].start);

    lines.last() += QStringLiteral(" now complete");
    lines << makeLines(true, false, false, 500);
    const RefFile after = makeFile(encoder, QByteArray(), lines, true, maxChars);
    QVERIFY(after.bytes.startsWith(before.bytes));
    QFile file(path);
    QVERIFY(file.open(QIODevice::Append));
    QVERIFY(file.write(after.bytes.mid(before.bytes.size())) > 0);
    file.close();

    listed.erase(std::lower_bound(listed.begin(), listed.end(), first.resumeByte), listed.end());
    request.fromByte = first.resumeByte;
    const FileSearch::Listing second = FileSearch::listAll(request, MatchPattern(), -1, collect);
    QCOMPARE(second.resumeByte, qint64(after.bytes.size()));
    std::vector<qint64> expected;
    for (const RefRead &read : after.reads) {
        if (read.text.contains(QLatin1String("error"), Qt::CaseInsensitive))
            expected.push_back(read.start);
    }
    QVERIFY(listed == expected);
}

void TestFileSearch::scanInterrupted_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    QTest::newRow("truncated") << "truncate" << int(SearchResult::Failed) << "shrank";
    QTest::newRow("deleted") << "delete" << int(SearchResult::Failed) << "deleted";
    QTest::newRow("replaced") << "replace" << int(SearchResult::Failed) << "replaced";
    QTest::newRow("cancelled") << "cancel" << int(SearchResult::Cancelled) << "";
}

// The change happens at the first report of progress, before the second block.
void TestFileSearch::scanInterrupted()
{
    QFETCH(QString, change);
    QFETCH(int, status);
    QFETCH(QString, message);
    QByteArray bytes;
    for (int i = 0; i < 40000; ++i)
        bytes += "line " + QByteArray::number(i) + " of text that does not match\n";
    const QString path = files.write(bytes);
    const QString other = files.write(bytes);
    std::atomic<bool> cancel{false};
    const auto act = [&](int) {
        if (change == QLatin1String("truncate"))
            QFile::resize(path, bytes.size() / 2);
        else if (change == QLatin1String("delete"))
            QFile::remove(path);
        else if (change == QLatin1String("replace"))
            QVERIFY(::rename(QFile::encodeName(other).constData(), QFile::encodeName(path).constData()) == 0);
        else
            cancel = true;
    };
    for (const bool backward : {false, true}) {
        if (backward) {
            // Set up again for the backward scan.
            QFile::remove(path);
            QFile::remove(other);
            QVERIFY(QFile::copy(files.write(bytes), path));
            QVERIFY(QFile::copy(path, other));
            cancel = false;
        }
        SearchRequest request;
        request.path = path;
        request.codecName = CodecName::Utf8;
        request.pattern = {"absent", false, false};
        request.backward = backward;
        bool reported = false;
        const SearchResult result = FileSearch::find(request, &cancel, [&](int percent) {
            if (!reported)
                act(percent);
            reported = true;
        });
        QCOMPARE(int(result.status), status);
        QVERIFY2(result.errorString.contains(message), qPrintable(result.errorString));
    }
}

QTEST_GUILESS_MAIN(TestFileSearch)
#include "tst_filesearch.moc"
