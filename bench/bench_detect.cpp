// What Unicode detection costs a reload: each case reads the same 1 MiB log
// (Shift-JIS Japanese, or plain ASCII) once with the codec chosen by name,
// the reference, and once under Unicode detection: with the decision an
// earlier read made (every reload after the first), without one (the first
// read: it decides, then reads the window again with Shift-JIS), and on ASCII
// (nothing to decide, every reload looks). Also detectJapanese alone on
// 4 KiB of Shift-JIS and on 128 KiB of ASCII. The inputs are written into a
// temporary folder per run.
//
// After the table it prints each detection case against its reference, as a
// ratio of CPU times (target: within the noise of a reload, about 1.05).

#include "linewindowreader.h"
#include "textencoding.h"

#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCodec>

#include <cstdio>
#include <map>
#include <string>

namespace {

QByteArray logFile(bool japanese)
{
    const QByteArray body = japanese ? QTextCodec::codecForName("SJIS")->fromUnicode(
                                           QStringLiteral("[情報] 要求を処理しました。応答時間 十二ミリ秒、状態 正常"))
                                     : QByteArray("[INFO ] worker served GET /api/items/4711 in 12 ms status=200");
    QByteArray bytes;
    for (int number = 0; bytes.size() < 1024 * 1024; ++number)
        bytes += "2026-12-09 #" + QByteArray::number(number).rightJustified(9, '0') + ' ' + body + '\n';
    return bytes;
}

QString writeInput(const QTemporaryDir &dir, const char *name, const QByteArray &bytes)
{
    const QString path = dir.filePath(QLatin1String(name));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void runRead(benchmark::State &state, QString path, WindowRequest request)
{
    for (auto _ : state) {
        WindowResult result = LineWindowReader::read(path, request);
        benchmark::DoNotOptimize(result.text.data());
    }
}

void runDetect(benchmark::State &state, QByteArray window)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(TextEncoding::detectJapanese(window));
}

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;

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
};

} // namespace

int main(int argc, char *argv[])
{
    benchmark::Initialize(&argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("no temporary folder");
    const QString sjis = writeInput(dir, "sjis.log", logFile(true));
    const QString ascii = writeInput(dir, "ascii.log", logFile(false));

    struct Mode
    {
        const char *name;
        WindowRequest::StartMode mode;
        qint64 lines;
    };
    const Mode modes[] = {{"newest N=20", WindowRequest::NewestMode, 20},
                          {"header N=999", WindowRequest::HeaderMode, 999}};
    std::vector<std::pair<std::string, std::string>> pairs;   // (detection case, its reference)
    for (const Mode &m : modes) {
        WindowRequest request;
        request.startMode = m.mode;
        request.lineCount = m.lines;
        const std::string base = std::string(m.name) + " | ";
        auto add = [&](const std::string &name, const QString &path, const WindowRequest &r) {
            benchmark::RegisterBenchmark((base + name).c_str(), runRead, path, r)->Unit(benchmark::kMicrosecond);
        };
        request.codecName = CodecName::ShiftJis;
        add("sjis, chosen", sjis, request);
        request.codecName = CodecName::Unicode;
        add("sjis, detected before", sjis, [&] {
            WindowRequest carried = request;
            carried.detected = LineWindowReader::read(sjis, request).detected;
            return carried;
        }());
        add("sjis, first detection", sjis, request);
        request.codecName = CodecName::Utf8;
        add("ascii, chosen", ascii, request);
        request.codecName = CodecName::Unicode;
        add("ascii, nothing to detect", ascii, request);
        pairs.push_back({base + "sjis, detected before", base + "sjis, chosen"});
        pairs.push_back({base + "sjis, first detection", base + "sjis, chosen"});
        pairs.push_back({base + "ascii, nothing to detect", base + "ascii, chosen"});
    }
    QFile sjisFile(sjis);
    QFile asciiFile(ascii);
    if (!sjisFile.open(QIODevice::ReadOnly) || !asciiFile.open(QIODevice::ReadOnly))
        qFatal("cannot read the inputs");
    benchmark::RegisterBenchmark("detectJapanese | 4 KiB of Shift-JIS", runDetect, sjisFile.read(4096))
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("detectJapanese | 128 KiB of ASCII", runDetect, asciiFile.read(128 * 1024))
        ->Unit(benchmark::kMicrosecond);

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\n%-40s %12s %12s %8s\n", "case", "detect us", "chosen us", "ratio");
    for (const auto &pair : pairs) {
        const double detect = reporter.seconds[pair.first];
        const double chosen = reporter.seconds[pair.second];
        if (detect > 0 && chosen > 0)
            std::printf("%-40s %12.1f %12.1f %8.2f\n", pair.first.c_str(), detect * 1e6, chosen * 1e6,
                        detect / chosen);
    }
    benchmark::Shutdown();
    return 0;
}
