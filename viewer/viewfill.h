#ifndef VIEWFILL_H
#define VIEWFILL_H

// Putting a window of lines into the view and marking the highlight text in it.
// Kept apart from MainWindow so the benchmark can drive them on a bare QTextEdit.

#include <QColor>
#include <QString>
#include <QTextCharFormat>

#include <functional>

class QTextEdit;

// Replaces the whole text of view with text in one setPlainText call, then
// runs mark on it. Both happen in one edit block, so the view lays the
// document out once, marks included, instead of once for the text and again
// for the marks.
void fillView(QTextEdit *view, const QString &text, const std::function<void()> &mark);

// Brings the end of the view's text into sight (newest mode).
void scrollToEnd(QTextEdit *view);

// The format of a mark: exactly background, foreground, bold weight, a white
// spell-check underline. Merged, so the view's font and colours stay elsewhere.
QTextCharFormat highlightFormat(const QColor &background, const QColor &foreground);

// Marks every occurrence of needle in view's document, ignoring case, left to
// right and without overlap, exactly where QTextDocument::find() would find
// them one after the other; all merges in one edit block. An empty needle marks
// nothing. Returns the number of marks.
int markMatches(QTextEdit *view, const QString &needle, const QTextCharFormat &format);

#endif // VIEWFILL_H
