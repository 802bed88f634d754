#ifndef STATUSLINE_H
#define STATUSLINE_H

// The window's status line: what a log-watcher wants at a glance. The file,
// its size, the encoding in effect, the part of the file the view covers, when
// the view last changed, whether newest mode follows the end, and a read
// failure until a read works again. It only shows: MainWindow tells it what
// each reload found.

#include <QObject>
#include <QString>
#include <QTime>

#include <functional>

class QLabel;
class QStatusBar;
class QTimer;
struct WindowResult;

class StatusLine : public QObject
{
    Q_OBJECT

public:
    enum FollowState {
        NotFollowing,        // header or percent mode, or no auto-update
        Following,           // newest mode, the view keeps to the file's end
        PausedBySelection,   // newest mode, held while the user selects text
        PausedByScroll,      // newest mode, held while the user looks further up
    };

    // Puts its labels into bar; starts with "no file".
    StatusLine(QStatusBar *bar, QObject *parent);

    // No file chosen yet.
    void showNoFile();
    // What a reload of path with codecName ("" for Unicode detection) found,
    // and whether it changed the view (the time of the last change shows).
    // A Read updates every field; Unchanged costs nothing unless it ends a
    // failure, which a file that opens again does.
    void showRead(const QString &path, const QString &codecName, const WindowResult &result,
                  bool viewChanged);
    // A reload of path could not read it: errorString as the warning gives it,
    // in red, with the time the failures began.
    void showFailure(const QString &path, const QString &errorString);
    void setFollowState(FollowState state);
    // The extract filter of the last read: its text and the lines it let
    // through. An empty needle (the filter off) hides it.
    void showFilter(const QString &needle, qint64 lineCount);
    // A passing note, such as what a command did: shown for noteMs.
    void showNote(const QString &text);
    static constexpr int noteMs = 4000;

    // Where the time of a change comes from; tests set a clock of their own.
    void setClock(std::function<QTime()> clock);

    // "512 B", "4.9 KB", "1.5 MB", "2.25 GB" (units of 1024).
    static QString sizeText(qint64 bytes);

private:
    void showFile(const QString &path);
    void showFollow();

    QLabel *file;
    QLabel *failure;
    QLabel *size;
    QLabel *encoding;
    QLabel *range;
    QLabel *filter;
    QLabel *changed;
    QLabel *follow;
    QLabel *note;
    QTimer *noteTimer;

    FollowState followState = NotFollowing;
    bool hasFile = false;
    bool failing = false;
    QString failingPath;   // the file that is failing since failingSince
    QTime failingSince;
    QString shownPath;   // the file the fields describe
    qint64 shownSize = -1;
    std::function<QTime()> clock;
};

#endif // STATUSLINE_H
