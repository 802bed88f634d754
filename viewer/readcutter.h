#ifndef READCUTTER_H
#define READCUTTER_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// Cuts the bytes of one line into the reads the window makes of it, each with
// the byte where it starts, for the searches: a read is the line's decoded
// text (carriage returns dropped) up to maxChars characters, a surrogate pair
// one, the last part consuming the line feed. The bytes may come in pieces of
// any size, so a line of any length takes bounded memory.

#include "textencoding.h"

#include <QString>

#include <functional>
#include <vector>

class ReadCutter
{
public:
    // Gets each read as it is complete; returns false to stop the cutting.
    using Sink = std::function<bool(qint64 start, const QString &text)>;

    ReadCutter(const TextEncoding &encoding, int maxChars);

    // A read starts at byte origin: the start of a line, or of a read in one.
    void begin(qint64 origin);
    // The next bytes of the line, never its line feed.
    bool feed(const char *bytes, qint64 size, const Sink &sink);
    // The line ends: at a line feed, or at the end of the file, where an
    // empty rest is no read.
    bool finish(bool lineFeed, const Sink &sink);

    // The reads of a whole line held in memory, bytes [0, size) at byte
    // start, followed by its line feed's unit when lineFeed.
    bool cutLine(const char *bytes, qint64 size, qint64 start, bool lineFeed, const Sink &sink);

private:
    bool take(const QString &decoded, qint64 spanEnd, const Sink &sink);

    const TextEncoding &encoding;
    TextDecoder decoder;
    int maxChars;
    QString current;            // the read being made
    qint64 currentStart = 0;
    int chars = 0;              // characters in current
    bool pairOpen = false;      // current ends in a high surrogate that a low one would join
    qint64 offset = 0;          // the byte the next feed starts at
    QByteArray carry;           // the first bytes of a character whose rest is still to come
    std::vector<qint64> starts; // where the characters of a span start, carriage returns left out
};

// The byte where the character at index `units` (in UTF-16 units of the
// decoded text, carriage returns dropped) of bytes starts, counted by the
// encoding's structure; size when the text is shorter.
qint64 byteOfUnit(const TextEncoding &encoding, const char *bytes, qint64 size, int units);

#endif // READCUTTER_H
