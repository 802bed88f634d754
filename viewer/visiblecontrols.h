#ifndef VISIBLECONTROLS_H
#define VISIBLECONTROLS_H

// A log line shows what it holds. Some characters are invisible, or reorder
// the characters around them when drawn (direction overrides, embeddings and
// isolates), so a line could show something other than its text. Wherever a
// line or a file name is shown, it is shown in its display form: every such
// character replaced by a short name (a marker) that the caller draws set
// apart, so that nothing is hidden and the rest reads in its stored order.
// Only what is drawn changes: the text itself (copy, search, filter) stays
// the file's. Qt Core only.

#include <QString>
#include <QStringView>
#include <QVector>

// The characters shown as markers: the direction controls U+202A-U+202E,
// U+2066-U+2069, U+200E, U+200F and U+061C; the invisible U+200B-U+200D,
// U+2060 and U+FEFF; the C0 controls except tab, DEL, and the C1 controls.
bool isHiddenCharacter(QChar c);
bool hasHiddenCharacters(QStringView text);
// A character that changes the order of others when obeyed.
bool isDirectionControl(QChar c);

// The marker's text: "RLO", "ZWSP", "NUL", "CSI", ...
QString markerName(QChar c);

// text with every hidden character replaced by its marker, and the way back
// and forth between positions in the two.
struct DisplayForm
{
    struct Marker
    {
        int position = 0;   // of the hidden character in the text
        int shownAt = 0;    // of its marker in the display form
        int length = 0;     // of its marker
    };

    QString text;
    QVector<Marker> markers;   // in order

    // A cursor position of the text (0 to its length) in the display form:
    // before a hidden character is before its marker, after it is after it.
    int shownPosition(int position) const;
    // A cursor position of the display form in the text; one inside a marker
    // goes to the marker's nearer edge, so a click on it takes its character.
    int position(int shownPosition) const;
};

// No markers and text itself when text holds no hidden character.
DisplayForm displayForm(QStringView text);

// The colours every marker is drawn in ("#rrggbb"): a blue ink on a pale
// blue ground, apart from the default text and the default marks.
constexpr const char *markerInk = "#1f5fbf";
constexpr const char *markerGround = "#e2ebfa";

// The display form of text as rich text for a label or a tool tip: the text
// escaped, spaces kept, every marker in the markers' colours.
QString displayHtml(QStringView text);

#endif // VISIBLECONTROLS_H
