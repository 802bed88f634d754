#ifndef VIEWFILL_H
#define VIEWFILL_H

// viewer/ holds two layers. The reading engine (linewindowreader, filebytes,
// linereads, textencoding, windowscan) uses Qt Core only. This file is the
// other one: filling the view with a window of lines and marking the highlight
// text in it (Qt Widgets, no dialogs), with the view's document layout
// (linelayout, Qt Gui). Kept apart from MainWindow so that the
// benchmark and the tests can drive it on a bare QTextEdit.

#include "linewindowreader.h"
#include "rulemarks.h"

#include <QColor>
#include <QString>
#include <QTextCharFormat>

class QTextEdit;

// Gives view's document the line layout, which lays out only the lines a
// change touches, and lets the view move its pixels up when lines leave the
// top instead of painting them again.
void installLineLayout(QTextEdit *view);

// Replaces the whole text of view with text in one setPlainText call, every
// character in textFormat, marks needle in it with markFormat and gives its
// lines the runs that rules colour (the view's line layout paints them,
// below the marks). All happens in one edit block, so the
// view lays the document out once, marks included. The view's scroll position
// and selection are reset, as setPlainText does.
void fillView(QTextEdit *view, const QString &text, const QTextCharFormat &textFormat,
              const QString &needle, const QTextCharFormat &markFormat,
              const RuleMarks &rules = RuleMarks());

// Everything besides its text that decides what a fill puts into the view, and
// whether two windows of the same file are the same lines.
struct FillKey
{
    QString path;
    // The read's request; its highlight text is the needle the fill marks.
    // Equal keys compare every field but the percent and the detected codec:
    // the text tells what they changed.
    WindowRequest request;
    QTextCharFormat textFormat;
    QTextCharFormat markFormat;
    RuleMarks rules;

    bool operator==(const FillKey &other) const;
    bool operator!=(const FillKey &other) const { return !(*this == other); }
};

// What the view's document was last filled from.
struct FilledView
{
    bool valid = false;
    FillKey key;
    QString text;
    bool plain = false;       // text holds no character that the document splits blocks at besides "\n"
    int characterCount = 0;   // of the document then: a document changed by others is rebuilt
};

// Where newer can continue older: newer == older.mid(dropped, kept) + the new
// lines, where dropped is the start of a line of older and kept > 0 ends at a
// line feed; what follows it in older is nothing or older's last line (the
// empty line behind a final line feed, or an unterminated line that newer may
// have completed). dropped is -1 when there is no such overlap.
struct WindowOverlap
{
    int dropped = -1;
    int kept = 0;
};
WindowOverlap findOverlap(const QString &older, const QString &newer);

enum class FillChange { None, Appended, Rebuilt };

// Brings view to exactly the document that fillView(text, key's formats,
// needle and rules) gives, and records it in filled. When filled describes the view with
// the same key in newest mode and text overlaps filled.text, it only removes the
// lines that left at the top, replaces the old last line, appends the new
// lines and marks them; an identical text changes nothing. Otherwise it
// rebuilds. *dropped gets how many characters left at the top (0 when none),
// or -1 after a rebuild.
FillChange refillView(QTextEdit *view, FilledView &filled, const FillKey &key,
                      const QString &text, int *dropped);

// Gives the edit cursor the view's own format unless it holds a selection,
// keeping the scroll position.
void keepInsertionFormat(QTextEdit *view, const QTextCharFormat &textFormat);

// Puts the edit cursor, in the view's own format and selecting nothing, at
// the start of the text, and the view at its top left: a new window.
void showFromStart(QTextEdit *view, const QTextCharFormat &textFormat);

// Brings the end of the view's text into sight (newest mode).
void scrollToEnd(QTextEdit *view);

// Where the user is in the view: the selection and the line at the top.
struct ViewPlace
{
    int anchor = 0;
    int position = 0;
    bool selection = false;
    int topPosition = 0;   // first character of the block at the top of the viewport
    int topOffset = 0;     // how far that block is scrolled past the top, in pixels
    int horizontal = 0;
};
ViewPlace viewPlace(const QTextEdit *view);
// Puts the view back at place after its text changed: positions move back by
// dropped characters (what left at the top), and are clamped to the new text.
// A selection whose text has left entirely is gone.
void restoreViewPlace(QTextEdit *view, const ViewPlace &place, int dropped);

// The format of a mark: exactly background, foreground, bold weight, a white
// spell-check underline. Merged, so the view's font and colours stay elsewhere.
QTextCharFormat highlightFormat(const QColor &background, const QColor &foreground);

// Marks every occurrence of needle in view's document, ignoring case, left to
// right and without overlap, exactly where QTextDocument::find() would find
// them one after the other; all merges in one edit block. An empty needle marks
// nothing. Returns the number of marks. fromPosition: mark only the blocks
// from the one holding it. marked, if given, gets the marks' [start, end).
int markMatches(QTextEdit *view, const QString &needle, const QTextCharFormat &format,
                int fromPosition = 0, QVector<QPair<int, int>> *marked = nullptr);

#endif // VIEWFILL_H
