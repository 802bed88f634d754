#ifndef LOGTIMESTAMP_H
#define LOGTIMESTAMP_H

// Part of the reading engine in viewer/, which uses Qt Core only.
//
// The time a log line was written, as the line itself spells it, and the time
// a user types to go to. Zone offsets ("Z", "+09:00", "+0900") are read past
// and ignored: every stamp is taken as the wall-clock time it shows, so a file
// that mixes zones is compared by its digits alone.

#include <QStringView>
#include <QtGlobal>

#include <optional>

struct LogTime
{
    int year = 0;            // 0: the line gave none (syslog)
    int month = 0, day = 0;  // 0: none given (a time of day alone, as the user may type it)
    qint64 msecOfDay = 0;
};

// Only the first timestamp that begins within this many characters of a
// line counts, so a long line costs no more than a short one.
constexpr int LogTimeLead = 64;

// The first timestamp that begins within a line's first LogTimeLead
// characters, in one of these forms (fractions of a second after "." or ","):
//   2026-12-09T13:07:49.123Z, 2026-12-09T13:07:49+09:00 (ISO 8601 / RFC 3339)
//   2026-12-09 13:07:49,123    2026/12/09 13:07:49
//   Dec  9 13:07:49            (syslog: no year)
//   [09/Dec/2026:13:07:49 +0900] (web server access log)
// Seconds are required. A stamp glued to a digit before it (or a month name
// to a letter) is no stamp, nor is an impossible date or time.
std::optional<LogTime> findLogTime(QStringView line);

// What the user typed to go to: any form above, also without seconds, or a
// date alone, or a time of day alone ("13:07", "13:07:49", "9:05:00.5").
// Spaces around it, a "[" before and a zone and "]" after are allowed, and
// full-width digits and colons; anything else makes it no time.
std::optional<LogTime> parseTypedTime(QStringView typed);

// Orders two times: negative, zero or positive. When either has no year,
// the years are not compared: a syslog line is taken to lie in the other's
// year. Times without a date compare by time of day.
int compareLogTimes(const LogTime &a, const LogTime &b);

#endif // LOGTIMESTAMP_H
