#ifndef LINEREADS_H
#define LINEREADS_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// Cuts decoded text into the reads of a bounded line read and keeps those
// that pass the extract filter.

#include "linematcher.h"

#include <QString>

#include <vector>

class LineReads
{
public:
    // maxChars: characters per read (at least 1), where a surrogate pair is
    // one character: no read ends between its halves. filter: the text a read must
    // contain, ignoring case; empty turns the filter off. limit: reads to make
    // at most (-1 for no limit).
    LineReads(int maxChars, const QString &filter, qint64 limit);

    // Adds decoded text whose carriage returns are already dropped and makes
    // every read that it completes. A read is the text up to the next line
    // feed, which it consumes, or maxChars characters when the line goes on
    // past them; a line of exactly maxChars characters is one read that
    // consumes its line feed. With atEnd no text follows, so an unterminated
    // rest is a read of its own.
    void append(QString text, bool atEnd);
    // The same for text that starts a line, holds lineFeeds line feeds and
    // no line longer than maxChars: then, without a filter, nothing in it
    // needs a look.
    void appendShortLines(QString text, qint64 lineFeeds, bool atEnd);
    // A read at the end of the file: an empty line.
    void readPastEnd();

    bool full() const { return limit >= 0 && count >= limit; }
    qint64 reads() const { return count; }
    // Characters (UTF-16 units) appended but not read yet: once full(), what
    // lies behind the last read.
    int unread() const { return pending.size(); }
    QString window() const { return text; }

private:
    void take(QStringView line);
    void copyReads(int upTo, const std::vector<int> &breaks);

    int maxChars;
    LineMatcher filter;   // literal, case ignored
    qint64 limit;
    qint64 count = 0;
    QString pending;   // decoded text not yet read
    QString text;      // the reads that passed, each followed by "\n"
};

#endif // LINEREADS_H
