#include "linewindowreader.h"

#include "filebytes.h"
#include "linereads.h"
#include "textencoding.h"
#include "windowscan.h"

#include <QFile>
#include <QTextCodec>

#include <cmath>
#include <cstring>
#include <utility>

namespace {

// Reads are sized for lines of about this many bytes, the usual log line;
// longer lines take more reads, each twice the size of the one before, up
// to LargestChunk.
constexpr qint64 ExpectedLineBytes = 128;
constexpr qint64 FirstChunk = PageSize;
constexpr qint64 LargestChunk = 1024 * 1024;
// Forward reads decode at most this much at a time, so that a window of
// long lines never holds much more than itself.
constexpr qint64 RoundCap = 4 * 1024 * 1024;

// Drops every carriage return of decoded text, as the text-mode read does.
// A 0x0D byte inside a wider character decodes to something else; with
// single-byte units, bytes without 0x0D need no look at the text.
void dropReturns(QString &text, const QByteArray &bytes, const TextEncoding &encoding)
{
    if (encoding.unitSize > 1 || memchr(bytes.constData(), '\r', size_t(bytes.size())))
        text.remove(QLatin1Char('\r'));
}

// Raw bytes gathered for the forward reads, with what their line feeds say.
struct Gathered
{
    QByteArray bytes;
    qint64 lineFeeds = 0;
    qint64 longestLine = 0;   // in code units, the line the bytes end in included
    qint64 openLine = 0;      // code units of the line the bytes end in, earlier rounds' part included
};

// Counts the line-feed units of bytes from `from` on, stopping right after
// the wanted-th; returns where the counting stopped.
int countLineFeeds(Gathered &gathered, int from, qint64 wanted, qint64 &lineStart,
                   const TextEncoding &encoding)
{
    const QByteArray &bytes = gathered.bytes;
    const int unit = encoding.unitSize;
    const int lowByte = encoding.bigEndian ? unit - 1 : 0;
    int i = from;
    while (gathered.lineFeeds < wanted) {
        if (unit == 1) {
            const void *hit = memchr(bytes.constData() + i, '\n', size_t(bytes.size() - i));
            if (!hit)
                return bytes.size();
            i = int(static_cast<const char *>(hit) - bytes.constData());
        } else {
            bool lineFeed = false;
            for (; !lineFeed && i + unit <= bytes.size(); i += unit) {
                lineFeed = bytes[i + lowByte] == '\n';
                for (int j = 0; lineFeed && j < unit; ++j)
                    lineFeed = j == lowByte || bytes[i + j] == 0;
            }
            if (!lineFeed)
                return bytes.size();
            i -= unit;
        }
        gathered.longestLine = qMax(gathered.longestLine, (i - lineStart) / unit);
        lineStart = i + unit;
        ++gathered.lineFeeds;
        i += unit;
    }
    return i;
}

// Reads bytes from offset on until they hold `wanted` line feeds (the bytes
// after the last of them are not needed, since every line feed ends at least
// one read), the end of the file, or cap bytes. openLine: code units of the
// line that offset is inside, read in earlier rounds. They count towards the
// line's length: the decoder may hold the last bytes of one, and gives their
// characters with this round's text.
Gathered gather(FileBytes &file, const TextEncoding &encoding, qint64 offset, qint64 wanted,
                qint64 cap, qint64 openLine)
{
    Gathered gathered;
    qint64 lineStart = -openLine * encoding.unitSize;
    qint64 chunk = qBound(FirstChunk, qMin(wanted, cap) * ExpectedLineBytes * encoding.unitSize, LargestChunk);
    while (gathered.lineFeeds < wanted && gathered.bytes.size() < cap
           && offset + gathered.bytes.size() < file.size()) {
        const int old = gathered.bytes.size();
        const qint64 size = qMin(chunk, cap - old);
        gathered.bytes.resize(int(old + size));
        const qint64 got = file.readInto(gathered.bytes.data() + old, offset + old, size);
        gathered.bytes.resize(int(old + got));
        if (got == 0)
            break;   // the file shrank meanwhile
        const int end = countLineFeeds(gathered, old, wanted, lineStart, encoding);
        gathered.bytes.truncate(end);
        chunk = qMin(chunk * 2, LargestChunk);
    }
    gathered.openLine = (gathered.bytes.size() - lineStart) / encoding.unitSize;
    gathered.longestLine = qMax(gathered.longestLine, gathered.openLine);
    return gathered;
}

// How many of bytes decode to the first `chars` characters (UTF-16 units,
// carriage returns dropped as the reads drop them), where bytes start a
// character. The bytes are decoded a chunk at a time until the chunk that
// reaches chars, then again up to that chunk and a unit at a time in it: a
// decoder's state cannot be copied to step back.
qint64 bytesForChars(const TextEncoding &encoding, const QByteArray &bytes, qint64 chars)
{
    if (chars <= 0)
        return 0;
    const auto decoded = [&](TextDecoder &decoder, int from, int size) {
        const QString text = decoder.decode(bytes.constData() + from, size);
        return qint64(text.size() - text.count(QLatin1Char('\r')));
    };
    const int chunk = 4096;   // a multiple of every unit size
    TextDecoder scan(encoding);
    int from = 0;
    qint64 before = 0;
    for (; from < bytes.size(); from += chunk) {
        const qint64 after = before + decoded(scan, from, qMin(chunk, bytes.size() - from));
        if (after >= chars)
            break;
        before = after;
    }
    if (from >= bytes.size())
        return bytes.size();
    TextDecoder step(encoding);
    decoded(step, 0, from);
    const int unit = encoding.unitSize;
    for (int at = from; at < bytes.size(); at += unit) {
        before += decoded(step, at, qMin(unit, bytes.size() - at));
        if (before >= chars)
            return at + unit;
    }
    return bytes.size();
}

// Reads lines forward from startByte until the reads are complete; reads
// past the end of the file are empty lines. Returns the byte where the last
// read ended: the window's bytes, for lines over the limit too. With
// detected, sets it to what the first round whose bytes decide says (see
// TextEncoding::detectJapanese).
qint64 readForward(FileBytes &file, const TextEncoding &encoding, qint64 startByte, LineReads &reads,
                   qint64 lineCount, int maxChars, TextEncoding::Family *detected)
{
    TextDecoder decoder(encoding);
    // A read of maxChars characters takes at most 4 bytes per character.
    const qint64 readBytes = qint64(maxChars) * 4 + encoding.unitSize;
    qint64 offset = startByte;
    qint64 openLine = 0;
    while (!reads.full() && offset < file.size()) {
        const qint64 wanted = lineCount - reads.reads();
        Gathered gathered = gather(file, encoding, offset, wanted, qMin(wanted * readBytes, RoundCap), openLine);
        if (gathered.bytes.isEmpty())
            break;   // the file shrank meanwhile
        if (detected && *detected == TextEncoding::OtherFamily)
            *detected = TextEncoding::detectJapanese(gathered.bytes);
        offset += gathered.bytes.size();
        openLine = gathered.openLine;
        const bool atEnd = offset >= file.size();
        QString text = decoder.decode(gathered.bytes.constData(), gathered.bytes.size());
        dropReturns(text, gathered.bytes, encoding);
        const qint64 decoded = text.size();
        if (gathered.longestLine <= maxChars && encoding.unitSize <= 2)
            reads.appendShortLines(std::move(text), gathered.lineFeeds, atEnd);
        else
            reads.append(std::move(text), atEnd);
        // The reads ended inside these bytes: the rest was decoded, not shown.
        // (What is unread lies in this round's text: had the reads ended
        // before it, they would not have asked for it.)
        if (reads.full() && reads.unread() > 0) {
            const qint64 roundStart = offset - gathered.bytes.size();
            return roundStart + bytesForChars(encoding, gathered.bytes, decoded - reads.unread());
        }
    }
    reads.append(QString(), true);   // an unterminated rest, also when the file shrank
    while (!reads.full())
        reads.readPastEnd();
    return offset;
}

struct Window
{
    QString text;
    qint64 begin = 0;
    qint64 end = 0;
    TextEncoding::Family detected = TextEncoding::OtherFamily;   // what its bytes say, when asked
};

// What one reload reads with, once the file is open.
struct Reading
{
    FileBytes &file;
    TextEncoding encoding;
    UnitBlocks &units;
    AlignToCharacter align;
    qint64 lineCount;
    int maxChars;
    QString filter;   // empty: the extract filter is off
    bool detect;      // say which Japanese encoding the window's bytes are in

    qint64 startByte(qint64 unit) const
    {
        return qMax<qint64>(unit * encoding.unitSize, encoding.bomSize);   // the mark is never shown
    }
};

// Newest mode: the scan finds where the window starts; from there every line
// to the end of the file is read, then the empty line after a final line feed.
Window readNewest(Reading &r)
{
    Window window;
    const int unitSize = r.encoding.unitSize;
    // The scan examines at most (N + 1) x (maxChars + 1) + 1 positions.
    const qint64 lines = qMin<qint64>(r.lineCount, 1000000) + 1;
    r.units.reserve(lines * (r.maxChars + 1) * unitSize, lines * ExpectedLineBytes * unitSize);
    bool linesFit = true;
    window.begin = r.startByte(newestWindowStart(r.units, r.lineCount, r.maxChars, r.align, &linesFit));
    window.end = r.file.size();
    const QByteArray bytes = r.units.tailBytes(window.begin);
    if (r.detect)
        window.detected = TextEncoding::detectJapanese(bytes);
    QString text = r.encoding.decode(bytes);
    dropReturns(text, bytes, r.encoding);
    if (linesFit && r.filter.isEmpty() && unitSize <= 2) {
        // Every line is one read and every read is shown: the window is the
        // text itself, its unterminated last line or the empty line after
        // its final line feed closed by a "\n".
        if (!text.isEmpty())
            text.append(QLatin1Char('\n'));
        window.text = text;
        return window;
    }
    const bool finalLineFeed = text.endsWith(QLatin1Char('\n'));
    LineReads reads(r.maxChars, r.filter, -1);
    reads.append(std::move(text), true);
    if (finalLineFeed)
        reads.readPastEnd();
    window.text = reads.window();
    return window;
}

// Header and percent modes: N reads from the start of the file or of the
// line that holds the target byte.
Window readFromStart(Reading &r, WindowRequest::StartMode mode, double percent, qint64 anchorByte)
{
    Window window;
    qint64 start = 0;
    if (mode == WindowRequest::PercentMode && anchorByte >= 0) {
        // A start found before (by a search): exactly there, no scan.
        const qint64 unit = qMin(anchorByte, r.file.size()) / r.encoding.unitSize;
        start = r.align(unit);
    } else if (mode == WindowRequest::PercentMode) {
        // The target byte: P x S formed in double precision, divided by 100, rounded down.
        const qint64 target = qint64(std::floor(percent * double(r.file.size()) / 100.0));
        r.units.reserve((r.maxChars + 2) * qint64(r.encoding.unitSize), PageSize);
        start = percentWindowStart(r.units, target / r.encoding.unitSize, r.maxChars, r.align);
    }
    window.begin = r.startByte(start);
    LineReads reads(r.maxChars, r.filter, r.lineCount);
    window.end = readForward(r.file, r.encoding, window.begin, reads, r.lineCount, r.maxChars,
                             r.detect ? &window.detected : nullptr);
    window.text = reads.window();
    return window;
}

Window readWith(FileBytes &file, const WindowRequest &request, const TextEncoding &encoding,
               bool detect)
{
    UnitBlocks units(file, encoding.unitSize, encoding.bigEndian);
    Reading reading{file, encoding, units,
                    [&](qint64 p) { return encoding.alignToCharacter(file, p, units.unitCount()); },
                    request.lineCount,
                    // No read returns an unbounded line, whatever the setting says.
                    int(qBound(qint64(WindowRequest::MinLineChars), request.maxLineChars,
                                  qint64(WindowRequest::MaxLineChars))),
                    request.extract ? request.highlightText : QString(), detect};
    if (request.startMode == WindowRequest::NewestMode)
        return readNewest(reading);
    return readFromStart(reading, request.startMode, request.percent, request.anchorByte);
}

QString codecNameOf(TextEncoding::Family family)
{
    switch (family) {
    case TextEncoding::Utf8:
        return CodecName::Utf8;
    case TextEncoding::ShiftJis:
        return CodecName::ShiftJis;
    case TextEncoding::EucJp:
        return CodecName::EucJp;
    default:
        return QString();
    }
}

// Reads the window with the encoding that request and the file's first bytes
// select. Under Unicode detection without a byte-order mark, detected is the
// decision to read with (empty: none yet); when there is none, the window's
// bytes decide, and a window read with another codec than the one they decide
// is read again, in the same open, with theirs. Sets detected to the decision
// the window used.
Window readWindow(FileBytes &file, const WindowRequest &request, TextEncoding &encoding,
                  QString &detected)
{
    const WindowRequest::StartMode mode = request.startMode;
    if (request.lineCount < 1 || startModeFromIndex(mode) == WindowRequest::NoStartMode)
        return Window();
    // The byte-order mark is looked for once, at the file's start, whatever the mode.
    const bool byName = request.codecName == CodecName::ShiftJis
                        || request.codecName == CodecName::EucJp;
    encoding = TextEncoding::choose(request.codecName, byName ? QByteArray() : file.head());
    const bool detecting = !CodecName::isChosen(request.codecName) && encoding.bomSize == 0;
    if (!detecting)
        detected.clear();
    if (!detected.isEmpty())
        encoding = TextEncoding::choose(detected, QByteArray());
    if (mode == WindowRequest::NewestMode && file.size() <= 0)
        return Window();
    Window window = readWith(file, request, encoding, detecting && detected.isEmpty());
    if (window.detected != TextEncoding::OtherFamily) {
        detected = codecNameOf(window.detected);
        const TextEncoding decided = TextEncoding::choose(detected, QByteArray());
        if (decided.codec != encoding.codec) {
            encoding = decided;
            window = readWith(file, request, encoding, false);
        }
    }
    return window;
}

} // namespace

WindowResult LineWindowReader::read(const QString &path, const WindowRequest &request,
                                    qint64 skipIfSize)
{
    WindowResult result;
    const OpenFile opened(path);
    if (!opened.isOpen()) {
        result.errorString = opened.errorString();
        return result;
    }
    result.fileSize = opened.size();
    if (skipIfSize >= 0 && skipIfSize == result.fileSize) {
        result.status = WindowResult::Unchanged;
        return result;
    }
    FileBytes file(opened.descriptor(), result.fileSize);
    TextEncoding encoding;
    const DetectedCodec &earlier = request.detected;
    const bool sameFile = earlier.device == opened.device() && earlier.inode == opened.inode()
                          && result.fileSize >= earlier.size;
    QString detected = sameFile ? earlier.codecName : QString();
    Window window = readWindow(file, request, encoding, detected);
    if (file.error() != 0) {
        // What was read before the error is no window of the file.
        result.status = WindowResult::ReadFailed;
        result.errorString = qt_error_string(file.error());
        return result;
    }
    result.status = WindowResult::Read;
    if (encoding.codec)
        result.encodingName = QString::fromLatin1(encoding.codec->name());
    result.byteOrderMark = encoding.bomSize > 0;
    if (!detected.isEmpty())
        result.detected = {detected, opened.device(), opened.inode(), result.fileSize};
    result.text = window.text;
    result.windowBegin = window.begin;
    result.windowEnd = window.end;
    result.bytesRead = file.bytesRead();
    return result;
}
