#ifndef RULEMARKS_H
#define RULEMARKS_H

// Part of the view filling (Qt Gui): which runs of the view's lines the
// user's highlight rules colour. The view's layout paints them (rulepaint.h);
// the highlight text's own marks (viewfill) show above them.

#include "linematcher.h"

#include <QColor>
#include <QPair>
#include <QStringView>
#include <QVector>

class QTextDocument;

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

// Gives each line of document, from the block holding fromPosition to the
// end, the runs that rules colour in it (rulepaint.h), leaving out the
// ranges in above: the highlight text's marks, in order, in the document's
// positions, which show above every rule. Returns the number of runs.
int markRules(QTextDocument *document, const RuleMarks &rules, const QVector<QPair<int, int>> &above,
              int fromPosition = 0);

#endif // RULEMARKS_H
