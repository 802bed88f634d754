// MainWindow: on_actionOpen_triggered, on_pushButton_3_clicked,
// on_action_8_triggered, on_action_3_triggered, syncExtractAction,
// on_action_X_triggered, on_actionQt4_triggered, on_action_6_triggered.

#include "linewindowreader.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

void MainWindow::on_actionOpen_triggered()
{
    // A cancelled dialog gives an empty path, which openFile ignores.
    openFile(QFileDialog::getOpenFileName(this, QString(), QString(), QString()));
}

void MainWindow::on_pushButton_3_clicked()
{
    QApplication::clipboard()->setText(ui->textEdit->document()->toPlainText(),
                                       QClipboard::Clipboard);
}

void MainWindow::on_action_8_triggered()
{
    ui->dockWidget_2->setVisible(true);
}

void MainWindow::on_action_3_triggered()
{
    // Only the check mark changes now; the view follows at the next reload.
    extractMode = !extractMode;
    syncExtractAction();
}

void MainWindow::syncExtractAction()
{
    ui->action_3->setChecked(extractMode);
}

void MainWindow::on_action_X_triggered()
{
    close();
}

void MainWindow::on_actionQt4_triggered()
{
    QMessageBox::aboutQt(this, QString());
}

void MainWindow::on_action_6_triggered()
{
    // Shown at the nearest bound when a stored value lies outside 1 .. 9999.
    const int current = static_cast<int>(qBound<qint64>(WindowRequest::MinLineChars, maxLineChars,
                                                        WindowRequest::MaxLineChars));
    bool accepted = false;
    const int value = QInputDialog::getInt(this, tr("Tailpeek"), tr("InputValue:"), current,
                                           WindowRequest::MinLineChars,
                                           WindowRequest::MaxLineChars, 1, &accepted);
    if (accepted)
        maxLineChars = value;
}
