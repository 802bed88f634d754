// The view side of a reload, each case side by side with the same text set
// whole into a QPlainTextEdit, the plain widget a user would compare with:
//   - a follow tick: k new lines arrive in a newest-mode window of N lines
//     (the view drops k lines at the top, appends k, marks them, scrolls);
//     reference: the plain widget laying out just those k lines;
//   - a full rebuild of the window (setPlainText, marks, scroll), with the
//     window's line layout and with Qt's own as before; reference: the plain
//     widget set to the whole window;
//   - the worst event-loop stall of a real window following a file that grows
//     by 10 lines every 100 ms (N = 999, timer 0.5 s); reference: the plain
//     widget set to the whole window once.
// The same tick and rebuild (N = 999) with ten highlight rules, side by side
// with the highlight text alone. The tick and the rebuild also on lines full
// of hidden characters (direction controls and zero-width characters, drawn
// as markers), beside the same cases on ordinary lines. A match of the
// highlight text on every line. Each case lets the event loop
// run, so layout and painting count. Then the earlier comparison with the
// literal way (setPlainText, then the QTextDocument::find loop; the
// stream-based reading) on a 999-line window, and the status line's share of
// a timer reload of the unchanged file and of a whole refresh. Runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise.

#include "linelayout.h"
#include "linewindowreader.h"
#include "literalreader.h"
#include "mainwindow.h"
#include "statusline.h"
#include "viewfill.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSettings>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTextDocument>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

const QString needle = QStringLiteral("error");

// Line i of the log, bytes long with its line feed.
// hidden: the filler is full of characters that the view shows as markers.
QString logLine(int i, int bytes, bool hidden = false)
{
    QString line = QStringLiteral("2026-12-08 10:%1 [ERROR] worker-%2 request %3 failed: ")
                       .arg(i % 60, 2, 10, QLatin1Char('0'))
                       .arg(i % 7)
                       .arg(i, 8, 10, QLatin1Char('0'));
    const QString filler = hidden ? QString::fromUtf8("user=\u202egnp.exe\u202c \u2066mallory\u2069\u200b ")
                                  : QStringLiteral("upstream timed out, retrying ");
    while (line.size() < bytes - 1)
        line += filler;
    line.truncate(bytes - 1);
    return line + QLatin1Char('\n');
}

// The newest-mode window of lines [first, first + n): the lines and the empty
// line behind the final line feed.
QString window(int first, int n, int bytes, bool hidden = false)
{
    QString text;
    for (int i = first; i < first + n; ++i)
        text += logLine(i, bytes, hidden);
    return text + QLatin1Char('\n');
}

template <typename View> void prepare(View *view)
{
    view->setReadOnly(true);
    view->setLineWrapMode(View::NoWrap);
    view->document()->setUndoRedoEnabled(false);
    view->resize(900, 400);
    view->show();
    QCoreApplication::processEvents();
}

// Lets the event loop run until the view is laid out whole: the line layout
// shapes lines out of sight in later turns, and that work counts.
void finishLayout(QTextEdit *view)
{
    QCoreApplication::processEvents();
    if (auto *layout = qobject_cast<LineLayout *>(view->document()->documentLayout())) {
        layout->layoutRest();
        QCoreApplication::processEvents();
    }
}

FillKey newestKey()
{
    FillKey key;
    key.request.startMode = WindowRequest::NewestMode;
    key.request.highlightText = needle;
    key.markFormat = highlightFormat(QColor("#ffff00"), QColor("#ff0000"));
    return key;
}

// Ten rules such as a user keeps for this log: five literal, five regular
// expressions, two of them whole-line. Each line gets four to six coloured
// runs besides the highlight text's mark; five rules look for what never
// comes, which costs their whole search.
RuleMarks tenRules()
{
    const auto rule = [](const char *pattern, bool regex, const char *foreground,
                         const char *background, bool wholeLine = false) {
        HighlightRule r;
        r.pattern = {QString::fromLatin1(pattern), regex, false};
        r.foreground = foreground ? QColor(foreground) : QColor();
        r.background = background ? QColor(background) : QColor();
        r.wholeLine = wholeLine;
        return r;
    };
    return RuleMarks({rule("[ERROR]", false, "#ffffff", "#c62828"),
                      rule("failed", false, "#c62828", nullptr),
                      rule("request \\d+", true, "#1565c0", nullptr),
                      rule("worker-[0-6]", true, "#2e7d32", nullptr),
                      rule("refused", false, "#ff6f00", nullptr),
                      rule("panic", false, "#ffffff", "#6a1b9a"),
                      rule("(reset|closed) by peer", true, "#ff6f00", nullptr),
                      rule("user=\\w+", true, "#00838f", nullptr),
                      rule("worker-3", false, nullptr, "#e8f0ff", true),
                      rule("10:0\\d", true, nullptr, "#fff3e0", true)});
}

// args: k new lines, N, bytes per line
void runFollowTicks(benchmark::State &state, const FillKey &key, bool hidden = false)
{
    const int k = int(state.range(0)), n = int(state.range(1)), bytes = int(state.range(2));
    QTextEdit view;
    installLineLayout(&view);
    prepare(&view);
    FilledView filled;
    int dropped = 0;
    refillView(&view, filled, key, window(0, n, bytes, hidden), &dropped);
    // A tick is done when its lines are laid out, those out of sight included.
    finishLayout(&view);
    int first = 0;
    int appended = 0;
    for (auto _ : state) {
        state.PauseTiming();
        first += k;
        const QString next = window(first, n, bytes, hidden);
        state.ResumeTiming();
        appended += refillView(&view, filled, key, next, &dropped) == FillChange::Appended;
        scrollToEnd(&view);
        finishLayout(&view);
    }
    // With k >= N no line of the old window stays: those ticks are rebuilds.
    state.counters["appended"] = appended == int(state.iterations()) ? 1 : 0;
}

void BM_FollowTick(benchmark::State &state)
{
    runFollowTicks(state, newestKey());
}

void BM_FollowTickHidden(benchmark::State &state)
{
    runFollowTicks(state, newestKey(), true);
}

// args: k new lines, N, bytes per line, 1 for ten rules (0: the highlight text alone)
void BM_RulesFollowTick(benchmark::State &state)
{
    FillKey key = newestKey();
    if (state.range(3))
        key.rules = tenRules();
    runFollowTicks(state, key);
}

void BM_PlainKLines(benchmark::State &state)
{
    const int k = int(state.range(0)), bytes = int(state.range(2));
    QPlainTextEdit view;
    prepare(&view);
    const QString lines = window(1000, k, bytes);
    for (auto _ : state) {
        view.setPlainText(lines);
        view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCoreApplication::processEvents();
    }
}

// args: N, bytes per line
void runRebuilds(benchmark::State &state, bool lineLayout, const FillKey &key, bool hidden = false)
{
    const int n = int(state.range(0)), bytes = int(state.range(1));
    QTextEdit view;
    if (lineLayout)
        installLineLayout(&view);
    prepare(&view);
    const QString texts[] = {window(0, n, bytes, hidden), window(1, n, bytes, hidden)};
    int i = 0;
    for (auto _ : state) {
        fillView(&view, texts[++i % 2], key.textFormat, key.request.highlightText, key.markFormat, key.rules);
        scrollToEnd(&view);
        // Done when all of it is laid out: either layout would go on in
        // later turns of the event loop.
        view.document()->size();
        finishLayout(&view);
    }
}

// args: N, bytes per line, 1 for the window's line layout (0: Qt's own, as before)
void BM_Rebuild(benchmark::State &state)
{
    runRebuilds(state, state.range(2) != 0, newestKey());
}

void BM_RebuildHidden(benchmark::State &state)
{
    runRebuilds(state, true, newestKey(), true);
}

// args: N, bytes per line, 1 for ten rules (0: the highlight text alone)
void BM_RulesRebuild(benchmark::State &state)
{
    FillKey key = newestKey();
    if (state.range(2))
        key.rules = tenRules();
    runRebuilds(state, true, key);
}

void BM_PlainWhole(benchmark::State &state)
{
    const int n = int(state.range(0)), bytes = int(state.range(1));
    QPlainTextEdit view;
    prepare(&view);
    const QString texts[] = {window(0, n, bytes), window(1, n, bytes)};
    int i = 0;
    for (auto _ : state) {
        view.setPlainText(texts[++i % 2]);
        view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        QCoreApplication::processEvents();
    }
}

// The real window follows a file that a thread grows by 10 lines every
// 100 ms; a 1 ms timer measures how late the event loop serves it (one
// of 1 ms, not 5, is due during almost every reload, so the worst gap is seen).
void BM_FollowStall(benchmark::State &state)
{
    const int bytes = int(state.range(0));
    const bool follow = state.range(1) != 0;   // 0: the timer off, the same window idle beside the writer
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath(QStringLiteral("growing.log"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(window(0, 1200, bytes).toUtf8());
    }
    {
        QSettings settings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));
        settings.clear();
        settings.setValue(QStringLiteral("sktype"), 1);
        settings.setValue(QStringLiteral("linecnt"), 999);
        settings.setValue(QStringLiteral("chmode"), false);
    }
    // TAILPEEK_BENCH_GAPS=1: every gap over 1.5 ms, with its time, on stderr.
    const bool showGaps = qEnvironmentVariableIsSet("TAILPEEK_BENCH_GAPS");
    qint64 worst = 0;         // microseconds
    qint64 worstSteady = 0;   // after the first second: the first layout of the window is done
    for (auto _ : state) {
        MainWindow viewer;
        viewer.resize(900, 500);
        viewer.show();
        viewer.findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(needle);
        viewer.openFile(path);
        if (follow)
            viewer.findChild<QComboBox *>(QStringLiteral("comboBox_3"))->setCurrentIndex(1);   // 0.5 s
        QCoreApplication::processEvents();

        std::atomic<bool> stop{false};
        std::thread writer([&] {
            for (int i = 1200; !stop; i += 10) {
                QFile file(path);
                file.open(QIODevice::WriteOnly | QIODevice::Append);
                file.write(window(i, 10, bytes).chopped(1).toUtf8());
                file.close();
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
        QElapsedTimer clock;
        clock.start();
        qint64 due = 1000;   // microseconds
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed() / 1000;
            if (showGaps && now - due > 1500)
                fprintf(stderr, "gap %.2f ms at %.3f s\n", (now - due) / 1000.0, now / 1e6);
            worst = qMax(worst, now - due);
            if (now > 1000000)
                worstSteady = qMax(worstSteady, now - due);
            due = now + 1000;
        });
        probe.start(1);   // PreciseTimer
        while (clock.elapsed() < 6000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        stop = true;
        writer.join();
    }
    state.counters["worst_stall_ms"] = double(worst) / 1000;
    state.counters["worst_after_1s_ms"] = double(worstSteady) / 1000;
}

const QColor background("#ffff00");
const QColor foreground("#ff0000");

// The literal comparison: the window of a 5,000-line log read by the engine.
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

// A view as the window has it: its line layout, read-only, no wrapping, no undo history.
std::unique_ptr<QTextEdit> ourView()
{
    auto view = std::make_unique<QTextEdit>();
    installLineLayout(view.get());
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
        finishLayout(view.get());
    }
}

// The new text and its marks in one edit block, as a reload puts them in.
void BM_SetPlainTextWithMarks(benchmark::State &state)
{
    auto view = ourView();
    const QTextCharFormat format = highlightFormat(background, foreground);
    int marks = 0;
    for (auto _ : state) {
        fillView(view.get(), fixture->window, QTextCharFormat(), needle, format);
        marks = view->toPlainText().count(needle, Qt::CaseInsensitive);
        scrollToEnd(view.get());
        finishLayout(view.get());
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
        fillView(view.get(), result.text, QTextCharFormat(), needle, format);
        scrollToEnd(view.get());
        finishLayout(view.get());
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

BENCHMARK(BM_SetPlainText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetPlainTextWithMarks)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SetPlainTextThenFindLoop)->Unit(benchmark::kMillisecond)->Iterations(5);
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
    line.showRead(fixture->path, QString(), LineWindowReader::read(fixture->path, fixture->request),
                  true);
    for (auto _ : state) {
        const WindowResult result = LineWindowReader::read(fixture->path, fixture->request, size);
        line.showRead(fixture->path, QString(), result, false);
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
        line.showRead(fixture->path, QString(), result, true);
        fillView(view.get(), result.text, QTextCharFormat(), needle, format);
        scrollToEnd(view.get());
        finishLayout(view.get());
    }
}

BENCHMARK(BM_Refresh)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RefreshLiteral)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_UnchangedReload)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_UnchangedReloadWithStatusLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RefreshWithStatusLine)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK(BM_FollowTick)
    ->ArgsProduct({{1, 10, 20, 100}, {20, 200, 999}, {120, 1000}})
    ->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_FollowTickHidden)
    ->ArgsProduct({{10, 100}, {999}, {120, 1000}})
    ->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_PlainKLines)
    ->ArgsProduct({{1, 10, 20, 100}, {0}, {120, 1000}})
    ->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_Rebuild)->ArgsProduct({{20, 200, 999}, {120, 1000}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RebuildHidden)->ArgsProduct({{200, 999}, {120, 1000}})->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_PlainWhole)->ArgsProduct({{20, 200, 999}, {120, 300, 1000}})->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RulesRebuild)->ArgsProduct({{999}, {120, 1000}, {0, 1}})->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_RulesFollowTick)
    ->ArgsProduct({{20}, {999}, {120, 1000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_FollowStall)->Args({120, 1})->Args({300, 1})->Args({120, 0})->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir settingsDir;
    QCoreApplication::setApplicationName(QStringLiteral("Tailpeek"));
    QCoreApplication::setOrganizationName(QStringLiteral("VARNOK"));
    QStandardPaths::setTestModeEnabled(true);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    benchmark::Initialize(&argc, argv);

    Fixture data;
    data.path = QDir(data.dir.path()).filePath(QStringLiteral("errors.log"));
    writeLog(data.path);
    data.request.startMode = WindowRequest::NewestMode;
    data.request.lineCount = 999;
    data.request.maxLineChars = 1000;
    data.window = LineWindowReader::read(data.path, data.request).text;
    fixture = &data;

    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
