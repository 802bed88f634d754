// MainWindow: on_actionUTF_triggered, on_actionEUC_JP_triggered,
// on_actionSJIS_triggered, on_actionUnicode_triggered, syncCodecActions,
// effectiveCodecName.

#include "linewindowreader.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

void MainWindow::on_actionUTF_triggered()
{
    codecName = CodecName::Utf8;
    syncCodecActions();
}

void MainWindow::on_actionEUC_JP_triggered()
{
    codecName = CodecName::EucJp;
    syncCodecActions();
}

void MainWindow::on_actionSJIS_triggered()
{
    codecName = CodecName::ShiftJis;
    syncCodecActions();
}

void MainWindow::on_actionUnicode_triggered()
{
    codecName = QString();
    syncCodecActions();
}

// The four actions are no exclusive group: Qt has already flipped the one the
// user triggered, so put the single check mark back where codecName says.
// Any other stored name reads as Unicode detection and checks "Unicode".
void MainWindow::syncCodecActions()
{
    dropAnchor();
    ui->actionUnicode->setChecked(false);
    ui->actionSJIS->setChecked(false);
    ui->actionEUC_JP->setChecked(false);
    ui->actionUTF->setChecked(false);

    if (codecName == CodecName::ShiftJis)
        ui->actionSJIS->setChecked(true);
    else if (codecName == CodecName::EucJp)
        ui->actionEUC_JP->setChecked(true);
    else if (codecName == CodecName::Utf8)
        ui->actionUTF->setChecked(true);
    else
        ui->actionUnicode->setChecked(true);

    refresh();
}

QString MainWindow::effectiveCodecName() const
{
    return CodecName::isChosen(codecName) ? codecName : detectedCodec.codecName;
}
