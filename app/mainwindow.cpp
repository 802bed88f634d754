// MainWindow: constructor, destructor, changeEvent, openFile.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "filedropfilter.h"

#include <QEvent>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      lastFileSize(0),
      maxLineChars(1000),
      extractMode(true)
{
    ui->setupUi(this);
    ui->textEdit->setLineWrapMode(QTextEdit::NoWrap);
    // The view is read-only and rebuilt at every reload: an undo history
    // would only cost time and memory.
    ui->textEdit->document()->setUndoRedoEnabled(false);
    readSettings();
    connect(&reloadTimer, &QTimer::timeout, this, &MainWindow::reloadFile);
    watchScrolling();
    // A file dropped onto the window opens as if chosen in the open dialog.
    installFileDropFilter(this, ui->textEdit, [this](const QString &path) {
        if (!path.isEmpty())
            openFile(path);
    });
}

MainWindow::~MainWindow()
{
    writeSettings();
    delete ui;
}

void MainWindow::openFile(const QString &path)
{
    filePath = path;
    if (filePath.isEmpty())
        return;
    setWindowFilePath(filePath);
    refresh();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
