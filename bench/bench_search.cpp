// A small driver for the file search, run by tools/bench-search.sh side by
// side with GNU grep on the same files:
//   tailpeek_bench_search generate ascii|sjis|eucjp SIZE_MB PATH
//       writes a log of ~90-byte lines: INFO lines, 1 % WARN lines ("slow"),
//       0.1 % ERROR lines, and one unique ERROR line ("user=u31337", in the
//       Japanese logs also "決済に失敗しました") 37 % into the file, whose
//       byte offset it prints;
//   tailpeek_bench_search find PATH PATTERN [--codec C] [--regex] [--icase]
//       [--backward] [--from B] [--end B] [--reps N]
//   tailpeek_bench_search list PATH PATTERN [--codec C] [--regex] [--icase] [--reps N]
// find and list print the median wall time of N runs in seconds, then the
// hit's byte (or the count of matching reads).

#include "filesearch.h"
#include "textencoding.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QByteArray encode(const QString &text, const char *codec)
{
    return TextEncoding::choose(QString::fromLatin1(codec), QByteArray()).encode(text);
}

int generate(const QString &kind, qint64 sizeMb, const QString &path)
{
    const char *codec = kind == QLatin1String("sjis") ? "SJIS" : kind == QLatin1String("eucjp") ? "EUC-JP" : "UTF-8";
    const bool japanese = kind != QLatin1String("ascii");
    const QByteArray info = encode(japanese ? QString::fromUtf8("リクエストを処理しました") : "GET /api/v1/items", codec);
    const QByteArray warn = encode(japanese ? QString::fromUtf8("応答が遅延しています slow") : "slow response /api/v1/search", codec);
    const QByteArray error = encode(japanese ? QString::fromUtf8("処理に失敗しました") : "request failed", codec);
    const QByteArray unique = encode(japanese ? QString::fromUtf8("決済に失敗しました order=77123")
                                              : QStringLiteral("payment failed order=77123"), codec);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 1;
    const qint64 size = sizeMb * 1024 * 1024;
    const qint64 uniqueAt = size * 37 / 100;
    bool uniqueWritten = false;
    quint32 seed = 2026;
    QByteArray chunk;
    qint64 written = 0;
    char line[512];
    for (qint64 n = 0; written + chunk.size() < size; ++n) {
        seed = seed * 1664525u + 1013904223u;
        const quint32 r = seed >> 8;
        const int ms = int(r % 1000);
        const int user = 10000 + int((r / 1000) % 20000);
        const int second = int(n / 300 % 86400);
        int length;
        const char *stamp = "2026-12-09 %02d:%02d:%02d.%03d ";
        if (!uniqueWritten && written + chunk.size() >= uniqueAt) {
            uniqueWritten = true;
            std::printf("%lld\n", static_cast<long long>(written + chunk.size()));
            length = std::snprintf(line, sizeof line, stamp, second / 3600, second / 60 % 60, second % 60, ms);
            length += std::snprintf(line + length, sizeof line - size_t(length), "ERROR [worker-03] %s user=u31337 code=E4021\n",
                                    unique.constData());
        } else {
            const quint32 kindRoll = (r >> 4) % 1000;
            const QByteArray &text = kindRoll < 10 ? warn : kindRoll < 11 ? error : info;
            const char *level = kindRoll < 10 ? "WARN " : kindRoll < 11 ? "ERROR" : "INFO ";
            length = std::snprintf(line, sizeof line, stamp, second / 3600, second / 60 % 60, second % 60, ms);
            length += std::snprintf(line + length, sizeof line - size_t(length), "%s [worker-%02d] %s status=200 ms=%d user=u%d\n",
                                    level, int(r % 32), text.constData(), ms, user);
        }
        chunk.append(line, length);
        if (chunk.size() >= 1 << 20) {
            file.write(chunk);
            written += chunk.size();
            chunk.clear();
        }
    }
    file.write(chunk);
    return 0;
}

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 5 && args[1] == QLatin1String("generate"))
        return generate(args[2], args[3].toLongLong(), args[4]);
    if (args.size() < 4 || (args[1] != QLatin1String("find") && args[1] != QLatin1String("list"))) {
        std::fprintf(stderr, "usage: see the comment at the top of bench/bench_search.cpp\n");
        return 2;
    }
    SearchRequest request;
    request.path = args[2];
    request.pattern.text = args[3];
    request.pattern.caseSensitive = true;
    int reps = 5;
    for (int i = 4; i < args.size(); ++i) {
        const QString &a = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == QLatin1String("--codec")) {
            request.codecName = value;
            ++i;
        } else if (a == QLatin1String("--from")) {
            request.fromByte = value.toLongLong();
            ++i;
        } else if (a == QLatin1String("--end")) {
            request.endByte = value.toLongLong();
            ++i;
        } else if (a == QLatin1String("--reps")) {
            reps = value.toInt();
            ++i;
        } else if (a == QLatin1String("--regex")) {
            request.pattern.regex = true;
        } else if (a == QLatin1String("--icase")) {
            request.pattern.caseSensitive = false;
        } else if (a == QLatin1String("--backward")) {
            request.backward = true;
        }
    }
    std::vector<double> times;
    long long answer = -1;
    for (int r = 0; r < qMax(1, reps); ++r) {
        QElapsedTimer timer;
        timer.start();
        if (args[1] == QLatin1String("find")) {
            const SearchResult result = FileSearch::find(request);
            answer = result.status == SearchResult::Found ? result.hit.readStart : -1;
        } else {
            const FileSearch::Listing listing = FileSearch::listAll(request, MatchPattern(), -1, {});
            answer = listing.count;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::printf("%.4f %lld\n", median(times), answer);
    return 0;
}
