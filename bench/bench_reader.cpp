// The reading engine against the literal stream-based oracle and a lower
// bound (open the file, read just the window's bytes with one positional
// read, decode them once), on generated logs: 1 GiB and 1 MiB of ~120-byte
// ASCII lines, the same in Shift-JIS Japanese, and a file of 9,999-character
// lines. The inputs are written once into the cache folder (TAILPEEK_BENCH_DATA
// in the environment, else build/bench-data) and reused by later runs.
//
// After the usual table it prints one line per case: the three CPU times, the
// engine against the lower bound (target: at most 2) and the literal design
// against the engine; and newest mode N = 20 on 1 GiB against 1 MiB (target:
// under 1.2). The literal design at N = 999 costs seconds per window (about
// 100 s on the long lines), so those cases run once and the long-line N = 999
// case is left out.

#include "linewindowreader.h"
#include "literalreader.h"

#include <benchmark/benchmark.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextCodec>

#include <cstdio>
#include <fcntl.h>
#include <map>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Input
{
    const char *name;
    qint64 size;
    const char *codec;   // the request's codecName
};

const qint64 MiB = 1024 * 1024;
const Input Inputs[] = {
    {"ascii-1g", 1024 * MiB, "UTF-8"},
    {"ascii-1m", MiB, "UTF-8"},
    {"sjis-1g", 1024 * MiB, "SJIS"},
    {"sjis-1m", MiB, "SJIS"},
};
const Input LongLines = {"long-9999", 40 * MiB, "UTF-8"};

// One line of about 120 bytes; each carries its own number.
QByteArray logLine(qint64 number, bool japanese)
{
    static const QByteArray body = QTextCodec::codecForName("SJIS")->fromUnicode(
        QStringLiteral("[情報] 要求を処理しました。応答時間 十二ミリ秒、状態 正常、転送 四〇九六バイト"));
    char head[64];
    std::snprintf(head, sizeof head, "2026-12-08 %02d:%02d:%02d.%03d #%09lld ",
                  int(number / 3600000 % 24), int(number / 60000 % 60), int(number / 1000 % 60),
                  int(number % 1000), static_cast<long long>(number));
    if (japanese)
        return QByteArray(head) + body + " /api/items\n";
    return QByteArray(head) + "[INFO ] worker-" + QByteArray::number(number % 8)
           + " served GET /api/items/4711 in 12 ms status=200 bytes=4096 ok\n";
}

QByteArray longLine(qint64 number)
{
    QByteArray line = QByteArray::number(number).rightJustified(9, '0') + ' ';
    while (line.size() < 9999)
        line += "lorem ipsum dolor sit amet ";
    line.truncate(9999);
    return line + '\n';
}

// Writes the input unless the cache already holds it; a file appears under
// its name only once it is complete.
QString ensureInput(const QString &dir, const Input &input, bool longLines)
{
    const QString path = QDir(dir).filePath(QLatin1String(input.name) + QLatin1String(".log"));
    if (QFileInfo(path).size() >= input.size)
        return path;
    std::fprintf(stderr, "writing %s ...\n", qPrintable(path));
    QFile file(path + QLatin1String(".part"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(file.fileName()));
    const bool japanese = QByteArray(input.codec) == "SJIS";
    QByteArray chunk;
    qint64 written = 0;
    for (qint64 number = 0; written < input.size; ++number) {
        const QByteArray line = longLines ? longLine(number) : logLine(number, japanese);
        chunk += line;
        written += line.size();
        if (chunk.size() >= 4 * MiB || written >= input.size) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.close();
    QFile::remove(path);
    file.rename(path);
    return path;
}

struct Case
{
    const char *name;
    WindowRequest::StartMode mode;
    qint64 lines;
    qint64 maxChars;
};

const Case Cases[] = {
    {"newest N=20 max=1000", WindowRequest::NewestMode, 20, 1000},
    {"newest N=20 max=9999", WindowRequest::NewestMode, 20, 9999},
    {"newest N=999 max=1000", WindowRequest::NewestMode, 999, 1000},
    {"newest N=999 max=9999", WindowRequest::NewestMode, 999, 9999},
    {"percent 50% N=20", WindowRequest::PercentMode, 20, 1000},
    {"percent 50% N=999", WindowRequest::PercentMode, 999, 1000},
    {"header N=999", WindowRequest::HeaderMode, 999, 1000},
};

WindowRequest requestFor(const Case &c, const Input &input)
{
    WindowRequest request;
    request.startMode = c.mode;
    request.lineCount = c.lines;
    request.maxLineChars = c.maxChars;
    request.percent = 50;
    request.codecName = QLatin1String(input.codec);
    return request;
}

void runEngine(benchmark::State &state, QString path, WindowRequest request, qint64 windowBytes)
{
    for (auto _ : state) {
        WindowResult result = LineWindowReader::read(path, request);
        benchmark::DoNotOptimize(result.text.data());
    }
    state.SetBytesProcessed(state.iterations() * windowBytes);
}

void runLiteral(benchmark::State &state, QString path, WindowRequest request, qint64 windowBytes)
{
    for (auto _ : state) {
        QString text = LiteralReader::read(path, request);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * windowBytes);
}

// The least any reader can do: open, one read of the window's bytes into
// memory of their own, one decode.
void runLowerBound(benchmark::State &state, QString path, QByteArray codec, qint64 begin, qint64 end)
{
    const QByteArray native = QFile::encodeName(path);
    QTextCodec *textCodec = QTextCodec::codecForName(codec);
    for (auto _ : state) {
        QByteArray bytes(int(end - begin), Qt::Uninitialized);
        const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC);
        const ssize_t got = ::pread(fd, bytes.data(), size_t(bytes.size()), off_t(begin));
        ::close(fd);
        QString text = textCodec->toUnicode(bytes.constData(), int(got));
        benchmark::DoNotOptimize(text.data());
    }
    state.SetBytesProcessed(state.iterations() * (end - begin));
}

// Registers the engine, the lower bound and the literal reading of one case.
void registerCase(const Case &c, const Input &input, const QString &path, bool withLiteral)
{
    const WindowRequest request = requestFor(c, input);
    const WindowResult probe = LineWindowReader::read(path, request);
    if (probe.status != WindowResult::Read)
        qFatal("cannot read %s", qPrintable(path));
    const qint64 windowBytes = probe.windowEnd - probe.windowBegin;
    const std::string base = std::string(c.name) + " | " + input.name + " | ";
    benchmark::RegisterBenchmark((base + "engine").c_str(), runEngine, path, request, windowBytes)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((base + "lower bound").c_str(), runLowerBound, path,
                                 QByteArray(input.codec), probe.windowBegin, probe.windowEnd)
        ->Unit(benchmark::kMicrosecond);
    if (!withLiteral)
        return;
    auto *literal = benchmark::RegisterBenchmark((base + "literal").c_str(), runLiteral, path,
                                                 request, windowBytes);
    literal->Unit(benchmark::kMicrosecond);
    if (c.lines > 100 || input.size == LongLines.size)
        literal->Iterations(1);   // seconds per window
}

// Keeps each case's CPU time per iteration (the median, with repetitions) for
// the summary: on a shared machine it is steadier than the wall clock, and
// the system calls of a read from the page cache count in it.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;
    std::set<std::string> medians;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        // With repetitions the median stands for the case.
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            std::string name = run.run_name.function_name;
            if (run.run_type != Run::RT_Aggregate && medians.count(name))
                continue;
            if (run.run_type == Run::RT_Aggregate)
                medians.insert(name);
            seconds[name] = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit);
        }
    }

    double time(const std::string &name) const
    {
        const auto found = seconds.find(name);
        return found == seconds.end() ? 0.0 : found->second;
    }

    void printSummary(const std::vector<std::string> &cases) const
    {
        std::printf("\n%-45s %12s %12s %12s %12s %12s\n", "case | file", "engine us", "bound us",
                    "literal us", "engine/bound", "literal/eng");
        for (const std::string &base : cases) {
            const double engine = time(base + "engine");
            const double bound = time(base + "lower bound");
            const double literal = time(base + "literal");
            if (engine <= 0 || bound <= 0)
                continue;   // filtered out
            std::printf("%-45s %12.1f %12.1f %12s %12.2f %12s\n", base.c_str(), engine * 1e6,
                        bound * 1e6, literal > 0 ? std::to_string(int(literal * 1e6)).c_str() : "-",
                        engine / bound, literal > 0 ? std::to_string(int(literal / engine)).c_str() : "-");
        }
        for (const char *kind : {"ascii", "sjis"}) {
            const std::string big = std::string("newest N=20 max=1000 | ") + kind + "-1g | engine";
            const std::string small = std::string("newest N=20 max=1000 | ") + kind + "-1m | engine";
            if (time(big) > 0 && time(small) > 0)
                std::printf("newest N=20, %s: 1 GiB / 1 MiB = %.2f (target < 1.2)\n", kind,
                            time(big) / time(small));
        }
    }
};

} // namespace

int main(int argc, char *argv[])
{
    benchmark::Initialize(&argc, argv);
    const QString dir = qEnvironmentVariableIsSet("TAILPEEK_BENCH_DATA")
                            ? qEnvironmentVariable("TAILPEEK_BENCH_DATA")
                            : QStringLiteral(TAILPEEK_BENCH_DATA);
    QDir().mkpath(dir);

    std::vector<std::string> cases;
    for (const Input &input : Inputs) {
        const QString path = ensureInput(dir, input, false);
        for (const Case &c : Cases) {
            registerCase(c, input, path, true);
            cases.push_back(std::string(c.name) + " | " + input.name + " | ");
        }
    }
    const QString longPath = ensureInput(dir, LongLines, true);
    const Case longCase = {"newest N=20 max=9999", WindowRequest::NewestMode, 20, 9999};
    registerCase(longCase, LongLines, longPath, true);
    cases.push_back(std::string(longCase.name) + " | " + LongLines.name + " | ");

    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary(cases);
    benchmark::Shutdown();
    return 0;
}
