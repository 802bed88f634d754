#ifndef VIEWFILL_H
#define VIEWFILL_H

// Putting a window of lines into the view and marking the highlight text in it.
// Kept apart from MainWindow so the benchmark can drive them on a bare QTextEdit.

#include <QColor>
#include <QString>
#include <QTextCharFormat>

class QTextEdit;

// Replaces the whole text of view with text in one call. In newest mode the end
// of the text is scrolled into sight.
void fillView(QTextEdit *view, const QString &text, bool scrollToEnd);

// The format of a mark: exactly background, foreground, bold weight, a white
// spell-check underline. Merged, so the view's font and colours stay elsewhere.
QTextCharFormat highlightFormat(const QColor &background, const QColor &foreground);

// Marks every occurrence of needle in view's document, ignoring case, left to
// right and without overlap, exactly where QTextDocument::find() would find
// them one after the other; all merges in one edit block. An empty needle marks
// nothing. Returns the number of marks.
int markMatches(QTextEdit *view, const QString &needle, const QTextCharFormat &format);

#endif // VIEWFILL_H
