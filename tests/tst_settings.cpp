// The settings store through a real window: every default on a first start,
// exactly the seventeen keys with their values and types after a run, every
// persisted choice back after a restart, and the two mends of hand-edited or
// stale values (the per-line limit brought into 1 .. 9999, a window position on
// no screen replaced by the default, which is fitted to the screen). The store
// lives in a temporary folder.

#include "mainwindow.h"
#include "windowharness.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QInputDialog>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>

#include <memory>

using harness::Controls;

namespace {

QSettings store()
{
    return QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));
}

// The store's own lines "key=value", as the native (INI) format writes them.
QMap<QString, QString> storedLines()
{
    QMap<QString, QString> lines;
    QFile file(harness::settingsFile());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return lines;
    // The flat keys only: those of [General], not those of a group's section.
    bool flat = true;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith('['))
            flat = line.startsWith("[General]");
        const int equals = line.indexOf('=');
        if (flat && equals > 0)
            lines.insert(QString::fromLatin1(line.left(equals)), QString::fromLatin1(line.mid(equals + 1)));
    }
    return lines;
}

// The geometry of a window with no usable stored one: the default (200, 200)
// 900 x 400 where it fits the screen's available area (as the window shows,
// at least its least size), and otherwise no larger, inside that area.
bool isFirstStartGeometry(const MainWindow &window)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QSize least = window.minimumSizeHint();
    if (area.contains(QRect(QPoint(200, 200), QSize(900, 400).expandedTo(least))))
        return window.pos() == QPoint(200, 200) && window.size() == QSize(900, 400);
    return window.width() <= 900 && window.height() <= 400
           && area.contains(QRect(window.pos(), window.size().expandedTo(least)));
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void firstStartShowsDefaults();
    void firstRunStoresSeventeenKeys();
    void restartRestoresChoices();
    void storedStartMode_data();
    void storedStartMode();
    void lineLimitMended_data();
    void lineLimitMended();
    void geometryMended_data();
    void geometryMended();

private:
    // The value the per-line limit's input dialog starts from; cancelled.
    int limitShown(const Controls &controls);
    // The colour the dialog of action starts from; cancelled.
    QColor colourShown(const Controls &controls, const char *action);
    void chooseColour(const Controls &controls, const char *action, const QColor &colour);

    QTemporaryDir settingsDir;
    std::unique_ptr<testkit::ModalDriver> driver;
};

void TestSettings::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    harness::prepareApplication(settingsDir.path());
    QVERIFY(harness::settingsFile().startsWith(settingsDir.path()));
}

void TestSettings::init()
{
    harness::clearSettings();
    driver.reset(new testkit::ModalDriver);
}

void TestSettings::cleanup()
{
    QVERIFY2(driver->stuck().isEmpty(), qPrintable(driver->stuck().join(QLatin1String(", "))));
    driver.reset();
}

int TestSettings::limitShown(const Controls &controls)
{
    int shown = -1;
    driver->onNextModal([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QInputDialog *>(modal)) {
            shown = dialog->intValue();
            dialog->reject();
        }
    });
    controls.action("action_6")->trigger();
    return shown;
}

QColor TestSettings::colourShown(const Controls &controls, const char *action)
{
    QColor shown;
    driver->onNextModal([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QColorDialog *>(modal)) {
            shown = dialog->currentColor();
            dialog->reject();
        }
    });
    controls.action(action)->trigger();
    return shown;
}

void TestSettings::chooseColour(const Controls &controls, const char *action, const QColor &colour)
{
    driver->onNextModal([&](QWidget *modal) {
        if (auto *dialog = qobject_cast<QColorDialog *>(modal)) {
            dialog->setCurrentColor(colour);
            dialog->accept();
        }
    });
    controls.action(action)->trigger();
    QVERIFY(driver->acted());
}

void TestSettings::firstStartShowsDefaults()
{
    MainWindow window;
    Controls controls(&window);
    QVERIFY(controls.complete());
    QVERIFY2(isFirstStartGeometry(window),
             qPrintable(QStringLiteral("%1,%2 %3 x %4").arg(window.x()).arg(window.y())
                            .arg(window.width()).arg(window.height())));
    const QFont font = controls.view->font();
    QCOMPARE(font.family(), QString::fromUtf8("\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"));
    QCOMPARE(font.pointSize(), 10);
    QCOMPARE(int(font.weight()), int(QFont::Normal));
    QVERIFY(!font.italic() && !font.underline() && !font.strikeOut());
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(controls.view->palette().color(group, QPalette::Base), QColor("#ffffff"));
    QCOMPARE(controls.view->textColor(), QColor("#000000"));
    QCOMPARE(colourShown(controls, "action_4"), QColor("#ffff00"));
    QCOMPARE(colourShown(controls, "action_5"), QColor("#ff0000"));
    QCOMPARE(controls.startMode->currentIndex(), int(WindowRequest::PercentMode));
    QCOMPARE(controls.percent->value(), 0.0);
    QCOMPARE(controls.lineCount->value(), 20);
    QCOMPARE(controls.frequency->currentIndex(), 0);
    QVERIFY(controls.action("actionUnicode")->isChecked());
    QVERIFY(!controls.action("actionSJIS")->isChecked());
    QVERIFY(!controls.action("actionUTF")->isChecked());
    QVERIFY(!controls.action("actionEUC_JP")->isChecked());
    QCOMPARE(limitShown(controls), 1000);
    QVERIFY(controls.action("action_3")->isChecked());
    QCOMPARE(controls.text(), QString());
    QVERIFY(window.windowFilePath().isEmpty());
}

void TestSettings::firstRunStoresSeventeenKeys()
{
    QPoint pos;
    QSize size;
    {
        MainWindow window;
        QVERIFY(isFirstStartGeometry(window));
        pos = window.pos();
        size = window.size();
    }
    QMap<QString, QString> expected{
        {"pos", QStringLiteral("@Point(%1 %2)").arg(pos.x()).arg(pos.y())},
        {"size", QStringLiteral("@Size(%1 %2)").arg(size.width()).arg(size.height())},
        {"fontsize", "10"}, {"fontbold", "false"}, {"fontitalic", "false"},
        {"fontunderline", "false"}, {"fontstrikeout", "false"},
        {"sktype", "2"}, {"linecnt", "20"}, {"codec", ""},
        {"bgcolor", "#ffffff"}, {"txcolor", "#000000"}, {"hlbgcol", "#ffff00"}, {"hltxcol", "#ff0000"},
        {"linemax", "1000"}, {"chmode", "true"},
    };
    QMap<QString, QString> lines = storedLines();
    QVERIFY(lines.contains(QStringLiteral("fontfamily")));   // stored with escapes; checked below
    lines.remove(QStringLiteral("fontfamily"));
    QCOMPARE(lines, expected);
    QCOMPARE(store().childKeys().size(), 17);
    QCOMPARE(store().value(QStringLiteral("fontfamily")).toString(),
             QString::fromUtf8("\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"));
}

void TestSettings::restartRestoresChoices()
{
    const QStringList families = QFontDatabase().families();
    QVERIFY(!families.isEmpty());
    QFont font(families.last(), 13);
    font.setBold(true);
    font.setItalic(true);
    font.setUnderline(true);
    font.setStrikeOut(true);
    {
        MainWindow window;
        Controls controls(&window);
        window.resize(640, 300);
        window.move(30, 40);
        controls.view->setFont(font);
        chooseColour(controls, "action", QColor("#102030"));
        chooseColour(controls, "action_2", QColor("#405060"));
        chooseColour(controls, "action_4", QColor("#708090"));
        chooseColour(controls, "action_5", QColor("#a0b0c0"));
        controls.startMode->setCurrentIndex(WindowRequest::NewestMode);
        controls.lineCount->setValue(42);
        controls.action("actionEUC_JP")->trigger();
        driver->onNextModal([&](QWidget *modal) {
            if (auto *dialog = qobject_cast<QInputDialog *>(modal)) {
                dialog->setIntValue(777);
                dialog->accept();
            }
        });
        controls.action("action_6")->trigger();
        QVERIFY(driver->acted());
        controls.action("action_3")->trigger();
    }
    MainWindow window;
    Controls controls(&window);
    QCOMPARE(window.pos(), QPoint(30, 40));
    QCOMPARE(window.size(), QSize(640, 300));
    const QFont restored = controls.view->font();
    QCOMPARE(restored.family(), font.family());
    QCOMPARE(restored.pointSize(), 13);
    QVERIFY(restored.bold());
    QVERIFY(restored.italic());
    QVERIFY(restored.underline());
    QVERIFY(restored.strikeOut());
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        QCOMPARE(controls.view->palette().color(group, QPalette::Base), QColor("#102030"));
    QCOMPARE(controls.view->textColor(), QColor("#405060"));
    QCOMPARE(colourShown(controls, "action_4"), QColor("#708090"));
    QCOMPARE(colourShown(controls, "action_5"), QColor("#a0b0c0"));
    QCOMPARE(controls.startMode->currentIndex(), int(WindowRequest::NewestMode));
    QCOMPARE(controls.percent->value(), 100.0);
    QCOMPARE(controls.lineCount->value(), 42);
    QVERIFY(controls.action("actionEUC_JP")->isChecked());
    QVERIFY(!controls.action("actionUnicode")->isChecked());
    QCOMPARE(limitShown(controls), 777);
    QVERIFY(!controls.action("action_3")->isChecked());
    QCOMPARE(controls.frequency->currentIndex(), 0);   // not persisted
}

void TestSettings::storedStartMode_data()
{
    QTest::addColumn<int>("stored");
    QTest::addColumn<double>("percent");
    QTest::newRow("header") << 0 << 0.0;
    QTest::newRow("newest") << 1 << 100.0;
    QTest::newRow("percent") << 2 << 0.0;
}

void TestSettings::storedStartMode()
{
    QFETCH(int, stored);
    QFETCH(double, percent);
    store().setValue(QStringLiteral("sktype"), stored);
    MainWindow window;
    Controls controls(&window);
    QCOMPARE(controls.startMode->currentIndex(), stored);
    QCOMPARE(controls.percent->value(), percent);
    QCOMPARE(controls.frequency->currentIndex(), 0);
}

void TestSettings::lineLimitMended_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<int>("limit");
    QTest::newRow("0") << QVariant(0) << 1;
    QTest::newRow("-5") << QVariant(-5) << 1;
    QTest::newRow("1") << QVariant(1) << 1;
    QTest::newRow("1234") << QVariant(1234) << 1234;
    QTest::newRow("9999") << QVariant(9999) << 9999;
    QTest::newRow("10000") << QVariant(10000) << 9999;
    QTest::newRow("100000") << QVariant(100000) << 9999;
    QTest::newRow("beyond 32 bits") << QVariant(qint64(5000000000)) << 9999;
}

void TestSettings::lineLimitMended()
{
    QFETCH(QVariant, stored);
    QFETCH(int, limit);
    store().setValue(QStringLiteral("linemax"), stored);
    {
        MainWindow window;
        QCOMPARE(limitShown(Controls(&window)), limit);
    }
    QCOMPARE(storedLines().value(QStringLiteral("linemax")), QString::number(limit));
}

void TestSettings::geometryMended_data()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(QGuiApplication::screens().size() == 1);
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("restored");
    const QSize small(300, 200);
    QTest::newRow("inside") << screen.topLeft() + QPoint(10, 10) << small << true;
    QTest::newRow("right of the screen") << QPoint(screen.right() + 1, screen.top()) << small << false;
    QTest::newRow("below the screen") << QPoint(screen.left(), screen.bottom() + 1) << small << false;
    QTest::newRow("left of the screen") << QPoint(screen.left() - 300, screen.top()) << small << false;
    QTest::newRow("above the screen") << QPoint(screen.left(), screen.top() - 200) << small << false;
    QTest::newRow("far away") << QPoint(20000, -20000) << small << false;
    QTest::newRow("one column on the left edge") << QPoint(screen.left() - 299, screen.top()) << small << true;
    QTest::newRow("one row on the bottom edge") << QPoint(screen.left(), screen.bottom()) << small << true;
    QTest::newRow("larger than the screen") << screen.topLeft() - QPoint(50, 50) << screen.size() * 2 << true;
}

void TestSettings::geometryMended()
{
    QFETCH(QPoint, pos);
    QFETCH(QSize, size);
    QFETCH(bool, restored);
    store().setValue(QStringLiteral("pos"), pos);
    store().setValue(QStringLiteral("size"), size);
    QRect shown;
    {
        MainWindow window;
        if (restored) {
            QCOMPARE(window.pos(), pos);
            QCOMPARE(window.size(), size);
        } else {
            QVERIFY(isFirstStartGeometry(window));
        }
        shown = QRect(window.pos(), window.size());
    }
    QCOMPARE(store().value(QStringLiteral("pos")).toPoint(), shown.topLeft());
    QCOMPARE(store().value(QStringLiteral("size")).toSize(), shown.size());
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
