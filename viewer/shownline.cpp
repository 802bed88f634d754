#include "shownline.h"

#include <QPainter>
#include <QTextBlock>

#include <algorithm>

namespace {

// Where the block's own layout would put position: the x of the cursor
// before it, relative to row, which begins there.
qreal startOffset(const QTextLine &row)
{
    return row.cursorToX(row.textStart()) - row.x();
}

} // namespace

ShownLine::ShownLine(const QTextBlock &block, const QFont &font, QPaintDevice *device)
    : form(displayForm(block.text())), layout(form.text, font, device)
{
    // The block's formats: their fonts resolve against the layout's, as the
    // block's own do against the document's. Each marker takes the format of
    // its character, with the marker's colours over it.
    const QBrush plainGround{QColor(markerGround)};
    QVector<QTextLayout::FormatRange> formats;
    grounds.reserve(form.markers.size());
    auto marker = form.markers.cbegin();
    for (QTextBlock::iterator it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int from = fragment.position() - block.position();
        const int to = from + fragment.length();
        const QTextCharFormat format = fragment.charFormat();
        formats.append({form.shownPosition(from), form.shownPosition(to) - form.shownPosition(from),
                        format});
        const QBrush ground = format.hasProperty(QTextFormat::BackgroundBrush) ? format.background()
                                                                               : plainGround;
        for (; marker != form.markers.cend() && marker->position < to; ++marker)
            grounds.append(ground);
    }
    layout.setFormats(formats);
}

void ShownLine::forgetMarkers() const
{
    boxes = {};
    names = {};
}

void alignRows(const QTextBlock &block, ShownLine &shown)
{
    // The block's own layout is never drawn, but QTextEdit asks it where the
    // cursor stands. Its rows are made to stand where the display form puts
    // their first characters: one row per hidden character and per run
    // between them, and one per character in a line with a direction
    // control, since the block's layout would obey it.
    QTextLayout *own = block.layout();
    const QTextLayout &drawn = shown.layout;
    const DisplayForm &form = shown.form;
    QTextOption rows = own->textOption();
    rows.setWrapMode(QTextOption::WrapAnywhere);   // so that a row can end anywhere
    own->setTextOption(rows);
    const QString text = block.text();
    const bool obeys = std::any_of(text.begin(), text.end(), isDirectionControl);
    const auto layRows = [&] {
        own->beginLayout();
        for (int at = 0; at < text.size();) {
            int end = at + 1;
            if (!obeys && !isHiddenCharacter(text[at])) {
                while (end < text.size() && !isHiddenCharacter(text[end]))
                    ++end;
            }
            QTextLine row = own->createLine();
            if (!row.isValid())
                break;
            row.setNumColumns(end - at);
            at = row.textStart() + qMax(1, row.textLength());
        }
        own->endLayout();
        for (int i = 0; i < own->lineCount(); ++i) {
            QTextLine row = own->lineAt(i);
            const int start = form.shownPosition(row.textStart());
            const QTextLine shownRow = drawn.lineForTextPosition(start);
            row.setPosition(QPointF(0, shownRow.y()));
            row.setPosition(QPointF(shownRow.cursorToX(start) - startOffset(row), shownRow.y()));
        }
    };
    layRows();
    // The end of the line stands behind its last row: when that is a hidden
    // character, as wide as its marker.
    const QTextLine last = own->lineAt(own->lineCount() - 1);
    if (last.isValid() && isHiddenCharacter(text.back()) && last.textLength() == 1) {
        const DisplayForm::Marker &marker = form.markers.back();
        const QTextLine shownRow = drawn.lineForTextPosition(marker.shownAt);
        const qreal wider = shownRow.cursorToX(marker.shownAt + marker.length)
                            - shownRow.cursorToX(marker.shownAt) - last.naturalTextWidth();
        QTextCharFormat spaced;
        spaced.setFontLetterSpacingType(QFont::AbsoluteSpacing);
        spaced.setFontLetterSpacing(wider);
        own->setFormats({{int(text.size()) - 1, 1, spaced}});
        layRows();
    }
    shown.rowsAligned = true;
}

void drawMarkers(QPainter *painter, const QPointF &offset, const ShownLine &shown,
                 const QVector<QTextLayout::FormatRange> &selections, const QRectF &clip)
{
    const QVector<DisplayForm::Marker> &markers = shown.form.markers;
    if (shown.boxes.isEmpty()) {
        shown.boxes.resize(markers.size());
        shown.names.resize(markers.size());
    }
    // Finding a box walks the row up to the marker, so on a long line only
    // those up to the clip's right edge are found. In a left-to-right line the
    // markers stand in their stored order along a row (their names are strong
    // left-to-right text, never reordered): past that edge the rest of the row
    // is out of sight.
    const bool inOrder = shown.layout.textOption().textDirection() == Qt::LeftToRight;
    int rowEnd = 0;   // markers before this display position are right of the clip
    const QColor inkColour(markerInk);
    painter->save();
    for (int i = 0; i < markers.size(); ++i) {
        const DisplayForm::Marker &marker = markers[i];
        if (marker.shownAt < rowEnd)
            continue;
        if (shown.boxes[i].isNull()) {
            const QTextLine row = shown.layout.lineForTextPosition(marker.shownAt);
            const qreal left = row.cursorToX(marker.shownAt);
            const qreal right = row.cursorToX(marker.shownAt + marker.length);
            shown.boxes[i] = QRectF(qMin(left, right), row.y(), qAbs(right - left), row.height());
            shown.names[i] = row.glyphRuns(marker.shownAt, marker.length);
        }
        // On whole pixels: a marker painted in parts must meet itself.
        const QRect box = shown.boxes[i].translated(offset).toAlignedRect();
        // Near the clip, not only inside it: the names' glyphs that the
        // ground hides may reach a pixel beyond the box.
        if (!clip.intersects(box.adjusted(-2, -2, 2, 2))) {
            if (inOrder && box.left() - 2 > clip.right()) {
                const QTextLine row = shown.layout.lineForTextPosition(marker.shownAt);
                rowEnd = row.textStart() + row.textLength();
            }
            continue;
        }
        QBrush ground = shown.grounds[i];
        QColor ink = inkColour;
        for (const QTextLayout::FormatRange &selection : selections) {
            if (marker.shownAt >= selection.start && marker.shownAt < selection.start + selection.length) {
                ground = selection.format.background();
                ink = selection.format.foreground().color();
            }
        }
        // The ground hides the name as the display form drew it in the text's
        // colour; the same glyphs again in the ink, not shaped again.
        painter->fillRect(box, ground);
        painter->setPen(ink);
        for (const QGlyphRun &run : shown.names[i])
            painter->drawGlyphRun(offset, run);
        // The frame as four filled edges: a stroked rectangle's corners come
        // out differently when it is painted in parts.
        painter->fillRect(QRect(box.left(), box.top(), box.width(), 1), inkColour);
        painter->fillRect(QRect(box.left(), box.bottom(), box.width(), 1), inkColour);
        painter->fillRect(QRect(box.left(), box.top(), 1, box.height()), inkColour);
        painter->fillRect(QRect(box.right(), box.top(), 1, box.height()), inkColour);
    }
    painter->restore();
}
