// MainWindow: reload, refresh, reloadFile, highlightMatches, showReadWarning;
// and the view-side helpers they use.

#include "viewfill.h"

#include "linewindowreader.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <QMessageBox>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QVector>

void fillView(QTextEdit *view, const QString &text, const std::function<void()> &mark)
{
    QTextCursor batch(view->document());
    batch.beginEditBlock();
    view->setPlainText(text);
    mark();
    batch.endEditBlock();
}

void scrollToEnd(QTextEdit *view)
{
    view->ensureCursorVisible();
    view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
}

QTextCharFormat highlightFormat(const QColor &background, const QColor &foreground)
{
    QTextCharFormat format;
    format.setBackground(QBrush(background, Qt::SolidPattern));
    format.setForeground(QBrush(foreground, Qt::SolidPattern));
    format.setFontWeight(QFont::Bold);
    format.setUnderlineColor(Qt::white);
    format.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    // setUnderlineStyle() also stores a plain-underline flag; the style alone
    // says it, and a mark carries nothing but its five properties.
    format.clearProperty(QTextFormat::FontUnderline);
    return format;
}

int markMatches(QTextEdit *view, const QString &needle, const QTextCharFormat &format)
{
    if (needle.isEmpty())
        return 0;
    QTextDocument *document = view->document();

    // QTextDocument::find() looks inside one block at a time, in the block's
    // text with no-break spaces read as spaces, and goes on right behind the
    // previous match. Collecting the matches the same way first keeps the
    // document untouched until the single edit block below.
    QVector<QPair<int, int>> marks;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        QString text = block.text();
        if (text.size() < needle.size())
            continue;
        text.replace(QChar::Nbsp, QLatin1Char(' '));
        for (int at = text.indexOf(needle, 0, Qt::CaseInsensitive); at >= 0;
             at = text.indexOf(needle, at + needle.size(), Qt::CaseInsensitive)) {
            marks.append({block.position() + at, block.position() + at + needle.size()});
        }
    }
    if (marks.isEmpty())
        return 0;

    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (const auto &mark : qAsConst(marks)) {
        cursor.setPosition(mark.first);
        cursor.setPosition(mark.second, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
    return marks.size();
}

void MainWindow::refresh()
{
    reload(false);
}

void MainWindow::reloadFile()
{
    reload(true);
}

void MainWindow::reload(bool fromTimer)
{
    if (filePath.isEmpty())
        return;
    // A timer reload waits while a read warning is open: no pile of boxes.
    if (fromTimer && readWarningOpen)
        return;

    WindowRequest request;
    request.startMode = startModeFromIndex(ui->comboBox_2->currentIndex());
    request.lineCount = ui->spinBox->value();
    request.percent = ui->doubleSpinBox->value();
    request.maxLineChars = maxLineChars;
    request.codecName = codecName;
    request.extract = extractMode;
    request.highlightText = ui->lineEdit->text();

    const WindowResult result =
        LineWindowReader::read(filePath, request, fromTimer ? lastFileSize : -1);
    if (result.status == WindowResult::OpenFailed || result.status == WindowResult::ReadFailed) {
        showReadWarning(result.errorString, fromTimer);
        return;
    }
    timerFailureWarned = false;
    if (result.status == WindowResult::Unchanged)
        return;

    lastFileSize = result.fileSize;
    // setPlainText inserts under the edit cursor's format. Behind a mark, or
    // over a selection that holds one, that is the mark's format, and the whole
    // new text would take it; put the view's own format there first.
    QTextCursor cursor = ui->textEdit->textCursor();
    cursor.clearSelection();
    cursor.setCharFormat(viewFormat);
    ui->textEdit->setTextCursor(cursor);
    fillView(ui->textEdit, result.text, [this] { highlightMatches(); });
    if (request.startMode == WindowRequest::NewestMode)
        scrollToEnd(ui->textEdit);
}

void MainWindow::highlightMatches()
{
    markMatches(ui->textEdit, ui->lineEdit->text(),
                highlightFormat(highlightBackground, highlightForeground));
}

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
