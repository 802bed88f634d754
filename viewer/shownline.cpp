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

// The names of the markers drawn, one glyph run per face and ink: one call
// draws them all.
class NameBatch
{
public:
    void add(const QList<QGlyphRun> &runs, const QColor &ink)
    {
        for (const QGlyphRun &run : runs) {
            auto batch = std::find_if(batches.begin(), batches.end(), [&](const Batch &b) {
                return b.ink == ink && b.like.rawFont() == run.rawFont() && b.like.flags() == run.flags();
            });
            if (batch == batches.end()) {
                batches.push_back({ink, run, {}, {}});
                batch = batches.end() - 1;
            }
            batch->indexes += run.glyphIndexes();
            batch->positions += run.positions();
        }
    }

    void draw(QPainter *painter, const QPointF &offset)
    {
        if (batches.empty())
            return;
        const QPen text = painter->pen();   // the next line's text is drawn in it
        for (Batch &batch : batches) {
            batch.like.setGlyphIndexes(batch.indexes);
            batch.like.setPositions(batch.positions);
            painter->setPen(batch.ink);
            painter->drawGlyphRun(offset, batch.like);
        }
        painter->setPen(text);
    }

private:
    struct Batch
    {
        QColor ink;
        QGlyphRun like;   // face and flags
        QVector<quint32> indexes;
        QVector<QPointF> positions;
    };
    std::vector<Batch> batches;
};

} // namespace

MarkerNames::Glyphs MarkerNames::glyphs(const QString &name, const QTextCharFormat &format,
                                        const QFont &font, QPaintDevice *device)
{
    const int dpi = device ? device->logicalDpiY() : 0;
    auto known = std::find_if(shaped.begin(), shaped.end(), [&](const Shaped &s) {
        return s.dpi == dpi && s.font == font && s.format == format;
    });
    if (known == shaped.end()) {
        if (shaped.size() >= 16)
            shaped.clear();   // fonts the user has left behind
        shaped.push_back({format, font, dpi, {}});
        known = shaped.end() - 1;
    }
    const auto found = known->names.constFind(name);
    if (found != known->names.cend())
        return *found;
    QTextLayout layout(name, font, device);
    layout.setFormats({{0, int(name.size()), format}});
    layout.beginLayout();
    const QTextLine row = layout.createLine();
    layout.endLayout();
    Glyphs glyphs;
    glyphs.width = row.cursorToX(int(name.size())) - row.cursorToX(0);
    for (QGlyphRun run : layout.glyphRuns()) {
        QVector<QPointF> positions = run.positions();
        for (QPointF &at : positions)
            at -= QPointF(row.x(), row.ascent());
        run.setPositions(positions);
        glyphs.runs.append(run);
    }
    known->names.insert(name, glyphs);
    return glyphs;
}

ShownLine::ShownLine(const QTextBlock &block, const QFont &font, QPaintDevice *device)
    : form(displayForm(block.text())), device(device), layout(form.text, font, device)
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
        for (; marker != form.markers.cend() && marker->position < to; ++marker) {
            grounds.append(ground);
            nameFormats.append(format);
        }
    }
    layout.setFormats(formats);
}

void ShownLine::forgetMarkers() const
{
    boxes = {};
    names = {};
}

void alignRows(const QTextBlock &block, ShownLine &shown, const SetFormats &setFormats)
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
        setFormats(own, {{int(text.size()) - 1, 1, spaced}});
        layRows();
    }
    shown.rowsAligned = true;
}

void drawMarkers(QPainter *painter, const QPointF &offset, const ShownLine &shown,
                 const QVector<QTextLayout::FormatRange> &selections, const QRectF &clip,
                 MarkerNames &shapedNames)
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
    NameBatch names;
    for (int i = 0; i < markers.size(); ++i) {
        const DisplayForm::Marker &marker = markers[i];
        if (marker.shownAt < rowEnd)
            continue;
        if (shown.boxes[i].isNull()) {
            // A name is left-to-right text: its first character is its left edge.
            const QTextLine row = shown.layout.lineForTextPosition(marker.shownAt);
            const qreal left = row.cursorToX(marker.shownAt);
            const QString name = shown.form.text.mid(marker.shownAt, marker.length);
            const MarkerNames::Glyphs glyphs = shapedNames.glyphs(name, shown.nameFormats[i],
                                                                  shown.layout.font(), shown.device);
            shown.boxes[i] = QRectF(left, row.y(), glyphs.width, row.height());
            const QPointF origin(left, row.y() + row.ascent());
            QList<QGlyphRun> placed = glyphs.runs;
            for (QGlyphRun &run : placed) {
                QVector<QPointF> positions = run.positions();
                for (QPointF &at : positions)
                    at += origin;
                run.setPositions(positions);
            }
            shown.names[i] = placed;
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
        // The frame, and inside it the ground, which hides the name as the
        // display form drew it in the text's colour; the name again in the
        // ink, with the others, once the grounds are down. Filled, not
        // stroked: a stroked frame's corners come out differently when it is
        // painted in parts.
        painter->fillRect(box, inkColour);
        painter->fillRect(box.adjusted(1, 1, -1, -1), ground);
        names.add(shown.names[i], ink);
    }
    names.draw(painter, offset);
}
