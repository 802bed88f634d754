#include "timeseek.h"

#include "filebytes.h"
#include "linewindowreader.h"
#include "textencoding.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A file counts as a log with timestamps when a stamp shows in its first or
// last this many bytes. Without that check, every probe in a file without
// stamps would read on to its end.
constexpr qint64 EdgeBytes = 16 * 1024;
// The bytes of a line decoded to look for its stamp: a stamp that begins at
// character LogTimeLead - 1 and its length behind it, at most 4 bytes a character.
constexpr qint64 LeadBytes = (LogTimeLead + 64) * 4;
// A probe reads a page; a line or a run of lines without a stamp that goes
// on past it is read on in blocks that double up to this size.
constexpr qint64 LargestBlock = 1024 * 1024;

// The file opened read-only without ever blocking, and closed with this object.
class ReadOnlyFile
{
public:
    explicit ReadOnlyFile(const QString &path)
    {
        // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
        const QByteArray name = QFile::encodeName(path);
        fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        struct stat info;
        if (fd < 0) {
            const int openError = errno;
            // A socket cannot be opened at all: say what it is rather than "No such device".
            const bool other = ::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode);
            error = other ? QStringLiteral("Not a regular file") : qt_error_string(openError);
        } else if (::fstat(fd, &info) != 0) {
            error = qt_error_string(errno);
        } else if (!S_ISREG(info.st_mode)) {
            error = QStringLiteral("Not a regular file");
        } else {
            size = info.st_size;
        }
    }
    ~ReadOnlyFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    bool isOpen() const { return fd >= 0 && error.isEmpty(); }

    int fd = -1;
    qint64 size = 0;
    QString error;
};

struct StampedLine
{
    qint64 start = -1;   // -1: none
    LogTime time;
    bool found() const { return start >= 0; }
};

// The lines of one open file as its encoding cuts them, read in small
// blocks. Positions are bytes on code-unit boundaries: a line feed unit
// ends a line in every encoding read here (in the byte encodings no byte of
// a multibyte character is 0x0A).
class LineProbe
{
public:
    LineProbe(FileBytes &file, const TextEncoding &encoding, const std::atomic<bool> *cancel)
        : file(file), encoding(encoding), unitSize(encoding.unitSize), cancel(cancel),
          end(file.size() / unitSize * unitSize)
    {
    }

    qint64 unit() const { return unitSize; }
    qint64 dataStart() const { return qMin<qint64>(encoding.bomSize, end); }
    qint64 dataEnd() const { return end; }
    // A read came back short: the file shrank, or a read failed (FileBytes::error).
    bool lost() const { return shortRead; }
    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
    bool interrupted() const { return shortRead || cancelled(); }

    // The first line start at or after p, given boundStart, the first at or
    // after bound (> p): the line feeds from bound on are not looked at, so a
    // probe inside a long line reads no further than the probe above it.
    qint64 lineStartFrom(qint64 p, qint64 bound, qint64 boundStart)
    {
        if (p <= dataStart())
            return dataStart();
        const qint64 lineFeed = lineFeedFrom(p - unitSize, bound - unitSize);
        return lineFeed < bound - unitSize ? lineFeed + unitSize : boundStart;
    }

    // The first stamped line that starts at or after start and before stop.
    StampedLine firstStamped(qint64 start, qint64 stop)
    {
        stop = qMin(stop, end);
        for (qint64 s = start; s < stop && !interrupted(); s = lineFeedFrom(s, end) + unitSize) {
            if (const std::optional<LogTime> time = stampAt(s))
                return {s, *time};
        }
        return {};
    }

    // The last stamped line of those that start at or after from.
    StampedLine lastStamped(qint64 from)
    {
        std::vector<qint64> starts;
        for (qint64 s = lineStartFrom(from, end, end); s < end && !interrupted(); s = lineFeedFrom(s, end) + unitSize)
            starts.push_back(s);
        for (auto s = starts.rbegin(); s != starts.rend() && !interrupted(); ++s) {
            if (const std::optional<LogTime> time = stampAt(*s))
                return {*s, *time};
        }
        return {};
    }

private:
    // The bytes from p to the end of the block that holds them (none at the
    // end, or after a short read). A block that follows the one before is
    // twice its size; any other is the page around p.
    const char *load(qint64 p, qint64 &available)
    {
        if (p < blockBegin || p >= blockEnd) {
            const bool onward = p == blockEnd && blockEnd > blockBegin;
            blockSize = onward ? qMin(blockSize * 2, LargestBlock) : PageSize;
            const qint64 begin = onward ? p : p / PageSize * PageSize;
            const qint64 wanted = qMax<qint64>(0, qMin(blockSize, end - begin));
            block.resize(int(wanted));
            const qint64 got = file.readInto(block.data(), begin, wanted);
            shortRead = shortRead || got < wanted;
            blockBegin = begin;
            blockEnd = begin + got / unitSize * unitSize;
        }
        available = blockEnd - p;
        return available > 0 ? block.constData() + (p - blockBegin) : nullptr;
    }

    bool isLineFeed(const char *at) const
    {
        const int low = encoding.bigEndian ? unitSize - 1 : 0;
        for (int i = 0; i < unitSize; ++i) {
            if (at[i] != (i == low ? '\n' : '\0'))
                return false;
        }
        return true;
    }

    // The first line feed unit in [p, limit), or limit.
    qint64 lineFeedFrom(qint64 p, qint64 limit)
    {
        limit = qMin(limit, end);
        while (p < limit && !interrupted()) {
            qint64 available = 0;
            const char *bytes = load(p, available);
            if (!bytes)
                break;
            const qint64 span = qMin(available, limit - p);
            if (unitSize == 1) {
                if (const void *hit = memchr(bytes, '\n', size_t(span)))
                    return p + (static_cast<const char *>(hit) - bytes);
            } else {
                for (qint64 i = 0; i + unitSize <= span; i += unitSize) {
                    if (isLineFeed(bytes + i))
                        return p + i;
                }
            }
            p += span;
        }
        return limit;
    }

    // The stamp of the line that starts at start, decoded as the window decodes it.
    std::optional<LogTime> stampAt(qint64 start)
    {
        const qint64 stop = lineFeedFrom(start, start + LeadBytes);
        if (stop <= start)
            return std::nullopt;   // an empty line
        QString text;
        if (start >= blockBegin && stop <= blockEnd) {
            text = encoding.decode(block.constData() + (start - blockBegin), int(stop - start));
        } else {
            const QByteArray bytes = file.read(start, stop - start);
            shortRead = shortRead || bytes.size() < stop - start;
            text = encoding.decode(bytes.constData(), bytes.size());
        }
        text.remove(QLatin1Char('\r'));
        return findLogTime(text);
    }

    FileBytes &file;
    const TextEncoding &encoding;
    const int unitSize;
    const std::atomic<bool> *cancel;
    const qint64 end;            // the size, without a trailing partial unit
    QByteArray block;
    qint64 blockBegin = 0;
    qint64 blockEnd = 0;
    qint64 blockSize = PageSize;
    bool shortRead = false;
};

// The target with the date it lacks, if it lacks one.
LogTime withDate(LogTime target, const LogTime &date)
{
    if (target.month == 0) {
        target.year = date.year;
        target.month = date.month;
        target.day = date.day;
    }
    return target;
}

// The binary search, over positions p whose probe, the first stamped line
// from the line start at or after p, is at or after the target, or is none:
// a monotone test in a file whose stamps do not go back. The test is checked
// first at the file's ends, where the first and last stamped lines are.
TimeSeekResult::Status findLine(LineProbe &lines, const TimeSeekRequest &request, qint64 &lineStart)
{
    const StampedLine first = lines.firstStamped(lines.dataStart(), lines.dataStart() + EdgeBytes);
    const StampedLine last = lines.lastStamped(qMax(lines.dataStart(), lines.dataEnd() - EdgeBytes));
    if (lines.interrupted())
        return TimeSeekResult::Failed;   // the caller says why
    if (!first.found() && !last.found())
        return TimeSeekResult::NoTimestamps;
    const bool dateGiven = request.defaultDate && request.defaultDate->month != 0;
    const LogTime target = withDate(request.target, dateGiven ? *request.defaultDate
                                                    : last.found() ? last.time : first.time);
    if (first.found() && compareLogTimes(first.time, target) >= 0) {
        lineStart = first.start;
        return TimeSeekResult::Found;
    }
    if (last.found() && compareLogTimes(last.time, target) < 0)
        return TimeSeekResult::AfterEnd;

    // The answer lies in [lo, hi]: the test fails below lo, holds at hi.
    // upper is hi's probe and upperStart the line start it scans from: a later
    // probe that reaches upperStart without a stamp has the same answer, so
    // a long line or a long run of lines without stamps is read about once.
    const qint64 unit = lines.unit();
    qint64 lo = first.found() ? first.start + unit : lines.dataStart();
    qint64 hi = last.found() ? last.start : lines.dataEnd();
    StampedLine upper = last;
    qint64 upperStart = hi;
    while (lo < hi && !lines.interrupted()) {
        qint64 mid = lo + (hi - lo) / 2;
        mid -= mid % unit;
        const qint64 start = lines.lineStartFrom(mid, hi, upperStart);
        StampedLine probe = lines.firstStamped(start, upperStart);
        if (!probe.found())
            probe = upper;
        if (!probe.found() || compareLogTimes(probe.time, target) >= 0) {
            hi = mid;
            upper = probe;
            upperStart = start;
        } else {
            lo = qMin(hi, probe.start + unit);   // every position up to probe's start probes probe
        }
    }
    if (!upper.found())
        return TimeSeekResult::AfterEnd;
    lineStart = upper.start;
    return TimeSeekResult::Found;
}

} // namespace

TimeSeekResult seekTime(const TimeSeekRequest &request, const std::atomic<bool> *cancel)
{
    TimeSeekResult result;
    const ReadOnlyFile opened(request.path);
    if (!opened.isOpen()) {
        result.errorString = opened.error;
        return result;
    }
    result.fileSize = opened.size;
    FileBytes file(opened.fd, opened.size);
    // The byte-order mark is looked for as the window looks for it.
    const bool byName = request.codecName == CodecName::ShiftJis || request.codecName == CodecName::EucJp;
    const TextEncoding encoding = TextEncoding::choose(request.codecName, byName ? QByteArray() : file.head());
    LineProbe lines(file, encoding, cancel);
    qint64 lineStart = -1;
    const TimeSeekResult::Status status = findLine(lines, request, lineStart);
    if (file.error() != 0) {
        result.errorString = qt_error_string(file.error());
    } else if (lines.lost()) {
        result.errorString = QStringLiteral("The file shrank during the search");
    } else if (lines.cancelled()) {
        result.status = TimeSeekResult::Cancelled;
    } else {
        result.status = status;
        result.lineStart = status == TimeSeekResult::Found ? lineStart : -1;
    }
    return result;
}
