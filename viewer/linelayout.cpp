#include "linelayout.h"

#include "rulepaint.h"
#include "shownline.h"
#include "visiblecontrols.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QImage>
#include <QMetaMethod>
#include <QPainter>
#include <QRawFont>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextLayout>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

// Wide enough for any line the reader delivers; the lines are never wrapped.
constexpr qreal unboundedWidth = 1.0e7;

// A block that keeps its glyphs is shaped once, when it is laid out, instead of
// again at every paint. The last lines of the document keep them (a followed
// log paints its new lines right after laying them out), and so do the lines
// painted last; every other line lets them go, so a window of long lines does
// not hold the glyphs of all of them.
constexpr int tailLines = 96;
constexpr int maxKeptLength = 2000;
// How far a glyph's antialiased edge may reach beyond its line's box (a
// fallback font's replacement character does under Qt 6): a changed line is
// painted again with this much of its neighbours.
constexpr qreal inkOverflow = 2;

// Drawing frees what a layout holds once it no longer keeps its glyphs; this
// draw is clipped to nothing and draws nothing.
void releaseGlyphs(QTextLayout *layout, QPainter *scratch)
{
    layout->setCacheEnabled(false);
    layout->draw(scratch, QPointF(), {}, QRectF(0, -2, 1, 1));
}

} // namespace

LineLayout::LineLayout(QTextDocument *document) : QAbstractTextDocumentLayout(document)
{
    connect(document, &QTextDocument::contentsChange, this, [this] { contentsEdited = true; });
    // A millisecond after the change: the paint, and what else is due, go first.
    pending.setSingleShot(true);
    pending.setTimerType(Qt::PreciseTimer);
    connect(&pending, &QTimer::timeout, this, [this] { layoutPending(500000); });
    ownFormatsSet.setSingleShot(true);
    connect(&ownFormatsSet, &QTimer::timeout, this, &LineLayout::dropOwnReports);
    layoutAll();
}

const LineLayout::AsciiMetrics &LineLayout::asciiMetrics(const QFont &font) const
{
    for (const AsciiMetrics &known : metrics) {
        if (known.font == font && known.device == paintDevice())
            return known;
    }
    AsciiMetrics m;
    m.font = font;
    m.device = paintDevice();
    // The face the text engine takes for Latin and common characters; if it
    // lacks one, another face with other metrics would draw it.
    const QRawFont face = QRawFont::fromFont(font);
    m.coversAscii = face.isValid();
    for (char32_t c = 0x20; c < 0x7f && m.coversAscii; ++c)
        m.coversAscii = face.supportsCharacter(c);
    const QFontMetricsF fontMetrics(font, paintDevice());
    m.ascent = fontMetrics.ascent();
    m.descent = fontMetrics.descent();
    metrics.push_back(m);
    return metrics.back();
}

bool LineLayout::foresee(const QTextBlock &block, Line *line) const
{
    // A row is as high as the highest ascent and descent of its fonts; for
    // printable ASCII in faces that hold it that is known without shaping.
    // So it is for hidden characters, drawn as markers named in ASCII in the
    // character's own font.
    if (!trustForesight || block.length() <= 1)
        return false;
    qreal ascent = 0;
    qreal descent = 0;
    bool hides = false;
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QString text = fragment.text();
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if ((u < 0x20 && u != '\t') || u > 0x7e) {
                if (!isHiddenCharacter(c))
                    return false;
                hides = true;
            }
        }
        const AsciiMetrics &m = asciiMetrics(fragment.charFormat().font());
        if (!m.coversAscii)
            return false;
        ascent = qMax(ascent, m.ascent);
        descent = qMax(descent, m.descent);
    }
    line->height = std::ceil(ascent + descent);
    line->width = 0;
    line->length = block.length();
    line->state = LineState::Foreseen;
    line->hides = hides;
    line->keepsGlyphs = false;
    // What the layout may still hold describes the block's old text.
    block.layout()->setCacheEnabled(false);
    block.layout()->clearLayout();
    return true;
}

LineLayout::Line LineLayout::placeBlock(const QTextBlock &block, int blockNumber) const
{
    Line line;
    if (foresee(block, &line)) {
        pending.start(1);
        return line;
    }
    return layoutBlock(block, inTail(blockNumber));
}

void LineLayout::layoutRest()
{
    pending.stop();
    layoutPending(std::numeric_limits<qint64>::max());
}

void LineLayout::layoutPending(qint64 budgetNs)
{
    // Half a millisecond a turn: a window of long lines just rebuilt learns
    // its widths over several turns, and painting and input go on between.
    QElapsedTimer turn;
    turn.start();
    int number = 0;
    bool done = true;
    for (QTextBlock block = document()->begin(); block.isValid() && size_t(number) < lines.size();
         block = block.next(), ++number) {
        if (lines[size_t(number)].state != LineState::Foreseen)
            continue;
        if (turn.nsecsElapsed() >= budgetNs) {
            done = false;
            break;
        }
        ensureLaidOut(block, false);
    }
    if (std::exchange(foreseenWrong, false))
        emit update(QRectF());
    reportSize();
    if (done) {
        pending.stop();   // laying out may have asked for another turn
    } else {
        // One very long line can take longer than the budget: rest as long as
        // the turn took, so that this work has at most half of the loop.
        pending.start(qMax(1, int(turn.elapsed())));
    }
}

qreal LineLayout::margin() const
{
    return document()->documentMargin();
}

bool LineLayout::inTail(int blockNumber) const
{
    return blockNumber >= document()->blockCount() - tailLines;
}

LineLayout::Line LineLayout::layoutBlock(const QTextBlock &block, bool keepGlyphs,
                                         bool mayHide) const
{
    QTextLayout *layout = block.layout();
    QTextOption option = document()->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    // Right-to-left lines keep their own order inside the line, but every
    // line starts at the left edge, as in an unwrapped plain-text view.
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setTextDirection(block.textDirection());
    layout->setTextOption(option);
    layout->setPosition(QPointF());

    Line line;
    line.length = block.length();
    if (mayHide && hasHiddenCharacters(block.text())) {
        line.keepsGlyphs = keepGlyphs && line.length <= maxKeptLength;
        keptSinceTrim += line.keepsGlyphs;
        layoutShown(block, option, &line);
        return line;
    }
    line.keepsGlyphs = keepGlyphs && line.length <= maxKeptLength;
    layout->setCacheEnabled(line.keepsGlyphs);
    keptSinceTrim += line.keepsGlyphs;
    if (!layout->formats().isEmpty())
        setOwnFormats(layout, {});   // the block held hidden characters before
    layout->beginLayout();
    // One line per block, unless the block holds line separators (U+2028).
    for (QTextLine row = layout->createLine(); row.isValid(); row = layout->createLine()) {
        row.setLineWidth(unboundedWidth);
        row.setPosition(QPointF(0, line.height));
        line.height += row.height();
        line.width = qMax(line.width, row.naturalTextWidth());
    }
    layout->endLayout();
    return line;
}

void LineLayout::layoutShown(const QTextBlock &block, const QTextOption &option,
                             Line *line) const
{
    auto shown = std::make_shared<ShownLine>(block, document()->defaultFont(), paintDevice());
    QTextLayout &drawn = shown->layout;
    drawn.setTextOption(option);
    drawn.setCacheEnabled(line->keepsGlyphs);
    drawn.beginLayout();
    for (QTextLine row = drawn.createLine(); row.isValid(); row = drawn.createLine()) {
        row.setLineWidth(unboundedWidth);
        row.setPosition(QPointF(0, line->height));
        line->height += row.height();
        line->width = qMax(line->width, row.naturalTextWidth());
    }
    drawn.endLayout();

    // The block's own layout waits until QTextEdit asks for the block's place
    // (alignRows()); until then it has no rows.
    QTextLayout *own = block.layout();
    own->setCacheEnabled(false);
    if (!own->formats().isEmpty())
        setOwnFormats(own, {});
    own->clearLayout();
    line->shown = std::move(shown);
}

void LineLayout::setOwnFormats(QTextLayout *own,
                               const QVector<QTextLayout::FormatRange> &formats) const
{
    // Formats set on a block's own layout make the document report the block
    // as changed with its next edit, as if the block's characters had changed.
    // That edit would then span everything from this block to its own place,
    // and all of it would be laid out and painted again. The report is
    // delivered in a later turn, where no edit is open, and dropped.
    own->setFormats(formats);
    ownFormatsSet.start(0);
}

void LineLayout::dropOwnReports()
{
    // An empty edit delivers what the document holds for its next edit.
    droppingOwnReports = true;
    QTextCursor edit(document());
    edit.beginEditBlock();
    edit.endEditBlock();
    droppingOwnReports = false;
}

QTextLayout *LineLayout::drawnLayout(const QTextBlock &block, const Line &line) const
{
    return line.shown ? &line.shown->layout : block.layout();
}

void LineLayout::ensureLaidOut(const QTextBlock &block, bool keepGlyphs) const
{
    const size_t number = size_t(block.blockNumber());
    if (number >= lines.size() || lines[number].state == LineState::LaidOut)
        return;
    // Foresight saw whether the line holds hidden characters.
    const bool foreseen = lines[number].state == LineState::Foreseen;
    const bool mayHide = !foreseen || lines[number].hides;
    const Line laid = layoutBlock(block, keepGlyphs || inTail(block.blockNumber()), mayHide);
    if (foreseen) {
        widestValid = false;
        pending.start(1);   // the scroll bars learn the width in the next turn
        if (laid.height != lines[number].height) {
            // The fonts did not keep their word: lay every line out for real
            // from now on, and paint what moved.
            trustForesight = false;
            foreseenWrong = true;
            topsValid = false;
        }
    }
    lines[number] = laid;
}

void LineLayout::trimGlyphs()
{
    if (keptSinceTrim < tailLines)
        return;
    keptSinceTrim = 0;
    QImage scratchImage(1, 1, QImage::Format_ARGB32_Premultiplied);
    QPainter scratch(&scratchImage);
    int number = 0;
    for (QTextBlock block = document()->begin(); block.isValid() && size_t(number) < lines.size();
         block = block.next(), ++number) {
        Line &line = lines[size_t(number)];
        const bool painted = number >= paintedFirst && number <= paintedLast;
        if (line.keepsGlyphs && !painted && !inTail(number)) {
            releaseGlyphs(drawnLayout(block, line), &scratch);
            if (line.shown)
                line.shown->forgetMarkers();
            line.keepsGlyphs = false;
        }
    }
}

bool LineLayout::dropTopLines(int charsRemoved, int droppedCount)
{
    // The first droppedCount lines are gone, and the first block now holds
    // what was the next line, formats and all: its size is known, and its
    // QTextLayout, left describing the old first line, can wait until it is
    // drawn or asked for.
    //
    // documentChanged() takes this path only for an edit that starts at 0,
    // adds nothing and leaves one block: the removal of whole lines at the top
    // in an edit of its own. The view's fill (continueView() in viewfill.cpp)
    // depends on it: it edits the end first and removes the top lines last,
    // in two edit blocks. One edit block over both would be one change
    // spanning the whole document, and every line would be laid out and
    // painted again instead of moved.
    if (droppedCount < 1 || size_t(droppedCount) >= lines.size())
        return false;
    int length = 0;
    for (int i = 0; i < droppedCount; ++i)
        length += lines[size_t(i)].length;
    if (length != charsRemoved)
        return false;
    lines.erase(lines.begin(), lines.begin() + droppedCount);
    Line &first = lines.front();
    if (first.state == LineState::LaidOut)
        first.state = LineState::Waiting;
    first.keepsGlyphs = false;   // the edit freed what the first block's layout held
    paintedFirst -= droppedCount;
    paintedLast -= droppedCount;
    document()->firstBlock().layout()->clearLayout();
    topsValid = false;
    return true;
}

bool LineLayout::Inputs::operator==(const Inputs &other) const
{
    return font == other.font && margin == other.margin && direction == other.direction
           && tabStop == other.tabStop && tabs == other.tabs && flags == other.flags
           && designMetrics == other.designMetrics;
}

LineLayout::Inputs LineLayout::currentInputs() const
{
    const QTextOption option = document()->defaultTextOption();
    Inputs inputs;
    inputs.font = document()->defaultFont();
    inputs.margin = margin();
    inputs.direction = option.textDirection();
    inputs.tabStop = option.tabStopDistance();
    inputs.tabs = option.tabs();
    inputs.flags = option.flags();
    inputs.designMetrics = option.useDesignMetrics();
    return inputs;
}

void LineLayout::layoutAll()
{
    laidOutWith = currentInputs();
    lines.clear();
    lines.reserve(size_t(document()->blockCount()));
    int number = 0;
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        lines.push_back(placeBlock(block, number++));
    topsValid = false;
}

void LineLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument *doc = document();
    // QTextEdit sets the page size again whenever a scroll bar comes or goes,
    // and the document then reports all of itself as changed, though no
    // character did (contentsChange() came before every edit). Lines that are
    // never wrapped do not depend on the page: only a new font, margin or
    // text option changes them.
    const bool edited = std::exchange(contentsEdited, false);
    if (droppingOwnReports)
        return;   // no character changed
    if (!edited && from == 0 && charsRemoved == 0 && charsAdded == doc->characterCount()
        && lines.size() == size_t(doc->blockCount()) && currentInputs() == laidOutWith)
        return;
    // The blocks the change touched, in the new document; the blocks before
    // and after them are the same as before, so the old document had
    // blockCount - lines.size() fewer (or more) in between.
    const QTextBlock first = doc->findBlock(from);
    QTextBlock last = doc->findBlock(from + charsAdded);
    if (!last.isValid())
        last = doc->lastBlock();
    const int firstNumber = first.isValid() ? first.blockNumber() : -1;
    const int newSpan = last.blockNumber() - firstNumber + 1;
    const int oldSpan = newSpan - (doc->blockCount() - int(lines.size()));

    int shift = 0;   // > 0: whole lines left the top, nothing else changed
    QRectF area;     // what to paint again; invalid: all of it
    const qreal droppedTop = top(qMax(0, oldSpan - 1));
    if (firstNumber < 0 || oldSpan < 1 || firstNumber + oldSpan > int(lines.size())) {
        layoutAll();
    } else if (from == 0 && charsAdded == 0 && newSpan == 1
               && dropTopLines(charsRemoved, oldSpan - 1)) {
        shift = qRound(droppedTop - margin());
    } else {
        std::vector<Line> changed;
        changed.reserve(size_t(newSpan));
        qreal changedHeight = 0;
        for (QTextBlock block = first; block.isValid() && int(changed.size()) < newSpan;
             block = block.next()) {
            changed.push_back(placeBlock(block, block.blockNumber()));
            changedHeight += changed.back().height;
        }
        qreal replacedHeight = 0;
        for (int i = firstNumber; i < firstNumber + oldSpan; ++i)
            replacedHeight += lines[size_t(i)].height;
        const qreal changeTop = top(firstNumber);
        const auto at = lines.begin() + firstNumber;
        lines.erase(at, at + oldSpan);
        lines.insert(lines.begin() + firstNumber, changed.begin(), changed.end());
        topsValid = false;
        // What follows the change moved unless the change kept its height.
        const qreal height = changedHeight == replacedHeight ? changedHeight
                                                             : std::numeric_limits<int>::max();
        area = QRectF(0, changeTop - inkOverflow, std::numeric_limits<int>::max(),
                      height + 2 * inkOverflow);
    }
    widestValid = false;
    if (shift > 0 && isSignalConnected(QMetaMethod::fromSignal(&LineLayout::shiftedUp))) {
        emit shiftedUp(shift);
        // The margin above the first line stays where it is: the pixels moved
        // into it belong to the lines that left.
        emit update(QRectF(0, 0, std::numeric_limits<int>::max(), margin()));
    } else
        emit update(shift > 0 ? QRectF() : area);
    trimGlyphs();
    reportSize();
}

void LineLayout::holdSizeReports(bool hold)
{
    sizeReportsHeld = hold;
    reportSize();
}

void LineLayout::reportSize()
{
    if (sizeReportsHeld)
        return;
    const QSizeF size = documentSize();
    if (size != reportedSize) {
        reportedSize = size;
        emit documentSizeChanged(size);
    }
}

void LineLayout::updateTops() const
{
    if (topsValid && tops.size() == lines.size() + 1)
        return;
    tops.resize(lines.size() + 1);
    qreal y = margin();
    for (size_t i = 0; i < lines.size(); ++i) {
        tops[i] = y;
        y += lines[i].height;
    }
    tops[lines.size()] = y;
    topsValid = true;
}

qreal LineLayout::top(int blockNumber) const
{
    updateTops();
    return tops[size_t(qBound(0, blockNumber, int(lines.size())))];
}

int LineLayout::blockAt(qreal y) const
{
    updateTops();
    const auto after = std::upper_bound(tops.begin(), tops.end() - 1, y);
    return qBound(0, int(after - tops.begin()) - 1, int(lines.size()) - 1);
}

QSizeF LineLayout::documentSize() const
{
    if (!widestValid) {
        widest = 0;
        for (const Line &line : lines)
            widest = qMax(widest, line.width);
        widestValid = true;
    }
    return QSizeF(widest + 2 * margin(), top(int(lines.size())) + margin());
}

QRectF LineLayout::frameBoundingRect(QTextFrame *frame) const
{
    if (frame != document()->rootFrame())
        return QRectF();
    return QRectF(QPointF(), documentSize());
}

QRectF LineLayout::blockBoundingRect(const QTextBlock &block) const
{
    if (!block.isValid() || block.document() != document()
        || block.blockNumber() >= int(lines.size()))
        return QRectF();
    ensureLaidOut(block, false);
    const Line &line = lines[size_t(block.blockNumber())];
    // QTextEdit asks for the place of a block before it asks the block's own
    // layout where a position stands.
    if (line.shown && !line.shown->rowsAligned)
        alignRows(block, *line.shown, [this](QTextLayout *own, const QVector<QTextLayout::FormatRange> &formats) {
            setOwnFormats(own, formats);
        });
    return QRectF(margin(), top(block.blockNumber()), line.width, line.height);
}

int LineLayout::hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const
{
    if (lines.empty())
        return -1;
    if (accuracy == Qt::ExactHit && (point.y() < top(0) || point.y() >= top(int(lines.size()))))
        return -1;
    const int number = blockAt(point.y());
    const QTextBlock block = document()->findBlockByNumber(number);
    ensureLaidOut(block, false);
    const Line &line = lines[size_t(number)];
    const QTextLayout *layout = drawnLayout(block, line);
    // A position of the display form back in the block's text.
    const auto inBlock = [&line](int shown) {
        return line.shown ? line.shown->form.position(shown) : shown;
    };
    if (layout->lineCount() == 0)
        return block.position();
    const qreal y = point.y() - top(number);
    QTextLine row = layout->lineAt(layout->lineCount() - 1);
    for (int i = 0; i < layout->lineCount(); ++i) {
        if (y < layout->lineAt(i).y() + layout->lineAt(i).height()) {
            row = layout->lineAt(i);
            break;
        }
    }
    const qreal x = point.x() - margin();
    // Left of a left-to-right line is its start; no need to shape the line.
    if (x <= 0 && layout->textOption().textDirection() == Qt::LeftToRight)
        return block.position() + inBlock(row.textStart());
    if (accuracy == Qt::ExactHit && (x < 0 || x > row.naturalTextWidth()))
        return -1;
    return block.position() + inBlock(row.xToCursor(x));
}

void LineLayout::draw(QPainter *painter, const PaintContext &context)
{
    if (lines.empty())
        return;
    const QRectF clip = context.clip.isValid() ? context.clip : QRectF(0, 0, 1.0e9, 1.0e9);
    const int firstNumber = blockAt(clip.top());
    const int lastNumber = blockAt(clip.bottom());
    bool widthOk = false;
    int cursorWidth = property("cursorWidth").toInt(&widthOk);
    if (!widthOk)
        cursorWidth = 1;

    painter->setPen(context.palette.color(QPalette::Text));
    QTextBlock block = document()->findBlockByNumber(firstNumber);
    for (int number = firstNumber; number <= lastNumber && block.isValid();
         ++number, block = block.next()) {
        const int position = block.position();
        const int length = block.length();
        ensureLaidOut(block, true);
        Line &line = lines[size_t(number)];
        QTextLayout *layout = drawnLayout(block, line);
        // Positions of the block in the layout drawn.
        const auto shown = [&line](int inBlock) {
            return line.shown ? line.shown->form.shownPosition(qBound(0, inBlock, line.length - 1))
                              : inBlock;
        };
        QVector<QTextLayout::FormatRange> selections;
        for (const Selection &selection : context.selections) {
            const int start = selection.cursor.selectionStart() - position;
            const int end = selection.cursor.selectionEnd() - position;
            if (start < length && end > 0 && end > start) {
                // The paragraph separator beyond the text is selected too.
                const int shownEnd = end >= length ? shown(end) + end - (length - 1) : shown(end);
                selections.append({shown(start), shownEnd - shown(start), selection.format});
            }
        }
        if (!line.keepsGlyphs && line.length <= maxKeptLength) {
            layout->setCacheEnabled(true);   // this draw shapes it once more, and then no more
            line.keepsGlyphs = true;
            ++keptSinceTrim;
        }
        // The rules' colours, under a selection.
        QVector<ColourRun> runs = lineColours(block);
        for (int i = 0; line.shown && i < runs.size(); ++i) {
            runs[i].start = shown(runs[i].start);
            runs[i].end = shown(runs[i].end);
        }
        const QPointF offset(margin(), top(number));
        drawLine(painter, *layout, offset, runs, context.palette.base(), selections, clip);
        if (line.shown)
            drawMarkers(painter, offset, *line.shown, markerRanges(runs, QColor(markerInk)) + selections,
                        clip, markerNames);
        if (context.cursorPosition >= position && context.cursorPosition < position + length)
            layout->drawCursor(painter, offset, shown(context.cursorPosition - position), cursorWidth);
    }
    // The lines around those just painted are the ones painted next.
    paintedFirst = firstNumber - tailLines;
    paintedLast = lastNumber + tailLines;
    trimGlyphs();
}
