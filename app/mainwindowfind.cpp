// MainWindow: setUpFind, findPlace, jumpTo, dropAnchor.

#include "findbar.h"
#include "mainwindow.h"
#include "matchdock.h"
#include "matchlisting.h"
#include "ui_mainwindow.h"
#include "windowfind.h"

#include <QShortcut>
#include <QSignalBlocker>
#include <QTextBlock>

#include <cmath>

namespace {

// The percent box shows the anchor's place rounded down to its 5 decimals.
double percentOf(qint64 byte, qint64 fileSize)
{
    if (fileSize <= 0)
        return 0.0;
    const double exact = double(byte) * 100.0 / double(fileSize);
    return qBound(0.0, std::floor(exact * 1e5 + 1e-7) / 1e5, 100.0);
}

void addShortcut(QWidget *window, const QKeySequence &keys, const std::function<void()> &run)
{
    auto *shortcut = new QShortcut(keys, window);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, window, run);
}

} // namespace

void MainWindow::setUpFind()
{
    // Below the view, above the status line; built in code, so the main
    // form stays as it is.
    findBar = new FindBar(ui->centralWidget);
    ui->gridLayout->addWidget(findBar, 4, 0);
    windowFind = new WindowFind(
        findBar, ui->textEdit, [this] { return findPlace(); },
        [this](const WindowJump &jump) { jumpTo(jump); }, this);
    connect(findBar, &FindBar::findRequested, windowFind, &WindowFind::find);
    connect(findBar, &FindBar::goToTimeRequested, windowFind, &WindowFind::goToTime);
    connect(findBar, &FindBar::rulesRequested, this, [this] { editHighlightRules(); });
    connect(findBar, &FindBar::cancelRequested, this, [this] {
        windowFind->cancel();
        matchListing->cancel();
    });

    matchListing = new MatchListing(
        findBar, this, [this] { return findPlace(); },
        [this](const WindowJump &jump) { jumpTo(jump); }, this);
    addDockWidget(Qt::BottomDockWidgetArea, matchListing->dock());

    addShortcut(this, QKeySequence::Find, [this] { findBar->focusPattern(); });
    addShortcut(this, QKeySequence(Qt::CTRL | Qt::Key_G), [this] { findBar->focusTime(); });
    addShortcut(this, QKeySequence(Qt::Key_F3), [this] { windowFind->find(false); });
    addShortcut(this, QKeySequence(Qt::SHIFT | Qt::Key_F3), [this] { windowFind->find(true); });
    addShortcut(this, QKeySequence(Qt::Key_Escape), [this] {
        if (windowFind->isRunning() || matchListing->isRunning()) {
            windowFind->cancel();
            matchListing->cancel();
        } else
            findBar->hide();
    });
}

WindowPlace MainWindow::findPlace() const
{
    WindowPlace place;
    place.path = filePath;
    place.codecName = effectiveCodecName();
    place.maxLineChars = maxLineChars;
    place.startMode = startMode();
    place.lineCount = ui->spinBox->value();
    place.windowBegin = windowBegin;
    if (extractMode)
        place.extractFilter = ui->lineEdit->text();
    return place;
}

void MainWindow::jumpTo(const WindowJump &jump)
{
    if (jump.anchorByte < 0) {
        // The end of the file: the newest lines.
        dropAnchor();
        if (startMode() != WindowRequest::NewestMode)
            setStartMode(WindowRequest::NewestMode);
        else
            refresh();
        followEnd();
        return;
    }
    // One read: the position is set quietly, then percent mode is chosen
    // (its cascade stops following and refreshes) or the window refreshed.
    windowAnchor = jump.anchorByte;
    showNextWindowFromTop();
    jumping = true;
    {
        const QSignalBlocker quiet(ui->doubleSpinBox);
        ui->doubleSpinBox->setValue(percentOf(jump.anchorByte, jump.fileSize));
    }
    if (startMode() != WindowRequest::PercentMode)
        setStartMode(WindowRequest::PercentMode);
    else
        refresh();
    jumping = false;

    // The new window shows from its first line, with the match selected.
    QTextCursor cursor(ui->textEdit->document());
    const QTextBlock block = ui->textEdit->document()->findBlockByNumber(jump.readInWindow);
    if (jump.readInWindow >= 0 && block.isValid()) {
        cursor.setPosition(block.position() + qBound(0, jump.match.start, block.length() - 1));
        if (jump.match.found())
            cursor.setPosition(qMin(block.position() + jump.match.end(), block.position() + block.length() - 1),
                               QTextCursor::KeepAnchor);
    }
    ui->textEdit->setTextCursor(cursor);
    ui->textEdit->ensureCursorVisible();
}

void MainWindow::followInMatchList()
{
    matchListing->setLook(highlightBackground, highlightForeground, ui->textEdit->font());
    matchListing->fileRead();
}

void MainWindow::dropAnchor()
{
    if (!jumping)
        windowAnchor = -1;
}
