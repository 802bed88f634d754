#include "backgroundjob.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

BackgroundJob::BackgroundJob(QObject *parent)
    : QObject(parent)
{
    progressTimer.setInterval(100);
    connect(&progressTimer, &QTimer::timeout, this, [this] {
        if (current && clock.elapsed() >= ProgressDelayMs)
            emit progressed(current->percent.load());
    });
}

BackgroundJob::~BackgroundJob()
{
    cancel();
    future.waitForFinished();
}

void BackgroundJob::cancel()
{
    if (current)
        current->cancel.store(true);
    current.reset();
    progressTimer.stop();
}

void BackgroundJob::began()
{
    clock.start();
    // Polled every 100 ms; the first report is due at ProgressDelayMs.
    progressTimer.start();
}

void BackgroundJob::finish(quint64 run, const std::function<void()> &deliver)
{
    // A result of work that was cancelled or replaced meanwhile is dropped.
    if (run != runNumber || !current)
        return;
    current.reset();
    progressTimer.stop();
    deliver();
}

void BackgroundJob::yieldToTheWindow()
{
    // Linux gives each thread a nice value of its own; a pool thread keeps it.
    thread_local bool lowered = false;
    if (!lowered) {
        lowered = true;
        setpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)), 10);
    }
}
