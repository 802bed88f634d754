#include "literalstream.h"

#include <QFile>

namespace {
constexpr int FillBytes = 16384;   // QTextStream's buffer
}

LiteralStream::LiteralStream(QFile &file, QTextCodec *codec)
    : file(file),
      codec(codec ? codec : QTextCodec::codecForLocale()),
      detect(!codec),
      state(new QTextCodec::ConverterState)
{
}

bool LiteralStream::seek(qint64 pos)
{
    if (!file.seek(pos))
        return false;
    buffer.clear();
    offset = 0;
    state.reset(new QTextCodec::ConverterState);
    return true;
}

bool LiteralStream::fill()
{
    // The stream reads the bytes as they are and drops carriage returns
    // from the text itself.
    char bytes[FillBytes];
    const bool textMode = file.isTextModeEnabled();
    file.setTextModeEnabled(false);
    const qint64 got = file.read(bytes, FillBytes);
    file.setTextModeEnabled(textMode);
    if (got <= 0)
        return false;
    if (detect) {
        detect = false;
        codec = QTextCodec::codecForUtfText(QByteArray::fromRawData(bytes, int(got)), codec);
    }
    const int from = buffer.size();
    buffer += codec->toUnicode(bytes, int(got), state.get());
    if (textMode) {
        int kept = from;
        for (int i = from; i < buffer.size(); ++i) {
            if (buffer.at(i) != QLatin1Char('\r'))
                buffer[kept++] = buffer.at(i);
        }
        buffer.resize(kept);
    }
    return true;
}

void LiteralStream::consume(int count)
{
    offset += count;
    if (offset >= buffer.size()) {
        offset = 0;
        buffer.clear();
    }
}

QString LiteralStream::read(qint64 maxChars)
{
    if (maxChars <= 0)
        return QLatin1String("");
    while (buffer.size() - offset < maxChars && fill()) {
    }
    const int taken = int(qMin<qint64>(maxChars, buffer.size() - offset));
    const QString text = buffer.mid(offset, taken);
    consume(taken);
    return text;
}

// As Qt 5 scans for a line: at most maxChars characters (0: no bound; below
// 0: none at all), the line feed counted among them and consumed when found.
QString LiteralStream::readLine(qint64 maxChars)
{
    const int bound = int(maxChars);
    int total = 0;
    int at = offset;
    bool found = false;
    do {
        for (; !found && at < buffer.size() && (!bound || total < bound); ++at) {
            ++total;
            found = buffer.at(at) == QLatin1Char('\n');
        }
    } while (!found && (!bound || total < bound) && fill());
    if (total == 0)
        return QString();
    const QString line(buffer.constData() + offset, total - (found ? 1 : 0));
    consume(total);
    return line;
}

bool LiteralStream::atEnd() const
{
    return buffer.isEmpty() && file.atEnd();
}
