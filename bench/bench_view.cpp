// The view side of a reload, on a newest-mode window of 999 lines with a match
// of the highlight text on every line: setPlainText alone, setPlainText with
// the marks (ours, in the same edit block; and the find loop afterwards, each
// minus setPlainText alone giving the highlighting pass), and a whole refresh
// (read, setPlainText, highlight, scroll) done our way and the literal way.
// Every case scrolls to the end and lets the event loop run. Then the status
// line's share: a timer reload of the unchanged file, and a whole refresh,
// each without and with the status line's update. Prints the ratios.
//
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.

#include "linewindowreader.h"
#include "literalreader.h"
#include "statusline.h"
#include "viewfill.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTextEdit>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

namespace {

const QString needle = QStringLiteral("error");
const QColor background("#ffff00");
const QColor foreground("#ff0000");

struct Fixture
{
    QTemporaryDir dir;
    QString path;
    WindowRequest request;
    QString window;
};

Fixture *fixture = nullptr;

// 5,000 log lines of about 120 bytes, each with one "ERROR" in it.
void writeLog(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    for (int i = 0; i < 5000; ++i) {
        file.write(QStringLiteral("2026-12-08 10:%1 [ERROR] worker-%2 request %3 failed: "
                                  "upstream timed out after 30000 ms, retrying\n")
                       .arg(i % 60, 2, 10, QLatin1Char('0'))
                       .arg(i % 7)
                       .arg(i, 6, 10, QLatin1Char('0'))
                       .toUtf8());
    }
}

// A view as the window has it: read-only, no wrapping, no undo history.
std::unique_ptr<QTextEdit> ourView()
{
    auto view = std::make_unique<QTextEdit>();
    view->setReadOnly(true);
    view->setLineWrapMode(QTextEdit::NoWrap);
    view->document()->setUndoRedoEnabled(false);
    view->resize(900, 400);
    view->show();
    return view;
}

// A view as the literal design leaves it: undo history on.
std::unique_ptr<QTextEdit> literalView()
{
    auto view = std::make_unique<QTextEdit>();
    view->setReadOnly(true);
    view->setLineWrapMode(QTextEdit::NoWrap);
    view->resize(900, 400);
    view->show();
    return view;
}

void markByFindLoop(QTextEdit *view)
{
    const QTextCharFormat format = highlightFormat(background, foreground);
    QTextDocument *document = view->document();
    QTextCursor cursor = document->find(needle, 0, QTextDocument::FindFlags());
    while (!cursor.isNull()) {
        cursor.mergeCharFormat(format);
        cursor = document->find(needle, cursor, QTextDocument::FindFlags());
    }
}

void BM_SetPlainText(benchmark::State &state)
{
    auto view = ourView();
    for (auto _ : state) {
        view->setPlainText(fixture->window);
        scrollToEnd(view.get());
        QCoreApplication::processEvents();
    }
}

// The new text and its marks in one edit block, as a reload puts them in.
void BM_SetPlainTextWithMarks(benchmark::State &state)
{
    auto view = ourView();
    const QTextCharFormat format = highlightFormat(background, foreground);
    int marks = 0;
    for (auto _ : state) {
        fillView(view.get(), fixture->window,
                 [&] { marks = markMatches(view.get(), needle, format); });
        scrollToEnd(view.get());
        QCoreApplication::processEvents();
    }
    state.counters["marks"] = marks;
}

// The literal way: the find loop run after the text was set and laid out.
void BM_SetPlainTextThenFindLoop(benchmark::State &state)
{
    auto view = literalView();
    for (auto _ : state) {
        view->setPlainText(fixture->window);
        view->ensureCursorVisible();
        view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        markByFindLoop(view.get());
        QCoreApplication::processEvents();
    }
}

void BM_Refresh(benchmark::State &state)
{
    auto view = ourView();
    const QTextCharFormat format = highlightFormat(background, foreground);
    for (auto _ : state) {
        const WindowResult result = LineWindowReader::read(fixture->path, fixture->request);
        fillView(view.get(), result.text, [&] { markMatches(view.get(), needle, format); });
        scrollToEnd(view.get());
        QCoreApplication::processEvents();
    }
}

void BM_RefreshLiteral(benchmark::State &state)
{
    auto view = literalView();
    for (auto _ : state) {
        const QString text = LiteralReader::read(fixture->path, fixture->request);
        view->setPlainText(text);
        view->ensureCursorVisible();
        view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        markByFindLoop(view.get());
        QCoreApplication::processEvents();
    }
}

// The timer's tick on a file whose size has not changed: one open, one size query.
void BM_UnchangedReload(benchmark::State &state)
{
    const qint64 size = QFileInfo(fixture->path).size();
    for (auto _ : state)
        benchmark::DoNotOptimize(LineWindowReader::read(fixture->path, fixture->request, size));
}

// The same tick as reload() makes it, the status line told what it found.
void BM_UnchangedReloadWithStatusLine(benchmark::State &state)
{
    QStatusBar bar;
    bar.show();
    StatusLine line(&bar, nullptr);
    const qint64 size = QFileInfo(fixture->path).size();
    line.showRead(fixture->path, QString(), LineWindowReader::read(fixture->path, fixture->request));
    for (auto _ : state) {
        const WindowResult result = LineWindowReader::read(fixture->path, fixture->request, size);
        line.showRead(fixture->path, QString(), result);
        benchmark::DoNotOptimize(result);
    }
}

void BM_RefreshWithStatusLine(benchmark::State &state)
{
    auto view = ourView();
    QStatusBar bar;
    bar.show();
    StatusLine line(&bar, nullptr);
    const QTextCharFormat format = highlightFormat(background, foreground);
    for (auto _ : state) {
        const WindowResult result = LineWindowReader::read(fixture->path, fixture->request);
        line.showRead(fixture->path, QString(), result);
        fillView(view.get(), result.text, [&] { markMatches(view.get(), needle, format); });
        scrollToEnd(view.get());
        QCoreApplication::processEvents();
    }
}

BENCHMARK(BM_SetPlainText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetPlainTextWithMarks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetPlainTextThenFindLoop)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Refresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshLiteral)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnchangedReload)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnchangedReloadWithStatusLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshWithStatusLine)->Unit(benchmark::kMillisecond);

// Collects each case's mean time so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    std::map<std::string, double> seconds;

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            // With repetitions only the median counts; without, the one run.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            seconds[run.run_name.function_name] = run.GetAdjustedRealTime() / 1e3;   // ms -> s
        }
    }

    double of(const std::string &name) const
    {
        const auto found = seconds.find(name);
        return found == seconds.end() ? 0.0 : found->second;
    }

    static void printRatio(const char *what, double a, double b)
    {
        if (a > 0 && b > 0)
            std::printf("%-62s %10.2f\n", what, a / b);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);

    Fixture data;
    data.path = QDir(data.dir.path()).filePath(QStringLiteral("errors.log"));
    writeLog(data.path);
    data.request.startMode = WindowRequest::NewestMode;
    data.request.lineCount = 999;
    data.request.maxLineChars = 1000;
    data.window = LineWindowReader::read(data.path, data.request).text;
    fixture = &data;

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);

    const double plain = reporter.of("BM_SetPlainText");
    const double withMarks = reporter.of("BM_SetPlainTextWithMarks");
    const double literalMarks = reporter.of("BM_SetPlainTextThenFindLoop");
    std::printf("\nratios\n");
    RatioReporter::printRatio("highlighting pass (with marks - without) / setPlainText (<= 2)",
                              withMarks - plain, plain);
    RatioReporter::printRatio("literal highlighting pass / ours", literalMarks - plain,
                              withMarks - plain);
    RatioReporter::printRatio("literal refresh / ours (>= 30)", reporter.of("BM_RefreshLiteral"),
                              reporter.of("BM_Refresh"));
    RatioReporter::printRatio("unchanged timer reload with status line / without (~1)",
                              reporter.of("BM_UnchangedReloadWithStatusLine"),
                              reporter.of("BM_UnchangedReload"));
    RatioReporter::printRatio("refresh with status line / without",
                              reporter.of("BM_RefreshWithStatusLine"), reporter.of("BM_Refresh"));
    return 0;
}
