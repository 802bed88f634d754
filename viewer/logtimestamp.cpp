#include "logtimestamp.h"

#include <QString>

#include <initializer_list>

namespace {

enum class Seconds { Required, Optional };

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isLetter(QChar c)
{
    const ushort u = c.unicode() | 0x20;
    return u >= 'a' && u <= 'z';
}

bool isLeapYear(int year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// A year of 0 (none given) allows February 29.
bool isValidDate(int year, int month, int day)
{
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1)
        return false;
    if (month == 2 && year != 0 && !isLeapYear(year))
        return day <= 28;
    return day <= days[month - 1];
}

// Reads a stamp's fields left to right. A read that fails may have moved
// the cursor: each form starts a reader of its own.
class FieldReader
{
public:
    FieldReader(QStringView text, int pos) : text(text), at(pos) {}

    int pos() const { return at; }
    QStringView rest() const { return text.mid(at); }
    bool digitNext() const { return at < text.size() && isDigit(text[at]); }

    bool take(char c)
    {
        if (at >= text.size() || text[at] != QLatin1Char(c))
            return false;
        ++at;
        return true;
    }
    // One or more spaces.
    bool spaces()
    {
        const int from = at;
        while (take(' ')) {
        }
        return at > from;
    }
    // From minDigits to maxDigits digits, as many as there are.
    bool number(int minDigits, int maxDigits, int &value)
    {
        value = 0;
        int count = 0;
        while (count < maxDigits && digitNext()) {
            value = value * 10 + text[at++].digitValue();
            ++count;
        }
        return count >= minDigits;
    }
    // An English month abbreviation, in any case.
    bool monthName(int &month)
    {
        static const char names[] = "janfebmaraprmayjunjulaugsepoctnovdec";
        if (at + 3 > text.size())
            return false;
        for (month = 1; month <= 12; ++month) {
            const char *name = names + 3 * (month - 1);
            int i = 0;
            while (i < 3 && (text[at + i].unicode() | 0x20) == uchar(name[i]))
                ++i;
            if (i == 3) {
                at += 3;
                return true;
            }
        }
        return false;
    }
    // "." or "," and digits: the milliseconds they give.
    void fraction(int &msec)
    {
        msec = 0;
        if (at + 1 >= text.size() || (text[at] != QLatin1Char('.') && text[at] != QLatin1Char(','))
            || !isDigit(text[at + 1]))
            return;
        ++at;
        int scale = 100;
        while (digitNext()) {
            msec += scale * text[at++].digitValue();
            scale /= 10;
        }
    }

private:
    QStringView text;
    int at;
};

// H:MM, HH:MM:SS, HH:MM:SS.fff; a second of 60 is a leap second.
bool readClock(FieldReader &r, Seconds seconds, qint64 &msecOfDay)
{
    int hour = 0, minute = 0, second = 0, msec = 0;
    if (!r.number(1, 2, hour) || !r.take(':') || !r.number(2, 2, minute) || hour > 23 || minute > 59)
        return false;
    if (r.take(':')) {
        if (!r.number(2, 2, second) || second > 60)
            return false;
        r.fraction(msec);
    } else if (seconds == Seconds::Required) {
        return false;
    }
    if (r.digitNext())
        return false;
    msecOfDay = ((hour * 60 + minute) * 60 + second) * qint64(1000) + msec;
    return true;
}

// 2026-12-09T13:07:49, 2026-12-09 13:07:49, 2026/12/09 13:07:49; with
// dateAlone, also 2026-12-09 without a time.
bool readYearFirst(FieldReader &r, Seconds seconds, bool dateAlone, LogTime &time)
{
    if (!r.number(4, 4, time.year))
        return false;
    const char separator = r.take('-') ? '-' : r.take('/') ? '/' : 0;
    if (!separator || !r.number(1, 2, time.month) || !r.take(separator) || !r.number(1, 2, time.day)
        || r.digitNext() || !isValidDate(time.year, time.month, time.day))
        return false;
    if (dateAlone && r.rest().trimmed().isEmpty())
        return true;
    return (r.take('T') || r.spaces()) && readClock(r, seconds, time.msecOfDay);
}

// Dec  9 13:07:49
bool readSyslog(FieldReader &r, Seconds seconds, LogTime &time)
{
    time.year = 0;
    return r.monthName(time.month) && r.spaces() && r.number(1, 2, time.day) && r.spaces()
           && isValidDate(0, time.month, time.day) && readClock(r, seconds, time.msecOfDay);
}

// 09/Dec/2026:13:07:49
bool readAccessLog(FieldReader &r, Seconds seconds, LogTime &time)
{
    return r.number(1, 2, time.day) && r.take('/') && r.monthName(time.month) && r.take('/')
           && r.number(4, 4, time.year) && r.take(':') && isValidDate(time.year, time.month, time.day)
           && readClock(r, seconds, time.msecOfDay);
}

// What may follow a typed time: a zone, "]", spaces.
bool onlyZoneLeft(FieldReader r)
{
    r.spaces();
    int ignored = 0;
    if (!r.take('Z') && (r.take('+') || r.take('-'))) {
        if (!r.number(2, 2, ignored))
            return false;
        r.take(':');
        if (!r.number(2, 2, ignored))
            return false;
    }
    r.take(']');
    r.spaces();
    return r.rest().isEmpty();
}

} // namespace

std::optional<LogTime> findLogTime(QStringView line)
{
    const int starts = qMin(int(line.size()), LogTimeLead);
    for (int i = 0; i < starts; ++i) {
        const QChar c = line[i];
        const QChar before = i > 0 ? line[i - 1] : QChar();
        LogTime time;
        if (isDigit(c) && !isDigit(before)) {
            FieldReader yearFirst(line, i);
            if (readYearFirst(yearFirst, Seconds::Required, false, time))
                return time;
            FieldReader accessLog(line, i);
            if (readAccessLog(accessLog, Seconds::Required, time = LogTime()))
                return time;
        } else if (isLetter(c) && !isLetter(before)) {
            FieldReader syslog(line, i);
            if (readSyslog(syslog, Seconds::Required, time))
                return time;
        }
    }
    return std::nullopt;
}

std::optional<LogTime> parseTypedTime(QStringView text)
{
    // A Japanese input method may give full-width digits and colons.
    const QString folded = text.toString().normalized(QString::NormalizationForm_KC);
    QStringView typed = QStringView(folded).trimmed();
    if (typed.startsWith(QLatin1Char('[')))
        typed = typed.mid(1);
    const auto tries = {
        +[](FieldReader &r, LogTime &t) { return readYearFirst(r, Seconds::Optional, true, t); },
        +[](FieldReader &r, LogTime &t) { return readAccessLog(r, Seconds::Optional, t); },
        +[](FieldReader &r, LogTime &t) { return readSyslog(r, Seconds::Optional, t); },
        +[](FieldReader &r, LogTime &t) { return readClock(r, Seconds::Optional, t.msecOfDay); },
    };
    for (const auto &read : tries) {
        FieldReader r(typed, 0);
        LogTime time;
        if (read(r, time) && onlyZoneLeft(r))
            return time;
    }
    return std::nullopt;
}

int compareLogTimes(const LogTime &a, const LogTime &b)
{
    const auto order = [](qint64 x, qint64 y) { return x < y ? -1 : x > y ? 1 : 0; };
    if (a.month != 0 && b.month != 0) {
        const bool years = a.year != 0 && b.year != 0;
        const qint64 dayA = (years ? a.year : 0) * 416 + a.month * 32 + a.day;
        const qint64 dayB = (years ? b.year : 0) * 416 + b.month * 32 + b.day;
        if (dayA != dayB)
            return order(dayA, dayB);
    }
    return order(a.msecOfDay, b.msecOfDay);
}
