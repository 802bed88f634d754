#include "bytesearch.h"

#include "linematcher.h"
#include "textencoding.h"

#include <QChar>
#include <QString>

#include <cstring>
#include <map>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __x86_64__
#include <immintrin.h>
#endif

namespace {

// The characters that ignoring case makes equal to another one, grouped by
// their case folding (QString's case-insensitive comparison folds each unit).
const std::map<ushort, std::vector<ushort>> &caseGroups()
{
    static const std::map<ushort, std::vector<ushort>> groups = [] {
        std::map<ushort, std::vector<ushort>> byFold;
        for (uint u = 0; u < 0x10000; ++u) {
            const QChar c{ushort(u)};
            if (c.isSurrogate())
                continue;
            const ushort folded = c.toCaseFolded().unicode();
            if (folded != u)
                byFold[folded].push_back(ushort(u));
        }
        for (auto &group : byFold)
            group.second.push_back(group.first);
        return byFold;
    }();
    return groups;
}

// The characters that compare equal to c when case is ignored, c included.
std::vector<ushort> sameIgnoringCase(QChar c)
{
    const auto &groups = caseGroups();
    const auto found = groups.find(c.toCaseFolded().unicode());
    return found == groups.end() ? std::vector<ushort>{c.unicode()} : found->second;
}

bool isAsciiLetter(uint c)
{
    return (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
}

// A needle for literal ignoring case, when its bytes can say it: ASCII letters
// fold by one bit, other characters must have no other case. Lines that hold
// an unusual form of an ASCII letter (the Kelvin sign for k) become
// candidates through needles of their own.
bool caseFoldingNeedles(const QString &literal, const TextEncoding &encoding, SearchPlan &plan)
{
    const QByteArray bytes = encoding.encode(literal);
    if (bytes.isEmpty())
        return false;
    std::vector<ushort> unusual;
    for (const QChar c : literal) {
        if (c.isSurrogate())
            return false;
        const std::vector<ushort> same = sameIgnoringCase(c);
        const bool letter = isAsciiLetter(c.unicode());
        if (!letter && same.size() > 1)
            return false;
        for (const ushort other : same) {
            if (letter && other >= 0x80)
                unusual.push_back(other);
        }
    }
    ByteNeedle needle;
    needle.bytes = bytes;
    needle.fold = QByteArray(bytes.size(), '\0');
    for (int i = 0; i < bytes.size(); ++i) {
        // A trail byte that looks like a letter folds too: more candidates, never fewer.
        if (isAsciiLetter(uchar(bytes[i]))) {
            needle.fold[i] = 0x20;
            needle.bytes[i] = char(bytes[i] | 0x20);
        }
    }
    plan.needles.push_back(needle);
    for (const ushort u : unusual) {
        const QByteArray form = encoding.encode(QString(QChar(u)));
        if (!form.isEmpty())
            plan.needles.push_back(ByteNeedle{form, QByteArray()});
    }
    return true;
}

inline bool equalAt(const uchar *at, const ByteNeedle &needle)
{
    const auto *bytes = reinterpret_cast<const uchar *>(needle.bytes.constData());
    const int size = needle.bytes.size();
    if (needle.fold.isEmpty())
        return memcmp(at, bytes, size_t(size)) == 0;
    const auto *fold = reinterpret_cast<const uchar *>(needle.fold.constData());
    for (int i = 0; i < size; ++i) {
        if ((at[i] | fold[i]) != bytes[i])
            return false;
    }
    return true;
}

// Probes at the needle's two rarest bytes in the sample (a folded byte counts
// both its cases), the first and the last byte when rarity ties.
void chooseProbes(ByteNeedle &needle, const QByteArray &sample)
{
    qint64 counts[256] = {};
    for (const char c : sample)
        ++counts[uchar(c)];
    const int size = needle.bytes.size();
    const auto rarity = [&](int i) {
        const uchar b = uchar(needle.bytes[i]);
        const bool folded = !needle.fold.isEmpty() && needle.fold.at(i) != 0;
        return counts[b] + (folded ? counts[uchar(b & ~0x20)] : 0);
    };
    int best = 0;
    int second = size - 1;
    for (int i = 0; i < size; ++i) {
        if (rarity(i) < rarity(best))
            best = i;
    }
    if (best == second)
        second = 0;
    for (int i = size - 1; i >= 0; --i) {
        if (i != best && rarity(i) < rarity(second))
            second = i;
    }
    needle.probe = qMin(best, second);
    needle.secondProbe = qMax(best, second);
}

// A carriage return unit at i with a unit behind it in [.., to) that is no line end.
bool innerReturnAt(const uchar *bytes, qint64 i, qint64 to, const TextEncoding &encoding)
{
    const int unit = encoding.unitSize;
    return i + 2 * unit <= to && encoding.isCarriageReturn(bytes + i) && !encoding.isLineFeed(bytes + i + unit)
           && !encoding.isCarriageReturn(bytes + i + unit);
}

} // namespace

SearchPlan planSearch(const LineMatcher &matcher, const TextEncoding &encoding, const QByteArray &sample)
{
    SearchPlan plan;
    const QString literal = matcher.requiredLiteral();
    if (matcher.isEmpty() || !matcher.isValid() || literal.contains(QLatin1Char('\n'))
        || literal.contains(QLatin1Char('\r'))) {
        plan.mode = SearchPlan::NoLine;
        return plan;
    }
    if (literal.isEmpty())
        return plan;
    if (matcher.pattern().caseSensitive) {
        const QByteArray bytes = encoding.encode(literal);
        if (bytes.isEmpty())
            return plan;
        plan.needles.push_back(ByteNeedle{bytes, QByteArray()});
    } else if (!caseFoldingNeedles(literal, encoding, plan)) {
        plan.needles.clear();
        return plan;
    }
    plan.mode = SearchPlan::Candidates;
    plan.innerReturns = literal.size() > 1;
    for (ByteNeedle &needle : plan.needles)
        chooseProbes(needle, sample);
    return plan;
}

// Two probe bytes of the needle compared at 16 starts at once, each folded as
// the needle says; the whole needle only where both agree.
namespace {

struct Probes
{
    int at0, at1;
    uchar byte0, byte1, fold0, fold1;

    explicit Probes(const ByteNeedle &needle)
        : at0(needle.probe), at1(needle.secondProbe), byte0(uchar(needle.bytes[at0])),
          byte1(uchar(needle.bytes[at1])),
          fold0(needle.fold.isEmpty() ? 0 : uchar(needle.fold[at0])),
          fold1(needle.fold.isEmpty() ? 0 : uchar(needle.fold[at1]))
    {
    }
    bool at(const uchar *start) const
    {
        return uchar(start[at0] | fold0) == byte0 && uchar(start[at1] | fold1) == byte1;
    }
#ifdef __SSE2__
    // Bit k: the probes agree at start + k.
    uint mask16(const uchar *start) const
    {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(start + at0)),
                                       _mm_set1_epi8(char(fold0)));
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i *>(start + at1)),
                                       _mm_set1_epi8(char(fold1)));
        return uint(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, _mm_set1_epi8(char(byte0))),
                                                    _mm_cmpeq_epi8(b, _mm_set1_epi8(char(byte1))))));
    }
#endif
};

#ifdef __x86_64__
// The same at 32 starts at once where the processor has AVX2: the search
// then keeps up with the page cache.
const bool hasAvx2 = __builtin_cpu_supports("avx2");

__attribute__((target("avx2"))) inline uint mask32(const uchar *start, const Probes &p)
{
    const __m256i a = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(start + p.at0)),
                                      _mm256_set1_epi8(char(p.fold0)));
    const __m256i b = _mm256_or_si256(_mm256_loadu_si256(reinterpret_cast<const __m256i *>(start + p.at1)),
                                      _mm256_set1_epi8(char(p.fold1)));
    return uint(_mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, _mm256_set1_epi8(char(p.byte0))),
                                                      _mm256_cmpeq_epi8(b, _mm256_set1_epi8(char(p.byte1))))));
}

// From i on while 32 starts fit before last; i ends where it stopped.
__attribute__((target("avx2"))) qint64 forwardAvx2(const uchar *bytes, qint64 &i, qint64 last, const Probes &probes,
                                                    const ByteNeedle &needle)
{
    for (; i + 31 <= last; i += 32) {
        for (uint mask = mask32(bytes + i, probes); mask != 0; mask &= mask - 1) {
            const qint64 at = i + __builtin_ctz(mask);
            if (equalAt(bytes + at, needle))
                return at;
        }
    }
    return -1;
}

__attribute__((target("avx2"))) qint64 backwardAvx2(const uchar *bytes, qint64 &i, qint64 from, const Probes &probes,
                                                     const ByteNeedle &needle)
{
    for (; i - 31 >= from; i -= 32) {
        const qint64 base = i - 31;
        for (uint mask = mask32(bytes + base, probes); mask != 0;) {
            const int bit = 31 - __builtin_clz(mask);
            if (equalAt(bytes + base + bit, needle))
                return base + bit;
            mask &= ~(1u << bit);
        }
    }
    return -1;
}
#endif

} // namespace

qint64 findNeedle(const char *data, qint64 from, qint64 to, const ByteNeedle &needle)
{
    const qint64 size = needle.bytes.size();
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    if (size == 0 || to - from < size)
        return -1;
    if (size == 1 && needle.fold.isEmpty()) {
        const void *hit = memchr(data + from, needle.bytes[0], size_t(to - from));
        return hit ? static_cast<const char *>(hit) - data : -1;
    }
    const Probes probes(needle);
    const qint64 last = to - size;   // the last start
    qint64 i = from;
#ifdef __x86_64__
    if (hasAvx2) {
        const qint64 hit = forwardAvx2(bytes, i, last, probes, needle);
        if (hit >= 0)
            return hit;
    }
#endif
#ifdef __SSE2__
    for (; i + 15 <= last; i += 16) {
        for (uint mask = probes.mask16(bytes + i); mask != 0; mask &= mask - 1) {
            const qint64 at = i + __builtin_ctz(mask);
            if (equalAt(bytes + at, needle))
                return at;
        }
    }
#endif
    for (; i <= last; ++i) {
        if (probes.at(bytes + i) && equalAt(bytes + i, needle))
            return i;
    }
    return -1;
}

qint64 findLastNeedle(const char *data, qint64 from, qint64 before, qint64 to, const ByteNeedle &needle)
{
    const qint64 size = needle.bytes.size();
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    qint64 i = qMin(before - 1, to - size);   // the last start
    if (size == 0 || i < from)
        return -1;
    if (size == 1 && needle.fold.isEmpty()) {
        const void *hit = memrchr(data + from, needle.bytes[0], size_t(i + 1 - from));
        return hit ? static_cast<const char *>(hit) - data : -1;
    }
    const Probes probes(needle);
#ifdef __x86_64__
    if (hasAvx2) {
        const qint64 hit = backwardAvx2(bytes, i, from, probes, needle);
        if (hit >= 0)
            return hit;
    }
#endif
#ifdef __SSE2__
    for (; i - 15 >= from; i -= 16) {
        const qint64 base = i - 15;
        for (uint mask = probes.mask16(bytes + base); mask != 0;) {
            const int bit = 31 - __builtin_clz(mask);
            if (equalAt(bytes + base + bit, needle))
                return base + bit;
            mask &= ~(1u << bit);
        }
    }
#endif
    for (; i >= from; --i) {
        if (probes.at(bytes + i) && equalAt(bytes + i, needle))
            return i;
    }
    return -1;
}

// Files with carriage returns mostly hold them before line feeds only;
// those without any pass at memchr's speed. A 0x0D byte that is not the low
// byte of a unit is no carriage return.
qint64 findInnerReturn(const char *data, qint64 from, qint64 to, const TextEncoding &encoding)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    const int unit = encoding.unitSize;
    for (qint64 i = from; i < to;) {
        const void *hit = memchr(data + i, '\r', size_t(to - i));
        if (!hit)
            return -1;
        const qint64 at = static_cast<const char *>(hit) - data;
        const qint64 unitStart = at - at % unit;
        if (innerReturnAt(bytes, unitStart, to, encoding))
            return unitStart;
        i = at + 1;
    }
    return -1;
}

qint64 findLastInnerReturn(const char *data, qint64 from, qint64 before, qint64 to, const TextEncoding &encoding)
{
    const auto *bytes = reinterpret_cast<const uchar *>(data);
    const int unit = encoding.unitSize;
    for (qint64 end = qMin(before + unit - 1, to); end > from;) {
        const void *hit = memrchr(data + from, '\r', size_t(end - from));
        if (!hit)
            return -1;
        const qint64 at = static_cast<const char *>(hit) - data;
        const qint64 unitStart = at - at % unit;
        if (unitStart < before && innerReturnAt(bytes, unitStart, to, encoding))
            return unitStart;
        end = at;
    }
    return -1;
}
