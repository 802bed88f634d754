#include "viewcontextmenu.h"

#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QShortcut>
#include <QTextCursor>
#include <QTextEdit>

namespace {

QKeySequence presetShortcut(int preset)
{
    return QKeySequence(Qt::CTRL | Qt::SHIFT | (Qt::Key_1 + preset));
}

QIcon swatch(const PresetColours &colours)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(colours.background);
    return QIcon(pixmap);
}

bool isQuick(const HighlightRule &rule)
{
    if (rule.pattern.regex || rule.pattern.caseSensitive || rule.wholeLine)
        return false;
    for (const PresetColours &preset : presetColours()) {
        if (rule.foreground == preset.foreground && rule.background == preset.background)
            return true;
    }
    return false;
}

} // namespace

const QVector<PresetColours> &presetColours()
{
    // Dark text on light colours, white text on the two dark ones: each pair
    // sets both colours, so it reads the same on any view background.
    static const QVector<PresetColours> presets = {
        {QColor("#000000"), QColor("#ffe14d"), QT_TRANSLATE_NOOP("ViewContextMenu", "黄")},
        {QColor("#000000"), QColor("#9be29b"), QT_TRANSLATE_NOOP("ViewContextMenu", "緑")},
        {QColor("#000000"), QColor("#9ccbff"), QT_TRANSLATE_NOOP("ViewContextMenu", "水色")},
        {QColor("#000000"), QColor("#ffb0c8"), QT_TRANSLATE_NOOP("ViewContextMenu", "桃色")},
        {QColor("#000000"), QColor("#ffb347"), QT_TRANSLATE_NOOP("ViewContextMenu", "橙")},
        {QColor("#000000"), QColor("#d2b8ff"), QT_TRANSLATE_NOOP("ViewContextMenu", "紫")},
        {QColor("#ffffff"), QColor("#c62828"), QT_TRANSLATE_NOOP("ViewContextMenu", "赤")},
        {QColor("#ffffff"), QColor("#1565c0"), QT_TRANSLATE_NOOP("ViewContextMenu", "青")},
    };
    return presets;
}

HighlightRules withQuickHighlight(HighlightRules rules, const QString &text, int preset)
{
    if (text.isEmpty() || preset < 0 || preset >= presetColours().size())
        return rules;
    rules.erase(std::remove_if(rules.begin(), rules.end(),
                               [&](const HighlightRule &rule) {
                                   return isQuick(rule)
                                          && rule.pattern.text.compare(text, Qt::CaseInsensitive) == 0;
                               }),
                rules.end());
    HighlightRule rule;
    rule.pattern.text = text;
    rule.foreground = presetColours().at(preset).foreground;
    rule.background = presetColours().at(preset).background;
    rules.prepend(rule);
    return rules;
}

HighlightRules withoutQuickHighlights(HighlightRules rules)
{
    rules.erase(std::remove_if(rules.begin(), rules.end(), isQuick), rules.end());
    return rules;
}

ViewContextMenu::ViewContextMenu(QTextEdit *view)
    : QObject(view), view(view)
{
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(view, &QWidget::customContextMenuRequested, this, &ViewContextMenu::showMenu);
    // Shortcuts, not actions: the keys work without the menu open, and the
    // window's own actions stay the only ones with shortcuts.
    for (int preset = 0; preset < presetColours().size(); ++preset) {
        auto *shortcut = new QShortcut(presetShortcut(preset), view);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, preset] { requestHighlight(preset); });
    }
}

QMenu *ViewContextMenu::build(const QPoint &pos)
{
    QMenu *menu = view->createStandardContextMenu(pos);
    menu->addSeparator();
    QAction *rules = menu->addAction(tr("ハイライト規則..."));
    connect(rules, &QAction::triggered, this, &ViewContextMenu::editRulesRequested);

    QMenu *quick = menu->addMenu(tr("選択文字列をハイライト"));
    const QString text = chosenText();
    quick->setEnabled(!text.isEmpty());
    for (int preset = 0; preset < presetColours().size(); ++preset) {
        const PresetColours &colours = presetColours().at(preset);
        QAction *action = quick->addAction(swatch(colours), tr(colours.name));
        action->setShortcut(presetShortcut(preset));   // shown; the view's shortcut does the work
        connect(action, &QAction::triggered, this, [this, preset] { requestHighlight(preset); });
    }
    QAction *clear = menu->addAction(tr("ハイライトを消去"));
    connect(clear, &QAction::triggered, this, &ViewContextMenu::clearRequested);
    return menu;
}

QString ViewContextMenu::chosenText() const
{
    QTextCursor cursor = view->textCursor();
    if (!cursor.hasSelection())
        cursor.select(QTextCursor::WordUnderCursor);
    // A selection over several lines holds U+2029 between them; rules match
    // within one line.
    QString text = cursor.selectedText();
    const int lineEnd = text.indexOf(QChar::ParagraphSeparator);
    if (lineEnd >= 0)
        text.truncate(lineEnd);
    return text.trimmed().isEmpty() ? QString() : text;
}

void ViewContextMenu::requestHighlight(int preset)
{
    const QString text = chosenText();
    if (!text.isEmpty())
        emit highlightRequested(text, preset);
}

void ViewContextMenu::showMenu(const QPoint &pos)
{
    QMenu *menu = build(pos);
    menu->exec(view->viewport()->mapToGlobal(pos));
    delete menu;
}
