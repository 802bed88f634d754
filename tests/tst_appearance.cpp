// The five appearance commands through a real window, with their dialogs
// driven to cancel and to accept: the dialog each one opens, its parent and the
// value it starts from; what a cancel leaves (font and background: nothing, not
// even a read; the three others: one re-read with unchanged colours); and what
// an accepted choice changes, at once or at the re-read.

#include "fileaccesswatch.h"
#include "mainwindow.h"
#include "platformfonts.h"
#include "windowharness.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTest>
#include <QTextEdit>

#include <memory>

using harness::Controls;

namespace {

const QColor white("#ffffff");
const QColor black("#000000");
const QColor yellow("#ffff00");
const QColor red("#ff0000");

// "alpha" twice: ten marked characters, "beta 2" unmarked at position 8.
const QByteArray content = "alpha 1\nbeta 2\nalpha 3\n";
const int markedChars = 10;
const int unmarkedPosition = 8;

const QPalette::ColorGroup colourGroups[] = {QPalette::Active, QPalette::Inactive, QPalette::Disabled};

} // namespace

class TestAppearance : public QObject, private harness::WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void cancelled_data();
    void cancelled();
    void fontAccepted();
    void fontAcceptedUnchangedKeepsStoredFamily();
    void backgroundAccepted();
    void textColourAccepted();
    void highlightColoursAccepted_data();
    void highlightColoursAccepted();
    void selectingInViewKeepsTextColour_data();
    void selectingInViewKeepsTextColour();

private:
    // Triggers the action; the colour dialog it opens is set to colour and accepted.
    void chooseColour(const char *action, const QColor &colour);

    QString path;
    std::unique_ptr<FileAccessWatch> watch;
};

void TestAppearance::initTestCase()
{
    QVERIFY(prepare());
    registerJapaneseFontSubstitutes();   // as main() does
    path = filePath(QStringLiteral("look.log"));
}

void TestAppearance::init()
{
    QVERIFY(testkit::writeFile(path, content));
    QVERIFY(openWindow(true));
    controls->startMode->setCurrentIndex(WindowRequest::HeaderMode);
    controls->lineCount->setValue(3);
    controls->action("action_3")->trigger();   // extract mode off: every line shows
    controls->highlight->setText(QStringLiteral("alpha"));
    window->openFile(path);
    QCOMPARE(controls->text(), QString::fromLatin1(content));
    QCOMPARE(harness::charsWithBackground(controls->view, yellow), markedChars);
    watch.reset(new FileAccessWatch(path));
}

void TestAppearance::cleanup()
{
    watch.reset();
    const QStringList stuck = closeWindow();
    QVERIFY2(stuck.isEmpty(), qPrintable(stuck.join(QLatin1String(", "))));
}

void TestAppearance::cancelled_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("fontDialog");
    QTest::addColumn<bool>("parentIsWindow");
    QTest::addColumn<QColor>("initialColour");
    QTest::addColumn<int>("reads");
    QTest::newRow("font") << "actionFont" << true << true << QColor() << 0;
    QTest::newRow("background") << "action" << false << false << white << 0;
    QTest::newRow("text colour") << "action_2" << false << true << black << 1;
    QTest::newRow("highlight background") << "action_4" << false << false << yellow << 1;
    QTest::newRow("highlight text colour") << "action_5" << false << false << red << 1;
}

void TestAppearance::cancelled()
{
    QFETCH(QString, action);
    QFETCH(bool, fontDialog);
    QFETCH(bool, parentIsWindow);
    QFETCH(QColor, initialColour);
    QFETCH(int, reads);

    if (fontDialog) {
        // A family this system has, so the dialog can show it as it is.
        QFont present(QFontDatabase().families().first(), 14);
        present.setUnderline(true);
        controls->view->setFont(present);
    }
    const QFont font = controls->view->font();
    const QPalette palette = controls->view->palette();
    bool rightKind = false;
    QWidget *parent = nullptr;
    QFont shownFont;
    QColor shownColour;
    driver->onNextModal([&](QWidget *modal) {
        parent = modal->parentWidget();
        if (auto *dialog = qobject_cast<QFontDialog *>(modal)) {
            rightKind = fontDialog;
            shownFont = dialog->currentFont();
            dialog->setCurrentFont(QFont(QStringLiteral("Serif"), 31));
            dialog->reject();
        } else if (auto *dialog = qobject_cast<QColorDialog *>(modal)) {
            rightKind = !fontDialog;
            shownColour = dialog->currentColor();
            dialog->setCurrentColor(QColor("#123456"));
            dialog->reject();
        }
    });
    controls->action(action.toLatin1().constData())->trigger();
    QVERIFY(driver->acted());
    QVERIFY(rightKind);
    QCOMPARE(parent, parentIsWindow ? static_cast<QWidget *>(window.get()) : nullptr);
    if (fontDialog) {
        QCOMPARE(shownFont.family(), font.family());
        QCOMPARE(shownFont.pointSize(), font.pointSize());
        QCOMPARE(shownFont.underline(), true);
        QCOMPARE(shownFont.strikeOut(), false);
    } else {
        QCOMPARE(shownColour, initialColour);
    }

    QCOMPARE(watch->takeOpens(), reads);
    QCOMPARE(controls->view->font(), font);
    QCOMPARE(controls->view->palette(), palette);
    QCOMPARE(controls->view->textColor(), black);
    QCOMPARE(controls->text(), QString::fromLatin1(content));
    QCOMPARE(harness::charsWithBackground(controls->view, yellow), markedChars);
    QCOMPARE(harness::foregroundAt(controls->view, 0), red);
    QCOMPARE(harness::foregroundAt(controls->view, unmarkedPosition), black);
}

void TestAppearance::fontAccepted()
{
    const QStringList families = QFontDatabase().families();
    QVERIFY(!families.isEmpty());
    QFont wanted(families.last(), 23);
    wanted.setUnderline(true);
    wanted.setStrikeOut(true);
    QFont chosen;
    driver->onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFontDialog *>(modal);
        QVERIFY(dialog);
        dialog->setCurrentFont(wanted);
        chosen = dialog->currentFont();
        dialog->accept();
    });
    controls->action("actionFont")->trigger();
    QVERIFY(driver->acted());
    QVERIFY(chosen.underline() && chosen.strikeOut());
    QCOMPARE(controls->view->font(), chosen);
    QCOMPARE(watch->takeOpens(), 0);   // shows at once, without a read
    QCOMPARE(controls->text(), QString::fromLatin1(content));
    QCOMPARE(harness::charsWithBackground(controls->view, yellow), markedChars);
}

void TestAppearance::fontAcceptedUnchangedKeepsStoredFamily()
{
    // A fresh store: the family "ＭＳ ゴシック", which this system draws
    // through a substitute.
    const QFont stored = controls->view->font();
    QCOMPARE(stored.family(), QStringLiteral("ＭＳ ゴシック"));
    const QString drawn = QFontInfo(stored).family();
    QVERIFY(QFontDatabase().families().contains(drawn));
    QString shown;
    driver->onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QFontDialog *>(modal);
        QVERIFY(dialog);
        shown = dialog->currentFont().family();
        dialog->accept();
    });
    controls->action("actionFont")->trigger();
    QVERIFY(driver->acted());
    QCOMPARE(shown, drawn);
    QCOMPARE(controls->view->font(), stored);
    QCOMPARE(QFontInfo(controls->view->font()).family(), drawn);
    controls.reset();
    window.reset();
    QCOMPARE(QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"))
                 .value(QStringLiteral("fontfamily")).toString(),
             QStringLiteral("ＭＳ ゴシック"));
}

void TestAppearance::chooseColour(const char *action, const QColor &colour)
{
    driver->onNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<QColorDialog *>(modal);
        QVERIFY(dialog);
        dialog->setCurrentColor(colour);
        dialog->accept();
    });
    controls->action(action)->trigger();
    QVERIFY(driver->acted());
}

void TestAppearance::backgroundAccepted()
{
    const QColor chosen("#123456");
    chooseColour("action", chosen);
    QCOMPARE(watch->takeOpens(), 0);
    for (QPalette::ColorGroup group : colourGroups) {
        QCOMPARE(controls->view->palette().brush(group, QPalette::Base).color(), chosen);
        QCOMPARE(controls->view->palette().brush(group, QPalette::Base).style(), Qt::SolidPattern);
    }
    // Still so while the window is inactive and while the view is disabled.
    controls->view->setEnabled(false);
    QCOMPARE(controls->view->palette().color(controls->view->palette().currentColorGroup(),
                                             QPalette::Base),
             chosen);
    controls->view->setEnabled(true);
    QCOMPARE(controls->text(), QString::fromLatin1(content));
}

void TestAppearance::textColourAccepted()
{
    const QColor blue("#0000ff");
    chooseColour("action_2", blue);
    QCOMPARE(watch->takeOpens(), 1);
    QCOMPARE(controls->view->textColor(), blue);
    // The whole rebuilt view takes the colour, and the marks are made again.
    QCOMPARE(harness::foregroundAt(controls->view, unmarkedPosition), blue);
    QCOMPARE(harness::foregroundAt(controls->view, content.size() - 2), blue);
    QCOMPARE(harness::foregroundAt(controls->view, 0), red);
    QCOMPARE(harness::charsWithBackground(controls->view, yellow), markedChars);

    // Later rebuilds keep it, also when the view starts with a mark.
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE(harness::foregroundAt(controls->view, unmarkedPosition), blue);
    QCOMPARE(controls->view->textColor(), blue);
}

void TestAppearance::highlightColoursAccepted_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("foreground");
    QTest::newRow("highlight background") << "action_4" << QColor("#00ff00") << red;
    QTest::newRow("highlight text colour") << "action_5" << yellow << QColor("#ff00ff");
}

void TestAppearance::highlightColoursAccepted()
{
    QFETCH(QString, action);
    QFETCH(QColor, background);
    QFETCH(QColor, foreground);
    chooseColour(action.toLatin1().constData(), action == QLatin1String("action_4") ? background
                                                                                     : foreground);
    QCOMPARE(watch->takeOpens(), 1);
    QCOMPARE(harness::charsWithBackground(controls->view, background), markedChars);
    QCOMPARE(harness::foregroundAt(controls->view, 0), foreground);
    QCOMPARE(harness::foregroundAt(controls->view, unmarkedPosition), black);
}

void TestAppearance::selectingInViewKeepsTextColour_data()
{
    QTest::addColumn<int>("position");
    QTest::newRow("click behind a mark") << 3;
    QTest::newRow("click on unmarked text") << unmarkedPosition + 2;
    QTest::newRow("select across a mark") << -1;
}

void TestAppearance::selectingInViewKeepsTextColour()
{
    QFETCH(int, position);
    // The user clicks into the view or selects text to copy it; the following
    // rebuilds must still show unmarked text in the view's own colour.
    QTextCursor cursor = controls->view->textCursor();
    if (position >= 0) {
        cursor.setPosition(position);
    } else {
        cursor.setPosition(unmarkedPosition);
        cursor.setPosition(2, QTextCursor::KeepAnchor);
    }
    controls->view->setTextCursor(cursor);
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE(harness::foregroundAt(controls->view, unmarkedPosition), black);
    QCOMPARE(harness::charsWithBackground(controls->view, yellow), markedChars);
    // A selection is the reader's and outlives the reload, in its own format.
    if (position >= 0)
        QCOMPARE(controls->view->textColor(), black);
    else
        QCOMPARE(controls->view->textCursor().selectionEnd(), unmarkedPosition);
    QTest::mouseClick(controls->update, Qt::LeftButton);
    QCOMPARE(harness::foregroundAt(controls->view, unmarkedPosition), black);

    // With the cursor standing there again, the text colour dialog starts from
    // the view's colour, and that colour is what the store receives.
    controls->view->setTextCursor(cursor);
    QColor shown;
    driver->onNextModal([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QColorDialog *>(modal)) {
            shown = dialog->currentColor();
            dialog->reject();
        }
    });
    controls->action("action_2")->trigger();
    QCOMPARE(shown, black);
    controls->view->setTextCursor(cursor);
    controls.reset();
    window.reset();
    QCOMPARE(QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"))
                 .value(QStringLiteral("txcolor")).toString(),
             QStringLiteral("#000000"));
}

QTEST_MAIN(TestAppearance)
#include "tst_appearance.moc"
