#include "rulemarks.h"

#include "rulepaint.h"

#include <QTextBlock>
#include <QTextDocument>

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
    // Colours are compared only where the rules that give them change.
    ColourRun run;
    int runForeground = -2;
    int runBackground = -2;
    for (int at = 0; at <= length; ++at) {
        const int fore = at < length ? (foregroundOf[at] >= 0 ? foregroundOf[at] : lineForeground) : -2;
        const int back = at < length ? (backgroundOf[at] >= 0 ? backgroundOf[at] : lineBackground) : -2;
        if (fore == runForeground && back == runBackground)
            continue;
        runForeground = fore;
        runBackground = back;
        ColourRun here;
        if (at < length) {
            here.foreground = foreground(fore);
            here.background = background(back);
            if (here.foreground == run.foreground && here.background == run.background)
                continue;
        }
        run.end = at;
        if (run.end > run.start && (run.foreground.isValid() || run.background.isValid()))
            runs.append(run);
        run = here;
        run.start = at;
    }
}

namespace {

// Takes [from, to) out of runs, which are in order and do not overlap.
void cutOut(QVector<ColourRun> &runs, int from, int to)
{
    QVector<ColourRun> kept;
    kept.reserve(runs.size() + 1);
    for (const ColourRun &run : qAsConst(runs)) {
        if (run.end <= from || run.start >= to) {
            kept.append(run);
            continue;
        }
        if (run.start < from)
            kept.append({run.start, from, run.foreground, run.background});
        if (run.end > to)
            kept.append({to, run.end, run.foreground, run.background});
    }
    runs.swap(kept);
}

} // namespace

int markRules(QTextDocument *document, const RuleMarks &rules, const QVector<QPair<int, int>> &above,
              int fromPosition)
{
    // A document filled afresh has no colours yet, and one continued with
    // the same rules had none before either when there are no rules.
    if (rules.isEmpty())
        return 0;
    int count = 0;
    auto mark = above.cbegin();
    QVector<ColourRun> runs;
    for (QTextBlock block = document->findBlock(fromPosition); block.isValid(); block = block.next()) {
        runs.clear();
        rules.runsIn(block.text(), runs);
        const int start = block.position();
        const int end = start + block.length();
        for (; mark != above.cend() && mark->first < end; ++mark) {
            if (mark->second > start && !runs.isEmpty())
                cutOut(runs, mark->first - start, mark->second - start);
        }
        block.setUserData(runs.isEmpty() ? nullptr : new LineColours(runs));
        count += runs.size();
    }
    return count;
}
