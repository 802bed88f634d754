#include "filebytes.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A scan's first read is sized for the window it expects (see reserve), at
// least one 4 KiB page: a window of twenty short lines fits in a few KiB,
// and reading much more for it would cost more than the window itself. Each
// further read doubles, up to 1 MiB, so that a window of long lines costs a
// handful of system calls and a scan reads little past what it needs.
constexpr qint64 LargestRead = 1024 * 1024;

QString notRegularFile(mode_t mode)
{
    const char *kind = S_ISDIR(mode)    ? "a directory"
                       : S_ISFIFO(mode) ? "a FIFO"
                       : S_ISSOCK(mode) ? "a socket"
                       : S_ISCHR(mode)  ? "a character device"
                       : S_ISBLK(mode)  ? "a block device"
                                        : "not a plain file";
    return QStringLiteral("Not a regular file (%1)").arg(QLatin1String(kind));
}

} // namespace

OpenFile::OpenFile(const QString &path)
{
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    struct stat info;
    if (fd < 0) {
        const int openError = errno;
        // A socket cannot be opened at all: say what it is rather than "No such device".
        const bool exists = ::stat(QFile::encodeName(path).constData(), &info) == 0;
        error = exists && !S_ISREG(info.st_mode) ? notRegularFile(info.st_mode) : qt_error_string(openError);
        return;
    }
    if (::fstat(fd, &info) != 0)
        error = qt_error_string(errno);
    else if (!S_ISREG(info.st_mode))
        error = notRegularFile(info.st_mode);
    if (!error.isEmpty()) {
        ::close(fd);
        fd = -1;
        return;
    }
    fileSize = info.st_size;
    deviceId = quint64(info.st_dev);
    inodeId = quint64(info.st_ino);
}

OpenFile::~OpenFile()
{
    if (fd >= 0)
        ::close(fd);
}

FileBytes::FileBytes(int fd, qint64 size)
    : fd(fd), fileSize(size)
{
}

qint64 FileBytes::readInto(char *buffer, qint64 offset, qint64 length)
{
    if (readError)
        return 0;
    length = qMin(length, fileSize - offset);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            readError = errno;   // a failing disk or mount, not the end of the data
            break;
        }
        if (n == 0)
            break;   // the file shrank since it was opened
        done += n;
    }
    readTotal += done;
    return done;
}

QByteArray FileBytes::read(qint64 offset, qint64 length)
{
    length = qMax<qint64>(0, qMin(length, fileSize - offset));
    QByteArray bytes(int(length), Qt::Uninitialized);
    bytes.truncate(int(readInto(bytes.data(), offset, length)));
    return bytes;
}

QByteArray FileBytes::head()
{
    if (!headRead) {
        headBytes = read(0, 8);
        headRead = true;
    }
    return headBytes;
}

UnitBlocks::UnitBlocks(FileBytes &file, int unitSize, bool bigEndian)
    : file(file), unitSize(unitSize), unitShift(unitSize == 4 ? 2 : unitSize == 2 ? 1 : 0),
      bigEndian(bigEndian),
      units(file.size() / unitSize), firstRead(PageSize), nextSize(PageSize)
{
}

uint UnitBlocks::decodeUnit(const uchar *at) const
{
    switch (unitSize) {
    case 1:
        return at[0];
    case 2:
        return bigEndian ? uint(at[0]) << 8 | at[1] : uint(at[1]) << 8 | at[0];
    default:
        return bigEndian ? uint(at[0]) << 24 | uint(at[1]) << 16 | uint(at[2]) << 8 | at[3]
                         : uint(at[3]) << 24 | uint(at[2]) << 16 | uint(at[1]) << 8 | at[0];
    }
}

void UnitBlocks::reserve(qint64 bytes, qint64 expected)
{
    scanBytes = bytes;
    firstRead = qBound(PageSize, (expected + PageSize - 1) / PageSize * PageSize, LargestRead);
    // Room for the expected bytes and the page around them, never more than
    // the bound; a scan that needs more grows the buffer.
    bytes = qMin(qMin(bytes, units * unitSize), firstRead) + PageSize;
    if (bytes > buffer.size() && stretchEnd == stretchBegin) {
        buffer = QByteArray(int(bytes), Qt::Uninitialized);
        bufferEnd = buffer.data() + buffer.size();
    }
}

// Reads the bytes before the stretch back to byte (at least nextSize of
// them, from an aligned offset, but not past the scan's bound unless byte
// lies there) in front of it. When they do not fit, the buffer grows in
// place where the allocator can extend it (realloc), else it moves once, and
// the stretch moves to its new end. It doubles, but not past the bound while
// the stretch fits in it. Growing in place, a reload leaves no trail of
// smaller freed buffers whose pages the allocator would hand back to the
// system and then take anew, faulting them in again, on every reload.
void UnitBlocks::extendBackwards(qint64 byte)
{
    // The lowest byte the scan reaches when it stays within its bound (a
    // page below it for the look at the unit before a line feed). Past it
    // (carriage returns before the line feeds) reads and growth double again.
    const qint64 lowest = scanTop - scanBytes - PageSize;
    qint64 begin = qMin(byte, stretchBegin - nextSize);
    if (scanBytes > 0 && byte >= lowest)
        begin = qMax(begin, lowest);
    begin = qMax<qint64>(0, begin / PageSize * PageSize);
    const qint64 held = stretchEnd - stretchBegin;
    const qint64 size = stretchBegin - begin;
    if (held + size > buffer.size()) {
        const qint64 oldSize = buffer.size();
        const qint64 bound = scanTop - lowest + PageSize;   // aligned at both ends
        qint64 newSize = qMax(2 * oldSize, held + size);
        if (scanBytes > 0 && held + size <= bound)
            newSize = qMin(newSize, bound);
        buffer.reserve(int(newSize));   // exactly: resize alone would round the capacity up
        buffer.resize(int(newSize));
        memmove(buffer.data() + newSize - held, buffer.constData() + oldSize - held, size_t(held));
        bufferEnd = buffer.data() + buffer.size();
    }
    char *into = at(stretchBegin) - size;
    const qint64 got = file.readInto(into, begin, size);
    // A file that shrank while it is read: the bytes that did not arrive read
    // as zeros, which are no line feeds, so the scan stays bounded.
    memset(into + got, 0, size_t(size - got));
    stretchBegin = begin;
    nextSize = qMin(nextSize * 2, LargestRead);
}

void UnitBlocks::loadFrom(qint64 byte)
{
    if (stretchEnd > stretchBegin && byte < stretchBegin && byte >= stretchBegin - LargestRead) {
        extendBackwards(byte);   // the usual case: the scan went on backwards
        return;
    }
    // First read, or a jump: a new stretch of at least firstRead bytes up
    // to the end of p's page (aligned offsets are multiples of every
    // unit size), so that a scan from the end of the file first takes the odd
    // remainder and later reads are aligned. A trailing partial unit is never
    // scanned.
    const qint64 limit = units * unitSize;
    stretchEnd = qMin(limit, (byte / PageSize + 1) * PageSize);
    stretchBegin = stretchEnd;
    scanTop = stretchEnd;
    nextSize = firstRead;
    extendBackwards(stretchEnd - firstRead);
}

uint UnitBlocks::unitAtSlow(qint64 p)
{
    if (p < 0 || p >= units)
        return NoUnit;
    load(p);
    const auto *unit = reinterpret_cast<const uchar *>(at(p << unitShift));
    return unitSize == 1 ? *unit : decodeUnit(unit);
}

uint UnitBlocks::peekUnit(qint64 p)
{
    if (p < 0 || p >= units)
        return NoUnit;
    const QByteArray head = file.head();
    if ((p + 1) * unitSize <= head.size())
        return decodeUnit(reinterpret_cast<const uchar *>(head.constData()) + p * unitSize);
    return unitAt(p);
}

qint64 UnitBlocks::lastLineFeedSlow(qint64 lo, qint64 hi)
{
    lo = qMax<qint64>(lo, 0);
    hi = qMin(hi, units - 1);
    while (hi >= lo) {
        load(hi);
        const qint64 first = qMax(lo, stretchBegin >> unitShift);
        if (unitSize == 1) {
            const char *from = at(first);
            const void *hit = memrchr(from, '\n', size_t(hi - first + 1));
            if (hit)
                return first + (static_cast<const char *>(hit) - from);
        } else {
            for (qint64 p = hi; p >= first; --p) {
                if (decodeUnit(reinterpret_cast<const uchar *>(at(p << unitShift))) == LineFeed)
                    return p;
            }
        }
        hi = first - 1;
    }
    return -1;
}

QByteArray UnitBlocks::tailBytes(qint64 fromByte)
{
    const qint64 size = file.size();
    if (fromByte >= stretchBegin && stretchEnd == size && stretchEnd > stretchBegin)
        return QByteArray::fromRawData(at(fromByte), int(size - fromByte));
    return file.read(fromByte, size - fromByte);
}
