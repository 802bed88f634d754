#include "rulepaint.h"

#include <QGlyphRun>
#include <QPainter>

namespace {

// Text that the layout may show in another order than its own.
bool mayReorder(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x590)
            continue;
        switch (c.direction()) {
        case QChar::DirR: case QChar::DirAL: case QChar::DirRLE: case QChar::DirRLO:
        case QChar::DirRLI: case QChar::DirFSI: case QChar::DirAN:
            return true;
        default:
            break;
        }
    }
    return false;
}

// What of a row of left-to-right text lies within clip: a long line reaches
// far beyond the view.
struct ShownRow
{
    QTextLine row;
    int from = 0;   // the characters on the clip's edges, whole
    int to = 0;
};

QVector<ShownRow> shownRows(const QTextLayout &layout, const QPointF &offset, const QRectF &clip)
{
    QVector<ShownRow> rows;
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine row = layout.lineAt(i);
        const qreal left = offset.x() + row.x();
        if (left >= clip.left() && left + row.naturalTextWidth() <= clip.right()) {
            rows.append({row, row.textStart(), row.textStart() + row.textLength()});
            continue;
        }
        const int from = qMax(row.textStart(),
                              row.xToCursor(clip.left() - offset.x(), QTextLine::CursorOnCharacter));
        const int to = qMin(row.textStart() + row.textLength(),
                            row.xToCursor(clip.right() - offset.x(), QTextLine::CursorOnCharacter) + 1);
        if (from < to)
            rows.append({row, from, to});
    }
    return rows;
}

// Where [from, to) lies on shownRow, clipped to what of it is in sight;
// empty when none of it is.
QRectF runBox(const ShownRow &shownRow, int *from, int *to, const QPointF &offset)
{
    *from = qMax(*from, shownRow.from);
    *to = qMin(*to, shownRow.to);
    if (*from >= *to)
        return QRectF();
    const QTextLine &row = shownRow.row;
    const qreal left = row.cursorToX(*from);
    return QRectF(left, row.y(), row.cursorToX(*to) - left, row.height()).translated(offset);
}

} // namespace

QVector<ColourRun> lineColours(const QTextBlock &block)
{
    const auto *colours = dynamic_cast<const LineColours *>(block.userData());
    return colours ? colours->runs : QVector<ColourRun>();
}

QVector<QTextLayout::FormatRange> ruleRanges(const QVector<ColourRun> &runs, const QBrush &ground)
{
    QVector<QTextLayout::FormatRange> ranges;
    ranges.reserve(runs.size());
    for (const ColourRun &run : runs) {
        QTextCharFormat format;
        // A run with a text colour alone gets a ground too: QTextLayout skips
        // a range without a background where it touches another such range.
        format.setBackground(run.background.isValid() ? QBrush(run.background, Qt::SolidPattern) : ground);
        if (run.foreground.isValid())
            format.setForeground(QBrush(run.foreground, Qt::SolidPattern));
        ranges.append({run.start, run.end - run.start, format});
    }
    return ranges;
}

void drawLine(QPainter *painter, const QTextLayout &layout, const QPointF &offset,
              const QVector<ColourRun> &runs, const QBrush &ground,
              const QVector<QTextLayout::FormatRange> &selections, const QRectF &clip)
{
    if (runs.isEmpty()) {
        layout.draw(painter, offset, selections, clip);
        return;
    }
    if (!selections.isEmpty() || mayReorder(layout.text())) {
        layout.draw(painter, offset, ruleRanges(runs, ground) + selections, clip);
        return;
    }
    // The backgrounds of runs that keep the text's colour, the line, and
    // then each run with a text colour again, on its ground, in its colour.
    const QVector<ShownRow> rows = shownRows(layout, offset, clip);
    for (const ColourRun &run : runs) {
        for (int i = 0; !run.foreground.isValid() && i < rows.size(); ++i) {
            int from = run.start, to = run.end;
            const QRectF box = runBox(rows.at(i), &from, &to, offset);
            if (!box.isEmpty())
                painter->fillRect(box, QBrush(run.background, Qt::SolidPattern));
        }
    }
    layout.draw(painter, offset, {}, clip);
    const QPen pen = painter->pen();
    for (const ColourRun &run : runs) {
        if (!run.foreground.isValid())
            continue;
        const QBrush runGround = run.background.isValid() ? QBrush(run.background, Qt::SolidPattern) : ground;
        for (const ShownRow &row : rows) {
            int from = run.start, to = run.end;
            const QRectF box = runBox(row, &from, &to, offset);
            if (box.isEmpty())
                continue;
            painter->fillRect(box, runGround);
            painter->setPen(run.foreground);
            const QList<QGlyphRun> glyphs = row.row.glyphRuns(from, to - from);
            for (const QGlyphRun &glyphRun : glyphs)
                painter->drawGlyphRun(offset, glyphRun);
        }
    }
    painter->setPen(pen);
}

QVector<QTextLayout::FormatRange> markerRanges(const QVector<ColourRun> &runs, const QColor &ink)
{
    QVector<QTextLayout::FormatRange> grounds;
    for (const ColourRun &run : runs) {
        if (!run.background.isValid())
            continue;
        QTextCharFormat format;
        format.setBackground(QBrush(run.background, Qt::SolidPattern));
        format.setForeground(ink);
        grounds.append({run.start, run.end - run.start, format});
    }
    return grounds;
}
