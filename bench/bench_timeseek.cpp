// Going to a time in a 2 GiB log, side by side with the window reads the
// program makes anyway on the same file: a percent-mode window of 20 lines
// at the same place, and the newest 20 lines. The logs (one line a
// millisecond, ASCII and UTF-16LE) are written once into the cache folder
// (TAILPEEK_BENCH_DATA in the environment, else build/bench-data) and reused.
//
// Each case cycles through 64 targets spread over the file, so that one
// iteration is not the same few pages again. After the table it prints, per
// file, the time of a go-to-time against the window reads (target: at most
// 20 ms for the go-to-time).

#include "linewindowreader.h"
#include "timeseek.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr qint64 MiB = 1024 * 1024;
constexpr qint64 FileSize = 2048 * MiB;
constexpr int Targets = 64;
constexpr qint64 FirstLine = 8 * 3600 * 1000;   // 08:00:00.000 on 2026-12-08

struct Input
{
    const char *name;
    const char *codec;       // the Qt codec the file is written in
    const char *codecName;   // the request's
};

const Input Inputs[] = {
    {"ascii-2g", "UTF-8", "UTF-8"},
    {"utf16le-2g", "UTF-16LE", ""},
};

// Line `number`, written at FirstLine + number milliseconds.
QByteArray logLine(qint64 number)
{
    const qint64 ms = FirstLine + number;
    char line[160];
    std::snprintf(line, sizeof line,
                  "2026-12-08 %02lld:%02lld:%02lld.%03lld [INFO ] worker-%lld served GET /api/items/4711 "
                  "in 12 ms status=200 #%09lld\n",
                  ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60, ms % 1000, number % 8,
                  static_cast<long long>(number));
    return QByteArray(line);
}

// Writes the input unless the cache holds it; returns its path and the
// number of lines in it.
QString ensureInput(const QString &dir, const Input &input, qint64 &lines)
{
    const QString path = QDir(dir).filePath(QLatin1String(input.name) + QLatin1String(".log"));
    const int unit = QByteArray(input.codec) == "UTF-16LE" ? 2 : 1;
    const qint64 lineBytes = logLine(0).size() * unit;   // every line is as long
    const qint64 bom = unit == 2 ? 2 : 0;
    lines = (FileSize - bom) / lineBytes;
    if (QFileInfo(path).size() == bom + lines * lineBytes)
        return path;
    std::fprintf(stderr, "writing %s ...\n", qPrintable(path));
    QFile file(path + QLatin1String(".part"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    QByteArray chunk = bom ? QByteArray("\xFF\xFE", 2) : QByteArray();
    for (qint64 number = 0; number < lines; ++number) {
        const QByteArray line = logLine(number);
        if (unit == 1) {
            chunk += line;
        } else {
            for (char c : line)
                chunk += QByteArray(1, c) + '\0';   // ASCII in UTF-16LE
        }
        if (chunk.size() >= 4 * MiB || number + 1 == lines) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.close();
    QFile::remove(path);
    file.rename(path);
    return path;
}

// The i-th of the spread targets as a fraction of the file.
double spread(int i)
{
    return (i * 0.61803398875 - int(i * 0.61803398875)) * 0.98 + 0.01;
}

void runSeek(benchmark::State &state, QString path, QString codecName, qint64 lines, bool timeOfDay)
{
    std::vector<TimeSeekRequest> requests;
    for (int i = 0; i < Targets; ++i) {
        const qint64 ms = FirstLine + qint64(spread(i) * double(lines)) + 1;   // between two lines
        TimeSeekRequest request;
        request.path = path;
        request.codecName = codecName;
        request.maxLineChars = 1000;
        request.target = LogTime{timeOfDay ? 0 : 2026, timeOfDay ? 0 : 12, timeOfDay ? 0 : 8, ms};
        requests.push_back(request);
    }
    int i = 0;
    for (auto _ : state) {
        const TimeSeekResult result = seekTime(requests[size_t(i++ % Targets)]);
        if (result.status != TimeSeekResult::Found)
            state.SkipWithError("no line found");
        benchmark::DoNotOptimize(result.lineStart);
    }
}

void runWindow(benchmark::State &state, QString path, QString codecName, WindowRequest::StartMode mode)
{
    WindowRequest request;
    request.startMode = mode;
    request.lineCount = 20;
    request.codecName = codecName;
    int i = 0;
    for (auto _ : state) {
        request.percent = spread(i++ % Targets) * 100;
        const WindowResult result = LineWindowReader::read(path, request);
        benchmark::DoNotOptimize(result.text.data());
    }
}

const char *const Kinds[] = {"go to a time", "go to a time of day", "percent window N=20",
                             "newest window N=20"};

// The CPU time per iteration of each case, kept for the summary: on a shared
// machine it is steadier than the wall clock, and the reads from the page
// cache count in it.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            seconds[run.run_name.function_name] =
                run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    void printSummary() const
    {
        std::printf("\n%-12s %14s %14s %14s %14s %12s %12s\n", "file", "time us", "time of day us",
                    "percent N=20", "newest N=20", "time/percent", "time/newest");
        for (const Input &input : Inputs) {
            double us[4] = {};
            for (int k = 0; k < 4; ++k) {
                const auto found = seconds.find(std::string(Kinds[k]) + " | " + input.name);
                us[k] = found == seconds.end() ? 0.0 : found->second * 1e6;
            }
            if (us[0] <= 0 || us[2] <= 0 || us[3] <= 0)
                continue;   // filtered out
            std::printf("%-12s %14.1f %14.1f %14.1f %14.1f %12.2f %12.2f  (target: time <= 20000 us)\n",
                        input.name, us[0], us[1], us[2], us[3], us[0] / us[2], us[0] / us[3]);
        }
    }

private:
    std::map<std::string, double> seconds;
};

} // namespace

int main(int argc, char *argv[])
{
    benchmark::Initialize(&argc, argv);
    const QString dir = qEnvironmentVariableIsSet("TAILPEEK_BENCH_DATA")
                            ? qEnvironmentVariable("TAILPEEK_BENCH_DATA")
                            : QStringLiteral(TAILPEEK_BENCH_DATA);
    QDir().mkpath(dir);
    for (const Input &input : Inputs) {
        qint64 lines = 0;
        const QString path = ensureInput(dir, input, lines);
        const QString codecName = QLatin1String(input.codecName);
        const std::string file = std::string(" | ") + input.name;
        benchmark::RegisterBenchmark((Kinds[0] + file).c_str(), runSeek, path, codecName, lines, false)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((Kinds[1] + file).c_str(), runSeek, path, codecName, lines, true)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((Kinds[2] + file).c_str(), runWindow, path, codecName,
                                     WindowRequest::PercentMode)
            ->Unit(benchmark::kMicrosecond);
        benchmark::RegisterBenchmark((Kinds[3] + file).c_str(), runWindow, path, codecName,
                                     WindowRequest::NewestMode)
            ->Unit(benchmark::kMicrosecond);
    }
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary();
    benchmark::Shutdown();
    return 0;
}
