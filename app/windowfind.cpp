#include "windowfind.h"

#include "backgroundjob.h"
#include "findbar.h"
#include "logtimestamp.h"
#include "timeseek.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

struct WindowFind::Search
{
    LineMatcher matcher;
    bool backward = false;
    WindowPlace place;
    int originBlock = 0;
    int originPos = 0;      // in the block's text: forward from here, backward before it
    Stage stage = Stage::ViewAfterOrigin;
};

namespace {

// The view's reads are its blocks; the first one in sight when nothing is selected.
QTextCursor firstInSight(QTextEdit *view)
{
    return view->cursorForPosition(QPoint(0, 0));
}

void selectMatch(QTextEdit *view, const QTextBlock &block, const TextMatch &match)
{
    QTextCursor cursor(view->document());
    cursor.setPosition(block.position() + match.start);
    cursor.setPosition(block.position() + match.end(), QTextCursor::KeepAnchor);
    view->setTextCursor(cursor);
    view->ensureCursorVisible();
}

bool windowReachesEnd(const WindowPlace &place)
{
    return place.startMode == WindowRequest::NewestMode;
}

QString progressText(int percent)
{
    return WindowFind::tr("検索中… %1%").arg(percent);
}

} // namespace

WindowFind::WindowFind(FindBar *bar, QTextEdit *view, std::function<WindowPlace()> place,
                       std::function<void(const WindowJump &)> jump, QObject *parent)
    : QObject(parent),
      bar(bar),
      view(view),
      place(std::move(place)),
      jump(std::move(jump)),
      job(new BackgroundJob(this))
{
    connect(job, &BackgroundJob::progressed, this,
            [this](int percent) { this->bar->showStatus(progressText(percent)); });
}

bool WindowFind::isRunning() const
{
    return job->isRunning();
}

void WindowFind::cancel()
{
    if (!job->isRunning())
        return;
    job->cancel();
    bar->setBusy(false);
    bar->showStatus(tr("検索を中止しました"));
}

void WindowFind::find(bool backward)
{
    job->cancel();
    bar->setBusy(false);
    const MatchPattern pattern = bar->pattern();
    if (pattern.text.isEmpty()) {
        bar->focusPattern();
        return;
    }
    auto search = std::make_shared<Search>();
    search->matcher = LineMatcher(pattern);
    if (!search->matcher.isValid()) {
        fail(tr("正規表現が正しくありません: %1（%2 文字目）")
                 .arg(search->matcher.errorString())
                 .arg(search->matcher.errorOffset() + 1));
        return;
    }
    search->backward = backward;
    search->place = place();
    if (search->place.path.isEmpty()) {
        fail(tr("ファイルが開かれていません"));
        return;
    }
    const QTextCursor cursor = view->textCursor();
    if (cursor.hasSelection()) {
        const int at = backward ? cursor.selectionStart() : cursor.selectionEnd();
        const QTextBlock block = view->document()->findBlock(at);
        search->originBlock = block.blockNumber();
        search->originPos = at - block.position();
    } else {
        search->originBlock = firstInSight(view).blockNumber();
        search->originPos = 0;
    }
    bar->showStatus(QString());
    advance(search);
}

// Runs the stages in turn until one finds something or all are done.
void WindowFind::advance(const std::shared_ptr<Search> &search)
{
    const WindowPlace &place = search->place;
    const bool windowAtStart = place.windowBegin <= 0;
    while (search->stage != Stage::Done) {
        const Stage stage = search->stage;
        search->stage = Stage(int(stage) + 1);
        SearchRequest request;
        request.path = place.path;
        request.codecName = place.codecName;
        request.maxLineChars = place.maxLineChars;
        request.pattern = search->matcher.pattern();
        request.backward = search->backward;
        request.leadReads = LeadReads;
        request.extractFilter = place.extractFilter;
        // Beyond the window: after its reads going forward, before them going back.
        const bool afterWindow = (stage == Stage::FileBeyond) != search->backward;
        switch (stage) {
        case Stage::ViewAfterOrigin:
            if (findInView(*search, false))
                return;
            break;
        case Stage::FileBeyond:
        case Stage::FileWrapped:
            if (afterWindow) {
                if (windowReachesEnd(place))
                    break;
                request.fromByte = place.windowBegin;
                request.skipReads = place.lineCount;
            } else {
                if (windowAtStart)
                    break;
                request.endByte = place.windowBegin;
            }
            searchFile(search, request);
            return;
        case Stage::ViewWrapped:
            if (findInView(*search, true)) {
                showWrapped(*search);
                return;
            }
            bar->showStatus(tr("見つかりません"), true);
            return;
        case Stage::Done:
            return;
        }
    }
}

// The view's own text: from the origin on (or back), or, wrapped, the rest
// up to the origin from the other end.
bool WindowFind::findInView(const Search &search, bool wrapped)
{
    QTextDocument *document = view->document();
    const LineMatcher &matcher = search.matcher;
    if (!search.backward) {
        const int first = wrapped ? 0 : search.originBlock;
        for (QTextBlock block = document->findBlockByNumber(first); block.isValid();
             block = block.next()) {
            const bool origin = block.blockNumber() == search.originBlock;
            TextMatch match = matcher.matchIn(block.text(), !wrapped && origin ? search.originPos : 0);
            if (wrapped && block.blockNumber() > search.originBlock)
                break;
            if (wrapped && origin && match.found() && match.start >= search.originPos)
                match = TextMatch();
            if (match.found()) {
                selectMatch(view, block, match);
                return true;
            }
        }
        return false;
    }
    const int last = wrapped ? document->blockCount() - 1 : search.originBlock;
    for (QTextBlock block = document->findBlockByNumber(last); block.isValid();
         block = block.previous()) {
        if (wrapped && block.blockNumber() < search.originBlock)
            break;
        const bool origin = block.blockNumber() == search.originBlock;
        TextMatch match = matcher.lastMatchIn(block.text(), !wrapped && origin ? search.originPos : -1);
        if (wrapped && origin && match.found() && match.start < search.originPos)
            match = TextMatch();
        if (match.found()) {
            selectMatch(view, block, match);
            return true;
        }
    }
    return false;
}

void WindowFind::searchFile(const std::shared_ptr<Search> &search, const SearchRequest &request)
{
    bar->setBusy(true);
    job->start<SearchResult>(
        [request](BackgroundJob::Control &control) {
            return FileSearch::find(request, &control.cancel,
                                    [&control](int percent) { control.percent.store(percent); });
        },
        [this, search](const SearchResult &result) {
            bar->setBusy(false);
            switch (result.status) {
            case SearchResult::Found: {
                WindowJump target;
                target.anchorByte = result.hit.anchorByte;
                target.fileSize = result.fileSize;
                target.readInWindow = result.hit.readInWindow;
                target.match = result.hit.match;
                bar->showStatus(QString());
                jump(target);
                if (search->stage == Stage::ViewWrapped)
                    showWrapped(*search);
                return;
            }
            case SearchResult::NotFound:
                advance(search);
                return;
            case SearchResult::Failed:
                fail(tr("検索できません: %1").arg(result.errorString));
                return;
            case SearchResult::Cancelled:
                return;
            }
        });
}

void WindowFind::showWrapped(const Search &search)
{
    bar->showStatus(search.backward ? tr("末尾から検索しました") : tr("先頭から検索しました"));
}

void WindowFind::fail(const QString &message)
{
    bar->setBusy(false);
    bar->showStatus(message, true);
}

void WindowFind::goToTime(const QString &typed)
{
    job->cancel();
    bar->setBusy(false);
    const std::optional<LogTime> target = parseTypedTime(typed);
    if (!target) {
        fail(tr("時刻を読み取れません（例: 13:07:49、2026-12-09 13:07）"));
        return;
    }
    TimeSeekRequest request;
    const WindowPlace window = place();
    if (window.path.isEmpty()) {
        fail(tr("ファイルが開かれていません"));
        return;
    }
    request.path = window.path;
    request.codecName = window.codecName;
    request.maxLineChars = window.maxLineChars;
    request.target = *target;
    // A time alone takes the date of the window's first timestamped line.
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
        if (const std::optional<LogTime> first = findLogTime(block.text())) {
            request.defaultDate = first;
            break;
        }
    }
    bar->setBusy(true);
    bar->showStatus(QString());
    job->start<TimeSeekResult>(
        [request](BackgroundJob::Control &control) { return seekTime(request, &control.cancel); },
        [this](const TimeSeekResult &result) {
            bar->setBusy(false);
            WindowJump target;
            target.fileSize = result.fileSize;
            switch (result.status) {
            case TimeSeekResult::Found:
                target.anchorByte = result.lineStart;
                target.readInWindow = 0;
                jump(target);
                return;
            case TimeSeekResult::AfterEnd:
                target.anchorByte = -1;   // the end: the newest lines
                jump(target);
                bar->showStatus(tr("指定の時刻より後の行はありません。末尾を表示します"));
                return;
            case TimeSeekResult::NoTimestamps:
                fail(tr("このファイルには認識できる時刻がありません"));
                return;
            case TimeSeekResult::Failed:
                fail(tr("移動できません: %1").arg(result.errorString));
                return;
            case TimeSeekResult::Cancelled:
                return;
            }
        });
}
