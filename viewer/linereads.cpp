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

void LineReads::append(const QString &more, bool atEnd)
{
    if (pending.isEmpty())
        pending = more;
    else
        pending.append(more);
    const QStringView all(pending);
    int pos = 0;
    while (!full() && pos < all.size()) {
        const int available = all.size() - pos;
        // A line feed right after maxChars characters still ends this read.
        const int lineFeed = all.mid(pos, qMin(available, maxChars + 1)).indexOf(QLatin1Char('\n'));
        if (lineFeed >= 0) {
            take(all.mid(pos, lineFeed));
            pos += lineFeed + 1;
        } else if (available > maxChars) {
            take(all.mid(pos, maxChars));
            pos += maxChars;
        } else if (atEnd) {
            take(all.mid(pos));
            pos = all.size();
        } else {
            break;   // the read's end is in text still to come
        }
    }
    pending.remove(0, pos);
}

void LineReads::readPastEnd()
{
    if (!full())
        take(QStringView());
}
