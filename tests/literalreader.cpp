#include "literalreader.h"

#include "literalstream.h"

#include <QFile>
#include <QTextStream>

#include <cmath>
#include <memory>
#include <utility>

namespace {

// QTextStream::readLine(maxChars), except for two mends. A line of exactly
// maxChars characters consumes its line feed. And maxChars counts characters,
// a surrogate pair as one: where readLine stops after a high surrogate whose
// low half follows, that half is read too. A stream cannot put a character
// back, so a unit read to look ahead is held for the next read.
template <typename Stream>
class BoundedLines
{
public:
    BoundedLines(Stream &stream, qint64 maxChars) : stream(stream), maxChars(maxChars) {}

    bool atEnd() const { return (!holding || held.isEmpty()) && stream.atEnd(); }

    QString next()
    {
        if (maxChars <= 0)
            return stream.readLine(maxChars);   // unbounded (0) or nothing (negative), as Qt does
        QString line;
        for (;;) {
            const qint64 room = maxChars - characters(line);
            if (room <= 0) {
                if (peek() == QLatin1String("\n"))
                    take();
                return line;
            }
            if (holding) {
                const QString unit = take();
                if (unit.isEmpty() || unit == QLatin1String("\n"))
                    return line;
                line += unit;
            } else {
                const QString part = stream.readLine(room);
                line += part;
                if (part.size() < room)
                    return line;   // the line ended: its line feed is consumed, or the stream is at its end
            }
            if (line.at(line.size() - 1).isHighSurrogate() && peek().size() == 1 && peek().at(0).isLowSurrogate())
                line += take();
        }
    }

private:
    static qint64 characters(const QString &text)
    {
        qint64 count = text.size();
        for (int i = 1; i < text.size(); ++i) {
            if (text.at(i - 1).isHighSurrogate() && text.at(i).isLowSurrogate())
                --count;
        }
        return count;
    }
    QString peek()
    {
        if (!holding) {
            held = stream.read(1);
            holding = true;
        }
        return held;
    }
    QString take()
    {
        peek();
        holding = false;
        return std::exchange(held, QString());
    }

    Stream &stream;
    qint64 maxChars;
    QString held;
    bool holding = false;
};

bool namesCodec(const QString &codecName)
{
    return codecName == CodecName::ShiftJis || codecName == CodecName::EucJp
           || codecName == CodecName::Utf8;
}

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
std::unique_ptr<QTextStream> openStream(QFile &file, const QString &codecName, QTextStream *)
{
    auto stream = std::make_unique<QTextStream>(&file);
    stream->setAutoDetectUnicode(false);
    if (namesCodec(codecName))
        stream->setCodec(codecName.toLatin1().constData());
    else
        stream->setAutoDetectUnicode(true);
    return stream;
}
#endif

std::unique_ptr<LiteralStream> openStream(QFile &file, const QString &codecName, LiteralStream *)
{
    return std::make_unique<LiteralStream>(
        file, namesCodec(codecName) ? QTextCodec::codecForName(codecName.toLatin1()) : nullptr);
}

// The percent-mode scan: one seek and read(1) per position, from the target
// byte down, at most maxChars + 2 positions, never byte 0.
template <typename Stream>
void percentScan(Stream &stream, qint64 size, const WindowRequest &request,
                 const LiteralMends &mends)
{
    const qint64 pos = qint64(std::floor(request.percent * double(size) / 100.0));
    if (pos <= 0)
        return;   // the stream stands at byte 0
    for (qint64 p = pos, k = 0;; ++k) {
        stream.seek(p);
        if (stream.read(1) == QLatin1String("\n"))
            return;   // reading continues right after the line feed
        if (k > request.maxLineChars) {
            if (mends.alignStart)
                stream.seek(mends.alignStart(p + 1));
            return;   // otherwise reading continues right after this character
        }
        --p;
        if (p <= 0) {
            stream.seek(0);
            return;
        }
    }
}

// The newest-mode scan; returns r, one less than the boundaries still to find.
template <typename Stream>
qint64 newestScan(Stream &stream, qint64 size, const WindowRequest &request,
                  const LiteralMends &mends)
{
    qint64 p = size;
    qint64 r = request.lineCount;
    qint64 k = 0;
    bool lastWasCut = false;
    for (;;) {
        stream.seek(p);
        const bool lineFeed = stream.read(1) == QLatin1String("\n");
        if (lineFeed || k > request.maxLineChars) {
            --r;
            k = 1;
            lastWasCut = !lineFeed;
        } else {
            ++k;
        }
        --p;
        if (p <= 0) {
            stream.seek(0);
            return r;
        }
        if (r < 0) {
            stream.seek(lastWasCut && mends.alignStart ? mends.alignStart(p + 2) : p + 2);
            return r;
        }
    }
}

bool endsWithLineFeed(const QString &path, qint64 size)
{
    QFile file(path);
    return size > 0 && file.open(QIODevice::ReadOnly) && file.seek(size - 1)
           && file.read(1) == "\n";
}

template <typename Stream>
QString readWith(const QString &path, const WindowRequest &request, const LiteralMends &mends)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    const std::unique_ptr<Stream> streamOwner = openStream(file, request.codecName, static_cast<Stream *>(nullptr));
    Stream &stream = *streamOwner;
    const qint64 n = request.lineCount;
    const bool filterOn = request.extract && !request.highlightText.isEmpty();
    BoundedLines<Stream> lines(stream, request.maxLineChars);
    QString window(QLatin1String(""));
    auto readLines = [&](qint64 count) {
        for (qint64 i = 0; i < count; ++i) {
            const QString line = lines.next();
            if (!filterOn || line.indexOf(request.highlightText, 0, Qt::CaseInsensitive) != -1)
                window += line + QLatin1Char('\n');
        }
    };

    const qint64 size = file.size();
    switch (request.startMode) {
    case WindowRequest::HeaderMode:
        readLines(n);
        break;
    case WindowRequest::PercentMode:
        percentScan(stream, size, request, mends);
        readLines(n);
        break;
    case WindowRequest::NewestMode: {
        if (size <= 0) {
            stream.seek(0);
            break;
        }
        const qint64 r = newestScan(stream, size, request, mends);
        if (mends.newestToEnd) {
            while (!lines.atEnd())
                readLines(1);
            if (endsWithLineFeed(path, size))
                readLines(1);
        } else if (n > r) {
            readLines(n - r);
        }
        break;
    }
    default:
        break;
    }
    return window;
}

} // namespace

QString LiteralReader::read(const QString &path, const WindowRequest &request,
                            const LiteralMends &mends)
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    return readWith<QTextStream>(path, request, mends);
#else
    return readWith<LiteralStream>(path, request, mends);
#endif
}

QString LiteralReader::readRemade(const QString &path, const WindowRequest &request,
                                  const LiteralMends &mends)
{
    return readWith<LiteralStream>(path, request, mends);
}
