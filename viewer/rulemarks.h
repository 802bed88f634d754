#ifndef RULEMARKS_H
#define RULEMARKS_H

// Part of the view filling (Qt Gui and Widgets, no dialogs): colouring the
// view's lines by the user's highlight rules. The highlight text's own marks
// (viewfill) go on top of these.

#include "linematcher.h"

#include <QColor>
#include <QStringView>
#include <QTextCharFormat>
#include <QVector>

class QTextEdit;

// One highlight rule as the user keeps it.
struct HighlightRule
{
    bool enabled = true;
    MatchPattern pattern;
    QColor foreground;   // invalid: the text keeps its colour
    QColor background;   // invalid: the view's background shows through
    bool wholeLine = false;

    bool operator==(const HighlightRule &other) const
    {
        return enabled == other.enabled && pattern == other.pattern
               && foreground == other.foreground && background == other.background
               && wholeLine == other.wholeLine;
    }
    bool operator!=(const HighlightRule &other) const { return !(*this == other); }
};
using HighlightRules = QVector<HighlightRule>;

// What colours one run of a line: [start, end) in the line's characters.
struct ColourRun
{
    int start = 0;
    int end = 0;
    QColor foreground;   // invalid: unchanged
    QColor background;
};

// A list of rules made ready to colour lines: only the enabled rules with a
// valid pattern and some colour take part. Copies share the compiled patterns.
//
// The list's order is the priority, and each colour of a character goes to the
// first rule that both covers the character and sets that colour: a rule
// without a background lets the background of a rule below it show. Rules of
// the match scope colour their matches; whole-line rules colour every
// character of a line they match, under the match-scope colours.
class RuleMarks
{
public:
    RuleMarks() = default;
    explicit RuleMarks(const HighlightRules &rules);

    const HighlightRules &rules() const { return given; }
    bool isEmpty() const { return active.isEmpty(); }   // nothing to colour

    // The coloured runs of line, left to right, none empty, none touching one
    // of the same colours; appended to runs.
    void runsIn(QStringView line, QVector<ColourRun> &runs) const;

    bool operator==(const RuleMarks &other) const { return given == other.given; }
    bool operator!=(const RuleMarks &other) const { return !(*this == other); }

private:
    struct ActiveRule
    {
        LineMatcher matcher;
        QColor foreground;
        QColor background;
        bool wholeLine = false;
        // Text every match holds: ASCII in lower case when case is ignored,
        // or empty when there is none to look for first.
        QString required;
    };
    // Where in line a match of rule can first be, at the earliest; -1 when
    // there is surely none.
    static int firstPossible(const ActiveRule &rule, QStringView line);
    static bool matchesLine(const ActiveRule &rule, QStringView line);
    static QVector<TextMatch> matchesIn(const ActiveRule &rule, QStringView line);

    HighlightRules given;
    QVector<ActiveRule> active;
    bool anyMatchScope = false;
};

// Colours the lines of view's document by rules, from the block holding
// fromPosition to the end, in one edit block, as if merged into textFormat:
// the text from there on must be all in textFormat. Returns the number of
// runs coloured.
int markRules(QTextEdit *view, const RuleMarks &rules, const QTextCharFormat &textFormat,
              int fromPosition = 0);

#endif // RULEMARKS_H
