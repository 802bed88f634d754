// The find bar and the match list in a real window (offscreen) on a large
// log: how long the event loop waits at worst while a search or a listing
// runs, beside the same loop idle for as long in the same run; how soon the
// list shows its first rows; and what following an append costs.
//
// Usage: tailpeek_bench_findwindow LOG PATTERN
//   LOG      a large log (tools/bench-search.sh writes one of 2 GiB), read-only
//            but for the append the follow case makes and takes back
//   PATTERN  a literal that about 1 % of its lines hold, for the listing

#include "filesearch.h"
#include "mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

// Runs the event loop with a 1 ms timer until done() or the limit, and
// returns the longest gap between two of its ticks, in ms.
double worstGap(const std::function<bool()> &done, qint64 limitMs, qint64 *tookMs = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 worst = 0;
    QTimer tick;
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = qMax(worst, now - last);
        last = now;
    });
    tick.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    if (tookMs)
        *tookMs = clock.elapsed();
    return double(worst) / 1e6;
}

template <typename T> T *child(QObject *window, const char *name)
{
    T *found = window->findChild<T *>(QString::fromLatin1(name));
    if (!found) {
        fprintf(stderr, "no %s\n", name);
        ::exit(2);
    }
    return found;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QByteArray("/tmp/tailpeek-bench-findwindow-config"));
    QApplication app(argc, argv);
    if (argc < 3) {
        fprintf(stderr, "usage: %s LOG PATTERN\n", argv[0]);
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    const QString pattern = QString::fromLocal8Bit(argv[2]);
    const qint64 size = QFile(path).size();

    MainWindow window;
    window.show();
    child<QComboBox>(&window, "comboBox_2")->setCurrentIndex(0);
    window.openFile(path);
    auto *bar = child<QWidget>(&window, "findBar");
    auto *text = child<QLineEdit>(&window, "findText");
    auto *next = child<QPushButton>(&window, "findNext");
    auto *all = child<QPushButton>(&window, "findAll");
    auto *dock = child<QDockWidget>(&window, "matchDock");
    auto *list = child<QAbstractItemView>(&window, "matchList");

    // A search through the whole file for what it does not hold.
    text->setText(QStringLiteral("no such text in the log"));
    next->click();
    qint64 searchMs = 0;
    const double searchGap = worstGap([&] { return !bar->property("busy").toBool(); }, 120000, &searchMs);
    const double idleSearch = worstGap([] { return false; }, searchMs);

    // The whole list, its first rows, and the loop meanwhile.
    text->setText(pattern);
    QElapsedTimer listClock;
    listClock.start();
    all->click();
    qint64 firstRowsMs = -1;
    qint64 listMs = 0;
    const double listGap = worstGap(
        [&] {
            if (firstRowsMs < 0 && list->model()->rowCount() > 0)
                firstRowsMs = listClock.elapsed();
            return !dock->property("busy").toBool();
        },
        120000, &listMs);
    const double idleList = worstGap([] { return false; }, listMs);
    const int rows = list->model()->rowCount();

    // Following: 1 MB more, 1 % of its lines holding the pattern, found by a
    // timer reload; then the file is cut back to its size.
    QByteArray more;
    for (int i = 0; more.size() < 1000000; ++i) {
        more += i % 100 == 0 ? QStringLiteral("appended line %1 %2\n").arg(i).arg(pattern).toUtf8()
                             : QStringLiteral("appended line %1 nothing to see here\n").arg(i).toUtf8();
    }
    child<QComboBox>(&window, "comboBox_3")->setCurrentIndex(1);
    {
        QFile file(path);
        if (!file.open(QIODevice::Append) || file.write(more) != more.size())
            return 1;
    }
    QElapsedTimer followClock;
    followClock.start();
    qint64 busySince = -1;
    qint64 followWork = -1;
    worstGap(
        [&] {
            const bool busy = dock->property("busy").toBool();
            if (busy && busySince < 0)
                busySince = followClock.nsecsElapsed();
            if (!busy && busySince >= 0 && followWork < 0)
                followWork = followClock.nsecsElapsed() - busySince;
            return followWork >= 0;
        },
        5000);
    const int followed = list->model()->rowCount() - rows;
    // The same scan alone, as the engine does it on the worker thread.
    SearchRequest appended;
    appended.path = path;
    appended.pattern.text = pattern;
    appended.fromByte = size;
    QElapsedTimer scanClock;
    scanClock.start();
    const FileSearch::Listing listing = FileSearch::listAll(
        appended, MatchPattern(), -1, [](const std::vector<qint64> &) {});
    const double scanMs = double(scanClock.nsecsElapsed()) / 1e6;
    if (::truncate(QFile::encodeName(path).constData(), size) != 0)
        perror("truncate");

    printf("File: %.0f MiB\n\n", double(size) / (1 << 20));
    printf("| Case | Tailpeek | Beside it | Target |\n|---|---|---|---|\n");
    printf("| Worst event-loop stall while a search reads the whole file (%.2f s) | %.1f ms | %.1f ms idle | <= 20 ms |\n",
           double(searchMs) / 1000, searchGap, idleSearch);
    printf("| First rows of the match list shown | %lld ms | %d rows in %.2f s in all | <= 100 ms |\n",
           firstRowsMs, rows, double(listMs) / 1000);
    printf("| Worst event-loop stall while the list fills | %.1f ms | %.1f ms idle | <= 20 ms |\n",
           listGap, idleList);
    printf("| Following: 1 MB appended, %d new rows listed | %.2f ms of work (the scan of the new bytes, %lld rows) | %.2f ms from the reload to the rows shown | <= 5 ms |\n",
           followed, scanMs, listing.count, double(followWork) / 1e6);
    return 0;
}
