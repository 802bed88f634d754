#ifndef LITERALREADER_H
#define LITERALREADER_H

// The reload read the literal, stream-based way, as a test oracle for the
// engine: QFile in text mode, Qt 5's QTextStream (remade under Qt 6) with the
// named codec or Unicode detection, one seek and one one-character read for every position that a
// backward scan examines, and bounded line reads. Slow by design.
//
// Where Qt's literal behaviour is itself the fault, the oracle follows the
// words the engine follows: a line of exactly maxLineChars characters (or an
// exact multiple) is one read that consumes its line feed, where Qt's
// readLine leaves that line feed for a phantom empty read; and maxLineChars
// counts a surrogate pair as one character, where readLine counts code units
// and can end a read between the pair's halves.

#include "linewindowreader.h"

#include <QString>

#include <functional>

// Optional mends that the engine makes, applied the literal way, for
// comparing outside the places where they would differ.
struct LiteralMends
{
    // Maps a byte offset to the first character boundary at or after it. When
    // set, a scan that stops inside a line (a cut) seeks there instead of
    // reading on from wherever its byte landed.
    std::function<qint64(qint64)> alignStart;
    // Newest mode reads every line up to the end of the file, then one more
    // (empty) read when the file's last byte is a line feed, instead of
    // counting N - r reads.
    bool newestToEnd = false;
};

class LiteralReader
{
public:
    // The window text, or a null string when the file cannot be opened.
    static QString read(const QString &path, const WindowRequest &request,
                        const LiteralMends &mends = LiteralMends());
    // The same through LiteralStream, Qt 5's stream remade, which read()
    // itself uses under Qt 6: under Qt 5 the two must agree.
    static QString readRemade(const QString &path, const WindowRequest &request,
                              const LiteralMends &mends = LiteralMends());
};

#endif // LITERALREADER_H
