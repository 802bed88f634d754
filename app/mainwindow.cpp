// MainWindow: constructor, destructor, changeEvent, openFile.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "filedropfilter.h"
#include "linewindowreader.h"
#include "quietslotwarning.h"
#include "statusline.h"
#include "viewfill.h"
#include "viewkeys.h"

#include <QEvent>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent),
      ui(new Ui::MainWindow),
      lastFileSize(0),
      maxLineChars(WindowRequest::DefaultLineChars),
      extractMode(true)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    {
        // Qt 6's QComboBox has no currentIndexChanged(QString) for the form to
        // connect the step box's slot to by name; it is connected below.
        const QuietSlotWarning quiet("on_comboBox_currentIndexChanged(QString)");
        ui->setupUi(this);
    }
    // The one connection Qt 5 makes by name: at every change of the current
    // index (not when an entry's text changes), with the new entry's text.
    connect(ui->comboBox, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int index) { on_comboBox_currentIndexChanged(ui->comboBox->itemText(index)); });
#else
    ui->setupUi(this);
#endif
    ui->textEdit->setLineWrapMode(QTextEdit::NoWrap);
    installLineLayout(ui->textEdit);
    installViewKeys(ui->textEdit);
    // The view is read-only and rebuilt at every reload: an undo history
    // would only cost time and memory.
    ui->textEdit->document()->setUndoRedoEnabled(false);
    // Built before the settings are read, so that the first-start size counts it.
    statusLine = new StatusLine(statusBar(), this);
    setUpFind();
    readSettings();
    connect(&reloadTimer, &QTimer::timeout, this, &MainWindow::reloadFile);
    // Enter in the highlight field applies it, exactly as the update button does.
    connect(ui->lineEdit, &QLineEdit::returnPressed, ui->pushButton_4, &QPushButton::click);
    watchScrolling();
    watchFollowState();
    watchViewMenu();
    // A file dropped onto the window opens as if chosen in the open dialog.
    installFileDropFilter(this, ui->textEdit, [this](const QString &path) { openFile(path); });
}

MainWindow::~MainWindow()
{
    writeSettings();
    delete ui;
}

void MainWindow::openFile(const QString &path)
{
    if (path.isEmpty())
        return;
    dropAnchor();
    filePath = path;
    setWindowFilePath(filePath);
    showNextWindowFromTop();
    refresh();
}

void MainWindow::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}
