#include "highlightrulesdialog.h"
#include "ui_highlightrulesdialog.h"

#include "highlightrules.h"
#include "viewcontextmenu.h"
#include "viewfill.h"

#include <QColorDialog>
#include <QComboBox>
#include <QFileDialog>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>

namespace {

const QString ruleFileFilter()
{
    return HighlightRulesDialog::tr("ハイライト規則 (*.ini);;すべてのファイル (*)");
}

QTableWidgetItem *checkItem(bool checked)
{
    auto *item = new QTableWidgetItem;
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

bool isChecked(const QTableWidgetItem *item)
{
    return item && item->checkState() == Qt::Checked;
}

} // namespace

HighlightRulesDialog::HighlightRulesDialog(const HighlightRules &rules, QWidget *parent)
    : QDialog(parent), ui(new Ui::HighlightRulesDialog)
{
    ui->setupUi(this);
    // The view's own layout, which paints the rules' colours.
    installLineLayout(ui->preview);
    // Every column as wide as its caption and cells; the pattern takes the rest.
    QHeaderView *header = ui->ruleTable->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(PatternColumn, QHeaderView::Stretch);
    connectButtons();
    showRules(rules);
}

HighlightRulesDialog::~HighlightRulesDialog()
{
    delete ui;
}

void HighlightRulesDialog::connectButtons()
{
    connect(ui->addButton, &QPushButton::clicked, this, &HighlightRulesDialog::addRule);
    connect(ui->removeButton, &QPushButton::clicked, this, &HighlightRulesDialog::removeRule);
    connect(ui->upButton, &QPushButton::clicked, this, [this] { moveRule(-1); });
    connect(ui->downButton, &QPushButton::clicked, this, [this] { moveRule(1); });
    connect(ui->foregroundButton, &QPushButton::clicked, this, [this] { chooseColour(ForegroundColumn); });
    connect(ui->backgroundButton, &QPushButton::clicked, this, [this] { chooseColour(BackgroundColumn); });
    connect(ui->noForegroundButton, &QPushButton::clicked, this, [this] { clearColour(ForegroundColumn); });
    connect(ui->noBackgroundButton, &QPushButton::clicked, this, [this] { clearColour(BackgroundColumn); });
    connect(ui->importButton, &QPushButton::clicked, this, &HighlightRulesDialog::importRules);
    connect(ui->exportButton, &QPushButton::clicked, this, &HighlightRulesDialog::exportRules);
    connect(ui->ruleTable, &QTableWidget::itemChanged, this, &HighlightRulesDialog::ruleEdited);
}

void HighlightRulesDialog::setPreview(const QString &lines, const QFont &font,
                                      const QPalette &palette, const QTextCharFormat &textFormat,
                                      const QString &needle, const QTextCharFormat &markFormat)
{
    previewLines = lines;
    previewTextFormat = textFormat;
    previewNeedle = needle;
    previewMarkFormat = markFormat;
    ui->preview->setFont(font);
    ui->preview->setPalette(palette);
    ruleEdited();
}

HighlightRules HighlightRulesDialog::rules() const
{
    HighlightRules rules;
    for (int row = 0; row < ui->ruleTable->rowCount(); ++row)
        rules.append(ruleAt(row));
    return rules;
}

void HighlightRulesDialog::showRules(const HighlightRules &rules)
{
    showing = true;
    ui->ruleTable->setRowCount(0);
    for (const HighlightRule &rule : rules)
        insertRow(ui->ruleTable->rowCount(), rule);
    showing = false;
    ruleEdited();
}

QString HighlightRulesDialog::problems() const
{
    QStringList lines;
    for (int row = 0; row < ui->ruleTable->rowCount(); ++row) {
        const QString problem = ruleProblem(ruleAt(row));
        if (!problem.isEmpty())
            lines << tr("規則 %1: %2").arg(row + 1).arg(problem);
    }
    return lines.join(QLatin1Char('\n'));
}

void HighlightRulesDialog::insertRow(int row, const HighlightRule &rule)
{
    const bool wasShowing = showing;
    showing = true;
    QTableWidget *table = ui->ruleTable;
    table->insertRow(row);
    table->setItem(row, EnabledColumn, checkItem(rule.enabled));
    table->setItem(row, PatternColumn, new QTableWidgetItem(rule.pattern.text));
    table->setItem(row, RegexColumn, checkItem(rule.pattern.regex));
    table->setItem(row, CaseColumn, checkItem(rule.pattern.caseSensitive));
    auto *scope = new QComboBox;
    scope->addItems({tr("一致部分"), tr("行全体")});
    scope->setCurrentIndex(rule.wholeLine ? 1 : 0);
    connect(scope, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &HighlightRulesDialog::ruleEdited);
    table->setCellWidget(row, ScopeColumn, scope);
    for (const int column : {ForegroundColumn, BackgroundColumn}) {
        auto *item = new QTableWidgetItem;
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        table->setItem(row, column, item);
    }
    setColour(row, ForegroundColumn, rule.foreground);
    setColour(row, BackgroundColumn, rule.background);
    showing = wasShowing;
}

HighlightRule HighlightRulesDialog::ruleAt(int row) const
{
    const QTableWidget *table = ui->ruleTable;
    HighlightRule rule;
    rule.pattern.text = table->item(row, PatternColumn)->text();
    rule.pattern.regex = isChecked(table->item(row, RegexColumn));
    rule.pattern.caseSensitive = isChecked(table->item(row, CaseColumn));
    const auto *scope = qobject_cast<const QComboBox *>(table->cellWidget(row, ScopeColumn));
    rule.wholeLine = scope && scope->currentIndex() == 1;
    rule.foreground = colourAt(row, ForegroundColumn);
    rule.background = colourAt(row, BackgroundColumn);
    rule.enabled = isChecked(table->item(row, EnabledColumn)) && ruleProblem(rule).isEmpty();
    return rule;
}

void HighlightRulesDialog::setColour(int row, int column, const QColor &colour)
{
    QTableWidgetItem *item = ui->ruleTable->item(row, column);
    item->setData(Qt::UserRole, colour);
    item->setText(colour.isValid() ? colour.name() : tr("なし"));
    item->setBackground(colour.isValid() ? QBrush(colour) : QBrush());
    if (colour.isValid())
        item->setForeground(QBrush(colour.lightness() < 128 ? Qt::white : Qt::black));
    else
        item->setForeground(QBrush());
}

QColor HighlightRulesDialog::colourAt(int row, int column) const
{
    return ui->ruleTable->item(row, column)->data(Qt::UserRole).value<QColor>();
}

void HighlightRulesDialog::ruleEdited()
{
    if (showing)
        return;
    showing = true;
    QTableWidget *table = ui->ruleTable;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QString problem = ruleProblem(ruleAt(row));
        QTableWidgetItem *enabled = table->item(row, EnabledColumn);
        const Qt::ItemFlags checkable = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable;
        // An invalid pattern cannot be switched on until it is fixed.
        if (!problem.isEmpty())
            enabled->setCheckState(Qt::Unchecked);
        enabled->setFlags(problem.isEmpty() ? checkable : Qt::ItemIsSelectable);
        enabled->setToolTip(problem);
        table->item(row, PatternColumn)->setToolTip(problem);
    }
    showing = false;
    const QString why = problems();
    ui->problemLabel->setText(why);
    ui->problemLabel->setVisible(!why.isEmpty());
    fillView(ui->preview, previewLines, previewTextFormat, previewNeedle, previewMarkFormat,
             RuleMarks(rules()));
}

void HighlightRulesDialog::addRule()
{
    HighlightRule rule;
    rule.foreground = presetColours().at(0).foreground;
    rule.background = presetColours().at(0).background;
    const int row = ui->ruleTable->currentRow() < 0 ? ui->ruleTable->rowCount()
                                                    : ui->ruleTable->currentRow() + 1;
    insertRow(row, rule);
    ui->ruleTable->setCurrentCell(row, PatternColumn);
    ui->ruleTable->editItem(ui->ruleTable->item(row, PatternColumn));
    ruleEdited();
}

void HighlightRulesDialog::removeRule()
{
    const int row = ui->ruleTable->currentRow();
    if (row < 0)
        return;
    ui->ruleTable->removeRow(row);
    ruleEdited();
}

void HighlightRulesDialog::moveRule(int by)
{
    const int row = ui->ruleTable->currentRow();
    const int to = row + by;
    if (row < 0 || to < 0 || to >= ui->ruleTable->rowCount())
        return;
    const HighlightRule rule = ruleAt(row);
    // The check box of a rule that is off for a problem keeps its state.
    const bool enabled = isChecked(ui->ruleTable->item(row, EnabledColumn));
    ui->ruleTable->removeRow(row);
    insertRow(to, rule);
    ui->ruleTable->item(to, EnabledColumn)->setCheckState(enabled ? Qt::Checked : Qt::Unchecked);
    ui->ruleTable->setCurrentCell(to, ui->ruleTable->currentColumn() < 0 ? 0 : ui->ruleTable->currentColumn());
    ruleEdited();
}

void HighlightRulesDialog::chooseColour(int column)
{
    const int row = ui->ruleTable->currentRow();
    if (row < 0)
        return;
    const QColor colour = QColorDialog::getColor(colourAt(row, column), this);
    if (!colour.isValid())
        return;   // cancelled
    setColour(row, column, colour);
}

void HighlightRulesDialog::clearColour(int column)
{
    const int row = ui->ruleTable->currentRow();
    if (row >= 0)
        setColour(row, column, QColor());
}

void HighlightRulesDialog::importRules()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("ハイライト規則のインポート"),
                                                      QString(), ruleFileFilter());
    if (path.isEmpty())
        return;
    HighlightRules imported;
    QString error;
    if (!importHighlightRules(path, &imported, &error)) {
        QMessageBox::warning(this, tr("ハイライト規則のインポート"), error);
        return;
    }
    showRules(imported);
}

void HighlightRulesDialog::exportRules()
{
    const QString path = QFileDialog::getSaveFileName(this, tr("ハイライト規則のエクスポート"),
                                                      QString(), ruleFileFilter());
    if (path.isEmpty())
        return;
    QString error;
    if (!exportHighlightRules(path, rules(), &error))
        QMessageBox::warning(this, tr("ハイライト規則のエクスポート"), error);
}
