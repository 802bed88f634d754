#ifndef MATCHDOCK_H
#define MATCHDOCK_H

// The match list's pane below the view: a count and the rows, each drawn as
// the view draws its line, the match marked, with its place in the file.

#include <QDockWidget>

#include "linematcher.h"

class MatchListModel;
class QListView;

namespace Ui {
class MatchDock;
}

class MatchDock : public QDockWidget
{
    Q_OBJECT

public:
    MatchDock(MatchListModel *model, QWidget *parent = nullptr);
    ~MatchDock() override;

    QListView *list() const;
    void showCount(const QString &text, bool problem = false);
    // What the rows mark, in the highlight colours and the view's font.
    void setMarking(const LineMatcher &matcher, const QColor &background, const QColor &foreground,
                    const QFont &font);

signals:
    // Enter or a double click on a row.
    void rowActivated(int row);

private:
    void copyRows();

    Ui::MatchDock *ui;
    MatchListModel *model;
    class RowDelegate *delegate;
};

#endif // MATCHDOCK_H
