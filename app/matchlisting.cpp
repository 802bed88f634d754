#include "matchlisting.h"

#include "backgroundjob.h"
#include "findbar.h"
#include "matchdock.h"
#include "matchlistmodel.h"

#include <QFile>
#include <QTableView>
#include <QLocale>
#include <QMainWindow>
#include <QScrollBar>
#include <QSettings>

#include <sys/stat.h>

namespace {

const char groupMatchList[] = "matchList";
const char keyVisible[] = "visible";
const char keyExclude[] = "exclude";

// The file's identity and size now, or false when it cannot be looked at.
bool fileIdentity(const QString &path, qint64 *inode, qint64 *size)
{
    struct stat info;
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return false;
    *inode = qint64(info.st_ino);
    *size = qint64(info.st_size);
    return true;
}

QString countText(qint64 count)
{
    return MatchListing::tr("一致: %1 行").arg(QLocale::c().toString(count));
}

} // namespace

MatchListing::MatchListing(FindBar *bar, QWidget *window, std::function<WindowPlace()> place,
                           std::function<void(const WindowJump &)> jump, QObject *parent)
    : QObject(parent),
      bar(bar),
      rows(new MatchListModel(this)),
      place(std::move(place)),
      jump(std::move(jump)),
      job(new BackgroundJob(this))
{
    matchDock = new MatchDock(rows, window);
    matchDock->hide();
    connect(matchDock, &MatchDock::rowActivated, this, &MatchListing::goToRow);
    connect(bar, &FindBar::listRequested, this, &MatchListing::list);
    connect(job, &BackgroundJob::progressed, this, [this](int percent) {
        matchDock->showCount(countText(rows->rowCount()) + tr("（検索中… %1%）").arg(percent));
    });
    relistDelay.setSingleShot(true);
    relistDelay.setInterval(400);
    connect(&relistDelay, &QTimer::timeout, this, [this] {
        if (!matchDock->isHidden() && listed)
            list();
    });
    connect(bar, &FindBar::patternEdited, &relistDelay, qOverload<>(&QTimer::start));
}

bool MatchListing::isRunning() const
{
    return job->isRunning();
}

void MatchListing::cancel()
{
    if (!job->isRunning())
        return;
    job->cancel();
    matchDock->setBusy(false);
    matchDock->showCount(countText(rows->rowCount()) + tr("（中止しました）"));
}

void MatchListing::setLook(const QColor &background, const QColor &foreground, const QFont &font)
{
    if (background == markBackground && foreground == markForeground && font == viewFont)
        return;
    markBackground = background;
    markForeground = foreground;
    viewFont = font;
    matchDock->setMarking(LineMatcher(listedPattern), background, foreground, font);
}

void MatchListing::list()
{
    job->cancel();
    matchDock->setBusy(false);
    relistDelay.stop();
    listedPlace = place();
    listedPattern = bar->pattern();
    listedExclusion = bar->exclusion();
    listed = false;
    limited = false;
    resumeByte = 0;
    rows->reset({listedPlace.path, listedPlace.codecName, listedPlace.maxLineChars});
    matchDock->show();
    matchDock->setMarking(LineMatcher(listedPattern), markBackground, markForeground, viewFont);
    if (listedPlace.path.isEmpty()) {
        matchDock->showCount(tr("ファイルが開かれていません"), true);
        return;
    }
    if (listedPattern.text.isEmpty()) {
        matchDock->showCount(tr("検索する文字列を入力してください"));
        return;
    }
    for (const MatchPattern &pattern : {listedPattern, listedExclusion}) {
        const LineMatcher matcher(pattern);
        if (!matcher.isValid()) {
            matchDock->showCount(tr("正規表現が正しくありません: %1（%2 文字目）")
                                     .arg(matcher.errorString())
                                     .arg(matcher.errorOffset() + 1),
                                 true);
            return;
        }
    }
    if (!fileIdentity(listedPlace.path, &listedInode, &listedSize)) {
        matchDock->showCount(tr("ファイルを読めません"), true);
        return;
    }
    listed = true;
    rows->setFileSize(listedSize);
    scan(0);
}

void MatchListing::fileRead()
{
    if (!listed || matchDock->isHidden())
        return;
    const WindowPlace now = place();
    if (now.path != listedPlace.path || now.codecName != listedPlace.codecName
        || now.maxLineChars != listedPlace.maxLineChars) {
        list();
        return;
    }
    if (job->isRunning()) {
        followPending = true;   // looked at again when the running scan ends
        return;
    }
    qint64 size = 0;
    if (!sameFileGrown(&size)) {
        list();
        return;
    }
    if (size > listedSize && !limited) {
        listedSize = size;
        rows->setFileSize(size);
        rows->dropFrom(resumeByte);
        scan(resumeByte);
    }
}

// Whether the file is still the one listed, no shorter than it was.
bool MatchListing::sameFileGrown(qint64 *size) const
{
    qint64 inode = -1;
    if (!fileIdentity(listedPlace.path, &inode, size))
        return false;
    return inode == listedInode && *size >= listedSize;
}

void MatchListing::scan(qint64 fromByte)
{
    SearchRequest request;
    request.path = listedPlace.path;
    request.codecName = listedPlace.codecName;
    request.maxLineChars = listedPlace.maxLineChars;
    request.pattern = listedPattern;
    request.fromByte = fromByte;
    const MatchPattern exclusion = listedExclusion;
    const qint64 room = MaxRows - rows->rowCount();
    QTableView *view = matchDock->list();
    matchDock->setBusy(true);
    job->start<FileSearch::Listing>(
        [request, exclusion, room, this, view](BackgroundJob::Control &control) {
            return FileSearch::listAll(
                request, exclusion, room,
                [&control, this, view](const std::vector<qint64> &batch) {
                    control.post([this, view, batch] {
                        // The list follows its end only when it was there.
                        QScrollBar *bar = view->verticalScrollBar();
                        const bool atEnd = bar->value() == bar->maximum();
                        rows->append(batch);
                        if (atEnd && rows->rowCount() > int(batch.size()))
                            view->scrollToBottom();
                        showCount();
                    });
                },
                &control.cancel, [&control](int percent) { control.percent.store(percent); });
        },
        [this](const FileSearch::Listing &listing) { scanEnded(listing); });
}

void MatchListing::scanEnded(const FileSearch::Listing &listing)
{
    matchDock->setBusy(false);
    rows->setFileSize(listing.fileSize);
    switch (listing.status) {
    case SearchResult::Found:
    case SearchResult::NotFound:
        resumeByte = listing.resumeByte;
        limited = listing.limited || rows->rowCount() >= MaxRows;
        showCount();
        break;
    case SearchResult::Failed:
        // The rows found so far stay.
        matchDock->showCount(countText(rows->rowCount()) + tr("（中断: %1）").arg(listing.errorString),
                             true);
        listed = false;
        return;
    case SearchResult::Cancelled:
        return;
    }
    matchDock->list()->viewport()->update();
    if (followPending) {
        followPending = false;
        fileRead();
    }
}

void MatchListing::showCount()
{
    QString text = countText(rows->rowCount());
    if (limited)
        text += tr("（上限の %1 行で打ち切りました）").arg(QLocale::c().toString(MaxRows));
    matchDock->showCount(text);
}

void MatchListing::goToRow(int row)
{
    if (row < 0 || row >= rows->rowCount())
        return;
    WindowJump target;
    target.anchorByte = rows->readStartAt(row);
    qint64 inode = -1;
    if (!fileIdentity(listedPlace.path, &inode, &target.fileSize))
        target.fileSize = listedSize;
    target.readInWindow = 0;
    target.match = LineMatcher(listedPattern).matchIn(rows->rowText(row));
    jump(target);
}

void MatchListing::readSettings(QSettings &settings)
{
    settings.beginGroup(QLatin1String(groupMatchList));
    bar->setExclusionText(settings.value(QLatin1String(keyExclude)).toString());
    matchDock->setVisible(settings.value(QLatin1String(keyVisible), false).toBool());
    settings.endGroup();
}

void MatchListing::writeSettings(QSettings &settings) const
{
    settings.beginGroup(QLatin1String(groupMatchList));
    settings.setValue(QLatin1String(keyVisible), !matchDock->isHidden());
    settings.setValue(QLatin1String(keyExclude), bar->exclusionText());
    settings.endGroup();
}
