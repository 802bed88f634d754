#ifndef RULEPAINT_H
#define RULEPAINT_H

// Part of the view filling (Qt Gui): the highlight rules' colours as the
// view paints them. Coloured runs in the document's formats would split every
// line into one shaped piece per run, at several times the cost of the line.
// Instead each block carries the runs of its line, and the view's layout
// draws them over the line, from the glyphs it already has.

#include "rulemarks.h"

#include <QTextBlock>
#include <QTextLayout>
#include <QVector>

class QPainter;

// The coloured runs of one line: its block's user data.
class LineColours : public QTextBlockUserData
{
public:
    explicit LineColours(QVector<ColourRun> lineRuns) : runs(std::move(lineRuns)) {}
    const QVector<ColourRun> runs;
};

// The runs block's line is coloured in; empty when it has none.
QVector<ColourRun> lineColours(const QTextBlock &block);

// What runs paint, as QTextLayout::draw() takes them: each run in its
// colours, over ground where it sets no background, so that its glyphs are
// drawn once, on a clean ground.
QVector<QTextLayout::FormatRange> ruleRanges(const QVector<ColourRun> &runs, const QBrush &ground);

// Draws layout at offset, within clip, with the rules' runs (in layout's
// positions) and then selections over it. The runs' text colours are drawn
// from the glyphs layout already holds, over their backgrounds: left-to-right
// text without a selection is drawn that way alone. Otherwise
// QTextLayout::draw() takes the runs as selections (ruleRanges()), which is
// slower but follows the visual order of mixed directions.
void drawLine(QPainter *painter, const QTextLayout &layout, const QPointF &offset,
              const QVector<ColourRun> &runs, const QBrush &ground,
              const QVector<QTextLayout::FormatRange> &selections, const QRectF &clip);

// The runs with a background, as selections with ink for text: how a marker
// drawn over its own glyphs (shownline.h) keeps a rule's background.
QVector<QTextLayout::FormatRange> markerRanges(const QVector<ColourRun> &runs, const QColor &ink);

#endif // RULEPAINT_H
