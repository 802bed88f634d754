// libFuzzer target over LineWindowReader::read. Built with clang, AddressSanitizer
// and UndefinedBehaviorSanitizer by tools/fuzz.sh.
//
// An input is the request, then the file:
//   byte 0      start-mode index (signed; outside 0..2 reads nothing)
//   bytes 1-2   line count N, signed 16-bit little-endian
//   bytes 3-4   maxLineChars, signed 16-bit little-endian (the reader clamps it)
//   bytes 5-6   percent position, 0..65535 for 0.0..100.0
//   byte 7      codec: "", "SJIS", "UTF-8", "EUC-JP" or an unknown name, by value % 5
//   byte 8      bit 0: extract mode; bits 1-3: length of the filter text
//   then        the filter text (UTF-8), then the file's bytes.
// Any broken invariant prints what broke and aborts, so libFuzzer keeps the input.

#include "encodedtext.h"
#include "linewindowreader.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

constexpr size_t HeaderSize = 9;

// One file per process, rewritten for every input.
struct ScratchFile
{
    QString path;
    int fd = -1;

    ScratchFile()
    {
        const char *tmp = getenv("TMPDIR");
        QByteArray name = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/tailpeek-fuzz-XXXXXX";
        fd = mkstemp(name.data());
        if (fd < 0) {
            perror("mkstemp");
            abort();
        }
        path = QFile::decodeName(name);
    }
    ~ScratchFile()
    {
        ::close(fd);
        ::unlink(QFile::encodeName(path).constData());
    }
    void write(const uint8_t *data, size_t size)
    {
        if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size)) {
            perror("writing the scratch file");
            abort();
        }
    }
};

int16_t signed16(const uint8_t *at)
{
    return int16_t(uint16_t(at[0] | at[1] << 8));
}

// Whether the file is read with a UTF-16 or UTF-32 decoder, which passes
// lone surrogates of the file through.
bool wideByMark(const QString &codecName, const uint8_t *file, size_t size)
{
    if (codecName == CodecName::ShiftJis || codecName == CodecName::EucJp
        || codecName == CodecName::Utf8)
        return false;
    return size >= 2 && ((file[0] == 0xFF && file[1] == 0xFE) || (file[0] == 0xFE && file[1] == 0xFF)
                         || (size >= 4 && file[0] == 0 && file[1] == 0 && file[2] == 0xFE && file[3] == 0xFF));
}

[[noreturn]] void broken(const char *what, const WindowRequest &request, const WindowResult &result)
{
    fprintf(stderr, "invariant broken: %s\n  mode %d N=%lld max=%lld P=%.5f codec '%s' extract=%d filter '%s'\n"
                    "  status %d, %lld bytes, text %d units: '%s'\n",
            what, int(request.startMode), static_cast<long long>(request.lineCount),
            static_cast<long long>(request.maxLineChars), request.percent,
            qPrintable(request.codecName), int(request.extract), qPrintable(request.highlightText),
            int(result.status), static_cast<long long>(result.fileSize), int(result.text.size()),
            qPrintable(result.text.left(200)));
    abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static ScratchFile scratch;
    if (size < HeaderSize)
        return 0;
    static const QLatin1String codecs[] = {CodecName::Unicode, CodecName::ShiftJis, CodecName::Utf8,
                                           CodecName::EucJp, QLatin1String("ISO-8859-1")};
    WindowRequest request;
    request.startMode = startModeFromIndex(int8_t(data[0]));
    request.lineCount = signed16(data + 1);
    request.maxLineChars = signed16(data + 3);
    request.percent = (data[5] | data[6] << 8) * 100.0 / 65535.0;
    request.codecName = codecs[data[7] % 5];
    request.extract = data[8] & 1;
    const size_t filterSize = qMin<size_t>((data[8] >> 1) & 7, size - HeaderSize);
    request.highlightText = QString::fromUtf8(reinterpret_cast<const char *>(data + HeaderSize), int(filterSize));
    const uint8_t *file = data + HeaderSize + filterSize;
    const size_t fileSize = size - HeaderSize - filterSize;
    scratch.write(file, fileSize);

    const WindowResult result = LineWindowReader::read(scratch.path, request);
    if (result.status != WindowResult::Read)
        broken("the status is Read", request, result);
    const QString &text = result.text;
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
        broken("the text is empty or ends with a line feed", request, result);
    if (result.fileSize != qint64(fileSize) || result.windowBegin < 0
        || result.windowBegin > result.windowEnd || result.windowEnd > result.fileSize)
        broken("the window lies within the file", request, result);
    const bool filterOn = request.extract && !request.highlightText.isEmpty();
    const bool reads = request.lineCount >= 1 && request.startMode != WindowRequest::NoStartMode;
    if (!reads && !text.isEmpty())
        broken("a request for no lines reads nothing", request, result);
    // Every read adds one line feed, and no read holds one: the line feeds
    // count the reads.
    if (reads && !filterOn && request.startMode != WindowRequest::NewestMode
        && text.count(QLatin1Char('\n')) != request.lineCount)
        broken("header and percent windows without a filter hold exactly N reads", request, result);
    const int limit = int(qBound<qint64>(WindowRequest::MinLineChars, request.maxLineChars,
                                         WindowRequest::MaxLineChars));
    for (QStringView read : QStringView(text).split(QLatin1Char('\n'))) {
        if (characters(read) > limit)
            broken("no read is longer than the limit", request, result);
    }
    // Decoders other than UTF-16 and UTF-32 never make a lone half: one in
    // the window would be a pair that a read or a window start split.
    if (!wideByMark(request.codecName, file, fileSize) && hasLoneSurrogate(text))
        broken("no read or window start splits a surrogate pair", request, result);
    return 0;
}
