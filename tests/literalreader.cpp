#include "literalreader.h"

#include <QFile>
#include <QTextStream>

#include <cmath>

namespace {

// QTextStream::readLine(maxChars), except that a line of exactly maxChars
// characters consumes its line feed. A stream cannot put a character back,
// so the one read to look past a full line is held for the next read.
class BoundedLines
{
public:
    BoundedLines(QTextStream &stream, qint64 maxChars) : stream(stream), maxChars(maxChars) {}

    bool atEnd() const { return held.isEmpty() && stream.atEnd(); }

    QString next()
    {
        if (maxChars <= 0)
            return stream.readLine(maxChars);   // unbounded (0) or nothing (negative), as Qt does
        QString line = held;
        held.clear();
        if (line.size() < maxChars)
            line += stream.readLine(maxChars - line.size());
        if (line.size() == maxChars) {
            const QString after = stream.read(1);
            if (after != QLatin1String("\n"))
                held = after;
        }
        return line;
    }

private:
    QTextStream &stream;
    qint64 maxChars;
    QString held;
};

void setUpCodec(QTextStream &stream, const QString &codecName)
{
    stream.setAutoDetectUnicode(false);
    if (codecName == QLatin1String("SJIS"))
        stream.setCodec("SJIS");
    else if (codecName == QLatin1String("EUC-JP"))
        stream.setCodec("EUC-JP");
    else if (codecName == QLatin1String("UTF-8"))
        stream.setCodec("UTF-8");
    else
        stream.setAutoDetectUnicode(true);
}

// The percent-mode scan: one seek and read(1) per position, from the target
// byte down, at most maxChars + 2 positions, never byte 0.
void percentScan(QTextStream &stream, qint64 size, const WindowRequest &request,
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
qint64 newestScan(QTextStream &stream, qint64 size, const WindowRequest &request,
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

} // namespace

QString LiteralReader::read(const QString &path, const WindowRequest &request,
                            const LiteralMends &mends)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    QTextStream stream(&file);
    setUpCodec(stream, request.codecName);
    const qint64 n = request.lineCount;
    const bool filterOn = request.extract && !request.highlightText.isEmpty();
    BoundedLines lines(stream, request.maxLineChars);
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
