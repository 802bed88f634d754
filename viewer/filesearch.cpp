#include "filesearch.h"

#include "bytesearch.h"
#include "filebytes.h"
#include "filescan.h"
#include "readcutter.h"
#include "textencoding.h"

#include <chrono>
#include <deque>

namespace {

// Batches of matches go out at least this often while a listing runs, so
// that its first rows show at once.
constexpr qint64 BatchMs = 20;
constexpr qint64 SampleBytes = 64 * 1024;

struct Read
{
    qint64 start;
    QString text;
};

// What every search does once the file is open.
struct Opened
{
    explicit Opened(const QString &path, const QString &codecName, qint64 maxLineChars)
        : file(path), bytes(file.descriptor(), file.size()),
          maxChars(int(qBound(qint64(WindowRequest::MinLineChars), maxLineChars,
                              qint64(WindowRequest::MaxLineChars))))
    {
        if (!file.isOpen())
            return;
        // As the window decides: the byte-order mark is looked at only without a codec named.
        const bool byName = codecName == CodecName::ShiftJis || codecName == CodecName::EucJp;
        encoding = TextEncoding::choose(codecName, byName ? QByteArray() : bytes.head());
    }

    // A start the reads can begin at: the first read's, or a unit's.
    qint64 readStart(qint64 byte) const
    {
        const qint64 unit = encoding.unitSize;
        byte = qMax<qint64>(byte, encoding.bomSize);
        return qMin((byte + unit - 1) / unit * unit, bytes.size());
    }

    // The end of a range: reads that start at or after endByte (-1: none) are out.
    qint64 rangeEnd(qint64 endByte) const
    {
        const qint64 unit = encoding.unitSize;
        return endByte < 0 ? bytes.size() : qMin((endByte + unit - 1) / unit * unit, bytes.size());
    }

    // Whether a line starts at byte, so that the reads before it count anew.
    bool startsLine(qint64 byte)
    {
        if (byte <= encoding.bomSize)
            return true;
        const QByteArray before = bytes.read(byte - encoding.unitSize, encoding.unitSize);
        return before.size() == encoding.unitSize
               && encoding.isLineFeed(reinterpret_cast<const uchar *>(before.constData()));
    }

    // Text from where the search starts, to choose the bytes it looks for first by.
    QByteArray sample(qint64 start) { return bytes.read(start, SampleBytes); }

    OpenFile file;
    FileBytes bytes;
    TextEncoding encoding;
    int maxChars;
};

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

SearchResult::Status statusOf(FileScan::Outcome outcome, bool found)
{
    if (outcome == FileScan::Cancelled)
        return SearchResult::Cancelled;
    if (outcome == FileScan::Failed)
        return SearchResult::Failed;
    return found ? SearchResult::Found : SearchResult::NotFound;
}

// The start of the read skip reads after from, or the end of the file.
qint64 skipReads(Opened &opened, const QString &path, qint64 from, qint64 skip, const std::atomic<bool> *cancel,
                 FileScan::Outcome &outcome, QString &error)
{
    if (skip <= 0)
        return from;
    const SearchPlan everyLine;
    FileScan scan(opened.bytes, path, opened.encoding, opened.maxChars, everyLine, cancel, {});
    qint64 count = 0;
    qint64 next = opened.bytes.size();
    outcome = scan.forward(from, opened.bytes.size(),
                           {[&](qint64 start, const QString &) {
                                if (count == skip) {
                                    next = start;
                                    return false;
                                }
                                ++count;
                                return true;
                            },
                            [] { return true; }});
    error = scan.errorString();
    return next;
}

// Where the match starts in bytes: its read's bytes walked character by
// character up to it.
qint64 matchByte(Opened &opened, qint64 readStart, int unitIndex)
{
    for (qint64 size = qint64(unitIndex + 1) * 4 + 4096;; size *= 2) {
        const QByteArray bytes = opened.bytes.read(readStart, size);
        const qint64 at = byteOfUnit(opened.encoding, bytes.constData(), bytes.size(), unitIndex);
        if (at < bytes.size() || bytes.size() < size)
            return readStart + at;
    }
}

// The reads before the hit's that a window starting leadReads reads earlier
// shows: those of its line before it (before), then the reads before
// lineOrigin, where the hit's line began to be cut: of the same line back
// to its start or countStart (where fromByte began the count of parts),
// then the last reads of the lines above, each cut from its start.
void anchorHit(Opened &opened, const QString &path, const SearchRequest &request, qint64 countStart,
               qint64 lineOrigin, std::deque<Read> before, const std::atomic<bool> *cancel, SearchHit &hit)
{
    // A cancel here leaves the anchor nearer the hit.
    FileScan scan(opened.bytes, path, opened.encoding, opened.maxChars, SearchPlan(), cancel, {});
    const qint64 first = opened.encoding.bomSize;
    for (qint64 origin = lineOrigin; int(before.size()) < request.leadReads && origin > first;) {
        const bool lineStart = opened.startsLine(origin);
        qint64 lineBegin = scan.lineStart(lineStart ? origin - opened.encoding.unitSize : origin, first);
        if (!lineStart)
            lineBegin = qMax(lineBegin, countStart);
        if (lineBegin < 0 || lineBegin >= origin)
            break;
        std::deque<Read> line;
        const size_t wanted = size_t(request.leadReads) - before.size();
        scan.cutLineFrom(lineBegin, {[&](qint64 start, const QString &text) {
                                         if (start >= origin)
                                             return false;
                                         line.push_back({start, text});
                                         if (line.size() > wanted)
                                             line.pop_front();
                                         return true;
                                     },
                                     [] { return true; }});
        before.insert(before.begin(), line.begin(), line.end());
        origin = lineBegin;
        if (!opened.startsLine(lineBegin))
            break;   // the count of parts began here
    }
    hit.anchorByte = before.empty() ? hit.readStart : before.front().start;
    hit.readInWindow = int(before.size());
    if (!request.extractFilter.isEmpty()) {
        const LineMatcher filter(MatchPattern{request.extractFilter, false, false});
        hit.readInWindow = -1;
        if (filter.matches(hit.readText)) {
            hit.readInWindow = 0;
            for (const Read &read : before)
                hit.readInWindow += filter.matches(read.text) ? 1 : 0;
        }
    }
}

} // namespace

SearchResult FileSearch::find(const SearchRequest &request, const std::atomic<bool> *cancel,
                              const SearchProgress &progress)
{
    SearchResult result;
    Opened opened(request.path, request.codecName, request.maxLineChars);
    if (!opened.file.isOpen()) {
        result.status = SearchResult::Failed;
        result.errorString = opened.file.errorString();
        return result;
    }
    result.fileSize = opened.bytes.size();
    const LineMatcher matcher(request.pattern);
    if (!matcher.isValid()) {
        result.status = SearchResult::Failed;
        result.errorString = matcher.errorString();
        return result;
    }
    FileScan::Outcome outcome = FileScan::Finished;
    const qint64 start = skipReads(opened, request.path, opened.readStart(request.fromByte),
                                   request.skipReads, cancel, outcome, result.errorString);
    const SearchPlan plan = planSearch(matcher, opened.encoding, opened.sample(start));
    if (plan.mode == SearchPlan::NoLine)
        return result;
    const qint64 end = opened.rangeEnd(request.endByte);
    if (outcome == FileScan::Finished || outcome == FileScan::Stopped) {
        FileScan scan(opened.bytes, request.path, opened.encoding, opened.maxChars, plan, cancel, progress);
        // The reads of the current line so far, the last leadReads + 1 of
        // them, and where its first read started.
        std::deque<Read> line;
        std::deque<Read> before;
        qint64 lineOrigin = -1;
        qint64 hitOrigin = -1;
        bool found = false;
        const auto keep = [&](qint64 readStart, const QString &text) {
            if (lineOrigin < 0)
                lineOrigin = readStart;
            if (request.leadReads <= 0)
                return;
            line.push_back({readStart, text});
            if (int(line.size()) > request.leadReads + 1)
                line.pop_front();
        };
        // The hit is the last read kept; the reads before it in its line are the anchor's first.
        const auto record = [&](qint64 readStart, const QString &text, TextMatch match) {
            found = true;
            hitOrigin = lineOrigin;
            before = line;
            if (!before.empty())
                before.pop_back();
            while (int(before.size()) > request.leadReads)
                before.pop_front();
            result.hit.readStart = readStart;
            result.hit.readText = text;
            result.hit.match = match;
        };
        FileScan::Handlers handlers;
        handlers.read = [&](qint64 readStart, const QString &text) {
            keep(readStart, text);
            const TextMatch match = request.backward ? matcher.lastMatchIn(text) : matcher.matchIn(text);
            if (match.found())
                record(readStart, text, match);
            return request.backward || !match.found();
        };
        handlers.lineEnd = [&] {
            line.clear();
            lineOrigin = -1;
            return !(found && request.backward);
        };
        outcome = request.backward ? scan.backward(start, end, handlers) : scan.forward(start, end, handlers);
        result.errorString = scan.errorString();
        result.status = statusOf(outcome, found);
        if (result.status == SearchResult::Found) {
            result.hit.matchByte = matchByte(opened, result.hit.readStart, result.hit.match.start);
            anchorHit(opened, request.path, request, opened.readStart(request.fromByte), hitOrigin, before,
                      cancel, result.hit);
        }
        return result;
    }
    result.status = statusOf(outcome, false);
    return result;
}

FileSearch::Listing FileSearch::listAll(const SearchRequest &request, const MatchPattern &exclude, qint64 limit,
                                        const std::function<void(const std::vector<qint64> &)> &batch,
                                        const std::atomic<bool> *cancel, const SearchProgress &progress)
{
    Listing listing;
    Opened opened(request.path, request.codecName, request.maxLineChars);
    if (!opened.file.isOpen()) {
        listing.status = SearchResult::Failed;
        listing.errorString = opened.file.errorString();
        return listing;
    }
    listing.fileSize = opened.bytes.size();
    const LineMatcher matcher(request.pattern);
    const LineMatcher excluded(exclude);
    for (const LineMatcher *m : {&matcher, &excluded}) {
        if (!m->isValid()) {
            listing.status = SearchResult::Failed;
            listing.errorString = m->errorString();
            return listing;
        }
    }
    FileScan::Outcome outcome = FileScan::Finished;
    const qint64 start = skipReads(opened, request.path, opened.readStart(request.fromByte),
                                   request.skipReads, cancel, outcome, listing.errorString);
    listing.resumeByte = start;
    if (outcome == FileScan::Failed || outcome == FileScan::Cancelled) {
        listing.status = statusOf(outcome, false);
        return listing;
    }
    const qint64 end = opened.rangeEnd(request.endByte);
    const SearchPlan plan = planSearch(matcher, opened.encoding, opened.sample(start));
    std::vector<qint64> pending;
    qint64 lastBatch = nowMs();
    const auto flush = [&] {
        if (!pending.empty() && batch)
            batch(pending);
        pending.clear();
        lastBatch = nowMs();
    };
    // Matches far apart still show soon: a batch goes out with each report of progress.
    FileScan scan(opened.bytes, request.path, opened.encoding, opened.maxChars, plan, cancel, [&](int percent) {
        flush();
        if (progress)
            progress(percent);
    });
    const bool excluding = !excluded.isEmpty();
    outcome = scan.forward(start, end,
                           {[&](qint64 readStart, const QString &text) {
                                if (!matcher.matches(text) || (excluding && excluded.matches(text)))
                                    return true;
                                pending.push_back(readStart);
                                ++listing.count;
                                listing.limited = limit > 0 && listing.count >= limit;
                                return !listing.limited;
                            },
                            [&] {
                                if (!pending.empty() && nowMs() - lastBatch >= BatchMs)
                                    flush();
                                return true;
                            }});
    flush();
    listing.errorString = scan.errorString();
    listing.resumeByte = scan.completeTo();
    listing.status = statusOf(listing.limited ? FileScan::Finished : outcome, listing.count > 0);
    return listing;
}

QString FileSearch::readAt(const QString &path, const QString &codecName, qint64 maxLineChars, qint64 readStart)
{
    Opened opened(path, codecName, maxLineChars);
    if (!opened.file.isOpen())
        return QString();
    FileScan scan(opened.bytes, path, opened.encoding, opened.maxChars, SearchPlan(), nullptr, {});
    QString text;
    scan.cutLineFrom(opened.readStart(readStart), {[&](qint64, const QString &read) {
                                                       text = read;
                                                       return false;
                                                   },
                                                   [] { return true; }});
    return text;
}
