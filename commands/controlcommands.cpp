// MainWindow: on_pushButton_4_clicked, on_pushButton_2_clicked,
// on_comboBox_3_currentIndexChanged, on_spinBox_valueChanged,
// on_doubleSpinBox_valueChanged, on_comboBox_2_currentIndexChanged,
// on_comboBox_currentIndexChanged.
//
// Setting a control from code runs its handler inside the setter when the value
// really changes; the cascades below rely on that (and count on it: every
// nested handler refreshes on its own).

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include <iterator>

namespace {

// Timer interval of each entry of the frequency box; entry 0 means off.
const int reloadIntervalsMs[] = {0, 500, 1000, 5000, 10000, 30000, 60000};

} // namespace

void MainWindow::on_pushButton_4_clicked()
{
    refresh();
}

void MainWindow::on_pushButton_2_clicked()
{
    // Track newest: the view follows the end again, newest mode (its own
    // cascade), then updates every 0.5 s.
    followEnd();
    setStartMode(WindowRequest::NewestMode);
    ui->comboBox_3->setCurrentIndex(1);
}

void MainWindow::on_comboBox_3_currentIndexChanged(int index)
{
    const auto entry = static_cast<unsigned>(index);   // -1 while the box is empty
    if (entry >= std::size(reloadIntervalsMs))
        return;
    autoReload = entry != 0;
    if (entry == 0) {
        reloadTimer.stop();
    } else {
        // Single-shot, re-armed by reloadFile() when a reload ends.
        reloadTimer.setSingleShot(true);
        reloadTimer.start(reloadIntervalsMs[entry]);
    }
}

void MainWindow::on_spinBox_valueChanged(int)
{
    refresh();
}

void MainWindow::on_doubleSpinBox_valueChanged(double value)
{
    // A position strictly inside the file means percent mode; that switch runs
    // the start-mode cascade (timer off, refresh) before the refresh here.
    dropAnchor();
    if (value != 0.0 && value != 100.0)
        setStartMode(WindowRequest::PercentMode);
    showNextWindowFromTop();
    refresh();
}

void MainWindow::on_comboBox_2_currentIndexChanged(int index)
{
    dropAnchor();
    showNextWindowFromTop();
    switch (startModeFromIndex(index)) {
    case WindowRequest::NewestMode:   // the position goes to the end; the timer keeps its state
        ui->doubleSpinBox->setValue(100.0);
        break;
    case WindowRequest::PercentMode:   // no following; the next timer reload reads anew
        ui->comboBox_3->setCurrentIndex(0);
        lastFileSize = 0;
        break;
    case WindowRequest::HeaderMode:   // no following, position at the start
        ui->comboBox_3->setCurrentIndex(0);
        ui->doubleSpinBox->setValue(0.0);
        lastFileSize = 0;
        break;
    case WindowRequest::NoStartMode:
        break;
    }
    refresh();
}

void MainWindow::on_comboBox_currentIndexChanged(QString text)
{
    // The entries' texts are the steps; an unparsable text gives 0.0.
    bool ok = false;
    const double step = text.toDouble(&ok);
    ui->doubleSpinBox->setSingleStep(ok ? step : 0.0);
}
