#ifndef MATCHDOCK_H
#define MATCHDOCK_H

// The match list's pane below the view: a count and the rows, each drawn as
// the view draws its line, the match marked, with its place in the file.

#include <QDockWidget>

#include "linematcher.h"

class MatchListModel;
class QTableView;

namespace Ui {
class MatchDock;
}

class MatchDock : public QDockWidget
{
    Q_OBJECT
    // A listing runs (tests wait on it by name).
    Q_PROPERTY(bool busy READ isBusy WRITE setBusy)

public:
    MatchDock(MatchListModel *model, QWidget *parent = nullptr);
    ~MatchDock() override;

    QTableView *list() const;
    bool isBusy() const { return busy; }
    void setBusy(bool running) { busy = running; }
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
    bool busy = false;
    MatchListModel *model;
    class RowDelegate *delegate;
};

#endif // MATCHDOCK_H
