#include "readcutter.h"

namespace {

// Spans decoded at once: large enough that a call costs little per byte,
// small enough that their character table stays in the cache.
constexpr qint64 SpanBytes = 64 * 1024;

} // namespace

ReadCutter::ReadCutter(const TextEncoding &encoding, int maxChars)
    : encoding(encoding), decoder(encoding), maxChars(qMax(1, maxChars))
{
}

void ReadCutter::begin(qint64 origin)
{
    decoder.restart();
    current.clear();
    currentStart = origin;
    offset = origin;
    chars = 0;
    pairOpen = false;
    carry.clear();
}

// Adds decoded text to the reads. The structure of the bytes told where each
// character starts (starts); a cut puts the next read's start there. Text that
// does not decode one character to one entry (undecodable bytes) takes the
// span's end for the characters the table lacks.
bool ReadCutter::take(const QString &decoded, qint64 spanEnd, const Sink &sink)
{
    size_t next = 0;
    for (const QChar c : decoded) {
        if (c == QLatin1Char('\r'))
            continue;
        if (pairOpen && c.isLowSurrogate()) {
            current.append(c);
            pairOpen = false;
            continue;
        }
        const qint64 byte = next < starts.size() ? starts[next] : spanEnd;
        ++next;
        if (chars == maxChars) {
            if (!sink(currentStart, current))
                return false;
            current.clear();
            chars = 0;
            currentStart = byte;
        }
        current.append(c);
        ++chars;
        pairOpen = c.isHighSurrogate();
    }
    return true;
}

bool ReadCutter::feed(const char *bytes, qint64 size, const Sink &sink)
{
    QByteArray joined;
    qint64 base = offset;
    if (!carry.isEmpty()) {
        base -= carry.size();
        joined = carry + QByteArray(bytes, int(size));
        bytes = joined.constData();
        size = joined.size();
        carry.clear();
    }
    const auto *data = reinterpret_cast<const uchar *>(bytes);
    qint64 at = 0;
    while (at < size) {
        starts.clear();
        const qint64 spanStart = at;
        const qint64 spanLimit = qMin(size, at + SpanBytes);
        while (at < spanLimit) {
            const int length = encoding.characterLength(data + at, size - at);
            if (at + length > size)
                break;   // the character's last bytes come with the next feed
            if (!encoding.isCarriageReturn(data + at))
                starts.push_back(base + at);
            at += length;
        }
        if (at == spanStart)
            break;
        if (!take(decoder.decode(bytes + spanStart, at - spanStart), base + at, sink))
            return false;
    }
    carry = QByteArray(bytes + at, int(size - at));
    offset = base + size;
    return true;
}

bool ReadCutter::finish(bool lineFeed, const Sink &sink)
{
    // What is left undecoded, and the line feed, which ends whatever the
    // decoder still holds open, as it does in the window's decoding.
    QByteArray rest = carry;
    carry.clear();
    if (lineFeed) {
        static const char lf1[] = "\n";
        static const char lf2le[] = "\n\0", lf2be[] = "\0\n";
        static const char lf4le[] = "\n\0\0\0", lf4be[] = "\0\0\0\n";
        const int unit = encoding.unitSize;
        const char *lf = unit == 1 ? lf1 : unit == 2 ? (encoding.bigEndian ? lf2be : lf2le)
                                                     : (encoding.bigEndian ? lf4be : lf4le);
        rest.append(lf, unit);
    }
    starts.clear();
    if (!rest.isEmpty()) {
        QString decoded = decoder.decode(rest.constData(), rest.size());
        if (lineFeed && decoded.endsWith(QLatin1Char('\n')))
            decoded.chop(1);
        if (!take(decoded, offset, sink))
            return false;
    }
    if (!lineFeed && chars == 0)
        return true;
    return sink(currentStart, current);
}

bool ReadCutter::cutLine(const char *bytes, qint64 size, qint64 start, bool lineFeed, const Sink &sink)
{
    if (size <= qint64(maxChars) * encoding.unitSize) {
        // At most maxChars units, so at most maxChars characters: one read.
        decoder.restart();
        QString text = decoder.decode(bytes, size + (lineFeed ? encoding.unitSize : 0));
        if (lineFeed && text.endsWith(QLatin1Char('\n')))
            text.chop(1);
        text.remove(QLatin1Char('\r'));
        if (!lineFeed && text.isEmpty())
            return true;
        return sink(start, text);
    }
    begin(start);
    return feed(bytes, size, sink) && finish(lineFeed, sink);
}

qint64 byteOfUnit(const TextEncoding &encoding, const char *bytes, qint64 size, int units)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes);
    qint64 at = 0;
    int seen = 0;
    while (at < size) {
        const int length = encoding.characterLength(data + at, size - at);
        if (at + length > size)
            break;
        const int decoded = encoding.decodedUnits(data + at, length);
        if (decoded > 0 && seen >= units)
            return at;
        seen += decoded;
        at += length;
    }
    return size;
}
