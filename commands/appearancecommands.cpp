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
#include <QFontInfo>
#include <QPalette>

namespace {

// Whether the dialog's choice is what the view already draws: the family that
// stands in for a missing one, and the attributes the dialog lets one change.
bool drawnAlready(const QFont &chosen, const QFont &current)
{
    const QFontInfo drawn(current);
    return chosen.family() == drawn.family() && chosen.pointSizeF() == current.pointSizeF()
           && chosen.weight() == current.weight() && chosen.italic() == current.italic()
           && chosen.underline() == current.underline()
           && chosen.strikeOut() == current.strikeOut();
}

} // namespace

void MainWindow::on_actionFont_triggered()
{
    // The stored family may not exist here (the default "ＭＳ ゴシック" is a
    // Windows font, drawn through a substitute): the dialog would select the
    // first family of its list. It starts on the family that is drawn instead.
    const QFont current = ui->textEdit->font();
    QFont shown = current;
    shown.setFamily(QFontInfo(current).family());
    bool accepted = false;
    QFont font = QFontDialog::getFont(&accepted, shown, this);
    if (!accepted || drawnAlready(font, current))
        return;
    // Only the size or style changed: keep the family as the user stored it.
    if (font.family() == shown.family())
        font.setFamily(current.family());
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
