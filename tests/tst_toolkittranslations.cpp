// Qt's own translations under a Japanese locale, through a real window: the
// Open, Font and Colour dialogs and the message boxes' buttons in Japanese;
// the program's own captions as they were; and a language change that keeps
// every control where the user left it.
//
// The test sets LANG=ja_JP.UTF-8 itself (Qt's system locale reads it; no
// glibc locale of that name is needed) and clears what would override it.

#include "mainwindow.h"
#include "toolkittranslations.h"
#include "windowharness.h"

#include <QAction>
#include <QApplication>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>

#include <memory>

using harness::Controls;

class TestToolkitTranslations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void openDialogIsJapanese();
    void fontAndColourDialogsAreJapanese();
    void messageBoxesAreJapanese();
    void languageChangeKeepsControlsAndCaptions();

private:
    // Triggers action and hands the dialog it opens to look; then cancels it.
    void inspectDialog(const char *action, const std::function<void(QWidget *)> &look);

    QTemporaryDir settingsDir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controls> controls;
    std::unique_ptr<testkit::ModalDriver> driver;
};

void TestToolkitTranslations::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    harness::prepareApplication(settingsDir.path());
    QCOMPARE(QLocale().language(), QLocale::Japanese);
    const QString catalogue =
        toolkitTranslationsPath() + QStringLiteral("/qtbase_ja.qm");
    QVERIFY2(QFileInfo::exists(catalogue),
             qPrintable(catalogue + " is missing: tools/install-deps.sh installs Qt's translations"
                                    " (qttranslations5-l10n, qt6-translations-l10n)"));
    QVERIFY(installToolkitTranslations(*QCoreApplication::instance()));
}

void TestToolkitTranslations::init()
{
    harness::clearSettings();
    window = std::make_unique<MainWindow>();
    controls = std::make_unique<Controls>(window.get());
    QVERIFY(controls->complete());
    driver = std::make_unique<testkit::ModalDriver>();
}

void TestToolkitTranslations::cleanup()
{
    QVERIFY2(driver->stuck().isEmpty(), qPrintable(driver->stuck().join(", ")));
    driver.reset();
    controls.reset();
    window.reset();
}

void TestToolkitTranslations::inspectDialog(const char *action,
                                            const std::function<void(QWidget *)> &look)
{
    driver->onNextModal([&](QWidget *modal) {
        look(modal);
        if (auto *dialog = qobject_cast<QDialog *>(modal))
            dialog->reject();
    });
    controls->action(action)->trigger();
    QVERIFY(driver->acted());
}

void TestToolkitTranslations::openDialogIsJapanese()
{
    QString title, accept, cancel;
    inspectDialog("actionOpen", [&](QWidget *modal) {
        auto *buttons = modal->findChild<QDialogButtonBox *>();
        QVERIFY(qobject_cast<QFileDialog *>(modal) && buttons);
        title = modal->windowTitle();
        accept = buttons->button(QDialogButtonBox::Open)->text();
        cancel = buttons->button(QDialogButtonBox::Cancel)->text();
    });
    QCOMPARE(title, QString::fromUtf8("開く"));
    QCOMPARE(accept, QString::fromUtf8("開く(&O)"));
    QCOMPARE(cancel, QString::fromUtf8("キャンセル"));
}

void TestToolkitTranslations::fontAndColourDialogsAreJapanese()
{
    QString fontTitle, colourTitle;
    inspectDialog("actionFont", [&](QWidget *modal) {
        QVERIFY(qobject_cast<QFontDialog *>(modal));
        fontTitle = modal->windowTitle();
    });
    inspectDialog("action", [&](QWidget *modal) {
        QVERIFY(qobject_cast<QColorDialog *>(modal));
        colourTitle = modal->windowTitle();
    });
    QCOMPARE(fontTitle, QString::fromUtf8("フォントの選択"));
    QCOMPARE(colourTitle, QString::fromUtf8("色を選択"));
}

void TestToolkitTranslations::messageBoxesAreJapanese()
{
    // The read warning: its one button. Japanese keeps "OK" as it is; the box's
    // own text is the program's and stays English.
    QString ok, text;
    driver->onNextModal([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY(box && box->button(QMessageBox::Ok));
        ok = box->button(QMessageBox::Ok)->text();
        text = box->text();
        box->accept();
    });
    window->openFile(settingsDir.filePath(QStringLiteral("missing.log")));
    QVERIFY(driver->acted());
    QCOMPARE(ok, QString::fromUtf8("OK"));
    QVERIFY2(text.startsWith(QLatin1String("Cannot read file ")), qPrintable(text));

    // The toolkit's about box, the one message box whose words are all Qt's.
    QString aboutTitle;
    inspectDialog("actionQt4", [&](QWidget *modal) { aboutTitle = modal->windowTitle(); });
    QCOMPARE(aboutTitle, QString::fromUtf8("Qt について"));
    QMessageBox question(QMessageBox::Question, QString(), QString(),
                         QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(question.button(QMessageBox::Cancel)->text(), QString::fromUtf8("キャンセル"));
}

void TestToolkitTranslations::languageChangeKeepsControlsAndCaptions()
{
    controls->startMode->setCurrentIndex(1);   // newest mode, percent 100
    controls->step->setCurrentIndex(3);
    controls->frequency->setCurrentIndex(2);
    controls->lineCount->setValue(77);
    controls->highlight->setText(QStringLiteral("error"));
    const QString update = controls->update->text();
    const QString startItem = controls->startMode->itemText(1);

    // A catalogue installed while the window is up posts a language change.
    auto *another = new QTranslator(window.get());
    QVERIFY(another->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                          toolkitTranslationsPath()));
    QVERIFY(QCoreApplication::installTranslator(another));
    QCoreApplication::sendPostedEvents();
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(window.get(), &change);

    QCOMPARE(controls->startMode->currentIndex(), 1);
    QCOMPARE(controls->percent->value(), 100.0);
    QCOMPARE(controls->step->currentIndex(), 3);
    QCOMPARE(controls->percent->singleStep(), 0.01);
    QCOMPARE(controls->frequency->currentIndex(), 2);
    QCOMPARE(controls->lineCount->value(), 77);
    QCOMPARE(controls->highlight->text(), QStringLiteral("error"));
    QCOMPARE(controls->update->text(), update);
    QCOMPARE(controls->update->text(), QString::fromUtf8("更新"));
    QCOMPARE(controls->startMode->itemText(1), startItem);
    QCOMPARE(controls->action("actionOpen")->text(), QString::fromUtf8("開く(&O)..."));
    QCoreApplication::removeTranslator(another);
}

int main(int argc, char *argv[])
{
    // A Japanese desktop's locale, with nothing in the environment above it.
    qunsetenv("LC_ALL");
    qunsetenv("LC_MESSAGES");
    qunsetenv("LANGUAGE");
    qputenv("LANG", "ja_JP.UTF-8");
    QApplication app(argc, argv);
    TestToolkitTranslations test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_toolkittranslations.moc"
