#ifndef LINEMATCHER_H
#define LINEMATCHER_H

// Part of the reading engine in viewer/, which uses Qt Core only; the view
// filling beside it (viewfill) uses widgets and shows no dialog.
//
// What a pattern matches in one decoded line. The extract filter, the
// highlighting and the searches all ask this class, so that they agree.

#include <QRegularExpression>
#include <QString>
#include <QStringView>
#include <QVector>

// A pattern as the user gives it: literal text or a regular expression,
// case ignored unless asked for.
struct MatchPattern
{
    QString text;
    bool regex = false;
    bool caseSensitive = false;

    bool operator==(const MatchPattern &other) const
    {
        return text == other.text && regex == other.regex && caseSensitive == other.caseSensitive;
    }
    bool operator!=(const MatchPattern &other) const { return !(*this == other); }
};

// Where a match lies in a line; start is -1 when there is none.
struct TextMatch
{
    int start = -1;
    int length = 0;

    bool found() const { return start >= 0; }
    int end() const { return start + length; }
};

class LineMatcher
{
public:
    // An empty pattern matches nothing.
    LineMatcher() = default;
    explicit LineMatcher(const MatchPattern &pattern);

    const MatchPattern &pattern() const { return matchPattern; }
    bool isEmpty() const { return matchPattern.text.isEmpty(); }
    // An invalid regular expression matches nothing; errorString() and
    // errorOffset() (in characters of the pattern) say why and where.
    bool isValid() const { return valid; }
    QString errorString() const;
    int errorOffset() const;

    // The first match that starts at or after from. Matches are never empty:
    // a regular expression that matches empty text is looked at further on.
    TextMatch matchIn(QStringView line, int from = 0) const;
    // The last of the matches that matchIn() finds one after the other, left
    // to right and without overlap, that starts before `before` (-1: anywhere).
    TextMatch lastMatchIn(QStringView line, int before = -1) const;
    bool matches(QStringView line) const { return matchIn(line).found(); }
    // Every match that matchIn() finds one after the other, left to right and
    // without overlap, from the first at or after from. One pass over the line:
    // calling matchIn() again behind each match would copy the line each time.
    QVector<TextMatch> matchesIn(QStringView line, int from = 0) const;

    // A text that every match contains, compared with the pattern's case
    // rule: the pattern itself when literal, the longest literal run that a
    // regular expression requires when it is easy to see, else empty.
    QString requiredLiteral() const { return required; }

private:
    MatchPattern matchPattern;
    QRegularExpression expression;
    bool valid = true;
    QString required;
};

#endif // LINEMATCHER_H
