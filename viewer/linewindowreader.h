#ifndef LINEWINDOWREADER_H
#define LINEWINDOWREADER_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// Reads one bounded window of lines from a text file. Qt Core only: no widget,
// no dialog. The caller (MainWindow::reload) turns a failure into a warning.

#include <QString>
#include <QtGlobal>

// What one reload asks for. The values come straight from the window's
// controls and members.
struct WindowRequest
{
    enum StartMode { HeaderMode = 0, NewestMode = 1, PercentMode = 2 };

    int startMode = HeaderMode;   // index of the start-mode box; others read nothing
    qint64 lineCount = 20;        // N, the lines the window reads
    double percent = 0.0;         // 0.0 .. 100.0, used in percent mode
    qint64 maxLineChars = 1000;   // characters per read; clamped to 1 .. 9999
    QString codecName;            // "", "SJIS", "UTF-8", "EUC-JP"; anything else = ""
    bool extract = false;         // extract mode switched on by the user
    QString highlightText;        // the filter text; an empty text turns the filter off
};

// What happened. The file is closed again whatever the outcome.
struct WindowResult
{
    enum Status {
        Read,        // text holds the window, fileSize the size it was read at
        Unchanged,   // the size equalled the size to skip: nothing was read
        OpenFailed,  // errorString says why (missing, no access, not a regular file)
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
};

class LineWindowReader
{
public:
    // Opens path without ever blocking (a FIFO, socket, device or directory is
    // refused with an error text that says so), takes its size, and when
    // skipIfSize is >= 0 and equals that size returns Unchanged after that one
    // open and size query. Otherwise reads the window that request describes from
    // the bytes [0, size) and returns it.
    static WindowResult read(const QString &path, const WindowRequest &request,
                             qint64 skipIfSize = -1);
};

#endif // LINEWINDOWREADER_H
