#ifndef WINDOWSCAN_H
#define WINDOWSCAN_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// The backward scans that find where a window of lines begins. Positions are
// code units counted from the file's first byte, and the scans' distances
// count positions, not characters: a character of several units (a UTF-8
// sequence, a UTF-16 surrogate pair) is several positions, as the stream's
// byte positions were. The reads that follow count characters. A window
// found always starts on a character boundary, never between the halves of
// a pair.

#include <QtGlobal>

#include <functional>

class UnitBlocks;

// Maps a position to the first character boundary at or after it.
using AlignToCharacter = std::function<qint64(qint64)>;

// linesFit is set to whether every line from the start found to the end of
// the file is at most maxChars units long (no cut was needed).
qint64 newestWindowStart(UnitBlocks &units, qint64 lineCount, int maxChars,
                         const AlignToCharacter &align, bool *linesFit);

qint64 percentWindowStart(UnitBlocks &units, qint64 target, int maxChars,
                          const AlignToCharacter &align);

#endif // WINDOWSCAN_H
