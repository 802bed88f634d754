#include "rulemarks.h"

#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// Case is ignored by a fold that ASCII alone is safe with: a character
// outside ASCII may fold into an ASCII one, so it matches anything here.
bool isAsciiText(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

char16_t lowerAscii(char16_t c)
{
    return c >= 'A' && c <= 'Z' ? char16_t(c | 0x20) : c;
}

} // namespace

int RuleMarks::firstPossible(const ActiveRule &rule, QStringView line)
{
    const QString &required = rule.required;
    if (required.isEmpty())
        return 0;
    if (rule.matcher.pattern().caseSensitive)
        return int(line.indexOf(required, 0, Qt::CaseSensitive));
    // Qt's own search that ignores case folds every character it compares;
    // most lines of a log lack most rules' text, and this finds that faster.
    const char16_t *text = reinterpret_cast<const char16_t *>(line.utf16());
    const char16_t *wanted = reinterpret_cast<const char16_t *>(required.utf16());
    const int last = int(line.size()) - required.size();
    for (int at = 0; at <= last; ++at) {
        int i = 0;
        for (; i < required.size(); ++i) {
            const char16_t c = text[at + i];
            if (c < 0x80 && lowerAscii(c) != wanted[i])
                break;
        }
        if (i == required.size())
            return at;
    }
    return -1;
}

// A literal's match starts where its text does; a regular expression's match
// may start before the text it requires.
bool RuleMarks::matchesLine(const ActiveRule &rule, QStringView line)
{
    const int from = firstPossible(rule, line);
    return from >= 0 && rule.matcher.matchIn(line, rule.matcher.pattern().regex ? 0 : from).found();
}

QVector<TextMatch> RuleMarks::matchesIn(const ActiveRule &rule, QStringView line)
{
    const int from = firstPossible(rule, line);
    if (from < 0)
        return {};
    return rule.matcher.matchesIn(line, rule.matcher.pattern().regex ? 0 : from);
}

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
        QString required = matcher.requiredLiteral();
        if (!rule.pattern.caseSensitive)
            required = isAsciiText(required) ? required.toLower() : QString();
        active.append({matcher, rule.foreground, rule.background, rule.wholeLine, required});
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
        if (!rule.wholeLine || !(addsForeground || addsBackground) || !matchesLine(rule, line))
            continue;
        if (addsForeground)
            lineForeground = i;
        if (addsBackground)
            lineBackground = i;
    }

    // Which rule colours each character, the top rule first: a character keeps
    // the first rule that reaches it, for each colour on its own. Made only
    // when some match-scope rule matches.
    QVector<int> foregroundOf;
    QVector<int> backgroundOf;
    for (int i = 0; anyMatchScope && i < active.size(); ++i) {
        const ActiveRule &rule = active.at(i);
        if (rule.wholeLine)
            continue;
        const QVector<TextMatch> matches = matchesIn(rule, line);
        for (const TextMatch &m : matches) {
            if (foregroundOf.isEmpty()) {
                foregroundOf.fill(-1, length);
                backgroundOf.fill(-1, length);
            }
            for (int at = m.start; at < m.end(); ++at) {
                if (foregroundOf[at] < 0 && rule.foreground.isValid())
                    foregroundOf[at] = i;
                if (backgroundOf[at] < 0 && rule.background.isValid())
                    backgroundOf[at] = i;
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

namespace {

quint64 colourKey(const QColor &colour)
{
    return colour.isValid() ? (quint64(1) << 32) | colour.rgba() : 0;
}

} // namespace

int markRules(QTextEdit *view, const RuleMarks &rules, const QTextCharFormat &textFormat,
              int fromPosition)
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

    // The text under a run is all in textFormat still, so setting the format
    // that merging the colours into it gives is the same, and cheaper; the few
    // pairs of colours each make their format once.
    QHash<QPair<quint64, quint64>, QTextCharFormat> formats;
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    for (int i = 0; i < runs.size(); ++i) {
        const ColourRun &run = runs.at(i);
        const QPair<quint64, quint64> key(colourKey(run.foreground), colourKey(run.background));
        auto format = formats.find(key);
        if (format == formats.end()) {
            QTextCharFormat made = textFormat;
            if (run.foreground.isValid())
                made.setForeground(QBrush(run.foreground, Qt::SolidPattern));
            if (run.background.isValid())
                made.setBackground(QBrush(run.background, Qt::SolidPattern));
            format = formats.insert(key, made);
        }
        cursor.setPosition(blockStarts.at(i) + run.start);
        cursor.setPosition(blockStarts.at(i) + run.end, QTextCursor::KeepAnchor);
        cursor.setCharFormat(*format);
    }
    cursor.endEditBlock();
    return runs.size();
}
