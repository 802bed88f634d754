#include "visiblecontrols.h"

#include <algorithm>

namespace {

// The names the control code standards give them (ISO 6429 for C1).
const char *const c0Names[32] = {
    "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
    "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
    "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
const char *const c1Names[32] = {
    "PAD", "HOP", "BPH", "NBH", "IND", "NEL", "SSA", "ESA", "HTS", "HTJ", "VTS",
    "PLD", "PLU", "RI",  "SS2", "SS3", "DCS", "PU1", "PU2", "STS", "CCH", "MW",
    "SPA", "EPA", "SOS", "SGCI", "SCI", "CSI", "ST",  "OSC", "PM",  "APC"};

} // namespace

bool isDirectionControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069) || u == 0x200e
           || u == 0x200f || u == 0x061c;
}

bool isHiddenCharacter(QChar c)
{
    const char16_t u = c.unicode();
    // Most text is printable ASCII or above U+3000: one comparison each.
    if (u >= 0x20 && u < 0x7f)
        return false;
    if (u < 0x20)
        return u != '\t';
    if (u <= 0x9f)
        return true;   // DEL and C1
    if (u < 0x061c || u > 0xfeff)
        return false;
    return isDirectionControl(c) || (u >= 0x200b && u <= 0x200d) || u == 0x2060 || u == 0xfeff;
}

bool hasHiddenCharacters(QStringView text)
{
    return std::any_of(text.begin(), text.end(), isHiddenCharacter);
}

QString markerName(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x20)
        return QLatin1String(c0Names[u]);
    if (u >= 0x80 && u <= 0x9f)
        return QLatin1String(c1Names[u - 0x80]);
    switch (u) {
    case 0x7f: return QStringLiteral("DEL");
    case 0x061c: return QStringLiteral("ALM");
    case 0x200b: return QStringLiteral("ZWSP");
    case 0x200c: return QStringLiteral("ZWNJ");
    case 0x200d: return QStringLiteral("ZWJ");
    case 0x200e: return QStringLiteral("LRM");
    case 0x200f: return QStringLiteral("RLM");
    case 0x202a: return QStringLiteral("LRE");
    case 0x202b: return QStringLiteral("RLE");
    case 0x202c: return QStringLiteral("PDF");
    case 0x202d: return QStringLiteral("LRO");
    case 0x202e: return QStringLiteral("RLO");
    case 0x2060: return QStringLiteral("WJ");
    case 0x2066: return QStringLiteral("LRI");
    case 0x2067: return QStringLiteral("RLI");
    case 0x2068: return QStringLiteral("FSI");
    case 0x2069: return QStringLiteral("PDI");
    case 0xfeff: return QStringLiteral("BOM");
    default: return QStringLiteral("U+%1").arg(int(u), 4, 16, QLatin1Char('0')).toUpper();
    }
}

DisplayForm displayForm(QStringView text)
{
    DisplayForm form;
    int copied = 0;   // text before this position is in form.text
    for (int i = 0; i < text.size(); ++i) {
        if (!isHiddenCharacter(text[i]))
            continue;
        if (form.markers.isEmpty())
            form.text.reserve(text.size() + 16);
        form.text += text.mid(copied, i - copied);
        const QString name = markerName(text[i]);
        form.markers.append({i, int(form.text.size()), int(name.size())});
        form.text += name;
        copied = i + 1;
    }
    if (form.markers.isEmpty())
        form.text = text.toString();
    else
        form.text += text.mid(copied);
    return form;
}

int DisplayForm::shownPosition(int position) const
{
    // Each marker before position lengthens the text by its length less one.
    int shown = position;
    for (const Marker &marker : markers) {
        if (marker.position >= position)
            break;
        shown += marker.length - 1;
    }
    return shown;
}

int DisplayForm::position(int shown) const
{
    int position = shown;
    for (const Marker &marker : markers) {
        if (shown <= marker.shownAt)
            break;
        if (shown < marker.shownAt + marker.length)
            return marker.position + (2 * (shown - marker.shownAt) > marker.length ? 1 : 0);
        position -= marker.length - 1;
    }
    return position;
}

QString displayHtml(QStringView text)
{
    const DisplayForm form = displayForm(text);
    QString html = QStringLiteral("<span style=\"white-space:pre\">");
    int at = 0;
    for (const DisplayForm::Marker &marker : form.markers) {
        html += form.text.mid(at, marker.shownAt - at).toHtmlEscaped();
        html += QStringLiteral("<span style=\"color:%1; background-color:%2\">%3</span>")
                    .arg(QLatin1String(markerInk), QLatin1String(markerGround),
                         form.text.mid(marker.shownAt, marker.length));
        at = marker.shownAt + marker.length;
    }
    return html + form.text.mid(at).toHtmlEscaped() + QStringLiteral("</span>");
}
