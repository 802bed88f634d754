#include "filedropfilter.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QObject>
#include <QUrl>
#include <QAbstractScrollArea>
#include <QWidget>

namespace {

// The local file a drag carries, or an empty string when it carries none.
QString droppedLocalFile(const QMimeData *mime)
{
    if (!mime || !mime->hasUrls())
        return QString();
    const QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return QString();
    return urls.first().toLocalFile();
}

class FileDropFilter : public QObject
{
public:
    FileDropFilter(QObject *parent, std::function<void(const QString &)> open)
        : QObject(parent), open(std::move(open))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (droppedLocalFile(drag->mimeData()).isEmpty())
                return false;
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
            return true;
        }
        case QEvent::Drop: {
            auto *drop = static_cast<QDropEvent *>(event);
            const QString path = droppedLocalFile(drop->mimeData());
            if (path.isEmpty())
                return false;
            drop->setDropAction(Qt::CopyAction);
            drop->accept();
            open(path);
            return true;
        }
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    std::function<void(const QString &)> open;
};

} // namespace

void installFileDropFilter(QWidget *window, QWidget *view,
                           std::function<void(const QString &)> open)
{
    auto *filter = new FileDropFilter(window, std::move(open));
    window->setAcceptDrops(true);
    window->installEventFilter(filter);
    // A text edit handles drops in its viewport; the filter gets there first.
    view->setAcceptDrops(true);
    view->installEventFilter(filter);
    if (auto *area = qobject_cast<QAbstractScrollArea *>(view))
        area->viewport()->installEventFilter(filter);
}
