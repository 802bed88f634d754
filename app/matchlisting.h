#ifndef MATCHLISTING_H
#define MATCHLISTING_H

// Fills the match list with every matching line of the whole file, off the
// GUI thread, and keeps it up with the file: a grown file has only its new
// bytes searched, a truncated, rotated or replaced one is listed anew, and so
// is the list when the pattern, its options, the exclusion, the codec or the
// per-line limit change.

#include <QObject>
#include <QColor>
#include <QFont>
#include <QTimer>

#include <functional>

#include "filesearch.h"
#include "windowfind.h"

class BackgroundJob;
class FindBar;
class MatchDock;
class MatchListModel;
class QSettings;

class MatchListing : public QObject
{
    Q_OBJECT

public:
    // The list stops growing at this many rows, and says so.
    static constexpr qint64 MaxRows = 10000000;

    MatchListing(FindBar *bar, QWidget *window, std::function<WindowPlace()> place,
                 std::function<void(const WindowJump &)> jump, QObject *parent = nullptr);

    MatchDock *dock() const { return matchDock; }
    MatchListModel *model() const { return rows; }

    // Lists the whole file anew with the find bar's pattern, and shows the pane.
    void list();
    // A reload read the file: follows it when the list is shown.
    void fileRead();
    // The mark colours and font the rows are drawn in.
    void setLook(const QColor &background, const QColor &foreground, const QFont &font);
    void cancel();
    bool isRunning() const;

    // The settings group "matchList": the pane's visibility and the exclusion.
    void readSettings(QSettings &settings);
    void writeSettings(QSettings &settings) const;

private:
    void scan(qint64 fromByte);
    void scanEnded(const FileSearch::Listing &listing);
    void showCount();
    void goToRow(int row);
    bool sameFileGrown(qint64 *size) const;

    FindBar *bar;
    MatchDock *matchDock;
    MatchListModel *rows;
    std::function<WindowPlace()> place;
    std::function<void(const WindowJump &)> jump;
    BackgroundJob *job;
    QTimer relistDelay;   // typing in the bar lists again once it pauses

    // What the rows were listed with and how far the file was searched.
    WindowPlace listedPlace;
    MatchPattern listedPattern;
    MatchPattern listedExclusion;
    bool listed = false;
    qint64 resumeByte = 0;
    qint64 listedInode = -1;
    qint64 listedSize = 0;
    bool limited = false;
    bool followPending = false;
    QColor markBackground;
    QColor markForeground;
    QFont viewFont;
};

#endif // MATCHLISTING_H
