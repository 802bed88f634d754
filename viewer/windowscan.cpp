#include "windowscan.h"

#include "filebytes.h"

// Why a line-feed unit is a safe boundary: in UTF-8, Shift-JIS and EUC-JP no
// byte of a multi-byte character is ever 0x0A (UTF-8 continuation bytes are
// 0x80-0xBF, Shift-JIS trail bytes 0x40-0xFC, EUC-JP trail bytes 0xA1-0xFE),
// so a 0x0A byte is a line feed wherever it stands. In UTF-16 and UTF-32 the
// scans compare whole code units read at their own offsets, so a 0x0A byte
// inside another character (U+4E0A is 0A 4E in UTF-16LE) is never taken for
// one. The same holds for 0x0D and carriage returns.

namespace {

// The line feed that ends the run of carriage returns starting at p, or -1
// when the run ends in something else.
qint64 lineFeedAfterReturns(UnitBlocks &units, qint64 p)
{
    while (units.unitAt(p) == UnitBlocks::CarriageReturn)
        ++p;
    return units.unitAt(p) == UnitBlocks::LineFeed ? p : -1;
}

// Where the file's second character stands when the carriage returns before
// line feeds are left out: the newest-mode scan's "position 1" of the CR LF
// file, so that it starts at 0 where its LF twin would.
qint64 secondPosition(UnitBlocks &units)
{
    if (units.peekUnit(0) != UnitBlocks::CarriageReturn
        && units.peekUnit(1) != UnitBlocks::CarriageReturn)
        return 1;   // the usual case, found without loading the file's first block
    int seen = 0;
    for (qint64 p = 0;; ++p) {
        const uint unit = units.unitAt(p);
        if (unit == UnitBlocks::NoUnit)
            return p;
        if (unit == UnitBlocks::CarriageReturn) {
            const qint64 lineFeed = lineFeedAfterReturns(units, p);
            if (lineFeed >= 0)
                p = lineFeed;
        }
        if (++seen == 2)
            return p;
    }
}

} // namespace

// newestWindowStart: the position where the newest-mode window begins.
//
// Walks back from the end of the file counting boundaries. A boundary is a
// line feed, or a cut that the scan makes by itself when maxChars + 1
// positions go by without a line feed (the end of the file counts as the
// first boundary for that distance, though not for the count). Returns the
// position right after the (lineCount + 1)-th boundary; the window then reads
// everything from there to the end of the file.
//
// Position 0 is never examined: when the scan reaches position 1 before it
// has found enough boundaries (a short file), and also when the last boundary
// it needs lies at position 1 itself, the window starts at 0 and shows the
// file from its first byte. Carriage returns right before a line feed belong
// to that boundary and are no positions, so a CR LF file shows as many lines
// as its LF twin. A window that starts after a cut moves on to the next
// character boundary.
//
// Reads at most (lineCount + 1) x (maxChars + 1) units (plus any carriage
// returns before the line feeds), whatever the size of the file.
qint64 newestWindowStart(UnitBlocks &units, qint64 lineCount, int maxChars,
                         const AlignToCharacter &align, bool *linesFit)
{
    *linesFit = true;
    qint64 remaining = lineCount;            // boundaries still to find, less one
    qint64 boundary = units.unitCount();     // the last boundary found
    const qint64 second = secondPosition(units);
    for (;;) {
        // Without a final line feed the unterminated last line is searched
        // like any other: the end of the file stands in for its line feed.
        const qint64 cut = boundary - maxChars - 1;
        const qint64 lineFeed = units.lastLineFeed(qMax<qint64>(cut, 1), boundary - 1);
        if (lineFeed < 0 && cut < 1) {
            // Short file: position 1 reached without another boundary. The
            // first line, [0, boundary), may still be one unit too long.
            if (boundary > maxChars)
                *linesFit = false;
            return 0;
        }
        qint64 edge = lineFeed >= 0 ? lineFeed : cut;
        if (lineFeed < 0)
            *linesFit = false;
        if (lineFeed >= 0) {
            while (edge > 0 && units.unitAt(edge - 1) == UnitBlocks::CarriageReturn)
                --edge;
        }
        --remaining;
        if (edge <= second)
            return 0;   // a boundary at position 1 leaves nothing before it to show apart
        if (remaining < 0)
            return lineFeed >= 0 ? lineFeed + 1 : align(cut + 1);
        boundary = edge;
    }
}

// percentWindowStart: the position where the percent-mode window begins.
//
// Looks back from the target position for the start of the line that holds
// it, examining target, target - 1, ... but at most maxChars + 2 positions and
// never position 0. A line feed at p (or a carriage return run ending in one)
// starts the window right after it; when maxChars + 1 positions below target
// hold none, the window starts right after the character at target -
// maxChars - 1, in the middle of a long line; when the scan reaches position
// 1 without either, the window starts at 0. Positions at or past the end of
// the file hold nothing.
qint64 percentWindowStart(UnitBlocks &units, qint64 target, int maxChars,
                          const AlignToCharacter &align)
{
    if (target <= 0)
        return 0;
    if (units.unitAt(target) == UnitBlocks::CarriageReturn) {
        const qint64 lineFeed = lineFeedAfterReturns(units, target);
        if (lineFeed >= 0)
            return lineFeed + 1;
    }
    const qint64 last = target - maxChars - 1;   // the last position examined
    const qint64 lineFeed = units.lastLineFeed(qMax<qint64>(last, 1), target);
    if (lineFeed >= 0)
        return lineFeed + 1;
    if (last < 1)
        return 0;
    return align(last + 1);
}
