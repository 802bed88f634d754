#ifndef FILESEARCH_H
#define FILESEARCH_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// Finds a pattern in a whole file without an index: the next or previous
// match, or every matching read. Keeps no state and may be called from any
// thread; the file is opened read-only and closed again before it returns.

#include "linematcher.h"
#include "linewindowreader.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

struct SearchRequest
{
    QString path;
    QString codecName;        // as WindowRequest::codecName
    qint64 maxLineChars = WindowRequest::DefaultLineChars;   // clamped as the reader clamps it
    MatchPattern pattern;
    bool backward = false;
    // The range searched, in reads. A read is what the window shows as one
    // line: the text up to a line feed, or maxLineChars characters of a
    // longer line (parts counted from where the reading starts, and anew at
    // every line), carriage returns dropped, decoded as the window decodes.
    qint64 fromByte = 0;      // reading starts here: 0 (or the byte-order mark), or a read start
    qint64 skipReads = 0;     // reads from fromByte that are not searched
    qint64 endByte = -1;      // reads that start at or after this byte are not searched; -1: the end of the file
    int leadReads = 0;        // for SearchHit::anchorByte
    QString extractFilter;    // the window's extract filter (empty: off), for SearchHit::readInWindow
};

struct SearchHit
{
    qint64 readStart = -1;    // byte where the read holding the match starts
    qint64 matchByte = -1;    // byte where the match starts
    QString readText;         // the read, as the view shows it
    TextMatch match;          // in readText
    // Where a window read forward from there (as percent mode reads with an
    // anchor) starts to show up to leadReads reads before the hit's read: the
    // start of the read leadReads reads earlier, never before the file's
    // first read nor, inside the line where fromByte starts a count of parts,
    // before fromByte.
    qint64 anchorByte = -1;
    // The index of the hit's read among the reads such a window shows (with
    // extractFilter: among those that pass it; -1 if the hit's read does not).
    int readInWindow = -1;
};

struct SearchResult
{
    enum Status { Found, NotFound, Cancelled, Failed };
    Status status = NotFound;
    SearchHit hit;
    QString errorString;      // Failed: why (not opened, deleted, shrank, read error, invalid pattern)
    qint64 fileSize = 0;      // size when opened
};

// Called now and then (at most every few ms) with 0..100 over the range searched.
using SearchProgress = std::function<void(int percent)>;

class FileSearch
{
public:
    // Forward: the first match (earliest read, then earliest start) in the
    // range; backward: the last one. cancel is looked at between blocks of
    // 256 KiB.
    static SearchResult find(const SearchRequest &request, const std::atomic<bool> *cancel = nullptr,
                             const SearchProgress &progress = {});

    // Every matching read in the range, in file order, handed over in
    // batches of read starts (at least with every report of progress);
    // reads that match exclude (when not empty) are left out, and the scan
    // stops after limit matches (limit <= 0: no limit). resumeByte is where
    // the scan of a grown file goes on (as fromByte, skipReads 0): after the
    // last complete line. The reads of an unterminated last line are listed
    // too, and lie at or after resumeByte: the next scan lists them again.
    struct Listing
    {
        SearchResult::Status status = SearchResult::NotFound;   // Found when any read matched
        QString errorString;
        qint64 fileSize = 0;
        qint64 resumeByte = 0;
        qint64 count = 0;
        bool limited = false;
    };
    static Listing listAll(const SearchRequest &request, const MatchPattern &exclude, qint64 limit,
                           const std::function<void(const std::vector<qint64> &readStarts)> &batch,
                           const std::atomic<bool> *cancel = nullptr, const SearchProgress &progress = {});

    // The read starting at readStart (counted from there), as the view shows
    // it; empty when the file cannot be read there.
    static QString readAt(const QString &path, const QString &codecName, qint64 maxLineChars,
                          qint64 readStart);
};

#endif // FILESEARCH_H
