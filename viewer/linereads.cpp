#include "linereads.h"

#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace {

// The first surrogate in [from, to), or to. Eight units at a time where the
// processor has SSE2 (every x86-64): most text holds none, and this look over
// each long line must cost little next to copying it.
int nextSurrogate(const QChar *text, int from, int to)
{
#ifdef __SSE2__
    const __m128i mask = _mm_set1_epi16(short(0xF800));
    const __m128i surrogate = _mm_set1_epi16(short(0xD800));
    for (; from + 8 <= to; from += 8) {
        const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text + from));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(units, mask), surrogate));
        if (hits != 0)
            return from + __builtin_ctz(uint(hits)) / 2;
    }
#endif
    for (; from < to; ++from) {
        if (text[from].isSurrogate())
            return from;
    }
    return to;
}

// Where a read of maxChars characters from `from` ends, counted one by one:
// a surrogate pair is one character, and no read ends between its halves; a
// lone half counts as a character of its own. At most at limit.
int countedReadEnd(const QChar *text, int from, int limit, int maxChars)
{
    int i = from;
    for (int chars = 0; chars < maxChars && i < limit; ++chars)
        i += text[i].isHighSurrogate() && i + 1 < limit && text[i + 1].isLowSurrogate() ? 2 : 1;
    return i;
}

} // namespace

LineReads::LineReads(int maxChars, const QString &filter, qint64 limit)
    : maxChars(qMax(1, maxChars)), filter(MatchPattern{filter, false, false}), limit(limit)
{
}

void LineReads::take(QStringView line)
{
    ++count;
    if (!filter.isEmpty() && !filter.matches(line))
        return;
    text.append(line);
    text.append(QLatin1Char('\n'));
}

// Without a filter every read is shown, and a read that consumed its line
// feed looks in the window exactly as in the file. So the pending text up to
// upTo is the window's text as it stands, with a "\n" added at each break:
// after a part of a longer line and after an unterminated rest. When nothing
// was shown yet and the whole text goes, it becomes the window uncopied.
void LineReads::copyReads(int upTo, const std::vector<int> &breaks)
{
    if (text.isEmpty() && upTo == pending.size()
        && (breaks.empty() || (breaks.size() == 1 && breaks.front() == upTo))) {
        text = std::exchange(pending, QString());
        if (!breaks.empty())
            text.append(QLatin1Char('\n'));
        return;
    }
    text.reserve(text.size() + upTo + int(breaks.size()));
    int from = 0;
    for (int at : breaks) {
        text.append(QStringView(pending).mid(from, at - from));
        text.append(QLatin1Char('\n'));
        from = at;
    }
    text.append(QStringView(pending).mid(from, upTo - from));
}

void LineReads::append(QString more, bool atEnd)
{
    if (pending.isEmpty())
        pending = std::move(more);
    else
        pending.append(more);
    const bool copyRuns = filter.isEmpty();
    std::vector<int> breaks;
    const int size = pending.size();
    int lineFeed = -1;   // the next line feed at or after pos, or size when none
    int surrogate = -1;  // the next surrogate at or after pos on its line, or the line's end
    int pos = 0;
    while (!full() && pos < size) {
        if (lineFeed < pos) {
            lineFeed = pending.indexOf(QLatin1Char('\n'), pos);
            if (lineFeed < 0)
                lineFeed = size;
        }
        // A line feed right after maxChars characters still ends this read.
        // A rest of at most maxChars units is at most maxChars characters; a
        // longer one needs counting only where it holds a surrogate.
        int end = lineFeed;
        if (lineFeed - pos > maxChars) {
            if (surrogate < pos)
                surrogate = nextSurrogate(pending.constData(), pos, lineFeed);
            end = surrogate >= pos + maxChars ? pos + maxChars
                                              : countedReadEnd(pending.constData(), pos, lineFeed, maxChars);
        }
        const bool endsLine = end == lineFeed && lineFeed < size;
        const int length = end - pos;
        if (end == size && !endsLine && !atEnd)
            break;   // the read's end is in text still to come; at the end, the rest is a read
        if (copyRuns) {
            ++count;
            if (!endsLine)
                breaks.push_back(pos + length);
        } else {
            take(QStringView(pending).mid(pos, length));
        }
        pos += length + (endsLine ? 1 : 0);
    }
    if (copyRuns)
        copyReads(pos, breaks);
    if (pos >= pending.size())
        pending.clear();
    else
        pending.remove(0, pos);
}

void LineReads::appendShortLines(QString more, qint64 lineFeeds, bool atEnd)
{
    const bool unterminated = atEnd && !more.isEmpty() && !more.endsWith(QLatin1Char('\n'));
    const qint64 newReads = lineFeeds + (unterminated ? 1 : 0);
    const bool endsInsideLine = !atEnd && !more.isEmpty() && !more.endsWith(QLatin1Char('\n'));
    if (!filter.isEmpty() || !pending.isEmpty() || endsInsideLine
        || (limit >= 0 && count + newReads > limit)) {
        append(std::move(more), atEnd);
        return;
    }
    count += newReads;
    if (text.isEmpty())
        text = std::move(more);
    else
        text.append(more);
    if (unterminated)
        text.append(QLatin1Char('\n'));
}

void LineReads::readPastEnd()
{
    if (!full())
        take(QStringView());
}
