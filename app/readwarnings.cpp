// MainWindow: showReadWarning.
//
// What the user hears of a reload that could not read the file.

#include "mainwindow.h"

#include <QMessageBox>

void MainWindow::showReadWarning(const QString &errorString, bool fromTimer)
{
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
