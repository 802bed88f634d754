#include "linewindowreader.h"

#include "filebytes.h"
#include "linereads.h"
#include "textencoding.h"
#include "windowscan.h"

#include <QFile>
#include <QTextCodec>
#include <QTextDecoder>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Forward reads start small, since a window of a few short lines fits in a
// page or two, and double up to 1 MiB for windows of long lines.
constexpr qint64 FirstChunk = 4 * 1024;
constexpr qint64 LargestChunk = 1024 * 1024;

struct FileCloser
{
    int fd;
    ~FileCloser() { ::close(fd); }
};

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

// Drops every carriage return of decoded text, as the text-mode read does.
// A 0x0D byte inside a wider character decodes to something else; with
// single-byte units, bytes without 0x0D need no look at the text.
void dropReturns(QString &text, const QByteArray &bytes, const TextEncoding &encoding)
{
    if (encoding.unitSize > 1 || memchr(bytes.constData(), '\r', size_t(bytes.size())))
        text.remove(QLatin1Char('\r'));
}

QString decodeWithoutReturns(QTextDecoder &decoder, const QByteArray &bytes, const TextEncoding &encoding)
{
    QString text = decoder.toUnicode(bytes);
    dropReturns(text, bytes, encoding);
    return text;
}

// The length of bytes up to and including its wanted-th line-feed unit, or
// all of it. Every line feed ends at least one read, so the bytes after that
// line feed are not needed for the reads still wanted.
int lengthThroughLineFeeds(const QByteArray &bytes, const TextEncoding &encoding, qint64 wanted)
{
    const char *data = bytes.constData();
    const int size = bytes.size();
    if (encoding.unitSize == 1) {
        const char *at = data;
        while (wanted > 0) {
            at = static_cast<const char *>(memchr(at, '\n', size_t(data + size - at)));
            if (!at)
                return size;
            ++at;
            --wanted;
        }
        return int(at - data);
    }
    const int unit = encoding.unitSize;
    const int lowByte = encoding.bigEndian ? unit - 1 : 0;
    for (int i = 0; i + unit <= size; i += unit) {
        bool lineFeed = data[i + lowByte] == '\n';
        for (int j = 0; lineFeed && j < unit; ++j)
            lineFeed = j == lowByte || data[i + j] == 0;
        if (lineFeed && --wanted == 0)
            return i + unit;
    }
    return size;
}

// Reads lines forward from startByte until the reads are complete; reads
// past the end of the file are empty lines. Returns the byte where decoding
// stopped.
qint64 readForward(FileBytes &file, const TextEncoding &encoding, qint64 startByte, LineReads &reads,
                   qint64 lineCount)
{
    std::unique_ptr<QTextDecoder> decoder(encoding.codec->makeDecoder(QTextCodec::IgnoreHeader));
    qint64 offset = startByte;
    qint64 chunk = FirstChunk;
    bool atEnd = offset >= file.size();
    while (!reads.full() && !atEnd) {
        QByteArray bytes = file.read(offset, chunk);
        if (bytes.isEmpty()) {
            reads.append(QString(), true);   // the file shrank: what was read is all there is
            break;
        }
        bytes.truncate(lengthThroughLineFeeds(bytes, encoding, lineCount - reads.reads()));
        offset += bytes.size();
        atEnd = offset >= file.size();
        reads.append(decodeWithoutReturns(*decoder, bytes, encoding), atEnd);
        chunk = qMin(chunk * 2, LargestChunk);
    }
    while (!reads.full())
        reads.readPastEnd();
    return offset;
}

struct Window
{
    QString text;
    qint64 begin = 0;
    qint64 end = 0;
};

Window readWindow(FileBytes &file, const WindowRequest &request)
{
    Window window;
    const int mode = request.startMode;
    const qint64 lineCount = request.lineCount;
    if (lineCount < 1 || mode < WindowRequest::HeaderMode || mode > WindowRequest::PercentMode)
        return window;
    // No read returns an unbounded line: the limit is 1 .. 9999 characters.
    const int maxChars = int(qBound<qint64>(1, request.maxLineChars, 9999));
    const QString filter = request.extract ? request.highlightText : QString();
    if (mode == WindowRequest::NewestMode && file.size() <= 0)
        return window;

    // The byte-order mark is looked for once, at the file's start, whatever the mode.
    const bool byName = request.codecName == QLatin1String("SJIS")
                        || request.codecName == QLatin1String("EUC-JP");
    const TextEncoding encoding = TextEncoding::choose(request.codecName,
                                                       byName ? QByteArray() : file.head());
    UnitBlocks units(file, encoding.unitSize, encoding.bigEndian);
    const AlignToCharacter align = [&](qint64 p) {
        return encoding.alignToCharacter(file, p, units.unitCount());
    };
    auto startByte = [&](qint64 unit) { return qMax<qint64>(unit * encoding.unitSize, encoding.bomSize); };

    if (mode == WindowRequest::NewestMode) {
        window.begin = startByte(newestWindowStart(units, lineCount, maxChars, align));
        window.end = file.size();
        const QByteArray bytes = units.tailBytes(window.begin);
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        QString text = encoding.codec->toUnicode(bytes.constData(), bytes.size(), &state);
        dropReturns(text, bytes, encoding);
        // Every line to the end of the file, then the empty line after a final line feed.
        LineReads reads(maxChars, filter, -1);
        reads.append(text, true);
        if (text.endsWith(QLatin1Char('\n')))
            reads.readPastEnd();
        window.text = reads.window();
        return window;
    }

    qint64 start = 0;
    if (mode == WindowRequest::PercentMode) {
        // The target byte: P x S formed in double precision, divided by 100, rounded down.
        const qint64 target = qint64(std::floor(request.percent * double(file.size()) / 100.0));
        start = percentWindowStart(units, target / encoding.unitSize, maxChars, align);
    }
    window.begin = startByte(start);
    LineReads reads(maxChars, filter, lineCount);
    window.end = readForward(file, encoding, window.begin, reads, lineCount);
    window.text = reads.window();
    return window;
}

} // namespace

WindowResult LineWindowReader::read(const QString &path, const WindowRequest &request,
                                    qint64 skipIfSize)
{
    WindowResult result;
    // O_NONBLOCK: opening a FIFO without a writer must not wait for one.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int openError = errno;
        // A socket cannot be opened at all: say what it is rather than "No such device".
        struct stat info;
        const bool exists = ::stat(QFile::encodeName(path).constData(), &info) == 0;
        result.errorString = exists && !S_ISREG(info.st_mode) ? notRegularFile(info.st_mode)
                                                               : qt_error_string(openError);
        return result;
    }
    const FileCloser closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        result.errorString = qt_error_string(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.errorString = notRegularFile(info.st_mode);
        return result;
    }
    result.fileSize = info.st_size;
    if (skipIfSize >= 0 && skipIfSize == result.fileSize) {
        result.status = WindowResult::Unchanged;
        return result;
    }
    FileBytes file(fd, result.fileSize);
    Window window = readWindow(file, request);
    result.status = WindowResult::Read;
    result.text = window.text;
    result.windowBegin = window.begin;
    result.windowEnd = window.end;
    result.bytesRead = file.bytesRead();
    return result;
}
