#ifndef FILESCAN_H
#define FILESCAN_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// The block scan under the file search: walks a range of a file in large
// blocks, forward or backward, and hands over the reads of every line that
// the search plan says may match, cut as the window cuts them. Lines longer
// than a block are read piece by piece, so memory stays bounded.

#include "bytesearch.h"
#include "readcutter.h"
#include "textencoding.h"

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>

class FileBytes;

class FileScan
{
public:
    enum Outcome { Finished, Stopped, Cancelled, Failed };

    struct Handlers
    {
        // A read of a line looked at, in order within its line; false stops the scan.
        std::function<bool(qint64 start, const QString &text)> read;
        // The line whose reads came last has ended; false stops the scan.
        std::function<bool()> lineEnd;
    };

    // path names the file that fd (read through file) was opened from, to
    // see it deleted or replaced during the scan.
    FileScan(FileBytes &file, const QString &path, const TextEncoding &encoding, int maxChars,
             const SearchPlan &plan, const std::atomic<bool> *cancel,
             const std::function<void(int)> &progress);

    // The reads that start in [start, end), start being a read start, lines
    // front to back (forward) or back to front, reads within a line always in
    // order.
    Outcome forward(qint64 start, qint64 end, const Handlers &handlers);
    Outcome backward(qint64 start, qint64 end, const Handlers &handlers);

    // After forward(): the end of the last line looked at or passed over
    // completely (after its line feed).
    qint64 completeTo() const { return complete; }
    QString errorString() const { return error; }

    // Where the line holding byte p (a unit start) begins, not before floor;
    // where it ends (right after its line feed, or the end of the file).
    qint64 lineStart(qint64 p, qint64 floor);
    qint64 lineEnd(qint64 p);

    // Cuts the line from start (a read start) through its line feed or the
    // end of the file into reads, reading it in pieces; lineEndAfter() then
    // says where it ended.
    bool cutLineFrom(qint64 start, const Handlers &handlers);
    qint64 lineEndAfter() const { return streamedTo; }

private:
    bool read(qint64 offset, qint64 size);
    bool checkpoint(qint64 done, qint64 total);
    bool fileIntact();
    bool evaluateForward(qint64 base, qint64 from, qint64 to, const Handlers &handlers);
    bool evaluateBackward(qint64 base, qint64 from, qint64 to, const Handlers &handlers);
    void beginRange(qint64 end, bool forwardScan, const Handlers &handlers);
    Outcome ended() const { return rangeDone ? Finished : halted; }
    qint64 firstHit(size_t finder, qint64 at, qint64 to) const;
    qint64 lastHit(size_t finder, qint64 from, qint64 before, qint64 to) const;
    qint64 nextCandidate(qint64 at, qint64 to);
    qint64 lastCandidate(qint64 from, qint64 before, qint64 to);
    qint64 lineFeedAfter(qint64 from, qint64 to) const;
    qint64 lineFeedBefore(qint64 from, qint64 before) const;
    void resetCandidates();

    FileBytes &file;
    QString path;
    const TextEncoding &encoding;
    int unit;
    const SearchPlan &plan;
    const std::atomic<bool> *cancel;
    std::function<void(int)> progress;
    ReadCutter cutter;
    QByteArray buffer;
    qint64 readEnd = 0;       // the bytes of the block read last
    int blocksSinceLook = 0;  // blocks since the last look at the file
    qint64 lastCheck = 0;     // when the file was last looked at, in ms
    int lastPercent = -1;
    qint64 complete = 0;
    qint64 rangeEnd = 0;
    bool rangeDone = false;   // forward, a read at or past rangeEnd ended the scan
    Outcome halted = Stopped; // why the scan ends when a step fails
    qint64 streamedTo = 0;    // where the line read in pieces last ended
    bool streamedLineFeed = false;
    QString error;
    std::vector<qint64> cached;   // per finder, the last hit found, or a mark to look again
    std::function<bool(qint64, const QString &)> rangeRead;
};

#endif // FILESCAN_H
