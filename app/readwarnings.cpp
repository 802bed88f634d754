// MainWindow: showReadWarning.
//
// What the user hears of a reload that could not read the file, and what the
// window keeps of it.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QFileInfo>
#include <QMessageBox>

void MainWindow::showReadWarning(const QString &errorString, bool fromTimer)
{
    // Whatever is at the path when a read works again is read, also at the
    // size seen before: a log deleted and recreated may come back at it.
    lastFileSize = -1;
    // The user asked for the file as it is now: gone, it shows no lines.
    if (!fromTimer && !QFileInfo::exists(filePath))
        ui->textEdit->clear();

    // One box at a time. A dialog opened inside the box's own loop can end in
    // a refresh; its failure is the one on screen. (An inner box would also
    // clear the flag under the outer one and let the timer stack more.)
    if (readWarningOpen)
        return;
    // A timer reload warns once; it stays quiet until a read works again, so a
    // log that is briefly missing while it is rotated shows a single box.
    if (fromTimer && timerFailureWarned)
        return;
    timerFailureWarned = true;
    readWarningOpen = true;
    QMessageBox::warning(this, tr("Tailpeek"),
                         tr("Cannot read file %1:\n%2.").arg(filePath, errorString),
                         QMessageBox::Ok);
    readWarningOpen = false;
}
