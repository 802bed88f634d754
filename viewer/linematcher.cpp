#include "linematcher.h"

namespace {

bool isQuantifier(QChar c)
{
    return c == QLatin1Char('?') || c == QLatin1Char('*') || c == QLatin1Char('{');
}

// The longest run of plain characters that every match of a regular
// expression must contain, or an empty text when that is not plain to see.
// Only the top level counts (groups and classes break runs), a character
// that a ?, * or {} quantifier makes optional is left out, and an
// alternation, an inline option or an escape that names a character by
// number gives up.
QString longestRequiredRun(const QString &pattern)
{
    static const QString breakingEscapes = QStringLiteral("dDwWsSbBhHvVRAzZGKntrfea");
    QString best;
    QString run;
    auto endRun = [&] {
        if (run.size() > best.size())
            best = run;
        run.clear();
    };
    int depth = 0;
    for (int i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        const QChar next = i + 1 < pattern.size() ? pattern.at(i + 1) : QChar();
        if (c == QLatin1Char('|'))
            return QString();
        if (c == QLatin1Char('(')) {
            if (next == QLatin1Char('?'))
                return QString();
            ++depth;
            endRun();
            continue;
        }
        if (c == QLatin1Char(')')) {
            --depth;
            endRun();
            continue;
        }
        if (c == QLatin1Char('[')) {
            // Skip the class; a ] right after [ or [^ belongs to it.
            int j = i + 1;
            if (j < pattern.size() && pattern.at(j) == QLatin1Char('^'))
                ++j;
            if (j < pattern.size() && pattern.at(j) == QLatin1Char(']'))
                ++j;
            for (; j < pattern.size() && pattern.at(j) != QLatin1Char(']'); ++j) {
                if (pattern.at(j) == QLatin1Char('\\'))
                    ++j;
            }
            i = j;
            endRun();
            continue;
        }
        QChar literal;
        int width = 1;
        if (c == QLatin1Char('\\')) {
            if (next.isNull())
                return QString();
            if (next.isLetterOrNumber()) {
                if (!breakingEscapes.contains(next))
                    return QString();
                ++i;
                endRun();
                continue;
            }
            literal = next;
            width = 2;
        } else if (c == QLatin1Char('{')) {
            // A counted quantifier: its digits are no text of the line.
            const int close = pattern.indexOf(QLatin1Char('}'), i);
            if (close > i)
                i = close;
            endRun();
            continue;
        } else if (QStringLiteral(".^$+*?}").contains(c)) {
            endRun();
            continue;
        } else {
            literal = c;
        }
        const QChar after = i + width < pattern.size() ? pattern.at(i + width) : QChar();
        i += width - 1;
        if (depth > 0)
            continue;
        if (isQuantifier(after)) {
            endRun();
            continue;
        }
        run.append(literal);
        if (after == QLatin1Char('+'))
            endRun();
    }
    endRun();
    return best;
}

} // namespace

LineMatcher::LineMatcher(const MatchPattern &pattern)
    : matchPattern(pattern)
{
    if (!pattern.regex || pattern.text.isEmpty()) {
        required = pattern.text;
        return;
    }
    QRegularExpression::PatternOptions options = QRegularExpression::NoPatternOption;
    if (!pattern.caseSensitive)
        options |= QRegularExpression::CaseInsensitiveOption;
    expression.setPattern(pattern.text);
    expression.setPatternOptions(options);
    valid = expression.isValid();
    if (valid) {
        expression.optimize();   // compiled (with the JIT) once, not at the first line
        required = longestRequiredRun(pattern.text);
    }
}

QString LineMatcher::errorString() const
{
    return valid ? QString() : expression.errorString();
}

int LineMatcher::errorOffset() const
{
    return valid ? -1 : expression.patternErrorOffset();
}

TextMatch LineMatcher::matchIn(QStringView line, int from) const
{
    TextMatch match;
    if (isEmpty() || !valid || from > line.size())
        return match;
    if (!matchPattern.regex) {
        const Qt::CaseSensitivity cs = matchPattern.caseSensitive ? Qt::CaseSensitive
                                                                  : Qt::CaseInsensitive;
        const qsizetype at = line.indexOf(QStringView(matchPattern.text), qMax(from, 0), cs);
        if (at >= 0) {
            match.start = int(at);
            match.length = matchPattern.text.size();
        }
        return match;
    }
    // The line's own characters, not a copy of them.
    const QString subject = QString::fromRawData(line.data(), int(line.size()));
    QRegularExpressionMatchIterator it = expression.globalMatch(subject, qMax(from, 0));
    while (it.hasNext()) {
        const QRegularExpressionMatch found = it.next();
        if (found.capturedLength() > 0) {
            match.start = found.capturedStart();
            match.length = found.capturedLength();
            break;
        }
    }
    return match;
}

TextMatch LineMatcher::lastMatchIn(QStringView line, int before) const
{
    const int limit = before < 0 ? line.size() : before;
    TextMatch last;
    for (TextMatch m = matchIn(line, 0); m.found() && m.start < limit; m = matchIn(line, m.end()))
        last = m;
    return last;
}

QVector<TextMatch> LineMatcher::matchesIn(QStringView line, int from) const
{
    QVector<TextMatch> found;
    if (isEmpty() || !valid || from > line.size())
        return found;
    if (!matchPattern.regex) {
        for (TextMatch m = matchIn(line, from); m.found(); m = matchIn(line, m.end()))
            found.append(m);
        return found;
    }
    // The iterator goes on behind each match exactly as a new search from its
    // end would, and past an empty match as matchIn() does.
    QRegularExpressionMatchIterator it = expression.globalMatch(line.toString(), qMax(from, 0));
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        if (match.capturedLength() > 0)
            found.append({int(match.capturedStart()), int(match.capturedLength())});
    }
    return found;
}
