// Highlight rules: which rule colours which character (order, scopes, each
// colour on its own, the highlight text above all), the rules kept in the
// settings store and in rule files, and the quick colours of the view's
// context menu through a real window.

#include "highlightrules.h"
#include "highlightrulesdialog.h"
#include "mainwindow.h"
#include "rulepaint.h"
#include "viewcontextmenu.h"
#include "viewfill.h"
#include "windowharness.h"

#include <QMenu>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

Q_DECLARE_METATYPE(HighlightRules)

namespace {

HighlightRule rule(const QString &pattern, const char *foreground, const char *background,
                   bool wholeLine = false, bool regex = false, bool caseSensitive = false)
{
    HighlightRule r;
    r.pattern = {pattern, regex, caseSensitive};
    r.foreground = foreground ? QColor(foreground) : QColor();
    r.background = background ? QColor(background) : QColor();
    r.wholeLine = wholeLine;
    return r;
}

// "foreground/background" of the character at position as the view paints
// it: its format, under the rules' colours that the view's layout draws
// over it; "-" for a colour that neither sets (the view's own), and "!"
// behind it when it is bold (a mark).
QString coloursAt(QTextEdit *view, int position)
{
    QTextCursor cursor(view->document());
    cursor.setPosition(position + 1);
    QTextCharFormat format = cursor.charFormat();
    const QTextBlock block = view->document()->findBlock(position);
    const QBrush ground = view->palette().base();
    for (const QTextLayout::FormatRange &range : ruleRanges(lineColours(block), ground)) {
        const int at = position - block.position();
        if (at < range.start || at >= range.start + range.length)
            continue;
        if (range.format.background() != ground)
            format.setBackground(range.format.background());
        if (range.format.hasProperty(QTextFormat::ForegroundBrush))
            format.setForeground(range.format.foreground());
    }
    const auto name = [&](QTextFormat::Property property) {
        return format.hasProperty(property) ? format.brushProperty(property).color().name()
                                            : QStringLiteral("-");
    };
    return name(QTextFormat::ForegroundBrush) + '/' + name(QTextFormat::BackgroundBrush)
           + (format.fontWeight() == QFont::Bold ? QStringLiteral("!") : QString());
}

QSettings store()
{
    return QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));
}

// The last line's K is the Kelvin sign, which ignoring case reads as k.
const char document[] = "ERROR worker-7 failed\ninfo worker-3 ok\nkelvin o\u212a\n";
//                       0     6         16    22   27     35  39     46

} // namespace

class TestHighlightRules : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void ruleColoursCharacters_data();
    void ruleColoursCharacters();
    void rulesSurviveARestart();
    void ruleFiles_data();
    void ruleFiles();
    void quickColourFromTheContextMenu();

private:
    QTemporaryDir dir;
    testkit::ModalDriver *driver = nullptr;
};

void TestHighlightRules::initTestCase()
{
    QVERIFY(dir.isValid());
    harness::prepareApplication(dir.filePath(QStringLiteral("settings")));
    driver = new testkit::ModalDriver(this);
}

void TestHighlightRules::init()
{
    harness::clearSettings();
}

void TestHighlightRules::ruleColoursCharacters_data()
{
    QTest::addColumn<HighlightRules>("rules");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QStringList>("expected");   // "position=colours"

    const char *red = "#ff0000", *green = "#00ff00", *blue = "#0000ff";
    QTest::newRow("upper rule wins where two overlap")
        << HighlightRules{rule("work", nullptr, red), rule("worker", nullptr, green)} << QString()
        << QStringList{"6=-/#ff0000", "9=-/#ff0000", "10=-/#00ff00", "11=-/#00ff00", "12=-/-"};
    QTest::newRow("order reversed")
        << HighlightRules{rule("worker", nullptr, green), rule("work", nullptr, red)} << QString()
        << QStringList{"6=-/#00ff00", "11=-/#00ff00"};
    QTest::newRow("a colour left unset shows the rule below")
        << HighlightRules{rule("worker", blue, nullptr), rule("work", nullptr, green)} << QString()
        << QStringList{"6=#0000ff/#00ff00", "10=#0000ff/-", "5=-/-"};
    QTest::newRow("whole line under a match, even from above")
        << HighlightRules{rule("error", nullptr, red, true), rule("worker", blue, green)} << QString()
        << QStringList{"0=-/#ff0000", "5=-/#ff0000", "6=#0000ff/#00ff00", "20=-/#ff0000", "26=-/-"};
    QTest::newRow("upper whole-line rule wins the line")
        << HighlightRules{rule("ERROR", nullptr, red, true), rule("w.rker", blue, green, true, true)}
        << QString() << QStringList{"0=#0000ff/#ff0000", "27=#0000ff/#00ff00"};
    QTest::newRow("highlight text above every rule")
        << HighlightRules{rule("worker", blue, green), rule("info", nullptr, red, true)}
        << QStringLiteral("ork") << QStringList{"6=#0000ff/#00ff00", "7=#ff0000/#ffff00!", "28=#ff0000/#ffff00!", "22=-/#ff0000", "27=#0000ff/#00ff00"};
    QTest::newRow("regular expression alternation")
        << HighlightRules{rule("ERROR|worker-3", nullptr, red, false, true)} << QString()
        << QStringList{"0=-/#ff0000", "6=-/-", "27=-/#ff0000", "35=-/-"};
    QTest::newRow("a regular expression that also matches empty text")
        << HighlightRules{rule("o*", nullptr, red, false, true)} << QString()
        << QStringList{"24=-/-", "25=-/#ff0000", "26=-/-", "36=-/#ff0000", "37=-/-"};
    QTest::newRow("case ignored beyond ASCII")
        << HighlightRules{rule("OK", nullptr, red), rule("(?i)elv", nullptr, green, false, true)}
        << QString() << QStringList{"36=-/#ff0000", "46=-/#ff0000", "47=-/#ff0000", "40=-/#00ff00"};
    QTest::newRow("case sensitive, disabled, invalid and colourless rules colour nothing")
        << [&] {
               HighlightRules rules{rule("error", red, red, true, false, true),
                                    rule("info", red, red), rule("(ok", red, red, false, true),
                                    rule("worker", nullptr, nullptr)};
               rules[1].enabled = false;
               return rules;
           }()
        << QString() << QStringList{"0=-/-", "22=-/-", "27=-/-", "36=-/-"};
}

void TestHighlightRules::ruleColoursCharacters()
{
    QFETCH(HighlightRules, rules);
    QFETCH(QString, needle);
    QFETCH(QStringList, expected);
    QTextEdit view;
    fillView(&view, QString::fromUtf8(document), QTextCharFormat(), needle,
             highlightFormat(QColor("#ffff00"), QColor("#ff0000")), RuleMarks(rules));
    for (const QString &entry : expected) {
        const int position = entry.section('=', 0, 0).toInt();
        QCOMPARE(QString::number(position) + '=' + coloursAt(&view, position), entry);
    }
}

void TestHighlightRules::rulesSurviveARestart()
{
    HighlightRules stored{rule("worker-\\d+", "#123456", nullptr, false, true, true),
                          rule("(unclosed", nullptr, "#abcdef", true, true),
                          rule("ok", nullptr, "#00ff00", true)};
    {
        QSettings settings = store();
        writeHighlightRules(settings, stored);
    }
    {
        MainWindow window;
        // The dialog names the invalid rule and where its pattern breaks.
        QString problems;
        bool switchedOff = false;
        driver->onNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<HighlightRulesDialog *>(modal);
            QVERIFY(dialog);
            problems = dialog->problems();
            switchedOff = !dialog->rules().at(1).enabled;
            dialog->accept();
        });
        window.editHighlightRules();
        QVERIFY(driver->acted());
        QVERIFY2(problems.startsWith(QString::fromUtf8("規則 2: 正規表現の誤り (10 文字目)")),
                 qPrintable(problems));
        QVERIFY(switchedOff);
    }
    stored[1].enabled = false;
    QSettings settings = store();
    QCOMPARE(readHighlightRules(settings), stored);
    QCOMPARE(settings.value("highlightRules/2/foreground").toString(), QString());
    QCOMPARE(settings.value("highlightRules/2/background").toString(), QStringLiteral("#abcdef"));

    // Without rules the store holds no array, as before there were rules.
    writeHighlightRules(settings, {});
    settings.sync();
    { MainWindow window; }
    settings.sync();
    QVERIFY(!store().childGroups().contains(QStringLiteral("highlightRules")));
}

void TestHighlightRules::ruleFiles_data()
{
    QTest::addColumn<QByteArray>("content");   // of a file in place of an export; "-": none
    QTest::addColumn<bool>("imports");
    QTest::newRow("exported rules") << QByteArray() << true;
    QTest::newRow("missing file") << QByteArray("-") << false;
    QTest::newRow("not a rule file") << QByteArray("[General]\nsktype=1\n") << false;
}

void TestHighlightRules::ruleFiles()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, imports);
    const QString path = dir.filePath(QStringLiteral("rules-%1.ini").arg(QTest::currentDataTag()));
    const HighlightRules exported{rule(QString::fromUtf8("警告|エラー"), "#ff0000", nullptr, true, true),
                                  rule("id=7", nullptr, "#0000ff")};
    QString error;
    if (content.isEmpty())
        QVERIFY2(exportHighlightRules(path, exported, &error), qPrintable(error));
    else if (content != "-")
        QVERIFY(testkit::writeFile(path, content));

    HighlightRules imported{rule("kept", nullptr, "#00ff00")};
    const HighlightRules before = imported;
    QCOMPARE(importHighlightRules(path, &imported, &error), imports);
    QCOMPARE(imported, imports ? exported : before);
    QCOMPARE(error.isEmpty(), imports);
    if (!imports)
        QVERIFY2(error.contains(path), qPrintable(error));
}

void TestHighlightRules::quickColourFromTheContextMenu()
{
    const QString path = dir.filePath(QStringLiteral("quick.log"));
    QVERIFY(testkit::writeFile(path, QByteArray(document)));
    {
        QSettings settings = store();
        settings.setValue(QStringLiteral("sktype"), 0);
        writeHighlightRules(settings, {rule("info", nullptr, "#eeeeee", true)});
    }
    MainWindow window;
    harness::Controls c(&window);
    window.show();
    window.openFile(path);
    QTextCursor cursor(c.view->document());
    cursor.setPosition(9);   // inside "worker", nothing selected: the word
    c.view->setTextCursor(cursor);

    auto *menuOwner = c.view->findChild<ViewContextMenu *>();
    QVERIFY(menuOwner);
    const auto trigger = [&](const QString &caption, int index) {
        std::unique_ptr<QMenu> menu(menuOwner->build(QPoint(1, 1)));
        for (QAction *action : menu->actions()) {
            if (action->text() != caption)
                continue;
            (action->menu() ? action->menu()->actions().at(index) : action)->trigger();
            return true;
        }
        return false;
    };
    const PresetColours &third = presetColours().at(2);
    QVERIFY(trigger(QString::fromUtf8("選択文字列をハイライト"), 2));
    const QString quick = third.foreground.name() + '/' + third.background.name();
    QCOMPARE(coloursAt(c.view, 6), quick);
    QCOMPARE(coloursAt(c.view, 5), QStringLiteral("#000000/-"));   // the view's text colour
    QCOMPARE(coloursAt(c.view, 27), quick);   // the other line's "worker", over its line
    QCOMPARE(coloursAt(c.view, 22), QStringLiteral("#000000/#eeeeee"));

    QVERIFY(trigger(QString::fromUtf8("ハイライトを消去"), 0));
    QCOMPARE(coloursAt(c.view, 6), QStringLiteral("#000000/-"));
    QCOMPARE(coloursAt(c.view, 27), QStringLiteral("#000000/#eeeeee"));   // the user's own rule stays

    // The same from the keyboard, on the word at the cursor: Ctrl+Shift+8.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    c.view->setFocus();
    cursor.setPosition(17);   // inside "failed"
    c.view->setTextCursor(cursor);
    QTest::keyClick(c.view, Qt::Key_8, Qt::ControlModifier | Qt::ShiftModifier);
    const PresetColours &eighth = presetColours().at(7);
    QCOMPARE(coloursAt(c.view, 15), eighth.foreground.name() + '/' + eighth.background.name());
}

QTEST_MAIN(TestHighlightRules)
#include "tst_highlightrules.moc"
