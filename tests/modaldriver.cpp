#include "modaldriver.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>

namespace testkit {

namespace {
const int watchdogMs = 5000;
}

ModalDriver::ModalDriver(QObject *parent) : QObject(parent)
{
    clock.start();
    pollTimer.setInterval(10);
    connect(&pollTimer, &QTimer::timeout, this, &ModalDriver::poll);
    pollTimer.start();
}

void ModalDriver::onNextModal(std::function<void(QWidget *)> act)
{
    pending = std::move(act);
    actDone = false;
}

void ModalDriver::reset()
{
    pending = nullptr;
    actDone = false;
    stuckDialogs.clear();
}

int ModalDriver::warningsOpen() const
{
    int open = 0;
    for (const auto &box : countedBoxes)
        open += box && box->isVisible();
    return open;
}

QString ModalDriver::describeWarnings() const
{
    QStringList parts;
    for (const Warning &w : seenWarnings)
        parts << QStringLiteral("[%1 ms] %2: %3").arg(w.shownAtMs).arg(w.title, w.text);
    return QStringLiteral("%1 warning(s) %2").arg(seenWarnings.size()).arg(parts.join(QStringLiteral("; ")));
}

void ModalDriver::noteWarnings()
{
    // Every box counts once, also one stacked under another modal widget. A
    // destroyed box drops out, so a new box at a reused address counts again.
    countedBoxes.removeAll(nullptr);
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box || !box->isVisible() || countedBoxes.contains(box))
            continue;
        countedBoxes.append(box);
        seenWarnings.append({box->windowTitle(), box->text(), clock.elapsed()});
    }
}

void ModalDriver::poll()
{
    noteWarnings();
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal) {
        seen = nullptr;
        return;
    }
    if (modal != seen) {
        seen = modal;
        seenSince = clock.elapsed();
        if (pending) {
            auto act = std::move(pending);
            pending = nullptr;
            actDone = true;
            act(modal);
            return;
        }
    }
    auto *box = qobject_cast<QMessageBox *>(modal);
    const bool warning = box && warningHold >= 0;
    if (clock.elapsed() - seenSince < (warning ? warningHold : watchdogMs))
        return;
    if (!warning)
        stuckDialogs << QStringLiteral("%1 \"%2\"").arg(QLatin1String(modal->metaObject()->className()),
                                                        modal->windowTitle());
    seen = nullptr;
    if (QAbstractButton *ok = box ? box->button(QMessageBox::Ok) : nullptr)
        ok->click();
    else if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace testkit
