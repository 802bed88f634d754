#include "filescan.h"

#include "filebytes.h"

#include <QFile>

#include <chrono>
#include <cstring>
#include <sys/stat.h>

namespace {

// Blocks of 256 KiB: the search reads each while it is still in the
// processor's second-level cache, and a line cut at a block's end is read
// again with the next block at little cost. A line longer than a block is
// read in pieces of this size.
constexpr qint64 BlockBytes = 256 * 1024;
// Progress is told at most this often.
constexpr qint64 ProgressMs = 5;
// The file's name is looked up every 4 MiB, a few system calls each time.
constexpr int LookEveryBlocks = 16;

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

FileScan::FileScan(FileBytes &file, const QString &path, const TextEncoding &encoding, int maxChars,
                   const SearchPlan &plan, const std::atomic<bool> *cancel,
                   const std::function<void(int)> &progress)
    : file(file), path(path), encoding(encoding), unit(encoding.unitSize), plan(plan), cancel(cancel),
      progress(progress), cutter(encoding, maxChars)
{
}

bool FileScan::read(qint64 offset, qint64 size)
{
    if (buffer.size() < size)
        buffer.resize(int(size));
    readEnd = file.readInto(buffer.data(), offset, size);
    if (readEnd == size)
        return true;
    halted = Failed;
    error = file.error() != 0 ? QStringLiteral("Read error: %1").arg(qt_error_string(file.error()))
                              : QStringLiteral("The file shrank during the search");
    return false;
}

// Whether the file is still the one opened, at its size: a file that is
// gone, replaced or shorter ends the scan.
bool FileScan::fileIntact()
{
    struct stat opened;
    struct stat named;
    if (::fstat(file.descriptor(), &opened) == 0 && opened.st_size < file.size())
        error = QStringLiteral("The file shrank during the search");
    else if (::stat(QFile::encodeName(path).constData(), &named) != 0)
        error = QStringLiteral("The file was deleted during the search");
    else if (named.st_ino != opened.st_ino || named.st_dev != opened.st_dev)
        error = QStringLiteral("The file was replaced during the search");
    if (error.isEmpty())
        return true;
    halted = Failed;
    return false;
}

// Between blocks: a cancel ends the scan; the file is looked at every few
// blocks (and once more at the end of the scan); progress is told now and then.
bool FileScan::checkpoint(qint64 done, qint64 total)
{
    if (cancel && cancel->load(std::memory_order_relaxed)) {
        halted = Cancelled;
        return false;
    }
    if (++blocksSinceLook >= LookEveryBlocks) {
        blocksSinceLook = 0;
        if (!fileIntact())
            return false;
    }
    if (total < 0)
        return true;
    const int percent = total > 0 ? int(qBound(qint64(0), done * 100 / total, qint64(100))) : 100;
    if (progress && percent != lastPercent) {
        const qint64 now = nowMs();
        if (lastPercent < 0 || now - lastCheck >= ProgressMs) {
            lastCheck = now;
            lastPercent = percent;
            progress(percent);
        }
    }
    return true;
}

qint64 FileScan::lineFeedAfter(qint64 from, qint64 to) const
{
    if (unit == 1) {
        const void *hit = memchr(buffer.constData() + from, '\n', size_t(qMax<qint64>(0, to - from)));
        return hit ? static_cast<const char *>(hit) - buffer.constData() : -1;
    }
    const auto *bytes = reinterpret_cast<const uchar *>(buffer.constData());
    for (qint64 i = from; i + unit <= to; i += unit) {
        if (encoding.isLineFeed(bytes + i))
            return i;
    }
    return -1;
}

qint64 FileScan::lineFeedBefore(qint64 from, qint64 before) const
{
    if (unit == 1) {
        const void *hit = memrchr(buffer.constData() + from, '\n', size_t(qMax<qint64>(0, before - from)));
        return hit ? static_cast<const char *>(hit) - buffer.constData() : -1;
    }
    const auto *bytes = reinterpret_cast<const uchar *>(buffer.constData());
    for (qint64 i = before - unit; i >= from; i -= unit) {
        if (encoding.isLineFeed(bytes + i))
            return i;
    }
    return -1;
}

void FileScan::resetCandidates()
{
    cached.assign(plan.needles.size() + (plan.innerReturns ? 1 : 0), -2);
}

// The first hit of finder i (a needle, or the inner carriage returns) at or
// after at, on a unit's start: a needle of UTF-16 or UTF-32 text found across
// two units is none.
qint64 FileScan::firstHit(size_t i, qint64 at, qint64 to) const
{
    const char *data = buffer.constData();
    if (i >= plan.needles.size())
        return findInnerReturn(data, at, to, encoding);
    qint64 hit = findNeedle(data, at, to, plan.needles[i]);
    while (hit >= 0 && hit % unit != 0)
        hit = findNeedle(data, hit + 1, to, plan.needles[i]);
    return hit;
}

qint64 FileScan::lastHit(size_t i, qint64 from, qint64 before, qint64 to) const
{
    const char *data = buffer.constData();
    if (i >= plan.needles.size())
        return findLastInnerReturn(data, from, before, to, encoding);
    qint64 hit = findLastNeedle(data, from, before, to, plan.needles[i]);
    while (hit >= 0 && hit % unit != 0)
        hit = findLastNeedle(data, from, hit, to, plan.needles[i]);
    return hit;
}

// The nearest hit of any finder at or after at; each finder's hit is kept
// until the scan passes it.
qint64 FileScan::nextCandidate(qint64 at, qint64 to)
{
    qint64 best = -1;
    for (size_t i = 0; i < cached.size(); ++i) {
        qint64 &hit = cached[i];
        if (hit == -2 || (hit >= 0 && hit < at))
            hit = firstHit(i, at, to);
        if (hit >= 0 && (best < 0 || hit < best))
            best = hit;
    }
    return best;
}

qint64 FileScan::lastCandidate(qint64 from, qint64 before, qint64 to)
{
    qint64 best = -1;
    for (size_t i = 0; i < cached.size(); ++i) {
        qint64 &hit = cached[i];
        if (hit == -2 || hit >= before)
            hit = lastHit(i, from, before, to);
        if (hit > best)
            best = hit;
    }
    return best;
}

// The pieces start at a page and double up to a block: a short line costs
// one small read, a long one few.
bool FileScan::cutLineFrom(qint64 start, const Handlers &handlers)
{
    cutter.begin(start);
    qint64 piece = PageSize;
    for (qint64 p = start;; piece = qMin(piece * 2, BlockBytes)) {
        if (!checkpoint(p, -1))
            return false;
        const qint64 size = qMin(piece, file.size() - p);
        if (size <= 0) {
            streamedTo = p;
            streamedLineFeed = false;
            return cutter.finish(false, handlers.read) && handlers.lineEnd();
        }
        if (!read(p, size))
            return false;
        const qint64 lineFeed = lineFeedAfter(0, size);
        if (lineFeed >= 0) {
            streamedTo = p + lineFeed + unit;
            streamedLineFeed = true;
            return cutter.feed(buffer.constData(), lineFeed, handlers.read)
                   && cutter.finish(true, handlers.read) && handlers.lineEnd();
        }
        if (!cutter.feed(buffer.constData(), size, handlers.read))
            return false;
        p += size;
    }
}

qint64 FileScan::lineStart(qint64 p, qint64 floor)
{
    for (qint64 q = p; q > floor;) {
        const qint64 from = qMax(floor, q - BlockBytes);
        if (!read(from, q - from))
            return -1;
        const qint64 lineFeed = lineFeedBefore(0, q - from);
        if (lineFeed >= 0)
            return from + lineFeed + unit;
        q = from;
    }
    return floor;
}

qint64 FileScan::lineEnd(qint64 p)
{
    for (qint64 q = p; q < file.size();) {
        const qint64 size = qMin(BlockBytes, file.size() - q);
        if (!read(q, size))
            return -1;
        const qint64 lineFeed = lineFeedAfter(0, size);
        if (lineFeed >= 0)
            return q + lineFeed + unit;
        q += size;
    }
    return file.size();
}

// The lines of the block [from, to) at file offset base that the plan looks
// at, front to back.
bool FileScan::evaluateForward(qint64 base, qint64 from, qint64 to, const Handlers &handlers)
{
    resetCandidates();
    for (qint64 at = from; at < to;) {
        const qint64 candidate = plan.mode == SearchPlan::EveryLine ? at : nextCandidate(at, to);
        if (candidate < 0)
            return true;
        const qint64 before = candidate > at ? lineFeedBefore(at, candidate) : -1;
        const qint64 start = before >= 0 ? before + unit : at;
        const qint64 lineFeed = lineFeedAfter(candidate, to);
        const qint64 end = lineFeed >= 0 ? lineFeed : to;
        if (base + start >= rangeEnd) {
            rangeDone = true;
            return false;
        }
        complete = base + start;
        if (!cutter.cutLine(buffer.constData() + start, end - start, base + start, lineFeed >= 0, rangeRead)
            || !handlers.lineEnd())
            return false;
        at = lineFeed >= 0 ? lineFeed + unit : to;
    }
    return true;
}

bool FileScan::evaluateBackward(qint64 base, qint64 from, qint64 to, const Handlers &handlers)
{
    resetCandidates();
    for (qint64 before = to; before > from;) {
        // The unit holding the byte before `before` (the file may end in a partial unit).
        const qint64 candidate = plan.mode == SearchPlan::EveryLine ? (before - 1) / unit * unit
                                                                    : lastCandidate(from, before, to);
        if (candidate < 0)
            return true;
        const qint64 previous = lineFeedBefore(from, candidate);
        const qint64 start = previous >= 0 ? previous + unit : from;
        const qint64 lineFeed = lineFeedAfter(candidate, to);
        const qint64 end = lineFeed >= 0 ? lineFeed : to;
        if (!cutter.cutLine(buffer.constData() + start, end - start, base + start, lineFeed >= 0, rangeRead)
            || !handlers.lineEnd())
            return false;
        before = start;
    }
    return true;
}

void FileScan::beginRange(qint64 end, bool forwardScan, const Handlers &handlers)
{
    rangeEnd = end;
    rangeDone = false;
    halted = Stopped;
    error.clear();
    rangeRead = [this, forwardScan, &handlers](qint64 start, const QString &text) {
        if (start < rangeEnd)
            return handlers.read(start, text);
        rangeDone = forwardScan;
        return !forwardScan;   // backward, the reads past the end are passed over
    };
}

FileScan::Outcome FileScan::forward(qint64 start, qint64 end, const Handlers &handlers)
{
    end = qMin(end, file.size());
    beginRange(end, true, handlers);
    complete = start;
    for (qint64 pos = start; pos < end;) {
        if (!checkpoint(pos - start, end - start))
            return ended();
        const qint64 size = qMin(BlockBytes, file.size() - pos);
        if (!read(pos, size))
            return ended();
        const qint64 lastLineFeed = lineFeedBefore(0, size);
        const bool atEnd = pos + size >= file.size();
        if (lastLineFeed < 0 && !atEnd) {
            // A line longer than a block.
            complete = pos;
            if (plan.mode == SearchPlan::NoLine) {
                const qint64 next = lineEnd(pos);
                if (next < 0)
                    return ended();
                pos = complete = next;
                continue;
            }
            if (!cutLineFrom(pos, Handlers{rangeRead, handlers.lineEnd}))
                return ended();
            pos = streamedTo;
            if (streamedLineFeed)
                complete = pos;
            continue;
        }
        const qint64 regionEnd = atEnd ? size : lastLineFeed + unit;
        if (plan.mode != SearchPlan::NoLine && !evaluateForward(pos, 0, regionEnd, handlers))
            return ended();
        complete = pos + (lastLineFeed >= 0 ? lastLineFeed + unit : 0);
        pos += regionEnd;
    }
    return fileIntact() ? Finished : Failed;
}

FileScan::Outcome FileScan::backward(qint64 start, qint64 end, const Handlers &handlers)
{
    end = qMin(end, file.size());
    beginRange(end, false, handlers);
    if (end <= start || plan.mode == SearchPlan::NoLine)
        return Finished;
    const qint64 top = lineEnd((end - 1) / unit * unit);
    if (top < 0)
        return ended();
    for (qint64 hi = top; hi > start;) {
        if (!checkpoint(top - hi, top - start))
            return ended();
        // Blocks start on a unit, whatever the file's size.
        const qint64 lo = qMax(start, (hi - BlockBytes) / unit * unit);
        if (!read(lo, hi - lo))
            return ended();
        qint64 regionStart = 0;
        if (lo > start) {
            const qint64 first = lineFeedAfter(0, hi - lo - unit);
            if (first < 0) {
                // The line that ends at hi is longer than a block.
                const qint64 lineBegin = lineStart(lo, start);
                if (lineBegin < 0 || !cutLineFrom(lineBegin, Handlers{rangeRead, handlers.lineEnd}))
                    return ended();
                hi = lineBegin;
                continue;
            }
            regionStart = first + unit;
        }
        if (!evaluateBackward(lo, regionStart, hi - lo, handlers))
            return ended();
        hi = lo + regionStart;
    }
    return fileIntact() ? Finished : Failed;
}
