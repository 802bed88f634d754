#ifndef BYTESEARCH_H
#define BYTESEARCH_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// The byte searches under the file search: a pattern's encoded form found in
// raw bytes at memory speed, and what tells the search which lines it must
// decode to be sure. A byte hit is only a candidate: the search confirms it
// by decoding its line.

#include <QByteArray>
#include <QtGlobal>

#include <vector>

class LineMatcher;
struct TextEncoding;

// Bytes to look for; where fold has 0x20, a byte matches with that bit set
// or clear (an ASCII letter in either case).
struct ByteNeedle
{
    QByteArray bytes;   // lower case where fold is set
    QByteArray fold;    // 0x00 or 0x20 per byte, or empty for an exact search
    // The two positions compared first, at many starts at once: the bytes
    // least frequent in the text searched, so that few starts need more.
    int probe = 0;
    int secondProbe = 0;
};

// Where a line must be decoded to know whether the matcher matches it.
struct SearchPlan
{
    enum Mode {
        NoLine,       // no read can match: the pattern is empty or invalid, or holds a line feed or carriage return
        Candidates,   // only lines that hold a needle (at a unit's start) or a carriage return before other text
        EveryLine,    // every line
    };
    Mode mode = EveryLine;
    std::vector<ByteNeedle> needles;
    // A carriage return inside a line is dropped from its text, so text on
    // both sides of it can match without its bytes standing together.
    bool innerReturns = false;
};

// What the search for matcher's matches in text of that encoding looks at;
// sample is some of that text, to choose each needle's probes by.
SearchPlan planSearch(const LineMatcher &matcher, const TextEncoding &encoding, const QByteArray &sample);

// The first start of needle in [from, to - its size], or -1.
qint64 findNeedle(const char *data, qint64 from, qint64 to, const ByteNeedle &needle);
// The last start of needle before `before` whose bytes lie in [from, to), or -1.
qint64 findLastNeedle(const char *data, qint64 from, qint64 before, qint64 to, const ByteNeedle &needle);

// The first (last) carriage return in [from, to) (before `before`) followed
// by a unit in [from, to) that is neither a line feed nor a carriage return;
// -1 when none. Positions are units of the encoding counted from data.
qint64 findInnerReturn(const char *data, qint64 from, qint64 to, const TextEncoding &encoding);
qint64 findLastInnerReturn(const char *data, qint64 from, qint64 before, qint64 to, const TextEncoding &encoding);

#endif // BYTESEARCH_H
