// MainWindow: showReadWarning.
//
// What the user hears of a refresh that could not read the file. A timer
// reload that fails shows no box: the status line says why, and the timer
// keeps trying.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QFileInfo>
#include <QMessageBox>

void MainWindow::showReadWarning(const QString &errorString)
{
    // The user asked for the file as it is now: gone, it shows no lines.
    if (!QFileInfo::exists(filePath))
        ui->textEdit->clear();

    // One box at a time. A dialog opened inside the box's own loop can end in
    // a refresh; its failure is the one on screen. (An inner box would also
    // clear the flag under the outer one.)
    if (readWarningOpen)
        return;
    readWarningOpen = true;
    QMessageBox::warning(this, tr("Tailpeek"),
                         tr("Cannot read file %1:\n%2.").arg(filePath, errorString),
                         QMessageBox::Ok);
    readWarningOpen = false;
}
