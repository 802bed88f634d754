#include "rulemarks.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

RuleMarks::RuleMarks(const HighlightRules &rules)
    : given(rules)
{
    for (const HighlightRule &rule : rules) {
        if (!rule.enabled || rule.pattern.text.isEmpty())
            continue;
        if (!rule.foreground.isValid() && !rule.background.isValid())
            continue;
        const LineMatcher matcher(rule.pattern);
        if (!matcher.isValid())
            continue;
        active.append({matcher, rule.foreground, rule.background, rule.wholeLine});
        anyMatchScope = anyMatchScope || !rule.wholeLine;
    }
}

void RuleMarks::runsIn(QStringView line, QVector<ColourRun> &runs) const
{
    const int length = int(line.size());
    if (active.isEmpty() || length == 0)
        return;

    // The whole line's colours: each from the first whole-line rule that
    // matches and sets it. A rule is tried only while it could add a colour.
    int lineForeground = -1;
    int lineBackground = -1;
    for (int i = 0; i < active.size() && (lineForeground < 0 || lineBackground < 0); ++i) {
        const ActiveRule &rule = active.at(i);
        const bool addsForeground = lineForeground < 0 && rule.foreground.isValid();
        const bool addsBackground = lineBackground < 0 && rule.background.isValid();
        if (!rule.wholeLine || !(addsForeground || addsBackground) || !rule.matcher.matches(line))
            continue;
        if (addsForeground)
            lineForeground = i;
        if (addsBackground)
            lineBackground = i;
    }

    // Which rule colours each character, the top rule first: a character keeps
    // the first rule that reaches it, for each colour on its own. Made only
    // when some match-scope rule matches.
    QVector<qint16> foregroundOf;
    QVector<qint16> backgroundOf;
    for (int i = 0; anyMatchScope && i < active.size(); ++i) {
        const ActiveRule &rule = active.at(i);
        if (rule.wholeLine)
            continue;
        for (TextMatch m = rule.matcher.matchIn(line); m.found(); m = rule.matcher.matchIn(line, m.end())) {
            if (foregroundOf.isEmpty()) {
                foregroundOf.fill(-1, length);
                backgroundOf.fill(-1, length);
            }
            for (int at = m.start; at < m.end(); ++at) {
                if (foregroundOf[at] < 0 && rule.foreground.isValid())
                    foregroundOf[at] = qint16(i);
                if (backgroundOf[at] < 0 && rule.background.isValid())
                    backgroundOf[at] = qint16(i);
            }
        }
    }

    const auto foreground = [this](int rule) { return rule < 0 ? QColor() : active.at(rule).foreground; };
    const auto background = [this](int rule) { return rule < 0 ? QColor() : active.at(rule).background; };
    if (foregroundOf.isEmpty()) {
        if (lineForeground >= 0 || lineBackground >= 0)
            runs.append({0, length, foreground(lineForeground), background(lineBackground)});
        return;
    }
    ColourRun run;
    for (int at = 0; at <= length; ++at) {
        ColourRun here;
        if (at < length) {
            here.foreground = foreground(foregroundOf[at] >= 0 ? foregroundOf[at] : lineForeground);
            here.background = background(backgroundOf[at] >= 0 ? backgroundOf[at] : lineBackground);
        }
        if (at < length && here.foreground == run.foreground && here.background == run.background)
            continue;
        run.end = at;
        if (run.end > run.start && (run.foreground.isValid() || run.background.isValid()))
            runs.append(run);
        run = here;
        run.start = at;
    }
}

int markRules(QTextEdit *view, const RuleMarks &rules, int fromPosition)
{
    if (rules.isEmpty())
        return 0;
    QTextDocument *document = view->document();
    // Collected first, so that the document stays untouched until the one
    // edit block below.
    QVector<ColourRun> runs;
    QVector<int> blockStarts;   // of each run's block
    for (QTextBlock block = document->findBlock(fromPosition); block.isValid(); block = block.next()) {
        const int before = runs.size();
        rules.runsIn(block.text(), runs);
        blockStarts.insert(blockStarts.size(), runs.size() - before, block.position());
    }
    if (runs.isEmpty())
        return 0;

    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (int i = 0; i < runs.size(); ++i) {
        const ColourRun &run = runs.at(i);
        QTextCharFormat format;
        if (run.foreground.isValid())
            format.setForeground(QBrush(run.foreground, Qt::SolidPattern));
        if (run.background.isValid())
            format.setBackground(QBrush(run.background, Qt::SolidPattern));
        cursor.setPosition(blockStarts.at(i) + run.start);
        cursor.setPosition(blockStarts.at(i) + run.end, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
    cursor.endEditBlock();
    return runs.size();
}
