#ifndef ENCODEDTEXT_H
#define ENCODEDTEXT_H

// Text encoded as a test file holds it: in a Qt codec by name, optionally
// behind its byte-order mark; and what a window's text is made of, counted
// as the reads count it. Shared by the engine tests and the fuzzer.

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QTextCodec>

inline QByteArray encoded(const char *codec, const QString &text, bool withBom = false)
{
    const QByteArray name(codec);
    QByteArray bytes;
    if (name.startsWith("UTF-32")) {
        // Qt 5's UTF-32 encoder writes a stray unit after a surrogate pair.
        for (uint ucs4 : text.toUcs4()) {
            const char le[4] = {char(ucs4), char(ucs4 >> 8), char(ucs4 >> 16), char(ucs4 >> 24)};
            const char be[4] = {le[3], le[2], le[1], le[0]};
            bytes.append(name == "UTF-32LE" ? le : be, 4);
        }
    } else {
        QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
        bytes = QTextCodec::codecForName(codec)->fromUnicode(text.constData(), text.size(), &state);
    }
    if (!withBom)
        return bytes;
    const QByteArray bom = name == "UTF-16LE" ? QByteArray("\xFF\xFE", 2)
                           : name == "UTF-16BE" ? QByteArray("\xFE\xFF", 2)
                           : name == "UTF-32LE" ? QByteArray("\xFF\xFE\0\0", 4)
                           : name == "UTF-32BE" ? QByteArray("\0\0\xFE\xFF", 4)
                                                : QByteArray("\xEF\xBB\xBF", 3);
    return bom + bytes;
}

// Characters, a surrogate pair as one.
inline int characters(QStringView text)
{
    int count = text.size();
    for (int i = 1; i < text.size(); ++i)
        count -= text.at(i - 1).isHighSurrogate() && text.at(i).isLowSurrogate();
    return count;
}

// A high surrogate without its low half behind it, or a low one without its high.
inline bool hasLoneSurrogate(const QString &text)
{
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && !(i + 1 < text.size() && text.at(i + 1).isLowSurrogate()))
            return true;
        if (c.isLowSurrogate() && !(i > 0 && text.at(i - 1).isHighSurrogate()))
            return true;
    }
    return false;
}

#endif // ENCODEDTEXT_H
