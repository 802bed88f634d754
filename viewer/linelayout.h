#ifndef LINELAYOUT_H
#define LINELAYOUT_H

// The view's document layout (Qt Gui, no widgets). The view shows plain lines
// that are never wrapped, and a reload mostly drops lines at the top and adds
// some at the end. Qt's own layout repositions every block below a change,
// so dropping one line at the top of 999 costs as much work as all of them;
// this one keeps one height per block and lays out only the blocks a change
// touches. A line of plain ASCII need not even be shaped at once: its height
// follows from its fonts, so it is laid out when it is drawn, or in the next
// turn of the event loop, which learns its width.
//
// A line that holds hidden characters (visiblecontrols.h) is drawn from its
// display form: a layout of its own, with the markers set apart, that the
// block's QTextLayout follows row by row, so that positions map both ways
// and QTextEdit's cursor rectangles agree with what is drawn.
//
// The highlight rules' colours are not in the document's formats, which
// would cut each line into more pieces to shape: its block carries them
// (rulepaint.h), and draw() paints them with the line, under a selection.
//
// Invariants, between any two calls from outside:
// - lines holds one Line per block of the document, in order (the empty
//   block behind a final line feed included), except inside documentChanged()
//   while it reconciles the two;
// - tops is valid when topsValid is set and it has lines.size() + 1 entries;
//   anything that changes a height or the set of lines clears topsValid;
// - widest is valid when widestValid is set; anything that changes a width
//   or the set of lines clears widestValid;
// - a Foreseen line's block has no QTextLayout lines and holds printable
//   ASCII, tabs and hidden characters only (hides says whether any of the
//   last); only Foreseen lines have a width still to learn.

#include "shownline.h"

#include <QAbstractTextDocumentLayout>
#include <QFont>
#include <QTextLayout>
#include <QTextOption>
#include <QTimer>

#include <memory>
#include <vector>

class LineLayout : public QAbstractTextDocumentLayout
{
    Q_OBJECT
    // QTextEdit asks for it: false tells it that a wider view changes nothing,
    // so resizing the window lays nothing out again.
    Q_PROPERTY(bool contentHasAlignment READ contentHasAlignment)

public:
    explicit LineLayout(QTextDocument *document);

    void draw(QPainter *painter, const PaintContext &context) override;
    int hitTest(const QPointF &point, Qt::HitTestAccuracy accuracy) const override;
    int pageCount() const override { return 1; }
    QSizeF documentSize() const override;
    QRectF frameBoundingRect(QTextFrame *frame) const override;
    QRectF blockBoundingRect(const QTextBlock &block) const override;

    bool contentHasAlignment() const { return false; }

    // While held, documentSizeChanged() waits; releasing reports the size
    // once if it changed. A change that drops as many lines at the top as it
    // adds at the end then leaves the scroll bars alone.
    void holdSizeReports(bool hold);

    // Lines wait to learn their widths, or the size waits to be reported.
    bool isSettling() const { return pending.isActive(); }
    // Lays out now what would be laid out in the next turns.
    void layoutRest();

signals:
    // Whole lines left the top and nothing else changed: everything below
    // them moved up by dy pixels. While this signal is connected it replaces
    // update(), so a view can move its pixels instead of painting them again.
    void shiftedUp(int dy);

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    enum class LineState {
        Foreseen,   // height foreseen from the fonts; width and QTextLayout still to come
        Waiting,    // size known; the block's QTextLayout is still to be made
        LaidOut,    // size known and the block laid out
    };
    struct Line
    {
        qreal height = 0;
        qreal width = 0;
        int length = 0;            // of the block, separator included
        LineState state = LineState::LaidOut;
        bool keepsGlyphs = false;  // the layout it is drawn from keeps the shaped glyphs
        bool hides = false;        // a Foreseen line holds hidden characters
        // A line with hidden characters: what is drawn instead of the block.
        std::shared_ptr<ShownLine> shown;
    };

    // What a font gives a line of printable ASCII, if its own face holds all of it.
    struct AsciiMetrics
    {
        QFont font;
        const QPaintDevice *device = nullptr;   // whose resolution the metrics are in
        bool coversAscii = false;
        qreal ascent = 0;
        qreal descent = 0;
    };
    const AsciiMetrics &asciiMetrics(const QFont &font) const;
    bool foresee(const QTextBlock &block, Line *line) const;
    Line placeBlock(const QTextBlock &block, int blockNumber) const;
    void layoutPending(qint64 budgetNs);

    // What every line's layout depends on besides its block.
    struct Inputs
    {
        QFont font;
        qreal margin = 0;
        Qt::LayoutDirection direction = Qt::LayoutDirectionAuto;
        qreal tabStop = 0;
        QList<QTextOption::Tab> tabs;
        QTextOption::Flags flags;
        bool designMetrics = false;
        bool operator==(const Inputs &other) const;
    };
    Inputs currentInputs() const;

    Line layoutBlock(const QTextBlock &block, bool keepGlyphs, bool mayHide = true) const;
    void layoutShown(const QTextBlock &block, const QTextOption &option, Line *line) const;
    QTextLayout *drawnLayout(const QTextBlock &block, const Line &line) const;
    void setOwnFormats(QTextLayout *own, const QVector<QTextLayout::FormatRange> &formats) const;
    void dropOwnReports();
    void ensureLaidOut(const QTextBlock &block, bool keepGlyphs) const;
    bool inTail(int blockNumber) const;
    void trimGlyphs();
    // The fast path of a follow tick; see its definition for what it needs.
    bool dropTopLines(int charsRemoved, int droppedCount);
    void layoutAll();
    void reportSize();
    int blockAt(qreal y) const;   // the block number under y, clamped to the blocks
    qreal top(int blockNumber) const;
    void updateTops() const;
    qreal margin() const;

    // One per block of the document, in order. Mutable: a block whose
    // QTextLayout waits is laid out when it is first asked for.
    mutable std::vector<Line> lines;
    mutable std::vector<qreal> tops;   // y of each block, then the bottom of the last
    mutable bool topsValid = false;
    mutable qreal widest = 0;
    mutable bool widestValid = true;
    mutable bool foreseenWrong = false;   // a foreseen height was not the real one
    mutable bool trustForesight = true;
    mutable std::vector<AsciiMetrics> metrics;
    mutable QTimer pending;               // lays out the foreseen lines in the next turns
    Inputs laidOutWith;
    bool contentsEdited = false;     // the document said contentsChange() since the last change
    MarkerNames markerNames;
    mutable QTimer ownFormatsSet;    // reports of the layout's own formats wait to be dropped
    bool droppingOwnReports = false;
    mutable int keptSinceTrim = 0;   // lines that began to keep their glyphs since trimGlyphs()
    int paintedFirst = 0;            // the lines around those painted last
    int paintedLast = -1;
    QSizeF reportedSize;
    bool sizeReportsHeld = false;
};

#endif // LINELAYOUT_H
