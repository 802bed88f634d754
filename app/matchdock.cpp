#include "matchdock.h"
#include "ui_matchdock.h"

#include "matchlistmodel.h"
#include "visiblecontrols.h"

#include <QApplication>
#include <QClipboard>
#include <QPainter>
#include <QShortcut>
#include <QStyledItemDelegate>
#include <QHeaderView>
#include <QTableView>
#include <QTextLayout>

// Draws a row as "37.12345%  the line", the matches in the highlight format.
class RowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    LineMatcher matcher;
    QColor markBackground;
    QColor markForeground;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        QStyleOptionViewItem base = option;
        initStyleOption(&base, index);
        base.text.clear();
        const QWidget *widget = option.widget;
        QStyle *style = widget ? widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &base, painter, widget);

        const QString place = QStringLiteral("%1%").arg(index.data(MatchListModel::PercentRole).toDouble(), 9, 'f', 5);
        const QString text = index.data(Qt::DisplayRole).toString();
        const QFontMetrics metrics(option.font);
        const int placeWidth = metrics.horizontalAdvance(QStringLiteral("100.00000%  "));
        const bool selected = option.state & QStyle::State_Selected;
        const QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;

        painter->save();
        painter->setClipRect(option.rect);
        painter->setFont(option.font);
        painter->setPen(option.palette.color(QPalette::Disabled, textRole));
        QRect placeRect = option.rect.adjusted(4, 0, 0, 0);
        painter->drawText(placeRect, Qt::AlignLeft | Qt::AlignVCenter, place);

        // Drawn in its display form: a hidden character shows as its marker.
        const DisplayForm shown = displayForm(text);
        QTextLayout layout(shown.text, option.font);
        QVector<QTextLayout::FormatRange> marks;
        QTextCharFormat mark;
        mark.setBackground(markBackground);
        mark.setForeground(markForeground);
        mark.setFontWeight(QFont::Bold);
        for (TextMatch m = matcher.matchIn(text); m.found(); m = matcher.matchIn(text, m.end())) {
            const int from = shown.shownPosition(m.start);
            marks.append({from, shown.shownPosition(m.end()) - from, mark});
        }
        QTextCharFormat marker;
        marker.setBackground(QColor(QLatin1String(markerGround)));
        marker.setForeground(QColor(QLatin1String(markerInk)));
        for (const DisplayForm::Marker &m : shown.markers)
            marks.append({m.shownAt, m.length, marker});
        layout.setFormats(marks);
        layout.beginLayout();
        QTextLine line = layout.createLine();
        if (line.isValid())
            line.setLineWidth(1e6);   // one line, never wrapped
        layout.endLayout();
        painter->setPen(option.palette.color(textRole));
        const qreal top = option.rect.top() + (option.rect.height() - metrics.height()) / 2.0;
        layout.draw(painter, QPointF(option.rect.left() + 4 + placeWidth, top));
        painter->restore();
    }
};

MatchDock::MatchDock(MatchListModel *model, QWidget *parent)
    : QDockWidget(parent),
      ui(new Ui::MatchDock),
      model(model),
      delegate(new RowDelegate(this))
{
    ui->setupUi(this);
    ui->matchList->setModel(model);
    ui->matchList->setItemDelegate(delegate);
    // A table with rows of one fixed height: its header keeps them as one
    // span, so millions of rows cost nothing to lay out as they arrive.
    ui->matchList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    ui->matchList->verticalHeader()->setMinimumSectionSize(1);
    connect(ui->matchList, &QTableView::activated, this,
            [this](const QModelIndex &index) { emit rowActivated(index.row()); });
    auto *copy = new QShortcut(QKeySequence::Copy, ui->matchList);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &MatchDock::copyRows);
}

MatchDock::~MatchDock()
{
    delete ui;
}

QTableView *MatchDock::list() const
{
    return ui->matchList;
}

void MatchDock::showCount(const QString &text, bool problem)
{
    ui->matchCount->setText(text);
    ui->matchCount->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
}

void MatchDock::setMarking(const LineMatcher &matcher, const QColor &background,
                           const QColor &foreground, const QFont &font)
{
    delegate->matcher = matcher;
    delegate->markBackground = background;
    delegate->markForeground = foreground;
    ui->matchList->setFont(font);
    ui->matchList->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 2);
    ui->matchList->viewport()->update();
}

void MatchDock::copyRows()
{
    QModelIndexList rows = ui->matchList->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(),
              [](const QModelIndex &a, const QModelIndex &b) { return a.row() < b.row(); });
    QString text;
    for (const QModelIndex &row : rows)
        text += model->rowText(row.row()) + QLatin1Char('\n');
    QApplication::clipboard()->setText(text);
}
