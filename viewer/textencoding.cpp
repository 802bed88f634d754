#include "textencoding.h"

#include "filebytes.h"
#include "linewindowreader.h"

#include <QTextCodec>

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// How far back the Shift-JIS and EUC-JP boundary searches look for a byte
// that fixes where characters begin. Text with no such byte over 4 KiB is
// unlikely in a log; there the position is taken as it is.
constexpr qint64 LookBack = 4096;

bool startsWith(const QByteArray &head, const char *mark, int size)
{
    return head.size() >= size && memcmp(head.constData(), mark, size_t(size)) == 0;
}

TextEncoding::Family familyOf(const QTextCodec *codec)
{
    if (!codec)
        return TextEncoding::OtherFamily;
    if (codec->mibEnum() == 106)
        return TextEncoding::Utf8;
    const QByteArray name = codec->name().toUpper();
    if (name == "SHIFT_JIS" || name == "SJIS")
        return TextEncoding::ShiftJis;
    if (name == "EUC-JP")
        return TextEncoding::EucJp;
    return TextEncoding::OtherFamily;
}

// QTextCodec::codecForName compares the name with every codec it knows: look
// each of ours up once.
QTextCodec *codecNamed(const char *name)
{
    static const char *const names[] = {CodecName::ShiftJis.data(), CodecName::EucJp.data(),
                                        CodecName::Utf8.data(), "UTF-16LE", "UTF-16BE",
                                        "UTF-32LE", "UTF-32BE"};
    static QTextCodec *const codecs[] = {
        QTextCodec::codecForName(names[0]), QTextCodec::codecForName(names[1]),
        QTextCodec::codecForName(names[2]), QTextCodec::codecForName(names[3]),
        QTextCodec::codecForName(names[4]), QTextCodec::codecForName(names[5]),
        QTextCodec::codecForName(names[6])};
    for (size_t i = 0; i < sizeof names / sizeof *names; ++i) {
        if (strcmp(names[i], name) == 0)
            return codecs[i];
    }
    return QTextCodec::codecForName(name);
}

TextEncoding withCodec(const char *name)
{
    TextEncoding encoding;
    encoding.codec = codecNamed(name);
    if (!encoding.codec)
        encoding.codec = QTextCodec::codecForLocale();
    encoding.family = familyOf(encoding.codec);
    return encoding;
}

TextEncoding wide(const char *name, int unitSize, bool bigEndian)
{
    TextEncoding encoding = withCodec(name);
    encoding.family = unitSize == 2 ? TextEncoding::Utf16 : TextEncoding::Utf32;
    encoding.unitSize = unitSize;
    encoding.bigEndian = bigEndian;
    encoding.bomSize = unitSize;
    return encoding;
}

bool isSjisLead(uchar b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

int eucJpLength(uchar b)
{
    if (b == 0x8E)
        return 2;   // half-width katakana
    if (b == 0x8F)
        return 3;   // JIS X 0212
    return b >= 0xA1 && b <= 0xFE ? 2 : 1;
}

// Shift-JIS trail bytes overlap both ASCII and the lead bytes, so a byte
// alone does not say whether a character starts there. A byte that can never
// lead a character (below 0x81, 0xA0-0xDF, above 0xFC) ends one: it is either
// a single-byte character or a trail byte. From just after it, every lead
// byte starts a two-byte character, so walking forward finds the boundaries.
qint64 alignShiftJis(FileBytes &file, qint64 p)
{
    const qint64 from = qMax<qint64>(0, p - LookBack);
    const QByteArray bytes = file.read(from, p - from);
    qint64 i = bytes.size() - 1;
    while (i >= 0 && isSjisLead(uchar(bytes[int(i)])))
        --i;
    if (i < 0 && from > 0)
        return p;
    qint64 q = i + 1;
    while (q < bytes.size())
        q += isSjisLead(uchar(bytes[int(q)])) ? 2 : 1;
    return from + q;
}

// EUC-JP trail bytes are always 0xA1-0xFE, so any byte below 0xA1 starts a
// character (ASCII, or the 0x8E/0x8F prefixes); walk forward from the nearest.
qint64 alignEucJp(FileBytes &file, qint64 p)
{
    const qint64 from = qMax<qint64>(0, p - LookBack);
    const QByteArray bytes = file.read(from, p - from + 1);
    if (bytes.size() <= p - from || uchar(bytes[int(p - from)]) < 0xA1)
        return p;
    qint64 i = p - from - 1;
    while (i >= 0 && uchar(bytes[int(i)]) >= 0xA1)
        --i;
    if (i < 0 && from > 0)
        return p;
    qint64 q = qMax<qint64>(i, 0);
    while (q < p - from)
        q += eucJpLength(uchar(bytes[int(q)]));
    return from + q;
}

// Detection looks this far from the first non-ASCII byte: a few
// microseconds of work, and far more Japanese text than it needs to decide.
constexpr int DetectionSpan = 4 * 1024;

// An ASCII window costs only this look: 32 bytes at a time where the
// processor has SSE2 (every x86-64), else eight.
const uchar *firstNonAscii(const uchar *p, const uchar *end)
{
#ifdef __SSE2__
    for (; end - p >= 32; p += 32) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + 16));
        if (_mm_movemask_epi8(_mm_or_si128(low, high)) != 0)
            break;
    }
#endif
    for (; end - p >= 8; p += 8) {
        quint64 word;
        memcpy(&word, p, 8);
        if (word & 0x8080808080808080ull)
            break;
    }
    while (p < end && *p < 0x80)
        ++p;
    return p;
}

// The length of the character at p in one of the three encodings: 1 to 4
// bytes, 0 when the decoder cannot decode the byte there (it shows a
// replacement or private-use character), -1 when end cuts the sequence.
int utf8Character(const uchar *p, const uchar *end)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    // The second byte's range excludes overlong forms, surrogates and code
    // points past U+10FFFF, which Qt's decoder replaces.
    int length = 0;
    uchar low = 0x80;
    uchar high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
        length = 3;
        low = b == 0xE0 ? 0xA0 : 0x80;
        high = b == 0xED ? 0x9F : 0xBF;
    } else if (b >= 0xF0 && b <= 0xF4) {
        length = 4;
        low = b == 0xF0 ? 0x90 : 0x80;
        high = b == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        if (p + i >= end)
            return -1;
        if (p[i] < (i == 1 ? low : 0x80) || p[i] > (i == 1 ? high : 0xBF))
            return 0;
    }
    return length;
}

int shiftJisCharacter(const uchar *p, const uchar *end)
{
    const uchar b = p[0];
    if (b < 0x80 || (b >= 0xA1 && b <= 0xDF))
        return 1;   // ASCII, or half-width katakana
    // Lead bytes of rows CP932 leaves empty or to private use.
    const bool unassigned = b == 0x85 || b == 0x86 || (b >= 0xEB && b <= 0xEC) || (b >= 0xEF && b <= 0xF9);
    if (!isSjisLead(b) || unassigned)
        return 0;
    if (p + 1 >= end)
        return -1;
    return p[1] >= 0x40 && p[1] <= 0xFC && p[1] != 0x7F ? 2 : 0;
}

int eucJpCharacter(const uchar *p, const uchar *end)
{
    const uchar b = p[0];
    if (b < 0x80)
        return 1;
    // JIS X 0208's rows that hold characters (NEC's row 13 included); a
    // half-width katakana behind 0x8E; JIS X 0212 behind 0x8F.
    const bool assignedRow = (b >= 0xA1 && b <= 0xA8) || b == 0xAD || (b >= 0xB0 && b <= 0xF4);
    if (!assignedRow && b != 0x8E && b != 0x8F)
        return 0;
    const int length = b == 0x8F ? 3 : 2;
    for (int i = 1; i < length; ++i) {
        if (p + i >= end)
            return -1;
        const uchar high = b == 0x8E ? 0xDF : 0xFE;
        if (p[i] < 0xA1 || p[i] > high)
            return 0;
    }
    return length;
}

// What one decoding meets over a sample, up to the first byte it cannot
// decode: a decoding that meets one has lost already.
struct Tally
{
    bool invalid = false;   // met a byte it cannot decode
    int characters = 0;     // non-ASCII characters it decodes
    int halfKana = 0;       // of them, half-width katakana
};

template <int (*length)(const uchar *, const uchar *)>
Tally tally(const uchar *p, const uchar *end, uchar halfKanaPrefix)
{
    Tally t;
    while (p < end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const int n = length(p, end);
        if (n < 0)
            break;
        if (n == 0) {
            t.invalid = true;
            break;
        }
        ++t.characters;
        // Shift-JIS: a single byte from 0xA1; EUC-JP: behind 0x8E.
        t.halfKana += halfKanaPrefix ? *p == halfKanaPrefix : n == 1;
        p += n;
    }
    return t;
}

} // namespace

TextEncoding TextEncoding::choose(const QString &codecName, const QByteArray &head)
{
    if (codecName == CodecName::ShiftJis)
        return withCodec(CodecName::ShiftJis.data());
    if (codecName == CodecName::EucJp)
        return withCodec(CodecName::EucJp.data());
    const bool utf8Bom = startsWith(head, "\xEF\xBB\xBF", 3);
    if (codecName == CodecName::Utf8) {
        TextEncoding encoding = withCodec(CodecName::Utf8.data());
        encoding.bomSize = utf8Bom ? 3 : 0;   // the UTF-8 decoder hides it at the file's start
        return encoding;
    }
    // FF FE 00 00 is also a UTF-16LE mark followed by U+0000; the UTF-32 reading wins.
    if (startsWith(head, "\xFF\xFE\x00\x00", 4))
        return wide("UTF-32LE", 4, false);
    if (startsWith(head, "\x00\x00\xFE\xFF", 4))
        return wide("UTF-32BE", 4, true);
    if (startsWith(head, "\xFF\xFE", 2))
        return wide("UTF-16LE", 2, false);
    if (startsWith(head, "\xFE\xFF", 2))
        return wide("UTF-16BE", 2, true);
    if (utf8Bom) {
        TextEncoding encoding = withCodec(CodecName::Utf8.data());
        encoding.bomSize = 3;
        return encoding;
    }
    TextEncoding encoding;
    encoding.codec = QTextCodec::codecForLocale();
    encoding.family = familyOf(encoding.codec);
    return encoding;
}

QString TextEncoding::decode(const QByteArray &bytes) const
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->toUnicode(bytes.constData(), bytes.size(), &state);
}

qint64 TextEncoding::alignToCharacter(FileBytes &file, qint64 p, qint64 unitCount) const
{
    if (p >= unitCount)
        return unitCount;
    qint64 aligned = p;
    switch (family) {
    case Utf8: {
        // Continuation bytes are 10xxxxxx; a character has at most three.
        const QByteArray bytes = file.read(p, 3);
        int i = 0;
        while (i < bytes.size() && (uchar(bytes[i]) & 0xC0) == 0x80)
            ++i;
        aligned = p + i;
        break;
    }
    case Utf16: {
        const QByteArray unit = file.read(p * 2, 2);
        if (unit.size() == 2) {
            const uint value = bigEndian ? uint(uchar(unit[0])) << 8 | uchar(unit[1])
                                         : uint(uchar(unit[1])) << 8 | uchar(unit[0]);
            if (value >= 0xDC00 && value <= 0xDFFF)
                aligned = p + 1;   // the low half of a surrogate pair
        }
        break;
    }
    case ShiftJis:
        aligned = alignShiftJis(file, p);
        break;
    case EucJp:
        aligned = alignEucJp(file, p);
        break;
    case Utf32:
    case OtherFamily:
        break;
    }
    return qMin(aligned, unitCount);
}

QString TextEncoding::decode(const char *bytes, int size) const
{
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    return codec->toUnicode(bytes, size, &state);
}

QByteArray TextEncoding::encode(const QString &text) const
{
    if (!codec)
        return QByteArray();
    QTextCodec::ConverterState encodeState(QTextCodec::IgnoreHeader);
    const QByteArray bytes = codec->fromUnicode(text.constData(), text.size(), &encodeState);
    if (encodeState.invalidChars > 0 || encodeState.remainingChars > 0)
        return QByteArray();
    TextDecoder decoder(*this);
    return decoder.decode(bytes.constData(), bytes.size()) == text ? bytes : QByteArray();
}

bool TextEncoding::unitIs(const uchar *bytes, uint value) const
{
    switch (unitSize) {
    case 1:
        return bytes[0] == value;
    case 2:
        return bigEndian ? bytes[0] == 0 && bytes[1] == value : bytes[1] == 0 && bytes[0] == value;
    default:
        return bigEndian ? bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0 && bytes[3] == value
                         : bytes[3] == 0 && bytes[2] == 0 && bytes[1] == 0 && bytes[0] == value;
    }
}

int TextEncoding::characterLength(const uchar *bytes, qint64 available) const
{
    if (available <= 0)
        return 1;
    const uchar b = bytes[0];
    switch (family) {
    case Utf8: {
        const int expected = b >= 0xF0 && b <= 0xF7 ? 4 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xC0 && b <= 0xDF ? 2 : 1;
        int length = 1;
        while (length < expected) {
            if (length >= available)
                return expected;   // the rest is still to come
            if ((bytes[length] & 0xC0) != 0x80)
                break;
            ++length;
        }
        return length;
    }
    case ShiftJis:
        return isSjisLead(b) ? 2 : 1;
    case EucJp:
        return eucJpLength(b);
    case Utf16: {
        // A high surrogate and the low one after it are one character.
        if (available < 2)
            return 2;
        const uchar high = bigEndian ? bytes[0] : bytes[1];
        if (high < 0xD8 || high > 0xDB)
            return 2;
        if (available < 4)
            return 4;
        const uchar next = bigEndian ? bytes[2] : bytes[3];
        return next >= 0xDC && next <= 0xDF ? 4 : 2;
    }
    case Utf32:
        return 4;
    case OtherFamily:
        break;
    }
    return 1;
}

int TextEncoding::decodedUnits(const uchar *bytes, int length) const
{
    if (isCarriageReturn(bytes))
        return 0;
    switch (family) {
    case Utf8:
        return length == 4 ? 2 : 1;
    case Utf16:
        return length == 4 ? 2 : 1;
    case Utf32: {
        const uint value = bigEndian ? uint(bytes[0]) << 24 | uint(bytes[1]) << 16 | uint(bytes[2]) << 8 | bytes[3]
                                     : uint(bytes[3]) << 24 | uint(bytes[2]) << 16 | uint(bytes[1]) << 8 | bytes[0];
        return value > 0xFFFF && value <= 0x10FFFF ? 2 : 1;
    }
    default:
        return 1;
    }
}

namespace {

// How many bytes at the end of bytes[0, size) begin a UTF-8 sequence that
// needs more: a lead byte C2-F4 and fewer continuation bytes than it asks
// for. Exactly these are what the codec would keep for the next call; any
// other byte it decodes (or replaces) at once.
int unfinishedUtf8Tail(const uchar *bytes, qint64 size)
{
    for (int back = 1; back <= 3 && back <= size; ++back) {
        const uchar b = bytes[size - back];
        if ((b & 0xC0) == 0x80)
            continue;
        const int length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

struct TextDecoder::State
{
    QTextCodec::ConverterState converter{QTextCodec::IgnoreHeader};
    char held[3];        // an unfinished UTF-8 sequence from the end of the last call
    int heldSize = 0;
};

TextDecoder::TextDecoder(const TextEncoding &encoding)
    : codec(encoding.codec ? encoding.codec : QTextCodec::codecForLocale()), state(new State),
      holdsTails(codec->mibEnum() == 106)
{
}

TextDecoder::~TextDecoder() = default;

// Qt 6's UTF-8 codec, given a sequence that one call cut and the next breaks
// off, loses the next call's first character (Qt 5 keeps it, with one
// replacement character where one call would give one per byte). So the
// codec never sees a cut sequence: its bytes wait here for the next call's,
// and are dropped as the codec would drop them when no call follows.
QString TextDecoder::decode(const char *bytes, qint64 size)
{
    if (!holdsTails)
        return codec->toUnicode(bytes, int(size), &state->converter);
    QByteArray joined;
    if (state->heldSize > 0 && size > 0) {
        joined.reserve(int(state->heldSize + size));
        joined.append(state->held, state->heldSize).append(bytes, int(size));
        bytes = joined.constData();
        size = joined.size();
        state->heldSize = 0;
    }
    const int tail = unfinishedUtf8Tail(reinterpret_cast<const uchar *>(bytes), size);
    if (tail > 0) {
        memcpy(state->held, bytes + size - tail, size_t(tail));
        state->heldSize = tail;
    }
    if (size == tail)
        return QString();
    return codec->toUnicode(bytes, int(size - tail), &state->converter);
}

void TextDecoder::restart()
{
    state.reset(new State);
}

TextEncoding::Family TextEncoding::detectJapanese(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    const uchar *first = firstNonAscii(data, data + bytes.size());
    const uchar *end = data + bytes.size();
    if (end - first > DetectionSpan)
        end = first + DetectionSpan;
    if (first == end)
        return OtherFamily;
    const Tally utf8 = tally<utf8Character>(first, end, 0);
    if (!utf8.invalid)
        return utf8.characters > 0 ? Utf8 : OtherFamily;
    const Tally sjis = tally<shiftJisCharacter>(first, end, 0);
    const Tally euc = tally<eucJpCharacter>(first, end, 0x8E);
    const bool sjisClean = !sjis.invalid && sjis.characters > 0;
    const bool eucClean = !euc.invalid && euc.characters > 0;
    if (sjisClean != eucClean)
        return sjisClean ? ShiftJis : EucJp;
    if (!sjisClean || sjis.halfKana == euc.halfKana)
        return OtherFamily;
    return sjis.halfKana < euc.halfKana ? ShiftJis : EucJp;
}
