#ifndef HIGHLIGHTRULESDIALOG_H
#define HIGHLIGHTRULESDIALOG_H

// The "ハイライト規則" dialog: the rules as a table in their order of priority,
// with a preview of a few lines of the view coloured as the view would be.
// It edits a copy; the window takes rules() when the dialog is accepted.

#include "rulemarks.h"

#include <QDialog>
#include <QTextCharFormat>

namespace Ui {
class HighlightRulesDialog;
}

class HighlightRulesDialog : public QDialog
{
    Q_OBJECT

public:
    enum Column { EnabledColumn, PatternColumn, RegexColumn, CaseColumn, ScopeColumn,
                  ForegroundColumn, BackgroundColumn };

    explicit HighlightRulesDialog(const HighlightRules &rules, QWidget *parent = nullptr);
    ~HighlightRulesDialog() override;

    // What the preview shows: lines of the view in its font, colours and
    // text format, with the highlight field's marks above the rules.
    void setPreview(const QString &lines, const QFont &font, const QPalette &palette,
                    const QTextCharFormat &textFormat, const QString &needle,
                    const QTextCharFormat &markFormat);

    // The rules as the table has them; a rule that cannot be enabled is off.
    HighlightRules rules() const;
    // Replaces the table's rules.
    void showRules(const HighlightRules &rules);
    // Why rules cannot be enabled, one line each; empty when all can.
    QString problems() const;

private:
    void connectButtons();
    void insertRow(int row, const HighlightRule &rule);
    HighlightRule ruleAt(int row) const;
    void setColour(int row, int column, const QColor &colour);
    QColor colourAt(int row, int column) const;
    // After any edit: rules that cannot be enabled are turned off and say
    // why, and the preview follows.
    void ruleEdited();
    void addRule();
    void removeRule();
    void moveRule(int by);
    void chooseColour(int column);
    void clearColour(int column);
    void importRules();
    void exportRules();

    Ui::HighlightRulesDialog *ui;
    QString previewLines;
    QTextCharFormat previewTextFormat;
    QString previewNeedle;
    QTextCharFormat previewMarkFormat;
    bool showing = false;   // the table is being filled: no edits to react to
};

#endif // HIGHLIGHTRULESDIALOG_H
