// Filling the view with a window of lines and marking the highlight text in
// it: the view-side helpers that MainWindow's reloads (reloadcontrol.cpp) use.

#include "viewfill.h"

#include "linelayout.h"
#include "linematcher.h"
#include "linewindowreader.h"

#include <QAbstractTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVector>

namespace {

// Characters that QTextCursor::insertText() turns into a block boundary as it
// does "\n". A text without them has its characters at the same positions in
// the document as in the string.
bool isPlain(QStringView text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == '\r' || u == QChar::ParagraphSeparator || u == 0xfdd0 || u == 0xfdd1)
            return false;
    }
    return true;
}

void collectMarks(QTextBlock block, const LineMatcher &matcher, QVector<QPair<int, int>> &marks)
{
    // QTextDocument::find() looks inside one block at a time, in the block's
    // text with no-break spaces read as spaces, and goes on right behind the
    // previous match.
    const int needleSize = matcher.pattern().text.size();
    for (; block.isValid(); block = block.next()) {
        QString text = block.text();
        if (text.size() < needleSize)
            continue;
        text.replace(QChar::Nbsp, QLatin1Char(' '));
        for (TextMatch m = matcher.matchIn(text); m.found(); m = matcher.matchIn(text, m.end()))
            marks.append({block.position() + m.start, block.position() + m.end()});
    }
}

// Removes the lines that left the top, the old last line, and appends the new lines.
void continueView(QTextEdit *view, const QString &older, const QString &newer,
                  const WindowOverlap &overlap, const FillKey &key)
{
    QTextDocument *document = view->document();
    auto *layout = qobject_cast<LineLayout *>(document->documentLayout());
    if (layout)
        layout->holdSizeReports(true);
    QTextCursor cursor(document);
    // Two edit blocks, the end first: one block spanning the top and the end
    // would make the layout redo every line in between. The line layout moves
    // the pixels of the lines that stay only for an edit that removes whole
    // lines at the top and nothing else (LineLayout::dropTopLines()), so the
    // top goes last, on its own; the end edit uses older's positions.
    cursor.beginEditBlock();
    const int tail = overlap.dropped + overlap.kept;
    cursor.setPosition(older.size());
    if (tail < older.size())
        cursor.setPosition(tail, QTextCursor::KeepAnchor);
    cursor.insertText(newer.mid(overlap.kept), key.textFormat);
    QVector<QPair<int, int>> marks;
    markMatches(view, key.request.highlightText, key.markFormat, tail, &marks);
    markRules(document, key.rules, marks, tail);
    cursor.endEditBlock();
    if (overlap.dropped > 0) {
        // In an edit block, the cursor moves without asking the layout where
        // its lines are.
        cursor.beginEditBlock();
        cursor.setPosition(0);
        cursor.setPosition(overlap.dropped, QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.endEditBlock();
    }
    if (layout)
        layout->holdSizeReports(false);
}

} // namespace

void installLineLayout(QTextEdit *view)
{
    QTextDocument *document = view->document();
    QWidget *viewport = view->viewport();
    auto *layout = new LineLayout(document);
    layout->setPaintDevice(viewport);
    document->setDocumentLayout(layout);
    QObject::connect(layout, &LineLayout::shiftedUp, viewport,
                     [viewport](int dy) { viewport->scroll(0, -dy); });
}

void fillView(QTextEdit *view, const QString &text, const QTextCharFormat &textFormat,
              const QString &needle, const QTextCharFormat &markFormat,
              const RuleMarks &rules)
{
    // setPlainText inserts under the edit cursor's format. Behind a mark, or
    // over a selection that holds one, that is the mark's format, and the whole
    // new text would take it; put the view's own format there first.
    QTextCursor edit = view->textCursor();
    edit.clearSelection();
    edit.setCharFormat(textFormat);
    view->setTextCursor(edit);

    QTextCursor batch(view->document());
    batch.beginEditBlock();
    view->setPlainText(text);
    QVector<QPair<int, int>> marks;
    markMatches(view, needle, markFormat, 0, &marks);
    markRules(view->document(), rules, marks);
    batch.endEditBlock();
}

bool FillKey::operator==(const FillKey &other) const
{
    const WindowRequest &a = request;
    const WindowRequest &b = other.request;
    return path == other.path && a.startMode == b.startMode && a.lineCount == b.lineCount
           && a.codecName == b.codecName && a.maxLineChars == b.maxLineChars && a.extract == b.extract
           && a.highlightText == b.highlightText && textFormat == other.textFormat
           && markFormat == other.markFormat && rules == other.rules;
}

WindowOverlap findOverlap(const QString &older, const QString &newer)
{
    if (older.isEmpty() || newer.isEmpty() || !older.endsWith('\n') || !newer.endsWith('\n'))
        return {};
    const QStringView old(older);
    const QStringView next(newer);
    const int lastLine = older.lastIndexOf('\n', older.size() - 2) + 1;
    const QStringView firstLine = next.left(newer.indexOf('\n') + 1);
    // A line of older that newer begins with is a candidate; a text of many
    // equal lines could make every line one, so only a few are compared whole.
    int compared = 0;
    for (int at = 0; at < older.size() && compared < 8; at = older.indexOf('\n', at) + 1) {
        if (!old.mid(at).startsWith(firstLine))
            continue;
        ++compared;
        for (const int end : {int(older.size()), lastLine}) {
            const int kept = end - at;
            if (kept > 0 && kept <= newer.size() && old.mid(at, kept) == next.left(kept))
                return {at, kept};
        }
    }
    return {};
}

FillChange refillView(QTextEdit *view, FilledView &filled, const FillKey &key,
                      const QString &text, int *dropped)
{
    QTextDocument *document = view->document();
    const bool same = filled.valid && filled.key == key
                      && filled.characterCount == document->characterCount();
    *dropped = 0;
    if (same && filled.text == text)
        return FillChange::None;

    FillChange change = FillChange::Rebuilt;
    const WindowOverlap overlap = same && filled.plain && key.request.startMode == WindowRequest::NewestMode
                                      ? findOverlap(filled.text, text)
                                      : WindowOverlap();
    const QStringView added = QStringView(text).mid(overlap.kept);
    if (overlap.dropped >= 0 && isPlain(added)) {
        continueView(view, filled.text, text, overlap, key);
        *dropped = overlap.dropped;
        change = FillChange::Appended;
    } else {
        fillView(view, text, key.textFormat, key.request.highlightText, key.markFormat, key.rules);
        filled.plain = isPlain(text);
        *dropped = -1;
    }
    filled.valid = true;
    filled.key = key;
    filled.text = text;
    filled.characterCount = document->characterCount();
    return change;
}

void keepInsertionFormat(QTextEdit *view, const QTextCharFormat &textFormat)
{
    // A cursor left behind a mark would report, and insert in, the mark's
    // format, as a rebuild never leaves it; a selection is the user's and stays.
    QTextCursor edit = view->textCursor();
    if (edit.hasSelection() || edit.charFormat() == textFormat)
        return;
    const int vertical = view->verticalScrollBar()->value();
    const int horizontal = view->horizontalScrollBar()->value();
    edit.setCharFormat(textFormat);
    view->setTextCursor(edit);
    view->verticalScrollBar()->setValue(vertical);
    view->horizontalScrollBar()->setValue(horizontal);
}

void showFromStart(QTextEdit *view, const QTextCharFormat &textFormat)
{
    QTextCursor edit = view->textCursor();
    edit.setPosition(0);
    edit.setCharFormat(textFormat);   // not the format of a mark at the start
    view->setTextCursor(edit);
    view->verticalScrollBar()->setValue(0);
    view->horizontalScrollBar()->setValue(0);
}

void scrollToEnd(QTextEdit *view)
{
    // What ensureCursorVisible() then SliderToMaximum leave: the cursor in
    // sight across (with the 5 pixels ensureCursorVisible() adds on each side)
    // and the view at its end. Called as they are, the view would first go
    // to the cursor, which a rebuild leaves at the top, and be painted whole
    // for a jump there and back; this way a follow tick moves only the lines.
    QScrollBar *across = view->horizontalScrollBar();
    const QTextCursor edit = view->textCursor();
    // At the start of a left-to-right line the cursor is at the line's left
    // edge: no need to lay out the line, which may be the view's first one,
    // far out of sight, to know that.
    const bool atLeftEdge = edit.atBlockStart() && edit.block().textDirection() == Qt::LeftToRight;
    QRect cursor = atLeftEdge ? QRect(int(view->document()->documentMargin()), 0, 1, 1)
                              : view->cursorRect().translated(across->value(), 0);
    cursor.adjust(-5, 0, 5, 0);
    const int width = view->viewport()->width();
    if (cursor.left() < across->value())
        across->setValue(cursor.left());
    else if (cursor.left() + cursor.width() > across->value() + width)
        across->setValue(cursor.left() + cursor.width() - width);
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
}

ViewPlace viewPlace(const QTextEdit *view)
{
    ViewPlace place;
    const QTextCursor cursor = view->textCursor();
    place.anchor = cursor.anchor();
    place.position = cursor.position();
    place.selection = cursor.hasSelection();
    const QTextBlock top = view->cursorForPosition(QPoint(0, 0)).block();
    place.topPosition = top.position();
    place.topOffset = view->verticalScrollBar()->value()
                      - int(view->document()->documentLayout()->blockBoundingRect(top).top());
    place.horizontal = view->horizontalScrollBar()->value();
    return place;
}

void restoreViewPlace(QTextEdit *view, const ViewPlace &place, int dropped)
{
    QTextDocument *document = view->document();
    const int last = document->characterCount() - 1;
    const auto moved = [&](int position) { return qBound(0, position - dropped, last); };
    if (place.selection) {
        QTextCursor cursor(document);
        cursor.setPosition(moved(place.anchor));
        cursor.setPosition(moved(place.position), QTextCursor::KeepAnchor);
        view->setTextCursor(cursor);   // scrolls to the cursor: the scroll bars come next
    }
    const bool topLeft = place.topPosition < dropped;
    const QTextBlock top = document->findBlock(moved(place.topPosition));
    const qreal y = document->documentLayout()->blockBoundingRect(top).top();
    view->verticalScrollBar()->setValue(int(y) + (topLeft ? 0 : place.topOffset));
    view->horizontalScrollBar()->setValue(place.horizontal);
}

QTextCharFormat highlightFormat(const QColor &background, const QColor &foreground)
{
    QTextCharFormat format;
    format.setBackground(QBrush(background, Qt::SolidPattern));
    format.setForeground(QBrush(foreground, Qt::SolidPattern));
    format.setFontWeight(QFont::Bold);
    format.setUnderlineColor(Qt::white);
    format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    // setUnderlineStyle() also stores a plain-underline flag; the style alone
    // says it, and a mark carries nothing but its five properties.
    format.clearProperty(QTextFormat::FontUnderline);
    return format;
}

int markMatches(QTextEdit *view, const QString &needle, const QTextCharFormat &format,
                int fromPosition, QVector<QPair<int, int>> *marked)
{
    if (needle.isEmpty())
        return 0;
    QTextDocument *document = view->document();
    // Collecting the matches first keeps the document untouched until the
    // single edit block below.
    QVector<QPair<int, int>> marks;
    collectMarks(document->findBlock(fromPosition), LineMatcher(MatchPattern{needle, false, false}), marks);
    if (marks.isEmpty())
        return 0;

    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (const auto &mark : qAsConst(marks)) {
        cursor.setPosition(mark.first);
        cursor.setPosition(mark.second, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
    const int count = marks.size();
    if (marked)
        marked->swap(marks);
    return count;
}
