// MainWindow: editHighlightRules, watchViewMenu, setHighlightRules.
//
// The highlight rules live beside the form's own controls: the view's context
// menu and its shortcuts reach them, and the main form's menus stay as they are.

#include "highlightrulesdialog.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "viewcontextmenu.h"

#include <QTextBlock>
#include <QTextEdit>

namespace {

// The lines at the top of the view's viewport, for the dialog's preview.
QString linesInSight(const QTextEdit *view, int count)
{
    QStringList lines;
    QTextBlock block = view->cursorForPosition(QPoint(0, 0)).block();
    for (; block.isValid() && lines.size() < count; block = block.next())
        lines << block.text();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void MainWindow::editHighlightRules()
{
    HighlightRulesDialog dialog(highlightRules.rules(), this);
    dialog.setPreview(linesInSight(ui->textEdit, 8), ui->textEdit->font(),
                      ui->textEdit->palette(), viewFormat, ui->lineEdit->text(),
                      highlightFormat(highlightBackground, highlightForeground));
    if (dialog.exec() == QDialog::Accepted)
        setHighlightRules(dialog.rules());
}

void MainWindow::watchViewMenu()
{
    viewMenu = new ViewContextMenu(ui->textEdit);
    connect(viewMenu, &ViewContextMenu::editRulesRequested, this, [this] { editHighlightRules(); });
    connect(viewMenu, &ViewContextMenu::highlightRequested, this,
            [this](const QString &text, int preset) {
                setHighlightRules(withQuickHighlight(highlightRules.rules(), text, preset));
            });
    connect(viewMenu, &ViewContextMenu::clearRequested, this,
            [this] { setHighlightRules(withoutQuickHighlights(highlightRules.rules())); });
}

void MainWindow::setHighlightRules(const HighlightRules &rules)
{
    if (rules == highlightRules.rules())
        return;
    highlightRules = RuleMarks(rules);
    refresh();
}
