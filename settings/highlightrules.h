#ifndef HIGHLIGHTRULES_H
#define HIGHLIGHTRULES_H

// The highlight rules in the settings store and in rule files: the array
// "highlightRules", one entry a rule, keyed enabled, pattern, regex,
// caseSensitive, foreground, background (#rrggbb, empty for none), wholeLine.
// A rule file is an INI file holding the same array.

#include "rulemarks.h"

#include <QString>

class QSettings;

// The rules stored in settings, in their order. A rule whose pattern is not a
// valid regular expression comes back disabled; no array gives no rules.
HighlightRules readHighlightRules(QSettings &settings);
// Replaces the stored rules; no rules leave no array behind.
void writeHighlightRules(QSettings &settings, const HighlightRules &rules);

// Why rule cannot be enabled, for the user: a regular expression's error and
// its position. Empty when it can.
QString ruleProblem(const HighlightRule &rule);

// Reads the rules of a rule file into *rules. On failure returns false, leaves
// *rules alone and says why in *error.
bool importHighlightRules(const QString &path, HighlightRules *rules, QString *error);
// Writes rules into a rule file, replacing it. On failure returns false and
// says why in *error.
bool exportHighlightRules(const QString &path, const HighlightRules &rules, QString *error);

#endif // HIGHLIGHTRULES_H
