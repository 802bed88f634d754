#include "viewkeys.h"

#include <QAbstractScrollArea>
#include <QEvent>
#include <QKeyEvent>
#include <QScrollBar>

namespace {

class ViewKeys : public QObject
{
public:
    explicit ViewKeys(QAbstractScrollArea *view) : QObject(view), view(view) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != view || event->type() != QEvent::KeyPress)
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() != Qt::ControlModifier
            || (key->key() != Qt::Key_Home && key->key() != Qt::Key_End))
            return false;
        // The same scroll-bar actions Home and End trigger, so the user's
        // scrolling is told apart from the layout's as it is for them.
        const bool home = key->key() == Qt::Key_Home;
        if (home)
            view->horizontalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
        view->verticalScrollBar()->triggerAction(home ? QAbstractSlider::SliderToMinimum
                                                      : QAbstractSlider::SliderToMaximum);
        return true;
    }

private:
    QAbstractScrollArea *view;
};

} // namespace

void installViewKeys(QAbstractScrollArea *view)
{
    view->installEventFilter(new ViewKeys(view));
}
