#ifndef ENCODEDTEXT_H
#define ENCODEDTEXT_H

// Text encoded as a test file holds it: in a Qt codec by name, optionally
// behind its byte-order mark. Shared by the engine tests.

#include <QByteArray>
#include <QString>
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

#endif // ENCODEDTEXT_H
