#include "linereads.h"

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
// feed looks in the window exactly as in the file: such reads are copied in
// runs, and only split parts and an unterminated rest get a "\n" of their own.
void LineReads::flushRun(int upTo)
{
    text.append(QStringView(pending).mid(runStart, upTo - runStart));
    runStart = upTo;
}

void LineReads::append(const QString &more, bool atEnd)
{
    if (pending.isEmpty())
        pending = more;
    else
        pending.append(more);
    if (text.isEmpty())
        text.reserve(pending.size() + pending.size() / qMax(1, maxChars) + 1);
    const bool copyRuns = filter.isEmpty();
    const int size = pending.size();
    int pos = 0;
    while (!full() && pos < size) {
        if (nextLineFeed < pos) {
            nextLineFeed = pending.indexOf(QLatin1Char('\n'), pos);
            if (nextLineFeed < 0)
                nextLineFeed = size;   // none yet: the end stands in for it
        }
        int length = nextLineFeed - pos;
        // A line feed right after maxChars characters still ends this read.
        bool endsLine = length <= maxChars && nextLineFeed < size;
        if (!endsLine) {
            if (size - pos > maxChars)
                length = maxChars;   // a part of a longer line
            else if (atEnd)
                length = size - pos;   // the unterminated rest
            else
                break;   // the read's end is in text still to come
        }
        if (!copyRuns) {
            take(QStringView(pending).mid(pos, length));
        } else {
            ++count;
            if (!endsLine) {
                flushRun(pos + length);
                text.append(QLatin1Char('\n'));
            }
        }
        pos += length + (endsLine ? 1 : 0);
    }
    if (copyRuns)
        flushRun(pos);
    pending.remove(0, pos);
    runStart = 0;
    nextLineFeed = nextLineFeed >= pos && nextLineFeed < size ? nextLineFeed - pos : -1;
}

void LineReads::readPastEnd()
{
    if (!full())
        take(QStringView());
}
