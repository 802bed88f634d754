#ifndef SHOWNLINE_H
#define SHOWNLINE_H

// Part of the view filling (Qt Gui, no widgets): a line with hidden
// characters (visiblecontrols.h) as the view's line layout draws it: its
// display form, laid out in the block's formats, with a marker painted over
// each name. Giving the markers formats of their own would cut the line into
// one shaped piece per marker, several times the work of the line. The
// block's own QTextLayout is never drawn, but QTextEdit asks it where the
// cursor stands: alignRows() makes its rows follow this layout, so that
// positions map both ways.

#include "visiblecontrols.h"

#include <QBrush>
#include <QGlyphRun>
#include <QHash>
#include <QList>
#include <QRectF>
#include <QTextCharFormat>
#include <QTextLayout>
#include <QVector>

#include <functional>
#include <vector>

class QPainter;
class QTextBlock;

struct ShownLine
{
    // The display form of block in its formats, in font on device; the
    // caller lays the layout out.
    ShownLine(const QTextBlock &block, const QFont &font, QPaintDevice *device);

    DisplayForm form;
    QPaintDevice *device;
    QTextLayout layout;
    bool rowsAligned = false;   // the block's own layout follows this one

    // Lets go of what drawing found, with the layout's glyphs; the next
    // draw finds it again.
    void forgetMarkers() const;

    // For each marker: its ground (the mark's if the character is marked),
    // and the format its name is laid out in.
    QVector<QBrush> grounds;
    QVector<QTextCharFormat> nameFormats;
    // For each marker, found when first drawn (null until then): its box in
    // the layout, and the glyphs of its name placed in the layout.
    mutable QVector<QRectF> boxes;
    mutable QVector<QList<QGlyphRun>> names;
};

// The glyphs of the markers' names. The same few names come back in every
// line, in the same few formats: each is shaped once, by the first line that
// draws it, and kept by the layout that draws the lines.
class MarkerNames
{
public:
    // A name's glyphs around the origin on its baseline, and its width.
    struct Glyphs
    {
        QList<QGlyphRun> runs;
        qreal width = 0;
    };
    Glyphs glyphs(const QString &name, const QTextCharFormat &format, const QFont &font,
                  QPaintDevice *device);

private:
    struct Shaped
    {
        QTextCharFormat format;
        QFont font;
        int dpi;
        QHash<QString, Glyphs> names;
    };
    std::vector<Shaped> shaped;
};

// Lays out the block's own layout so that its rows stand where shown draws
// their first characters; setFormats sets formats on it.
using SetFormats = std::function<void(QTextLayout *, const QVector<QTextLayout::FormatRange> &)>;
void alignRows(const QTextBlock &block, ShownLine &shown, const SetFormats &setFormats);

// The markers near clip, over the display form as shown.layout drew it at offset.
void drawMarkers(QPainter *painter, const QPointF &offset, const ShownLine &shown,
                 const QVector<QTextLayout::FormatRange> &selections, const QRectF &clip,
                 MarkerNames &shapedNames);

#endif // SHOWNLINE_H
