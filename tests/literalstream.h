#ifndef LITERALSTREAM_H
#define LITERALSTREAM_H

// Qt 5's QTextStream reading a QFile opened in text mode, remade for the
// oracle under Qt 6, whose QTextStream decodes no Shift-JIS or EUC-JP. It
// does what the oracle calls the way Qt 5.15 does it: a fill reads up to
// 16 KiB from the file and decodes them with one converter state kept from
// fill to fill; every carriage return is dropped from the decoded text; a
// seek empties the buffer and starts a fresh state (so a byte-order mark
// right after it is hidden again); Unicode detection looks at the first
// fill that reads a byte, once, and else keeps the locale's codec.

#include <QString>
#include <QTextCodec>

#include <memory>

class QFile;

class LiteralStream
{
public:
    // codec null: Unicode detection, the locale's codec when there is no mark.
    LiteralStream(QFile &file, QTextCodec *codec);

    bool seek(qint64 pos);
    QString read(qint64 maxChars);
    QString readLine(qint64 maxChars);
    bool atEnd() const;

private:
    bool fill();
    void consume(int count);

    QFile &file;
    QTextCodec *codec;
    bool detect;
    std::unique_ptr<QTextCodec::ConverterState> state;
    QString buffer;
    int offset = 0;
};

#endif // LITERALSTREAM_H
