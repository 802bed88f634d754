// MainWindow: on_actionOpen_triggered, on_pushButton_3_clicked,
// on_action_8_triggered, on_action_3_triggered, syncExtractAction,
// on_action_X_triggered, on_actionQt4_triggered, on_action_6_triggered.

#include "linewindowreader.h"
#include "mainwindow.h"
#include "statusline.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>

void MainWindow::on_actionOpen_triggered()
{
    // Starts in the current file's folder: the next log is most often beside
    // it. A cancelled dialog gives an empty path, which openFile ignores.
    const QString folder = filePath.isEmpty() ? QString() : QFileInfo(filePath).absolutePath();
    openFile(QFileDialog::getOpenFileName(this, QString(), folder, QString()));
}

void MainWindow::on_pushButton_3_clicked()
{
    const QString text = ui->textEdit->document()->toPlainText();
    QApplication::clipboard()->setText(text, QClipboard::Clipboard);
    // Every line of the view ends with a line feed; a last one may not.
    const int lines = text.count(QLatin1Char('\n'))
                      + (text.isEmpty() || text.endsWith(QLatin1Char('\n')) ? 0 : 1);
    statusLine->showNote(tr("%1 行をコピーしました").arg(lines));
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
    const int current = static_cast<int>(qBound(qint64(WindowRequest::MinLineChars), maxLineChars,
                                                qint64(WindowRequest::MaxLineChars)));
    bool accepted = false;
    const int value = QInputDialog::getInt(this, tr("Tailpeek"), tr("InputValue:"), current,
                                           WindowRequest::MinLineChars,
                                           WindowRequest::MaxLineChars, 1, &accepted);
    if (accepted)
        maxLineChars = value;
}
