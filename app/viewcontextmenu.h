#ifndef VIEWCONTEXTMENU_H
#define VIEWCONTEXTMENU_H

// The view's context menu: the view's own entries, then the highlight rules
// dialog, the quick colours for the selected text (also Ctrl+Shift+1 to 8) and
// the clearing of those colours. The menu only asks; the window decides.

#include "rulemarks.h"

#include <QObject>
#include <QString>
#include <QVector>

class QMenu;
class QPoint;
class QTextEdit;

// A quick colour: both colours set, so it reads on a light and a dark view.
struct PresetColours
{
    QColor foreground;
    QColor background;
    const char *name;
};
const QVector<PresetColours> &presetColours();

// rules with text coloured in preset number preset (0 to 7): a literal,
// match-scope rule at the top, where it wins; a quick colour that text had
// before goes.
HighlightRules withQuickHighlight(HighlightRules rules, const QString &text, int preset);
// rules without the quick colours: the literal match-scope rules whose colours
// are a preset's.
HighlightRules withoutQuickHighlights(HighlightRules rules);

class ViewContextMenu : public QObject
{
    Q_OBJECT

public:
    // Becomes view's context menu and a child of it.
    explicit ViewContextMenu(QTextEdit *view);

    // The menu for a click at pos (in the viewport); the caller owns it.
    QMenu *build(const QPoint &pos);
    // What a quick colour takes: the selection's first line, else the word at
    // the edit cursor.
    QString chosenText() const;

signals:
    void editRulesRequested();
    void highlightRequested(const QString &text, int preset);
    void clearRequested();

private:
    void requestHighlight(int preset);
    void showMenu(const QPoint &pos);

    QTextEdit *view;
};

#endif // VIEWCONTEXTMENU_H
