// MainWindow: startMode, setStartMode, refresh, reloadFile, reload,
// highlightMatches, showNextWindowFromTop, showExtractState, followState,
// followsEnd, followEnd, watchScrolling.
//
// The reload controller: when the window is read, what the view keeps of the
// reader's place across a reload, and when it follows the file's end. The view
// filling it drives lives in viewfill.cpp.

#include "linewindowreader.h"
#include "mainwindow.h"
#include "statusline.h"
#include "ui_mainwindow.h"
#include "viewfill.h"

#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>

WindowRequest::StartMode MainWindow::startMode() const
{
    return startModeFromIndex(ui->comboBox_2->currentIndex());
}

void MainWindow::setStartMode(WindowRequest::StartMode mode)
{
    // The box's items are the modes in their order; its handler runs the
    // mode's cascade when the mode really changes.
    ui->comboBox_2->setCurrentIndex(mode);
}

void MainWindow::refresh()
{
    reload(false);
}

void MainWindow::reloadFile()
{
    reload(true);
    // The timer is single-shot: the next interval counts from the end of this
    // reload, so a reload slower than its interval never has another queued
    // behind it, and painting and input get the whole interval.
    if (autoReload && !reloadTimer.isActive())
        reloadTimer.start();
}

void MainWindow::reload(bool fromTimer)
{
    if (filePath.isEmpty())
        return;
    // A timer reload waits while a read warning is open: no pile of boxes.
    if (fromTimer && readWarningOpen)
        return;

    WindowRequest request;
    request.startMode = startMode();
    request.lineCount = ui->spinBox->value();
    request.percent = ui->doubleSpinBox->value();
    request.maxLineChars = maxLineChars;
    request.codecName = codecName;
    request.extract = extractMode;
    request.highlightText = ui->lineEdit->text();   // read once: the filter and the marks
    if (request.startMode == WindowRequest::PercentMode)
        request.anchorByte = windowAnchor;
    request.detected = detectedCodec;

    const WindowResult result =
        LineWindowReader::read(filePath, request, fromTimer ? lastFileSize : -1);
    if (result.status == WindowResult::OpenFailed || result.status == WindowResult::ReadFailed) {
        // Whatever is at the path when a read works again is read, also at
        // the size seen before: a log deleted and recreated may come back at it.
        lastFileSize = -1;
        statusLine->showFailure(filePath, result.errorString);
        // The timer's failures stay in the status line: a log that is rotated
        // goes missing for a moment, and following resumes once it is back.
        if (!fromTimer)
            showReadWarning(result.errorString);
        return;
    }
    if (result.status == WindowResult::Unchanged) {
        statusLine->showRead(filePath, codecName, result, false);
        return;
    }

    lastFileSize = result.fileSize;
    detectedCodec = result.detected;
    windowBegin = result.windowBegin;
    followInMatchList();
    const bool viewChanged = highlightMatches(request, result.text);
    statusLine->showRead(filePath, codecName, result, viewChanged);
    showExtractState(request, result.text);
    showFollowState();
}

bool MainWindow::highlightMatches(const WindowRequest &request, const QString &text)
{
    FillKey key;
    key.request = request;
    key.textFormat = viewFormat;
    key.markFormat = highlightFormat(highlightBackground, highlightForeground);
    key.rules = highlightRules;
    key.path = filePath;

    // Decided before the text changes. A new window (another file or start
    // mode, or one asked for by showNextWindowFromTop) starts with nothing
    // selected: from its first line, or following its end in newest mode.
    // Newest mode also follows the end when the view shows it with nothing
    // selected; otherwise the reader's place is kept.
    const bool newest = request.startMode == WindowRequest::NewestMode;
    const bool fresh = nextWindowFromTop || !filledView.valid
                       || filledView.key.request.startMode != request.startMode
                       || filledView.key.path != filePath;
    nextWindowFromTop = false;
    const bool follow = newest && (fresh || followsEnd());
    const ViewPlace place = viewPlace(ui->textEdit);
    const QString before = filledView.text;
    int dropped = 0;
    const FillChange change = refillView(ui->textEdit, filledView, key, text, &dropped);
    if (fresh)
        showFromStart(ui->textEdit, viewFormat);
    keepInsertionFormat(ui->textEdit, viewFormat);
    if (follow) {
        scrollToEnd(ui->textEdit);
    } else if (change != FillChange::None && !fresh) {
        // A rebuild in newest mode keeps the reader on the same lines when
        // the new text continues the old one.
        if (dropped < 0 && newest) {
            const int overlap = findOverlap(before, text).dropped;
            dropped = overlap >= 0 ? overlap : before.size();   // none: all of it has left
        }
        dropped = qMax(0, dropped);
        restoreViewPlace(ui->textEdit, place, dropped);
        // A selection that has left with its lines no longer holds the view.
        if (newest && followsEnd())
            scrollToEnd(ui->textEdit);
    }
    return change != FillChange::None;
}

void MainWindow::showNextWindowFromTop()
{
    nextWindowFromTop = true;
}

void MainWindow::showExtractState(const WindowRequest &request, const QString &text)
{
    // The text a filter that let nothing through leaves is empty, as an empty
    // file's is: both say which it is, the placeholder drawn by the view
    // itself, outside the document.
    const bool filtered = request.extract && !request.highlightText.isEmpty();
    // Counted only when filtered: a window of 999 long lines is megabytes.
    statusLine->showFilter(filtered ? request.highlightText : QString(),
                           filtered ? text.count(QLatin1Char('\n')) : 0);
    ui->textEdit->setPlaceholderText(
        filtered ? tr("「%1」を含む行はありません").arg(request.highlightText) : QString());
}

StatusLine::FollowState MainWindow::followState() const
{
    // The one following rule: newest mode follows the end unless the user
    // holds the view with a selection or by scrolling away from the end.
    if (startMode() != WindowRequest::NewestMode)
        return StatusLine::NotFollowing;
    if (ui->textEdit->textCursor().hasSelection())
        return StatusLine::PausedBySelection;
    if (scrolledAway)
        return StatusLine::PausedByScroll;
    return StatusLine::Following;
}

bool MainWindow::followsEnd() const
{
    return followState() == StatusLine::Following;
}

void MainWindow::followEnd()
{
    QTextCursor cursor = ui->textEdit->textCursor();
    cursor.clearSelection();
    ui->textEdit->setTextCursor(cursor);
    scrollToEnd(ui->textEdit);
    showFollowState();
}

void MainWindow::watchScrolling()
{
    QScrollBar *bar = ui->textEdit->verticalScrollBar();
    // Only the user's scrolling counts (and scrollToEnd): the layout, which
    // goes on after a rebuild and keeps changing the range, does not.
    connect(bar, &QAbstractSlider::actionTriggered, this,
            [this, bar] { scrolledAway = bar->sliderPosition() < bar->maximum(); });
    // While it follows, the view stays at its end as the layout grows it.
    connect(bar, &QAbstractSlider::rangeChanged, this, [this, bar] {
        if (followsEnd() && bar->value() != bar->maximum())
            bar->setValue(bar->maximum());
    });
}
