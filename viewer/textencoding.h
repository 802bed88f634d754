#ifndef TEXTENCODING_H
#define TEXTENCODING_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// The decoding of one reload: which codec, how wide its code units are, the
// byte-order mark to hide, and where characters begin.

#include <QByteArray>
#include <QString>

#include <memory>

class FileBytes;
class QTextCodec;

struct TextEncoding
{
    enum Family { Utf8, ShiftJis, EucJp, Utf16, Utf32, OtherFamily };

    QTextCodec *codec = nullptr;
    Family family = OtherFamily;
    int unitSize = 1;        // bytes per code unit: 1, 2 or 4
    bool bigEndian = false;  // for 2- and 4-byte units
    int bomSize = 0;         // bytes of the byte-order mark at the file's start, never shown

    // The encoding that codecName selects: "SJIS", "EUC-JP" and "UTF-8" by
    // name; any other value looks for a byte-order mark in head (the file's
    // first bytes) and otherwise takes the locale's codec.
    static TextEncoding choose(const QString &codecName, const QByteArray &head);

    // Which of UTF-8, Shift-JIS (CP932, as the SJIS codec decodes it) and
    // EUC-JP the bytes of text without a byte-order mark are in: the family,
    // or OtherFamily when they do not say (plain ASCII, or no clear winner).
    // Valid UTF-8 is UTF-8. Otherwise a decoding that meets a byte sequence
    // it cannot decode loses to one that meets none; between two that decode
    // cleanly, the one with fewer half-width katakana wins (the other reading
    // of EUC-JP's kana and kanji is mostly half-width katakana). A sequence
    // cut by the end of bytes counts for nothing. Looks at most at 4 KiB from
    // the first non-ASCII byte; bytes should start at a character boundary,
    // as a line start is.
    static Family detectJapanese(const QByteArray &bytes);

    // bytes decoded in one go, as a window is: a byte-order mark among them
    // is kept (the reader leaves the file's own out by position), invalid
    // bytes read as U+FFFD, and an unfinished character at the end is dropped.
    QString decode(const QByteArray &bytes) const;

    // The first character boundary at or after unit position p (at most
    // unitCount), so that no window starts inside a character.
    qint64 alignToCharacter(FileBytes &file, qint64 p, qint64 unitCount) const;

    // Decodes bytes that begin on a character boundary on their own, as the
    // forward reads decode them (a mark at their start is text); a character
    // cut at their end decodes to a replacement character.
    QString decode(const char *bytes, int size) const;

    // text in this encoding, without a byte-order mark; empty when the codec
    // cannot give it exactly (decoding the bytes back gives another text).
    QByteArray encode(const QString &text) const;

    // How many bytes the character (or undecodable byte) at bytes takes by
    // the encoding's structure: a UTF-8 sequence, a Shift-JIS or EUC-JP
    // double byte, a UTF-16 unit or surrogate pair, a UTF-32 unit. More than
    // available when its last bytes are still to come.
    int characterLength(const uchar *bytes, qint64 available) const;
    // The UTF-16 units that a well-formed character of that length decodes to: 2
    // for a supplementary character, 0 for a carriage return (dropped), else 1.
    int decodedUnits(const uchar *bytes, int length) const;
    // Whether the unit at bytes is a line feed, or a carriage return.
    bool isLineFeed(const uchar *bytes) const { return unitIs(bytes, 0x0A); }
    bool isCarriageReturn(const uchar *bytes) const { return unitIs(bytes, 0x0D); }

private:
    bool unitIs(const uchar *bytes, uint value) const;
};

// Decodes bytes handed over in pieces, cut anywhere, exactly as one pass over
// all of them would, under Qt 5 and Qt 6 alike, as the window decodes: a
// byte-order mark is text, never skipped, and a character still unfinished
// when no more bytes come is dropped.
class TextDecoder
{
public:
    explicit TextDecoder(const TextEncoding &encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder &) = delete;
    TextDecoder &operator=(const TextDecoder &) = delete;

    QString decode(const char *bytes, qint64 size);
    // Forgets what the bytes so far left open, as a fresh decoder.
    void restart();

private:
    struct State;
    QTextCodec *codec;
    std::unique_ptr<State> state;
    bool holdsTails;   // UTF-8: cut sequences wait for the next call's bytes
};

#endif // TEXTENCODING_H
