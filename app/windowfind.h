#ifndef WINDOWFIND_H
#define WINDOWFIND_H

// Find and go to a time for the main window: looks through the view first,
// then has the engine search the file beyond the window off the GUI thread,
// wraps around once, and hands a hit outside the window to the window as a
// jump (one read, anchored at the hit's byte).

#include <QObject>
#include <QString>

#include <functional>
#include <memory>

#include "filesearch.h"
#include "linewindowreader.h"

class BackgroundJob;
class FindBar;
class QTextEdit;

// What the find needs to know of the window, taken when a search starts.
struct WindowPlace
{
    QString path;
    QString codecName;
    qint64 maxLineChars = WindowRequest::DefaultLineChars;
    WindowRequest::StartMode startMode = WindowRequest::NoStartMode;
    qint64 lineCount = 0;
    qint64 windowBegin = 0;   // byte where the window's first read starts
    QString extractFilter;    // empty: the extract filter is off
};

// Where the window is to go: it starts at anchorByte, and the read at
// readInWindow (-1: none) gets match selected.
struct WindowJump
{
    qint64 anchorByte = 0;
    qint64 fileSize = 0;
    int readInWindow = -1;
    TextMatch match;
};

class WindowFind : public QObject
{
    Q_OBJECT

public:
    // Lines the window shows above a match it jumps to.
    static constexpr int LeadReads = 3;

    WindowFind(FindBar *bar, QTextEdit *view, std::function<WindowPlace()> place,
               std::function<void(const WindowJump &)> jump, QObject *parent = nullptr);

    void find(bool backward);
    void goToTime(const QString &typed);
    // Esc: stops a running search, and says so.
    void cancel();
    bool isRunning() const;

private:
    struct Search;
    enum class Stage { ViewAfterOrigin, FileBeyond, FileWrapped, ViewWrapped, Done };

    void advance(const std::shared_ptr<Search> &search);
    bool findInView(const Search &search, bool wrapped);
    void searchFile(const std::shared_ptr<Search> &search, const SearchRequest &request);
    void showWrapped(const Search &search);
    void fail(const QString &message);

    FindBar *bar;
    QTextEdit *view;
    std::function<WindowPlace()> place;
    std::function<void(const WindowJump &)> jump;
    BackgroundJob *job;
};

#endif // WINDOWFIND_H
