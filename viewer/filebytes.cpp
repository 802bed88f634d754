#include "filebytes.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// Scans read at most 64 KiB at a time: large enough that a window of long
// lines costs a handful of system calls, small enough to stay in the CPU cache
// while memrchr runs over it. The first read is only 4 KiB and the size then
// doubles, because a window of twenty short lines fits in a few KiB and
// reading 64 KiB for it would cost more than the window itself.
constexpr qint64 BlockSize = 64 * 1024;
constexpr qint64 FirstReadSize = 4 * 1024;

} // namespace

FileBytes::FileBytes(int fd, qint64 size)
    : fd(fd), fileSize(size)
{
}

qint64 FileBytes::readInto(char *buffer, qint64 offset, qint64 length)
{
    length = qMin(length, fileSize - offset);
    qint64 done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, buffer + done, size_t(length - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;   // end of file (it shrank) or an I/O error: both end the data here
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
    : file(file), unitSize(unitSize), bigEndian(bigEndian),
      units(file.size() / unitSize), nextSize(FirstReadSize)
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

void UnitBlocks::load(qint64 p)
{
    const qint64 byte = p * unitSize;
    if (byte >= blockBegin && byte < blockEnd)
        return;
    const qint64 limit = units * unitSize;   // a trailing partial unit is never scanned
    qint64 begin;
    qint64 end;
    if (blockEnd > blockBegin && byte < blockBegin && byte >= blockBegin - nextSize) {
        // The usual case: the scan went on backwards past the block's start.
        end = blockBegin;
        begin = qMax<qint64>(0, end - nextSize);
        nextSize = qMin(nextSize * 2, BlockSize);
    } else {
        // First read, or a jump: at least FirstReadSize bytes up to the end
        // of p's aligned stretch (aligned offsets are multiples of every unit
        // size), so that the first read of a scan from the end takes the odd
        // remainder and later ones are aligned.
        end = qMin(limit, (byte / FirstReadSize + 1) * FirstReadSize);
        begin = qMax<qint64>(0, (end - FirstReadSize) / FirstReadSize * FirstReadSize);
    }
    if (block.size() < end - begin)
        block.resize(int(end - begin));   // grows with the reads, up to BlockSize
    const qint64 got = file.readInto(block.data(), begin, end - begin);
    // A file that shrank while it is read: the bytes that did not arrive read
    // as zeros, which are no line feeds, so the scan stays bounded.
    memset(block.data() + got, 0, size_t(end - begin - got));
    blockBegin = begin;
    blockEnd = end;
}

uint UnitBlocks::unitAt(qint64 p)
{
    if (p < 0 || p >= units)
        return NoUnit;
    load(p);
    return decodeUnit(reinterpret_cast<const uchar *>(block.constData()) + (p * unitSize - blockBegin));
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

qint64 UnitBlocks::lastLineFeed(qint64 lo, qint64 hi)
{
    lo = qMax<qint64>(lo, 0);
    hi = qMin(hi, units - 1);
    while (hi >= lo) {
        load(hi);
        const qint64 first = qMax(lo, blockBegin / unitSize);
        const char *data = block.constData();
        if (unitSize == 1) {
            const void *hit = memrchr(data + (first - blockBegin), '\n', size_t(hi - first + 1));
            if (hit)
                return blockBegin + (static_cast<const char *>(hit) - data);
        } else {
            for (qint64 p = hi; p >= first; --p) {
                const auto *at = reinterpret_cast<const uchar *>(data + (p * unitSize - blockBegin));
                if (decodeUnit(at) == LineFeed)
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
    if (fromByte >= blockBegin && blockEnd == size && blockEnd > blockBegin)
        return QByteArray(block.constData() + (fromByte - blockBegin), int(size - fromByte));
    return file.read(fromByte, size - fromByte);
}
