#include "linereads.h"

#include <utility>

namespace {

// Where a read of at most maxChars characters from `from` ends, at most at
// limit. A surrogate pair is one character, and no read ends between its
// halves; a lone half counts as a character of its own.
int readEnd(const QChar *text, int from, int limit, int maxChars)
{
    if (limit - from <= maxChars)
        return limit;
    const int end = from + maxChars;
    // Most text holds no surrogate: one look over the units, without counting.
    bool surrogates = false;
    for (int i = from; i < end; ++i)
        surrogates |= text[i].isSurrogate();
    if (!surrogates)
        return end;
    int i = from;
    for (int chars = 0; chars < maxChars && i < limit; ++chars)
        i += text[i].isHighSurrogate() && i + 1 < limit && text[i + 1].isLowSurrogate() ? 2 : 1;
    return i;
}

} // namespace

LineReads::LineReads(int maxChars, const QString &filter, qint64 limit)
    : maxChars(qMax(1, maxChars)), filter(filter), limit(limit)
{
}

void LineReads::take(QStringView line)
{
    ++count;
    if (!filter.isEmpty() && line.indexOf(filter, 0, Qt::CaseInsensitive) < 0)
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
    int pos = 0;
    while (!full() && pos < size) {
        if (lineFeed < pos) {
            lineFeed = pending.indexOf(QLatin1Char('\n'), pos);
            if (lineFeed < 0)
                lineFeed = size;
        }
        // A line feed right after maxChars characters still ends this read.
        const int end = readEnd(pending.constData(), pos, lineFeed, maxChars);
        const bool endsLine = end == lineFeed && lineFeed < size;
        int length = end - pos;
        if (end == size && !endsLine) {
            if (!atEnd)
                break;   // the read's end is in text still to come
            // otherwise the unterminated rest
        }
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
