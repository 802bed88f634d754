#ifndef MAINWINDOW_H
#define MAINWINDOW_H

// The one window of the program. Its implementation is spread over the folders
// by job; this header is the map:
//   app/mainwindow.cpp              construction, destruction, changeEvent, openFile
//   app/readwarnings.cpp            showReadWarning
//   app/followstate.cpp             watchFollowState, showFollowState
//   viewer/reloadcontrol.cpp        startMode, setStartMode, reload, refresh,
//                                   reloadFile, highlightMatches,
//                                   showNextWindowFromTop, showExtractState,
//                                   followState,
//                                   followsEnd, followEnd, watchScrolling
//   app/mainwindowfind.cpp          setUpFind, findPlace, jumpTo, dropAnchor,
//                                   followInMatchList
//                                   (the view filling they use: viewer/viewfill.cpp)
//   settings/settings.cpp           readSettings, writeSettings
//   commands/codeccommands.cpp      the codec slots, syncCodecActions, effectiveCodecName
//   commands/appearancecommands.cpp font and colour slots
//   commands/controlcommands.cpp    the control dock's slots and auto-update
//   commands/filecommands.cpp       open, copy, dock, extract mode, limit, about, exit
//   commands/highlightcommands.cpp  the highlight rules: dialog, quick colours, view menu

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QTextCharFormat>
#include <QTimer>

#include "linewindowreader.h"
#include "statusline.h"
#include "viewfill.h"

struct WindowJump;
struct WindowPlace;
class FindBar;
class MatchListing;
class WindowFind;

namespace Ui {
class MainWindow;
}
class ViewContextMenu;

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Views path: sets the file and the window's file path, then refreshes.
    // An empty path changes nothing.
    void openFile(const QString &path);
    // The codec the view decodes with: codecName when it chooses one, else
    // what detection decided for the file ("SJIS", "EUC-JP" or "UTF-8"), else
    // "" (a byte-order mark, or the locale's codec).
    QString effectiveCodecName() const;
    // Opens the highlight rules dialog; accepted, its rules apply with one
    // refresh (commands/highlightcommands.cpp).
    void editHighlightRules();

protected:
    void changeEvent(QEvent *event) override;

private slots:
    // The slot table. The form connects these by object name, so their names,
    // signatures and order are fixed.

    // commands/filecommands.cpp
    void on_action_8_triggered();
    void on_action_6_triggered();
    void on_action_3_triggered();
    void on_actionQt4_triggered();
    void on_action_X_triggered();
    // commands/appearancecommands.cpp
    void on_action_5_triggered();
    void on_action_4_triggered();
    // commands/controlcommands.cpp
    void on_pushButton_4_clicked();
    // commands/appearancecommands.cpp
    void on_action_2_triggered();
    void on_action_triggered();
    // commands/filecommands.cpp
    void on_pushButton_3_clicked();
    // commands/controlcommands.cpp
    void on_pushButton_2_clicked();
    void on_comboBox_3_currentIndexChanged(int index);
    void on_spinBox_valueChanged(int);
    void on_doubleSpinBox_valueChanged(double);
    // commands/codeccommands.cpp
    void on_actionUTF_triggered();
    void on_actionEUC_JP_triggered();
    void on_actionSJIS_triggered();
    void on_actionUnicode_triggered();
    // commands/controlcommands.cpp
    void on_comboBox_2_currentIndexChanged(int index);
    void on_comboBox_currentIndexChanged(QString);
    // commands/appearancecommands.cpp
    void on_actionFont_triggered();
    // commands/filecommands.cpp
    void on_actionOpen_triggered();
    // viewer/reloadcontrol.cpp: the timer reload
    void reloadFile();

private:
    // viewer/reloadcontrol.cpp
    // The start-mode box's mode; setting it runs the box's cascade.
    WindowRequest::StartMode startMode() const;
    void setStartMode(WindowRequest::StartMode mode);
    void reload(bool fromTimer);
    void refresh();
    // The view step of a reload: the window text into the view, the request's
    // highlight text marked, doing only what changed since the last fill; then
    // the end followed, or the reader's selection and scroll position kept.
    // Returns whether the view's document changed.
    bool highlightMatches(const WindowRequest &request, const QString &text);
    // Says in the status line and, when nothing passed, in the view that the
    // extract filter of request hides lines.
    void showExtractState(const WindowRequest &request, const QString &text);
    // Whether newest mode keeps the view at the file's end, and if not, why:
    // the start mode, a selection, or the user's scrolling.
    StatusLine::FollowState followState() const;
    // Whether reloads scroll the view to its end (followState() is Following).
    bool followsEnd() const;
    // The next fill shows a new window: nothing selected, from its first line
    // (newest mode: following its end). Opening a file, choosing a start mode
    // or moving the percent position asks for it; so does a jump.
    void showNextWindowFromTop();
    // Makes the view follow the end again (track newest).
    void followEnd();
    // Notices the user scrolling the view away from its end and back.
    void watchScrolling();
    // app/followstate.cpp: the status line's follow state, kept up to date
    // with the mode, the timer, the selection and the scrolling.
    void watchFollowState();
    void showFollowState();
    // app/mainwindowfind.cpp: the find bar below the view, its keys, and
    // the jumps of the window to what it finds.
    void setUpFind();
    WindowPlace findPlace() const;
    void jumpTo(const WindowJump &jump);
    // The user chose another position, start mode, file or codec: the
    // window no longer keeps to the byte a jump anchored it at.
    void dropAnchor();
    // After a reload that read the file: the match list follows it.
    void followInMatchList();
    // app/readwarnings.cpp
    // The warning box of a refresh that failed; a timer reload shows none.
    void showReadWarning(const QString &errorString);
    // commands/
    void syncCodecActions();
    void syncExtractAction();
    // commands/highlightcommands.cpp
    void watchViewMenu();
    // Makes rules the view's highlight rules; a change refreshes once.
    void setHighlightRules(const HighlightRules &rules);
    // settings/settings.cpp
    void readSettings();
    void writeSettings();

    Ui::MainWindow *ui;            // the form: every widget and action by object name
    QString filePath;              // the viewed file; empty means none
    QString codecName;             // "", "SJIS", "UTF-8" or "EUC-JP" (others read as "")
    QTimer reloadTimer;            // drives reloadFile(); run by the frequency box
    qint64 lastFileSize;           // size seen by the last read that opened the file (-1: none since one failed)
    QColor highlightBackground;    // background of a marked match
    QColor highlightForeground;    // text colour of a marked match
    qint64 maxLineChars;           // characters read per line at most
    bool extractMode;              // show only lines with the highlight text
    DetectedCodec detectedCodec;   // what Unicode detection decided for the file, for the next read

    // The view's own text format, its text colour: what every rebuild inserts
    // under. The edit cursor's format can't serve, since it follows the cursor
    // and turns into a mark's format when the user clicks behind a mark.
    QTextCharFormat viewFormat;

    // The warning of a failed refresh: at most one is open, and while it is,
    // timer reloads wait.
    bool readWarningOpen = false;

    // The status bar's fields (app/statusline.cpp); reload reports to it.
    StatusLine *statusLine = nullptr;
    // What the view holds, so that the next reload does only what changed.
    FilledView filledView;
    // The next fill is a new window (showNextWindowFromTop).
    bool nextWindowFromTop = false;
    // The user has scrolled the view away from its end (newest mode pauses).
    bool scrolledAway = false;
    // The frequency box asks for timer reloads; reloadTimer is single-shot and
    // re-armed after each one.
    bool autoReload = false;
    // The highlight rules, in their order, ready to colour the view.
    RuleMarks highlightRules;
    // The view's context menu: the rules dialog and the quick colours.
    ViewContextMenu *viewMenu = nullptr;

    // The find bar and what searches with it.
    FindBar *findBar = nullptr;
    WindowFind *windowFind = nullptr;
    MatchListing *matchListing = nullptr;   // the match list pane
    // Percent mode reads from this byte instead of the percent position after
    // a jump (-1: none): five decimals of a percent can be far wider than a window.
    qint64 windowAnchor = -1;
    // Set while a jump sets the controls, so their handlers keep the anchor.
    bool jumping = false;
    // Where the window shown begins in the file, from its last read.
    qint64 windowBegin = 0;
};

#endif // MAINWINDOW_H
