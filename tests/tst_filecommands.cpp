// File, clipboard and window commands through a real window: the open dialog
// cancelled and accepted, a file dropped on the window or on the view, the copy
// button and its note, the extract-mode toggle, the dock shown again, the per-line limit's
// input dialog, the about box and exit. Dialogs are driven from their own event
// loop; reads of the viewed file are counted with inotify.

#include "fileaccesswatch.h"
#include "mainwindow.h"
#include "windowharness.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDockWidget>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>
#include <QUrl>

#include <memory>

using harness::Controls;

class TestFileCommands : public QObject, private harness::WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openFileContract_data();
    void openFileContract();
    void openDialogCancelKeepsEverything();
    void openDialogAcceptViewsFile();
    void drop_data();
    void drop();
    void copyPutsWholeViewOnClipboard();
    void copyOfEmptyViewClearsClipboard();
    void extractToggleWaitsForNextRefresh();
    void dockShownAgain();
    void limitDialog();
    void aboutQt();
    void exitClosesWindow();

private:
    QString firstPath;
    QString secondPath;
};

void TestFileCommands::initTestCase()
{
    QVERIFY(prepare());
    firstPath = filePath(QStringLiteral("first.log"));
    secondPath = filePath(QStringLiteral("second.log"));
}

void TestFileCommands::init()
{
    QVERIFY(testkit::writeFile(firstPath, "alpha 1\nbeta 2\nalpha 3\n"));
    QVERIFY(testkit::writeFile(secondPath, "second file\n"));
    QVERIFY(openWindow(true));
}

void TestFileCommands::cleanup()
{
    const QStringList stuck = closeWindow();
    QVERIFY2(stuck.isEmpty(), qPrintable(stuck.join(QLatin1String(", "))));
}

void TestFileCommands::openFileContract_data()
{
    QTest::addColumn<bool>("empty");
    QTest::newRow("empty path changes nothing") << true;
    QTest::newRow("a path is viewed") << false;
}

void TestFileCommands::openFileContract()
{
    QFETCH(bool, empty);
    window->openFile(firstPath);
    const QString text = controls->text();
    const QString title = window->windowTitle();
    FileAccessWatch first(firstPath);
    FileAccessWatch second(secondPath);
    window->openFile(empty ? QString() : secondPath);
    QCOMPARE(window->windowFilePath(), empty ? firstPath : secondPath);
    if (empty) {
        QCOMPARE(window->windowTitle(), title);
        QCOMPARE(controls->text(), text);
        QCOMPARE(first.takeOpens(), 0);
    } else {
        QVERIFY(window->windowTitle().startsWith(QLatin1String("second.log")));
        QVERIFY(controls->text().startsWith(QLatin1String("second file\n")));
        QCOMPARE(second.takeOpens(), 1);
    }
    // A refresh reads the file the window shows.
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE((empty ? first : second).takeOpens(), 1);
    QCOMPARE((empty ? second : first).takeOpens(), 0);
}

void TestFileCommands::openDialogCancelKeepsEverything()
{
    window->openFile(firstPath);
    const QString text = controls->text();
    const QString title = window->windowTitle();
    FileAccessWatch watch(firstPath);
    bool parentIsWindow = false;
    driver->onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        parentIsWindow = dialog->parentWidget() == window.get();
        QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
        // It starts in the viewed file's folder.
        QCOMPARE(dialog->directory().absolutePath(), QFileInfo(firstPath).absolutePath());
        dialog->reject();
    });
    controls->action("actionOpen")->trigger();
    QVERIFY(driver->acted());
    QVERIFY(parentIsWindow);
    QCOMPARE(window->windowFilePath(), firstPath);
    QCOMPARE(window->windowTitle(), title);
    QCOMPARE(controls->text(), text);
    QCOMPARE(watch.takeOpens(), 0);
}

void TestFileCommands::openDialogAcceptViewsFile()
{
    window->openFile(firstPath);
    FileAccessWatch watch(secondPath);
    for (int round = 0; round < 2; ++round) {   // the same file chosen again reads it again
        driver->onNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<QFileDialog *>(modal);
            QVERIFY(dialog);
            // Typed into the name field as a user would. selectFile() leaves that
            // field alone while it has the focus, and whether the dialog has been
            // activated yet when this runs is up to the window system.
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(secondPath);
            static_cast<QDialog *>(dialog)->accept();   // QFileDialog's own checks the choice
        });
        controls->action("actionOpen")->trigger();
        QVERIFY(driver->acted());
        QCOMPARE(window->windowFilePath(), secondPath);
        QVERIFY(window->windowTitle().startsWith(QLatin1String("second.log")));
        QVERIFY(controls->text().startsWith(QLatin1String("second file\n")));
        QCOMPARE(watch.takeOpens(), 1);
    }
}

void TestFileCommands::drop_data()
{
    QTest::addColumn<bool>("onView");
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<bool>("opens");
    QTest::newRow("file on the window") << false << QUrl() << true;
    QTest::newRow("file on the view") << true << QUrl() << true;
    QTest::newRow("web address on the window") << false << QUrl(QStringLiteral("https://example.org/x.log")) << false;
    QTest::newRow("web address on the view") << true << QUrl(QStringLiteral("https://example.org/x.log")) << false;
}

void TestFileCommands::drop()
{
    QFETCH(bool, onView);
    QFETCH(QUrl, url);
    QFETCH(bool, opens);
    if (url.isEmpty())
        url = QUrl::fromLocalFile(secondPath);

    window->openFile(firstPath);
    const QString text = controls->text();
    FileAccessWatch watch(secondPath);
    QWidget *target = onView ? controls->view->viewport() : static_cast<QWidget *>(window.get());
    const QPoint at = target->rect().center();
    QMimeData mime;
    mime.setUrls({url});

    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QCOMPARE(enter.isAccepted(), opens);
    QDropEvent dropEvent(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &dropEvent);

    QCOMPARE(window->windowFilePath(), opens ? secondPath : firstPath);
    if (opens)
        QVERIFY(controls->text().startsWith(QLatin1String("second file\n")));
    else
        QCOMPARE(controls->text(), text);
    QCOMPARE(watch.takeOpens(), opens ? 1 : 0);
}

void TestFileCommands::copyPutsWholeViewOnClipboard()
{
    window->openFile(firstPath);
    controls->view->selectAll();   // a selection does not narrow what is copied
    QTextCursor cursor = controls->view->textCursor();
    cursor.setPosition(2);
    controls->view->setTextCursor(cursor);
    QApplication::clipboard()->setText(QStringLiteral("stale"));
    QTest::mouseClick(controls->copy, Qt::LeftButton);
    const QString copied = QApplication::clipboard()->text();
    QVERIFY(copied.startsWith(QLatin1String("alpha 1\nbeta 2\nalpha 3\n")));
    QCOMPARE(copied, controls->text());
    // The status line says so: 20 reads, the 3 lines and 17 past the end.
    auto *note = window->findChild<QLabel *>(QStringLiteral("statusNote"));
    QVERIFY(note && note->isVisible());
    QCOMPARE(note->text(), QString::fromUtf8("20 行をコピーしました"));
}

void TestFileCommands::copyOfEmptyViewClearsClipboard()
{
    QApplication::clipboard()->setText(QStringLiteral("stale"));
    QTest::mouseClick(controls->copy, Qt::LeftButton);
    QCOMPARE(QApplication::clipboard()->text(), QString());
}

void TestFileCommands::extractToggleWaitsForNextRefresh()
{
    QAction *extract = controls->action("action_3");
    QVERIFY(extract->isChecked());   // extract mode on by default
    controls->startMode->setCurrentIndex(WindowRequest::HeaderMode);
    controls->lineCount->setValue(3);
    controls->highlight->setText(QStringLiteral("alpha"));
    window->openFile(firstPath);
    QCOMPARE(controls->text(), QStringLiteral("alpha 1\nalpha 3\n"));

    FileAccessWatch watch(firstPath);
    extract->trigger();
    QVERIFY(!extract->isChecked());
    QCOMPARE(controls->text(), QStringLiteral("alpha 1\nalpha 3\n"));
    QCOMPARE(watch.takeOpens(), 0);
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE(controls->text(), QStringLiteral("alpha 1\nbeta 2\nalpha 3\n"));

    extract->trigger();
    QVERIFY(extract->isChecked());
    QCOMPARE(controls->text(), QStringLiteral("alpha 1\nbeta 2\nalpha 3\n"));
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE(controls->text(), QStringLiteral("alpha 1\nalpha 3\n"));
}

void TestFileCommands::dockShownAgain()
{
    QAction *show = controls->action("action_8");
    controls->dock->close();
    QVERIFY(!controls->dock->isVisible());
    show->trigger();
    QVERIFY(controls->dock->isVisible());
    QVERIFY(!controls->dock->isFloating());

    // A visible floating dock stays floating where it is.
    controls->dock->setFloating(true);
    const QPoint where = controls->dock->pos();
    show->trigger();
    QVERIFY(controls->dock->isVisible());
    QVERIFY(controls->dock->isFloating());
    QCOMPARE(controls->dock->pos(), where);
}

void TestFileCommands::limitDialog()
{
    QVERIFY(testkit::writeFile(firstPath, "abcdefghij\n"));
    controls->startMode->setCurrentIndex(WindowRequest::HeaderMode);
    controls->lineCount->setValue(3);
    window->openFile(firstPath);
    QCOMPARE(controls->text(), QStringLiteral("abcdefghij\n\n\n"));
    FileAccessWatch watch(firstPath);

    struct Seen { QWidget *parent; QString title, label; int value, minimum, maximum, step; } seen{};
    auto look = [&](QInputDialog *dialog) {
        seen = {dialog->parentWidget(), dialog->windowTitle(), dialog->labelText(), dialog->intValue(),
                dialog->intMinimum(), dialog->intMaximum(), dialog->intStep()};
    };
    driver->onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        look(dialog);
        dialog->setIntValue(4);
        dialog->accept();
    });
    controls->action("action_6")->trigger();
    QVERIFY(driver->acted());
    QCOMPARE(seen.parent, static_cast<QWidget *>(window.get()));
    QCOMPARE(seen.title, QStringLiteral("Tailpeek"));
    QCOMPARE(seen.label, QStringLiteral("InputValue:"));
    QCOMPARE(seen.value, 1000);
    QCOMPARE(seen.minimum, 1);
    QCOMPARE(seen.maximum, 9999);
    QCOMPARE(seen.step, 1);
    QCOMPARE(watch.takeOpens(), 0);                       // no refresh of its own
    QCOMPARE(controls->text(), QStringLiteral("abcdefghij\n\n\n"));
    QTest::mouseClick(controls->update, Qt::LeftButton);  // the next read splits at 4
    QCOMPARE(controls->text(), QStringLiteral("abcd\nefgh\nij\n"));

    // Cancelled: the limit stays at 4, shown as the dialog's starting value.
    driver->onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        QVERIFY(dialog);
        look(dialog);
        dialog->setIntValue(9);
        dialog->reject();
    });
    controls->action("action_6")->trigger();
    QVERIFY(driver->acted());
    QCOMPARE(seen.value, 4);
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE(controls->text(), QStringLiteral("abcd\nefgh\nij\n"));
}

void TestFileCommands::aboutQt()
{
    window->openFile(firstPath);
    FileAccessWatch watch(firstPath);
    QString title;
    QWidget *parent = nullptr;
    driver->onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        parent = box->parentWidget();
        box->button(QMessageBox::Ok)->click();
    });
    controls->action("actionQt4")->trigger();
    QVERIFY(driver->acted());
    QCOMPARE(title, QStringLiteral("About Qt"));
    QCOMPARE(parent, static_cast<QWidget *>(window.get()));
    QCOMPARE(watch.takeOpens(), 0);
}

void TestFileCommands::exitClosesWindow()
{
    QVERIFY(window->isVisible());
    controls->action("action_X")->trigger();
    QVERIFY(!window->isVisible());
}

QTEST_MAIN(TestFileCommands)
#include "tst_filecommands.moc"
