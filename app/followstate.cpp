// MainWindow: watchFollowState, showFollowState.
//
// The status line says whether newest mode follows the file's end or is held
// by the user. The state changes with the start mode and frequency boxes, a
// selection in the view, the user's scrolling, and each reload.

#include "mainwindow.h"
#include "statusline.h"
#include "ui_mainwindow.h"

#include <QComboBox>
#include <QScrollBar>
#include <QTextEdit>

void MainWindow::watchFollowState()
{
    // Connected after the form's own handlers and watchScrolling(), so the
    // timer and the scrolled-away flag are up to date when these run.
    const auto show = [this] { showFollowState(); };
    connect(ui->comboBox_2, qOverload<int>(&QComboBox::currentIndexChanged), statusLine, show);
    connect(ui->comboBox_3, qOverload<int>(&QComboBox::currentIndexChanged), statusLine, show);
    connect(ui->textEdit, &QTextEdit::selectionChanged, statusLine, show);
    connect(ui->textEdit->verticalScrollBar(), &QAbstractSlider::actionTriggered, statusLine, show);
    showFollowState();
}

void MainWindow::showFollowState()
{
    // At the end with nothing selected, newest mode follows only while
    // reloads come.
    const StatusLine::FollowState state = followState();
    statusLine->setFollowState(state == StatusLine::Following && !autoReload
                                   ? StatusLine::NotFollowing
                                   : state);
}
