// Going to a time: the stamps a line and the user's typing give, and the
// binary search over generated logs in every encoding, checked against what
// the generator knows of each line (its byte offset and its time).

#include "encodedtext.h"
#include "enginetestkit.h"
#include "preadswitch.h"
#include "timeseek.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

namespace {

enum Style { Iso, IsoT, Slash, Syslog, AccessLog };

constexpr qint64 Day = 24 * 3600 * 1000;

// Times are milliseconds from 2026-12-01 00:00.
LogTime logTime(qint64 t)
{
    return LogTime{2026, 12, int(1 + t / Day), t % Day};
}

QString stamp(Style style, qint64 t)
{
    const qint64 ms = t % Day;
    const QString clock = QString::asprintf("%02lld:%02lld:%02lld", ms / 3600000, ms / 60000 % 60, ms / 1000 % 60);
    const int day = int(1 + t / Day);
    const QString fraction = QString::asprintf("%03lld", ms % 1000);
    switch (style) {
    case Iso: return QString::asprintf("2026-12-%02d ", day) + clock + QLatin1Char(',') + fraction + QLatin1String(" INFO");
    case IsoT: return QString::asprintf("2026-12-%02dT", day) + clock + QLatin1Char('.') + fraction + QLatin1String("+09:00");
    case Slash: return QString::asprintf("[main] 2026/12/%02d ", day) + clock;
    case Syslog: return QString::asprintf("Dec %2d ", day) + clock + QLatin1String(" host app[42]:");
    case AccessLog: return QString::asprintf("10.0.0.1 - - [%02d/Dec/2026:", day) + clock + QLatin1String(" +0900] \"GET /\"");
    }
    return QString();
}

// A generated log: its bytes, and each line's byte offset and time (-1: no stamp).
struct Log
{
    QByteArray bytes;
    std::vector<qint64> starts;
    std::vector<qint64> times;
};

struct LogShape
{
    const char *name;
    const char *codec;       // the Qt codec the file is written in
    const char *codecName;   // the request's
    bool bom;
    Style style;
    bool crlf;
    int unstampedRun;        // lines without a stamp after some stamped lines, 0: none
    int longLine;            // characters of every 97th line, 0: none longer than usual
    bool backwards;          // times sometimes go back
};

// About 3,000 lines, well past the ends the search looks at first.
const LogShape Shapes[] = {
    {"UTF-8, ISO", "UTF-8", "UTF-8", false, Iso, false, 0, 0, false},
    {"UTF-8 mark, ISO T, CR LF", "UTF-8", "", true, IsoT, true, 0, 0, false},
    {"Shift-JIS, slashes", "SJIS", "SJIS", false, Slash, false, 0, 0, false},
    {"EUC-JP, syslog", "EUC-JP", "EUC-JP", false, Syslog, false, 0, 0, false},
    {"UTF-16LE, access log", "UTF-16LE", "", true, AccessLog, false, 0, 0, false},
    {"UTF-16BE, ISO, CR LF", "UTF-16BE", "", true, Iso, true, 0, 0, false},
    {"UTF-32LE, ISO T", "UTF-32LE", "", true, IsoT, false, 0, 0, false},
    {"lines without a stamp between", "UTF-8", "UTF-8", false, Iso, false, 40, 0, false},
    {"a run without stamps longer than the ends", "SJIS", "SJIS", false, Iso, false, 700, 0, false},
    {"lines over the limit, longer than a page", "UTF-8", "UTF-8", false, Slash, false, 0, 9000, false},
    {"UTF-16LE lines over the limit", "UTF-16LE", "", true, Iso, false, 3, 5000, false},
    {"out of order", "UTF-8", "UTF-8", false, Iso, false, 0, 0, true},
    {"out of order, UTF-16BE, lines without a stamp", "UTF-16BE", "", true, IsoT, false, 40, 0, true},
    {"out of order, Shift-JIS syslog", "SJIS", "SJIS", false, Syslog, false, 0, 0, true},
};

Log makeLog(const LogShape &shape, quint32 seed, int lines)
{
    QRandomGenerator rng(seed);
    const bool seconds = shape.style == Slash || shape.style == Syslog || shape.style == AccessLog;
    const QString eol = QLatin1String(shape.crlf ? "\r\n" : "\n");
    Log log;
    log.bytes = encoded(shape.codec, QString(), shape.bom);
    qint64 t = Day * 7 + 3600000 * 22;   // Dec 8 22:00, so the log passes midnight
    auto add = [&](const QString &line, qint64 time) {
        log.starts.push_back(log.bytes.size());
        log.times.push_back(time);
        log.bytes += encoded(shape.codec, line + eol);
    };
    for (int i = 0; i < lines; ++i) {
        t += qint64(rng.bounded(3)) * (seconds ? 1000 : qint64(rng.bounded(1500)));   // often the same time
        if (shape.backwards && rng.bounded(50) == 0)
            t -= rng.bounded(60000);
        QString line = stamp(shape.style, t) + QStringLiteral(" 要求を処理しました ｱｲｳ 表示 ") + QString::number(i);
        if (shape.longLine && i % 97 == 0)
            line += QString(shape.longLine, QLatin1Char('x'));
        add(line, seconds ? t / 1000 * 1000 : t);
        for (int j = 0; i % 500 == 250 && j < shape.unstampedRun; ++j)
            add(QStringLiteral("    at Worker.run(Worker.java:%1) 続き").arg(j), -1);
    }
    return log;
}

TimeSeekResult seek(const QString &path, const char *codecName, const LogTime &target,
                    std::optional<LogTime> defaultDate = std::nullopt)
{
    TimeSeekRequest request;
    request.path = path;
    request.codecName = QLatin1String(codecName);
    request.maxLineChars = 100;
    request.target = target;
    request.defaultDate = defaultDate;
    return seekTime(request);
}

// A time as the rows spell it: "2026-12-09 13:07:49.123", "0000-00-00 …"
// for a missing year or date, "none" for no time.
QString spelled(const std::optional<LogTime> &time)
{
    if (!time)
        return QStringLiteral("none");
    const qint64 ms = time->msecOfDay;
    return QString::asprintf("%04d-%02d-%02d %02lld:%02lld:%02lld.%03lld", time->year, time->month, time->day,
                             ms / 3600000, ms / 60000 % 60, ms / 1000 % 60, ms % 1000);
}

} // namespace

class TestTimeSeek : public QObject
{
    Q_OBJECT

private:
    ScratchFiles files;

private slots:
    void findsStampInLine_data();
    void findsStampInLine();
    void parsesTypedTime_data();
    void parsesTypedTime();
    void findsLineOfTime_data();
    void findsLineOfTime();
    void takesMissingDate_data();
    void takesMissingDate();
    void saysWhenNoStampIsNearEitherEnd_data();
    void saysWhenNoStampIsNearEitherEnd();
    void failsWithReason_data();
    void failsWithReason();
};

void TestTimeSeek::findsStampInLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("time");

    const QString x62(62, QLatin1Char('x'));
    QTest::newRow("ISO T, fraction, Z") << "2026-12-09T13:07:49.123456Z INFO" << "2026-12-09 13:07:49.123";
    QTest::newRow("ISO T, offset") << "2026-12-09T13:07:49+09:00 x" << "2026-12-09 13:07:49.000";
    QTest::newRow("ISO space, comma fraction") << "I 2026-12-09 13:07:49,5 x" << "2026-12-09 13:07:49.500";
    QTest::newRow("slashes, after Japanese") << QStringLiteral("処理 2026/12/09 13:07:49") << "2026-12-09 13:07:49.000";
    QTest::newRow("syslog, padded day") << "Dec  9 13:07:49 host sshd[1]:" << "0000-12-09 13:07:49.000";
    QTest::newRow("access log") << "10.0.0.1 - - [09/Dec/2026:13:07:49 +0900] \"GET /\"" << "2026-12-09 13:07:49.000";
    QTest::newRow("the first of two") << "2026-12-09 01:02:03 retry of 2026-12-08 23:59:59" << "2026-12-09 01:02:03.000";
    QTest::newRow("begins at character 63") << x62 + " 2026-12-09 13:07:49" << "2026-12-09 13:07:49.000";
    QTest::newRow("begins at character 64") << x62 + "x 2026-12-09 13:07:49" << "none";
    QTest::newRow("no seconds") << "2026-12-09 13:07 x" << "none";
    QTest::newRow("month 13") << "2026-13-09 13:07:49" << "none";
    QTest::newRow("February 29 of 2025") << "2025-02-29 13:07:49" << "none";
    QTest::newRow("hour 24") << "2026-12-09 24:00:00" << "none";
    QTest::newRow("glued to a digit") << "12026-12-09 13:07:49" << "none";
    QTest::newRow("month glued to a letter") << "xDec  9 13:07:49" << "none";
}

void TestTimeSeek::findsStampInLine()
{
    QFETCH(QString, line);
    QFETCH(QString, time);
    QCOMPARE(spelled(findLogTime(line)), time);
}

void TestTimeSeek::parsesTypedTime_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("time");

    QTest::newRow("hours and minutes") << "13:07" << "0000-00-00 13:07:00.000";
    QTest::newRow("spaces, seconds") << " 13:07:49 " << "0000-00-00 13:07:49.000";
    QTest::newRow("one-digit hour, fraction") << "9:05:00.5" << "0000-00-00 09:05:00.500";
    QTest::newRow("ISO T, zone") << "2026-12-09T13:07:49Z" << "2026-12-09 13:07:49.000";
    QTest::newRow("date, no seconds") << "2026-12-09 13:07" << "2026-12-09 13:07:00.000";
    QTest::newRow("date alone") << "2026/12/09" << "2026-12-09 00:00:00.000";
    QTest::newRow("syslog, no seconds") << "dec 9 13:07" << "0000-12-09 13:07:00.000";
    QTest::newRow("access log, brackets") << "[09/Dec/2026:13:07:49 +0900]" << "2026-12-09 13:07:49.000";
    QTest::newRow("full-width") << QStringLiteral("１３：０７") << "0000-00-00 13:07:00.000";
    QTest::newRow("words after") << "13:07 tomorrow" << "none";
    QTest::newRow("hour 25") << "25:00" << "none";
    QTest::newRow("nothing") << "" << "none";
}

void TestTimeSeek::parsesTypedTime()
{
    QFETCH(QString, typed);
    QFETCH(QString, time);
    QCOMPARE(spelled(parseTypedTime(typed)), time);
}

void TestTimeSeek::findsLineOfTime_data()
{
    QTest::addColumn<int>("shape");
    for (size_t i = 0; i < sizeof Shapes / sizeof *Shapes; ++i)
        QTest::newRow(Shapes[i].name) << int(i);
}

// In order, the first line at or after the target. Out of order, what the
// README says: the first stamped line when it is at or after the target, the
// end when the last one is before it, else a stamped line at or after it
// whose nearest stamped line before it is before it.
void TestTimeSeek::findsLineOfTime()
{
    QFETCH(int, shape);
    const LogShape &s = Shapes[shape];
    const Log log = makeLog(s, 7, 3000);
    const QString path = files.write(log.bytes);
    std::vector<size_t> stamped;
    for (size_t i = 0; i < log.times.size(); ++i) {
        if (log.times[i] >= 0)
            stamped.push_back(i);
    }
    QRandomGenerator rng(11);
    std::vector<qint64> targets = {0, log.times[stamped.front()], log.times[stamped.back()], log.times[stamped.back()] + 1};
    for (int i = 0; i < 40; ++i)
        targets.push_back(log.times[stamped[rng.bounded(int(stamped.size()))]] + qint64(rng.bounded(3)) - 1);
    const size_t last = stamped.size() - 1;
    int crossings = 0;
    for (qint64 target : targets) {
        const TimeSeekResult result = seek(path, s.codecName, logTime(target));
        const QByteArray what = "target " + QByteArray::number(target);
        QCOMPARE(result.fileSize, qint64(log.bytes.size()));
        // k: the line found among the stamped ones; last + 1 for the end.
        size_t k = 0;
        while (k <= last && log.starts[stamped[k]] != result.lineStart)
            ++k;
        QVERIFY2((k > last) == (result.status == TimeSeekResult::AfterEnd), what);
        const auto before = [&](size_t i) { return log.times[stamped[i]] < target; };
        size_t first = 0;
        while (first <= last && before(first))
            ++first;
        if (!s.backwards || first == 0 || before(last)) {
            QVERIFY2(k == (before(last) ? last + 1 : first), what);
        } else {
            QVERIFY2(k <= last && !before(k) && before(k - 1), what);
            ++crossings;
        }
    }
    QVERIFY(!s.backwards || crossings > 0);
}

void TestTimeSeek::takesMissingDate_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("defaultDate");   // typed too; empty: none
    QTest::addColumn<int>("line");              // the line found, -1: after the end

    // The log runs from Dec 8 23:00 to Dec 9 01:00, one line a minute.
    QTest::newRow("the last line's date") << "00:30" << "" << 90;
    QTest::newRow("the last line's date, after the end") << "23:30" << "" << -1;
    QTest::newRow("the window's date") << "23:30" << "2026-12-08" << 30;
    QTest::newRow("a year-less date") << "Dec 8 23:30" << "" << 30;
    QTest::newRow("a date given") << "2026-12-09 00:00:30" << "2026-12-08" << 61;
}

void TestTimeSeek::takesMissingDate()
{
    QFETCH(QString, typed);
    QFETCH(QString, defaultDate);
    QFETCH(int, line);
    QByteArray bytes;
    std::vector<qint64> starts;
    for (int minute = 0; minute <= 120; ++minute) {
        starts.push_back(bytes.size());
        bytes += stamp(Iso, Day * 7 + 23 * 3600000 + minute * 60000).toLatin1() + " line\n";
    }
    const std::optional<LogTime> target = parseTypedTime(typed);
    QVERIFY(target);
    const TimeSeekResult result = seek(files.write(bytes), "UTF-8", *target,
                                       defaultDate.isEmpty() ? std::nullopt : parseTypedTime(defaultDate));
    QCOMPARE(result.status, line < 0 ? TimeSeekResult::AfterEnd : TimeSeekResult::Found);
    QCOMPARE(result.lineStart, line < 0 ? -1 : starts[size_t(line)]);
}

void TestTimeSeek::saysWhenNoStampIsNearEitherEnd_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("status");

    QByteArray plain;
    for (int i = 0; i < 2000; ++i)   // 36 KiB
        plain += "no stamp here " + QByteArray::number(i) + '\n';
    QTest::newRow("empty file") << QByteArray() << int(TimeSeekResult::NoTimestamps);
    QTest::newRow("no stamp at all") << plain << int(TimeSeekResult::NoTimestamps);
    QTest::newRow("a stamp in the middle only") << plain + "2026-12-09 13:07:49 x\n" + plain << int(TimeSeekResult::NoTimestamps);
    QTest::newRow("a stamp at the end only") << plain + "2026-12-09 13:07:49 x\n" << int(TimeSeekResult::Found);
}

void TestTimeSeek::saysWhenNoStampIsNearEitherEnd()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, status);
    const TimeSeekResult result = seek(files.write(bytes), "UTF-8", logTime(0));
    QCOMPARE(int(result.status), status);
    QCOMPARE(result.lineStart, status == TimeSeekResult::Found ? bytes.lastIndexOf("2026") : -1);
}

void TestTimeSeek::failsWithReason_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("fault");          // for the failing-pread shim; empty: none
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorString");

    const QString log = files.write(makeLog(Shapes[0], 3, 3000).bytes);
    QTest::newRow("missing") << files.newPath(QStringLiteral("gone")) << QByteArray() << false
                             << int(TimeSeekResult::Failed) << qt_error_string(ENOENT);
    QTest::newRow("a directory") << files.folder() << QByteArray() << false
                                 << int(TimeSeekResult::Failed) << "Not a regular file";
    QTest::newRow("an I/O error in the middle") << log << QByteArray("EIO 100000") << false
                                                << int(TimeSeekResult::Failed) << qt_error_string(EIO);
    QTest::newRow("cancelled") << log << QByteArray() << true << int(TimeSeekResult::Cancelled) << QString();
}

void TestTimeSeek::failsWithReason()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, fault);
    QFETCH(bool, cancelled);
    QFETCH(int, status);
    QFETCH(QString, errorString);
    PreadSwitch preads;
    preads.placeIn(files.folder());
    if (!fault.isEmpty()) {
        QVERIFY2(PreadSwitch::shimLoaded(), "tests/failingpread.cpp is not loaded: run this test through ctest");
        QVERIFY(preads.arm(path, fault));
    }
    TimeSeekRequest request;
    request.path = path;
    request.codecName = CodecName::Utf8;
    request.target = LogTime{2026, 12, 8, 23 * 3600000};
    const std::atomic<bool> cancel(cancelled);
    const TimeSeekResult result = seekTime(request, &cancel);
    preads.disarm();
    QCOMPARE(int(result.status), status);
    QCOMPARE(result.errorString, errorString);
    QCOMPARE(result.lineStart, qint64(-1));
}

QTEST_GUILESS_MAIN(TestTimeSeek)
#include "tst_timeseek.moc"
