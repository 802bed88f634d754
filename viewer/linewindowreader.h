#ifndef LINEWINDOWREADER_H
#define LINEWINDOWREADER_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// Reads one bounded window of lines from a text file, and shows no dialog: the
// caller (MainWindow::reload) turns a failure into a warning.

#include <QLatin1String>
#include <QString>
#include <QtGlobal>

// The values of codecName, each spelled once here. Any other value reads as
// Unicode detection.
namespace CodecName {
constexpr QLatin1String Unicode("", int(0));   // by byte-order mark, else the locale's codec
constexpr QLatin1String ShiftJis("SJIS", 4);
constexpr QLatin1String Utf8("UTF-8", 5);
constexpr QLatin1String EucJp("EUC-JP", 6);

// Whether codecName chooses a codec by name rather than asking for detection.
inline bool isChosen(const QString &codecName)
{
    return codecName == ShiftJis || codecName == EucJp || codecName == Utf8;
}
} // namespace CodecName

// What Unicode detection decided for a file without a byte-order mark: one
// of CodecName's three names. A read reports it, and the next read of the
// same file takes it instead of deciding again, while the file is the same
// (device and inode) and has not shrunk below the size it was read at: a
// truncated, rotated or replaced file is decided anew.
struct DetectedCodec
{
    QString codecName;   // empty: nothing decided
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;     // the file's size at the read that reported it
};

// What one reload asks for. The values come straight from the window's
// controls and members.
struct WindowRequest
{
    // The start-mode box's items in their order. NoStartMode reads nothing.
    enum StartMode { NoStartMode = -1, HeaderMode = 0, NewestMode = 1, PercentMode = 2 };

    // The characters one read returns at most: what the limit dialog
    // offers, and the default. Any other value is clamped to the bounds.
    static constexpr int MinLineChars = 1;
    static constexpr int MaxLineChars = 9999;
    static constexpr int DefaultLineChars = 1000;

    StartMode startMode = HeaderMode;
    qint64 lineCount = 20;        // N, the lines the window reads
    double percent = 0.0;         // 0.0 .. 100.0, used in percent mode
    qint64 maxLineChars = DefaultLineChars;   // characters per read (a surrogate pair is one)
    QString codecName;            // one of CodecName
    bool extract = false;         // extract mode switched on by the user
    QString highlightText;        // the filter text; an empty text turns the filter off
    // Percent mode: when >= 0, the window's reading starts at this byte
    // (clamped to the file and past the byte-order mark, moved on to a
    // character's start) instead of at the line the percentage falls in.
    qint64 anchorByte = -1;
    DetectedCodec detected;       // an earlier read's decision, for Unicode detection
};

// The start mode that the start-mode box's index selects; an index outside
// its items gives NoStartMode.
constexpr WindowRequest::StartMode startModeFromIndex(int index)
{
    return index >= WindowRequest::HeaderMode && index <= WindowRequest::PercentMode
               ? WindowRequest::StartMode(index)
               : WindowRequest::NoStartMode;
}

// What happened. The file is closed again whatever the outcome.
struct WindowResult
{
    enum Status {
        Read,        // text holds the window, fileSize the size it was read at
        Unchanged,   // the size equalled the size to skip: nothing was read
        OpenFailed,  // errorString says why (missing, no access, not a regular file)
        ReadFailed,  // opened, but a read failed (an I/O error): errorString says why
    };

    Status status = OpenFailed;
    QString text;        // lines joined, each followed by "\n"
    qint64 fileSize = 0; // size seen when the file was opened
    QString errorString;

    // What a Read cost, for tests and benchmarks: the bytes [windowBegin,
    // windowEnd) were decoded for the window, bytesRead were read in all.
    qint64 windowBegin = 0;
    qint64 windowEnd = 0;
    qint64 bytesRead = 0;

    // The decoding a Read used: the codec's name ("UTF-16LE", "Shift_JIS", the
    // locale's codec when Unicode detection found no mark) and whether the
    // file starts with a byte-order mark. Empty when no codec was needed.
    QString encodingName;
    bool byteOrderMark = false;
    // Unicode detection on a file without a byte-order mark: the decision the
    // Read used, carried over from the request or made from the window's
    // bytes (a window of plain ASCII decides nothing).
    DetectedCodec detected;
};

class LineWindowReader
{
public:
    // Opens path without ever blocking (a FIFO, socket, device or directory is
    // refused with an error text that says so), takes its size, and when
    // skipIfSize is >= 0 and equals that size returns Unchanged after that one
    // open and size query. Otherwise reads the window that request describes from
    // the bytes [0, size) and returns it; a read that fails on the way gives
    // ReadFailed and no text. Unicode detection on a file without a
    // byte-order mark decodes with the request's earlier decision while it
    // holds, else with what the window's bytes decide (read again in the same
    // open when they decide on another codec than the locale's), else with the
    // locale's codec.
    static WindowResult read(const QString &path, const WindowRequest &request,
                             qint64 skipIfSize = -1);
};

#endif // LINEWINDOWREADER_H
