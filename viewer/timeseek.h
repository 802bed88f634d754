#ifndef TIMESEEK_H
#define TIMESEEK_H

// Part of the reading engine in viewer/, which uses Qt Core only.
//
// Goes to a time in a log without an index: a binary search over byte
// positions in which each probe reads one small block, moves to the next line
// start and takes the first line with a timestamp (logtimestamp.h) from
// there. A line without a timestamp belongs to the stamped line before it.
// Stateless and thread-safe: each call opens the file read-only and closes
// it before it returns.

#include "logtimestamp.h"

#include <QString>
#include <QtGlobal>

#include <atomic>
#include <optional>

struct TimeSeekRequest
{
    QString path;
    QString codecName;       // one of CodecName, decoded as the window reads it
    // The window's per-line limit. A line's stamp is looked for in its first
    // LogTimeLead characters whatever the limit, so the search does not use it.
    qint64 maxLineChars = 0;
    LogTime target;          // parsed from what the user typed
    // A target without a date takes this one, when the caller has it (the date
    // of the window's first stamped line), else the file's last stamped line's.
    std::optional<LogTime> defaultDate;
};

struct TimeSeekResult
{
    enum Status {
        Found,         // lineStart: where the line found starts
        AfterEnd,      // the file's last stamped line is before the target
        NoTimestamps,  // no stamp in the file's first 16 KiB nor in its last 16 KiB
        Failed,        // errorString says why: no such file, not a regular file, shrank, I/O error
        Cancelled,
    };

    Status status = Failed;
    qint64 lineStart = -1;
    qint64 fileSize = 0;     // the size seen when the file was opened
    QString errorString;
};

// Finds the first line whose time is at or after the target, in a file whose
// stamps do not go back in time. In a file where they do, it finds a stamped
// line at or after the target whose nearest stamped line before it is before
// the target (a place where the times cross the target), not necessarily the
// first; the first stamped line when that one is at or after the target, and
// AfterEnd when the last one is before it. cancel, checked at every line the
// search looks at, makes it return Cancelled.
TimeSeekResult seekTime(const TimeSeekRequest &request, const std::atomic<bool> *cancel = nullptr);

#endif // TIMESEEK_H
