// The view side of a reload, each case side by side with the same text set
// whole into a QPlainTextEdit, the plain widget a user would compare with:
//   - a follow tick: k new lines arrive in a newest-mode window of N lines
//     (the view drops k lines at the top, appends k, marks them, scrolls);
//     reference: the plain widget laying out just those k lines;
//   - a full rebuild of the window (setPlainText, marks, scroll); reference:
//     the plain widget set to the whole window;
//   - the worst event-loop stall of a real window following a file that grows
//     by 10 lines every 100 ms (N = 999, timer 0.5 s); reference: the plain
//     widget set to the whole window once.
// A match of the highlight text on every line. Each case lets the event loop
// run, so layout and painting count. Runs on the offscreen platform unless
// QT_QPA_PLATFORM says otherwise.

#include "mainwindow.h"
#include "viewfill.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <atomic>
#include <thread>

namespace {

const QString needle = QStringLiteral("error");

// Line i of the log, bytes long with its line feed.
QString logLine(int i, int bytes)
{
    QString line = QStringLiteral("2026-12-08 10:%1 [ERROR] worker-%2 request %3 failed: ")
                       .arg(i % 60, 2, 10, QLatin1Char('0'))
                       .arg(i % 7)
                       .arg(i, 8, 10, QLatin1Char('0'));
    while (line.size() < bytes - 1)
        line += QStringLiteral("upstream timed out, retrying ");
    line.truncate(bytes - 1);
    return line + QLatin1Char('\n');
}

// The newest-mode window of lines [first, first + n): the lines and the empty
// line behind the final line feed.
QString window(int first, int n, int bytes)
{
    QString text;
    for (int i = first; i < first + n; ++i)
        text += logLine(i, bytes);
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

FillKey newestKey()
{
    FillKey key;
    key.startMode = 1;
    key.needle = needle;
    key.markFormat = highlightFormat(QColor("#ffff00"), QColor("#ff0000"));
    return key;
}

// args: k new lines, N, bytes per line
void BM_FollowTick(benchmark::State &state)
{
    const int k = int(state.range(0)), n = int(state.range(1)), bytes = int(state.range(2));
    QTextEdit view;
    prepare(&view);
    FilledView filled;
    const FillKey key = newestKey();
    int dropped = 0;
    refillView(&view, filled, key, window(0, n, bytes), &dropped);
    QCoreApplication::processEvents();
    int first = 0;
    int appended = 0;
    for (auto _ : state) {
        state.PauseTiming();
        first += k;
        const QString next = window(first, n, bytes);
        state.ResumeTiming();
        appended += refillView(&view, filled, key, next, &dropped) == FillChange::Appended;
        scrollToEnd(&view);
        QCoreApplication::processEvents();
    }
    // With k >= N no line of the old window stays: those ticks are rebuilds.
    state.counters["appended"] = appended == int(state.iterations()) ? 1 : 0;
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
void BM_Rebuild(benchmark::State &state)
{
    const int n = int(state.range(0)), bytes = int(state.range(1));
    QTextEdit view;
    prepare(&view);
    const FillKey key = newestKey();
    const QString texts[] = {window(0, n, bytes), window(1, n, bytes)};
    int i = 0;
    for (auto _ : state) {
        fillView(&view, texts[++i % 2], key.textFormat, key.needle, key.markFormat);
        scrollToEnd(&view);
        QCoreApplication::processEvents();
    }
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
// 100 ms; a 5 ms timer measures how late the event loop serves it.
void BM_FollowStall(benchmark::State &state)
{
    const int bytes = int(state.range(0));
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
    qint64 worst = 0;
    qint64 worstSteady = 0;   // after the first second: the first layout of the window is done
    for (auto _ : state) {
        MainWindow viewer;
        viewer.resize(900, 500);
        viewer.show();
        viewer.findChild<QLineEdit *>(QStringLiteral("lineEdit"))->setText(needle);
        viewer.openFile(path);
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
        qint64 due = 5;
        QTimer probe;
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, [&] {
            const qint64 now = clock.elapsed();
            worst = qMax(worst, now - due);
            if (now > 1000)
                worstSteady = qMax(worstSteady, now - due);
            due = now + 5;
        });
        probe.start(5);   // PreciseTimer: lateness beyond a millisecond is the loop's
        while (clock.elapsed() < 6000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        stop = true;
        writer.join();
    }
    state.counters["worst_stall_ms"] = double(worst);
    state.counters["worst_after_1s_ms"] = double(worstSteady);
}

} // namespace

BENCHMARK(BM_FollowTick)
    ->ArgsProduct({{1, 10, 20, 100}, {20, 200, 999}, {120, 1000}})
    ->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_PlainKLines)
    ->ArgsProduct({{1, 10, 20, 100}, {0}, {120, 1000}})
    ->Unit(benchmark::kMillisecond)->Iterations(60);
BENCHMARK(BM_Rebuild)->ArgsProduct({{20, 200, 999}, {120, 1000}})->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_PlainWhole)->ArgsProduct({{20, 200, 999}, {120, 300, 1000}})->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_FollowStall)->Arg(120)->Arg(300)->Unit(benchmark::kMillisecond)->Iterations(1);

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
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
