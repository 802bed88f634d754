// MainWindow: on_actionFont_triggered, on_action_triggered, on_action_2_triggered,
// on_action_4_triggered, on_action_5_triggered.
//
// Font and background belong to the view and show at once. The text colour and
// the highlight colours apply when the view is rebuilt, so those three commands
// refresh, also when their dialog was cancelled.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QColorDialog>
#include <QFontDialog>
#include <QPalette>

void MainWindow::on_actionFont_triggered()
{
    bool accepted = false;
    const QFont font = QFontDialog::getFont(&accepted, ui->textEdit->font(), this);
    if (accepted)
        ui->textEdit->setFont(font);
}

void MainWindow::on_action_triggered()
{
    QPalette palette = ui->textEdit->palette();
    const QColor color = QColorDialog::getColor(palette.brush(QPalette::Base).color());
    if (!color.isValid())
        return;
    // Every colour group, so the view keeps it while inactive or disabled.
    palette.setBrush(QPalette::Base, QBrush(color, Qt::SolidPattern));
    ui->textEdit->setPalette(palette);
}

void MainWindow::on_action_2_triggered()
{
    const QColor color = QColorDialog::getColor(viewFormat.foreground().color(), this);
    if (color.isValid()) {
        ui->textEdit->setTextColor(color);
        viewFormat.setForeground(color);
    }
    refresh();
}

void MainWindow::on_action_4_triggered()
{
    const QColor color = QColorDialog::getColor(highlightBackground);
    if (color.isValid())
        highlightBackground = color;
    refresh();
}

void MainWindow::on_action_5_triggered()
{
    const QColor color = QColorDialog::getColor(highlightForeground);
    if (color.isValid())
        highlightForeground = color;
    refresh();
}
