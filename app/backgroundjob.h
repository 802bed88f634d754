#ifndef BACKGROUNDJOB_H
#define BACKGROUNDJOB_H

// One long piece of work (a search through a large file) at a time, off the
// GUI thread. Starting another cancels the one running; cancel() stops it at
// the engine's next check and forgets its result at once. The result comes
// back to the GUI thread through the event loop; progress is polled there,
// and only shown once the work has run for a while.

#include <QElapsedTimer>
#include <QFuture>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <functional>
#include <memory>

class BackgroundJob : public QObject
{
    Q_OBJECT

public:
    // The state one run shares with its worker thread.
    struct Control
    {
        std::atomic<bool> cancel{false};
        std::atomic<int> percent{0};
        // Runs deliver on the GUI thread while this run is still the current
        // one: partial results, such as a batch of matches.
        std::function<void(std::function<void()> deliver)> post;
    };

    // Progress shows only after this long, so that quick work never flickers.
    static constexpr int ProgressDelayMs = 200;

    explicit BackgroundJob(QObject *parent = nullptr);
    // Cancels the work and waits for its thread, which the engine lets go
    // within a few milliseconds.
    ~BackgroundJob() override;

    // Runs work(control) on a pool thread, then done(result) on this object's
    // thread unless cancelled or replaced by then.
    template <typename Result>
    void start(std::function<Result(Control &)> work, std::function<void(const Result &)> done)
    {
        cancel();
        auto control = std::make_shared<Control>();
        current = control;
        const quint64 run = ++runNumber;
        QPointer<BackgroundJob> self(this);
        control->post = [self, run](std::function<void()> deliver) {
            QMetaObject::invokeMethod(
                self.data(),
                [self, run, deliver] {
                    if (self->current && run == self->runNumber)
                        deliver();
                },
                Qt::QueuedConnection);
        };
        future = QtConcurrent::run([control, work, done, run, self] {
            yieldToTheWindow();
            const Result result = work(*control);
            if (control->cancel.load())
                return;
            QMetaObject::invokeMethod(
                self.data(), [self, run, result, done] { self->finish(run, [&] { done(result); }); },
                Qt::QueuedConnection);
        });
        began();
    }

    void cancel();
    bool isRunning() const { return current != nullptr; }

signals:
    // The share done, 0 to 100, while the work has run for ProgressDelayMs or more.
    void progressed(int percent);

private:
    // Gives the worker thread a lower priority than the GUI thread's, so that
    // on a busy machine painting and input come first.
    static void yieldToTheWindow();
    void began();
    void finish(quint64 run, const std::function<void()> &deliver);

    std::shared_ptr<Control> current;
    quint64 runNumber = 0;
    QFuture<void> future;
    QTimer progressTimer;
    QElapsedTimer clock;
};

#endif // BACKGROUNDJOB_H
