#ifndef FILEBYTES_H
#define FILEBYTES_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// Positional reads from one open file, never past the size taken when it was
// opened, and random access to its code units for the backward scans.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <cstring>

// Reads are aligned to pages of this many bytes, and no read is smaller.
constexpr qint64 PageSize = 4 * 1024;

// A file opened read-only without ever blocking (a FIFO, socket, device or
// directory is refused with an error text that says so); closed again when
// this goes.
class OpenFile
{
public:
    explicit OpenFile(const QString &path);
    ~OpenFile();
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;

    bool isOpen() const { return fd >= 0; }
    int descriptor() const { return fd; }
    qint64 size() const { return fileSize; }   // when opened
    // Which file it is: another file under the same name has another pair.
    quint64 device() const { return deviceId; }
    quint64 inode() const { return inodeId; }
    QString errorString() const { return error; }

private:
    int fd = -1;
    qint64 fileSize = 0;
    quint64 deviceId = 0;
    quint64 inodeId = 0;
    QString error;
};

class FileBytes
{
public:
    // fd stays owned by the caller; size is the size taken at open.
    FileBytes(int fd, qint64 size);

    qint64 size() const { return fileSize; }
    int descriptor() const { return fd; }
    qint64 bytesRead() const { return readTotal; }

    // Reads up to length bytes at offset into buffer, clipped to size(), and
    // returns how many arrived. Fewer than asked means that the file shrank
    // since it was opened (the missing bytes count as the end of the file) or
    // that a read failed: then error() is set, and every later read returns
    // nothing, so that the scans end soon and the caller reports the error.
    qint64 readInto(char *buffer, qint64 offset, qint64 length);
    QByteArray read(qint64 offset, qint64 length);
    // The file's first bytes (up to 8), read once: the byte-order mark and
    // the first code units.
    QByteArray head();
    // The errno of the first read that failed (an interrupted read is
    // retried, never a failure), or 0.
    int error() const { return readError; }

private:
    int fd;
    int readError = 0;
    QByteArray headBytes;
    bool headRead = false;
    qint64 fileSize;
    qint64 readTotal = 0;
};

// The file seen as code units of 1, 2 or 4 bytes counted from its first byte,
// for the backward scans. The bytes read so far stay in memory as one
// stretch that grows backwards, so that the window the scan found is already
// there when it ends.
class UnitBlocks
{
public:
    enum : uint { LineFeed = 0x0A, CarriageReturn = 0x0D, NoUnit = 0xFFFFFFFFu };

    UnitBlocks(FileBytes &file, int unitSize, bool bigEndian);

    qint64 unitCount() const { return units; }
    // Takes `bytes` as the scan's bound below the position it starts at
    // (reads and the buffer stop there unless the scan goes on past it) and
    // sizes the first read, and the buffer for it, for the `expected` bytes.
    void reserve(qint64 bytes, qint64 expected);
    // The unit at position p, or NoUnit before the start or at or past the end.
    uint unitAt(qint64 p)
    {
        // Shifted unsigned: a negative p gives a negative byte, never undefined behaviour.
        const qint64 byte = qint64(quint64(p) << unitShift);
        if (unitSize == 1 && byte >= stretchBegin && byte < stretchEnd)
            return uchar(*at(byte));   // the usual case, kept inline
        return unitAtSlow(p);
    }
    // The same, looked up without moving the stretch when the file's first
    // bytes hold it.
    uint peekUnit(qint64 p);
    // The highest position in [lo, hi] that holds a line feed, or -1.
    qint64 lastLineFeed(qint64 lo, qint64 hi)
    {
        if (unitSize == 1 && lo >= stretchBegin && hi < stretchEnd && lo <= hi) {
            // The usual case, kept inline: one memrchr in the stretch.
            const char *from = at(lo);
            const void *hit = memrchr(from, '\n', size_t(hi - lo + 1));
            return hit ? lo + (static_cast<const char *>(hit) - from) : -1;
        }
        return lastLineFeedSlow(lo, hi);
    }
    // The bytes from fromByte to the end of the file. When the stretch holds
    // them they are not copied: the array is valid until the next call.
    QByteArray tailBytes(qint64 fromByte);

private:
    void load(qint64 p)
    {
        const qint64 byte = p << unitShift;
        if (byte < stretchBegin || byte >= stretchEnd)
            loadFrom(byte);
    }
    void loadFrom(qint64 byte);
    uint unitAtSlow(qint64 p);
    qint64 lastLineFeedSlow(qint64 lo, qint64 hi);
    void extendBackwards(qint64 byte);
    char *at(qint64 byte) const { return bufferEnd - (stretchEnd - byte); }
    uint decodeUnit(const uchar *at) const;

    FileBytes &file;
    int unitSize;
    int unitShift;              // log2 of unitSize
    bool bigEndian;
    qint64 units;
    QByteArray buffer;          // the stretch sits at its end
    char *bufferEnd = nullptr;
    qint64 stretchBegin = 0;    // byte offsets of the stretch
    qint64 stretchEnd = 0;
    qint64 scanBytes = 0;       // the scan's bound in bytes, 0 when none is known
    qint64 scanTop = 0;         // where the stretch began, the scan's starting end
    qint64 firstRead;           // size of a stretch's first read
    qint64 nextSize;            // size of the next backward read
};

#endif // FILEBYTES_H
