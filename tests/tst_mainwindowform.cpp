// The window as built by the form: object names and classes, creation order,
// slot table, captions code point for code point, combo items, menus,
// shortcuts, icon, layout cells, and captions re-applied on a language change.

#include "mainwindow.h"
#include "platformfonts.h"

#include <QAction>
#include <QComboBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMetaMethod>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>

#include <memory>

namespace {

QStringList capturedWarnings;

void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        capturedWarnings << message;
}

// The connections that leave the signals of box by which its current entry
// is followed. QObject::receivers() is protected: reached through a pointer
// to member, which a class of the test's own may name.
int changeConnections(QComboBox *box)
{
    struct Counter : QComboBox
    {
        using QObject::receivers;
    };
    int (QObject::*receivers)(const char *) const = &Counter::receivers;
    int count = (box->*receivers)(SIGNAL(currentIndexChanged(int)))
                + (box->*receivers)(SIGNAL(currentTextChanged(QString)));
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    count += (box->*receivers)(SIGNAL(currentIndexChanged(QString)));
#endif
    return count;
}

template <typename T> T *child(QObject *parent, const char *name)
{
    return parent->findChild<T *>(QString::fromLatin1(name));
}

// The actions' texts, written with escapes so that no editor or source encoding
// can change a code point unnoticed.
struct Caption
{
    const char *object;
    QString text;
};

QList<Caption> actionCaptions()
{
    return {
        {"actionOpen", QString::fromUtf8("\u958b\u304f(&O)...")},
        {"actionFont", QString::fromUtf8("\u30d5\u30a9\u30f3\u30c8(&F)...")},
        {"actionUnicode", QStringLiteral("Unicode")},
        {"actionSJIS", QStringLiteral("ShiftJIS")},
        {"actionUTF", QStringLiteral("UTF-8")},
        {"actionEUC_JP", QStringLiteral("EUC-JP")},
        {"action", QString::fromUtf8("\u80cc\u666f\u8272...")},
        {"action_2", QString::fromUtf8("\u6587\u5b57\u8272...")},
        {"action_4", QString::fromUtf8("\u5f37\u8abf\u80cc\u666f\u8272...")},
        {"action_5", QString::fromUtf8("\u5f37\u8abf\u6587\u5b57\u8272...")},
        {"actionTailpeek_Ver_beta_1_00", QStringLiteral("Tailpeek Ver. beta 1.00")},
        {"action_readme_txt", QString::fromUtf8("\u8a73\u7d30\u306f\u30d7\u30ed\u30b0\u30e9\u30e0"
                                                "\u540c\u68b1\u306e\u300creadme.txt\u300d\u3092")},
        {"action_7", QString::fromUtf8("\u3054\u89a7\u304f\u3060\u3055\u3044\u3002")},
        {"actionCreditLine", QString()},   // free text, checked separately
        {"action_X", QString::fromUtf8("\u7d42\u4e86(&X)")},
        {"actionQt4", QString::fromUtf8("Qt\u306b\u3064\u3044\u3066")},
        {"action_3", QString::fromUtf8("\u30cf\u30a4\u30e9\u30a4\u30c8\u6587\u5b57\u3092\u62bd\u51fa")},
        {"action_6", QString::fromUtf8("\u6700\u5927\u8aad\u53d6\u6587\u5b57\u6570(/\uff11\u884c)...")},
        {"action_8", QString::fromUtf8("\u30b3\u30f3\u30c8\u30ed\u30fc\u30eb")},
    };
}

QList<Caption> menuTitles()
{
    return {
        {"menuFile", QString::fromUtf8("\uff8c\uff67\uff72\uff99(&F)")},
        {"menuSettings", QString::fromUtf8("\u8a2d\u5b9a(&S)")},
        {"menu", QString::fromUtf8("\u6587\u5b57\u30b3\u30fc\u30c9")},
        {"menu_H", QString::fromUtf8("\uff8d\uff99\uff8c\uff9f(&H)")},
        {"menuTailpeek", QString::fromUtf8("Tailpeek\u306b\u3064\u3044\u3066")},
        {"menu_W", QString::fromUtf8("\uff73\uff68\uff9d\uff84\uff9e\uff73(&W)")},
    };
}

QList<Caption> widgetTexts()
{
    return {
        {"label_2", QString::fromUtf8("\u958b\u59cb:")},
        {"label_3", QString::fromUtf8("\uff05(0\uff5e99)/\u30b9\u30c6\u30c3\u30d7")},
        {"label_4", QString::fromUtf8("\u884c\u6570(1\uff5e999)")},
        {"label_5", QString::fromUtf8("\u2191\uff1a\u5404\u5024\u306e\u4e0a\u306b\n"
                                      "\u30de\u30a6\u30b9\u30ab\u30fc\u30bd\u30eb\u3092\u7f6e\u304d\n"
                                      "\u30b9\u30af\u30ed\u30fc\u30eb\u3059\u308b\u3068\n"
                                      "\u5024\u304c\u5909\u5316\u3057\u307e\u3059\u3002")},
        {"pushButton_2", QString::fromUtf8("\u6700\u65b0\u8ffd\u8de1")},
        {"label", QString::fromUtf8("\u81ea\u52d5\u66f4\u65b0\u983b\u5ea6")},
        {"pushButton_3", QString::fromUtf8("\u5185\u5bb9\u30b3\u30d4\u30fc")},
        {"pushButton_4", QString::fromUtf8("\u66f4\u65b0")},
        {"label_6", QString::fromUtf8("\u30cf\u30a4\u30e9\u30a4\u30c8\uff1a")},
    };
}

QString widgetText(QObject *object)
{
    if (auto *label = qobject_cast<QLabel *>(object))
        return label->text();
    if (auto *button = qobject_cast<QPushButton *>(object))
        return button->text();
    return QString();
}

QStringList itemsOf(QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items << box->itemText(i);
    return items;
}

QStringList startModeItems()
{
    return {QString::fromUtf8("\u25bc\u30d8\u30c3\u30c0\u30fc"),
            QString::fromUtf8("\u25b2\u6700\u65b0\u884c"),
            QString::fromUtf8("\uff05\u6307\u5b9a")};
}

// Each menu's entries, "-" for a separator, submenus by object name.
QStringList entriesOf(QWidget *menuOrBar)
{
    QStringList entries;
    for (QAction *action : menuOrBar->actions()) {
        if (action->isSeparator())
            entries << QStringLiteral("-");
        else if (action->menu())
            entries << action->menu()->objectName();
        else
            entries << action->objectName();
    }
    return entries;
}

} // namespace

class TestMainWindowForm : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void buildsWithoutConnectionWarnings();
    void membersHaveNamesClassesAndParents();
    void actionsAreCreatedInMemberOrder();
    void slotTableIsExact();
    void captionsAreExact();
    void comboItemsAreInIndexOrder();
    void stepBoxHandlerRunsOncePerIndexChange();
    void menusHoldTheirEntriesInOrder();
    void shortcutsAndCheckMarks();
    void iconResourceIsA16PixelOneBitIcon();
    void dockAndControlsAreLaidOut();
    void languageChangeAppliesCaptionsAgain();
    void openFileSetsTheTitleOnlyForAPath();
    void viewFontIsMonospaceJapanese();
    void everyCaptionHasGlyphs();

private:
    std::unique_ptr<MainWindow> window;
    MainWindow *fresh();
};

void TestMainWindowForm::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Tailpeek"));
    QCoreApplication::setOrganizationName(QStringLiteral("VARNOK"));
    registerJapaneseFontSubstitutes();
}

void TestMainWindowForm::cleanup()
{
    window.reset();
}

MainWindow *TestMainWindowForm::fresh()
{
    window = std::make_unique<MainWindow>();
    return window.get();
}

void TestMainWindowForm::buildsWithoutConnectionWarnings()
{
    // connectSlotsByName only warns at run time when an object was renamed.
    capturedWarnings.clear();
    const auto previous = qInstallMessageHandler(captureWarnings);
    fresh();
    qInstallMessageHandler(previous);
    QVERIFY2(capturedWarnings.isEmpty(), qPrintable(capturedWarnings.join('\n')));
}

void TestMainWindowForm::membersHaveNamesClassesAndParents()
{
    MainWindow *w = fresh();
    QCOMPARE(w->objectName(), QStringLiteral("MainWindow"));
    for (const Caption &c : actionCaptions())
        QVERIFY2(child<QAction>(w, c.object) && child<QAction>(w, c.object)->parent() == w, c.object);

    auto *central = child<QWidget>(w, "centralWidget");
    QCOMPARE(w->centralWidget(), central);
    auto *grid = child<QGridLayout>(w, "gridLayout");
    QVERIFY(grid && grid->parent() == central);
    auto *text = child<QTextEdit>(w, "textEdit");
    QVERIFY(text && text->parentWidget() == central);
    QVERIFY(text->isReadOnly());
    QCOMPARE(text->lineWrapMode(), QTextEdit::NoWrap);

    auto *bar = child<QMenuBar>(w, "menuBar");
    QCOMPARE(w->menuBar(), bar);
    const QList<QPair<const char *, const char *>> menuParents = {
        {"menuFile", "menuBar"}, {"menuSettings", "menuBar"}, {"menu", "menuSettings"},
        {"menu_H", "menuBar"}, {"menuTailpeek", "menu_H"}, {"menu_W", "menuBar"}};
    for (const auto &mp : menuParents) {
        auto *menu = child<QMenu>(w, mp.first);
        QVERIFY2(menu, mp.first);
        QCOMPARE(menu->parent()->objectName(), QString::fromLatin1(mp.second));
    }

    auto *dock = child<QDockWidget>(w, "dockWidget_2");
    QVERIFY(dock && dock->parent() == w);
    auto *contents = child<QWidget>(w, "dockWidgetContents_2");
    QCOMPARE(dock->widget(), contents);
    const QList<QPair<const char *, const char *>> controls = {
        {"label_2", "QLabel"}, {"comboBox_2", "QComboBox"}, {"label_3", "QLabel"},
        {"doubleSpinBox", "QDoubleSpinBox"}, {"comboBox", "QComboBox"}, {"spinBox", "QSpinBox"},
        {"label_4", "QLabel"}, {"label_5", "QLabel"}, {"pushButton_2", "QPushButton"},
        {"label", "QLabel"}, {"comboBox_3", "QComboBox"}, {"pushButton_3", "QPushButton"},
        {"lineEdit", "QLineEdit"}, {"pushButton_4", "QPushButton"}, {"label_6", "QLabel"}};
    QStringList createdOrder;
    for (QObject *o : contents->children()) {
        if (o->isWidgetType())
            createdOrder << o->objectName();
    }
    QStringList expectedOrder;
    for (const auto &c : controls) {
        auto *widget = child<QWidget>(contents, c.first);
        QVERIFY2(widget, c.first);
        QCOMPARE(widget->metaObject()->className(), c.second);
        QCOMPARE(widget->parentWidget(), contents);
        expectedOrder << QString::fromLatin1(c.first);
    }
    QCOMPARE(createdOrder, expectedOrder);
    QVERIFY(child<QGridLayout>(w, "gridLayout_4"));
    QVERIFY(child<QGridLayout>(w, "gridLayout_2"));
    QVERIFY(!w->findChild<QWidget *>(QStringLiteral("statusBar")));
}

void TestMainWindowForm::actionsAreCreatedInMemberOrder()
{
    MainWindow *w = fresh();
    QStringList created;
    for (QAction *a : w->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly)) {
        if (!a->objectName().isEmpty())
            created << a->objectName();
    }
    QStringList expected;
    for (const Caption &c : actionCaptions())
        expected << QString::fromLatin1(c.object);
    QCOMPARE(created, expected);
}

void TestMainWindowForm::slotTableIsExact()
{
    const QStringList expected = {
        "on_action_8_triggered()", "on_action_6_triggered()", "on_action_3_triggered()",
        "on_actionQt4_triggered()", "on_action_X_triggered()", "on_action_5_triggered()",
        "on_action_4_triggered()", "on_pushButton_4_clicked()", "on_action_2_triggered()",
        "on_action_triggered()", "on_pushButton_3_clicked()", "on_pushButton_2_clicked()",
        "on_comboBox_3_currentIndexChanged(int)", "on_spinBox_valueChanged(int)",
        "on_doubleSpinBox_valueChanged(double)", "on_actionUTF_triggered()",
        "on_actionEUC_JP_triggered()", "on_actionSJIS_triggered()",
        "on_actionUnicode_triggered()", "on_comboBox_2_currentIndexChanged(int)",
        "on_comboBox_currentIndexChanged(QString)", "on_actionFont_triggered()",
        "on_actionOpen_triggered()", "reloadFile()"};
    const QMetaObject &mo = MainWindow::staticMetaObject;
    QCOMPARE(QByteArray(mo.className()), QByteArray("MainWindow"));
    QCOMPARE(mo.superClass(), &QMainWindow::staticMetaObject);
    QStringList actual;
    for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
        const QMetaMethod m = mo.method(i);
        QCOMPARE(m.methodType(), QMetaMethod::Slot);
        QCOMPARE(m.access(), QMetaMethod::Private);
        actual << QString::fromLatin1(m.methodSignature());
    }
    QCOMPARE(actual, expected);
    QCOMPARE(mo.propertyCount(), mo.propertyOffset());
    QCOMPARE(mo.enumeratorCount(), mo.enumeratorOffset());
    QCOMPARE(mo.classInfoCount(), mo.classInfoOffset());
}

void TestMainWindowForm::captionsAreExact()
{
    MainWindow *w = fresh();
    for (const Caption &c : actionCaptions()) {
        if (!c.text.isNull())
            QCOMPARE(child<QAction>(w, c.object)->text(), c.text);
    }
    const QString credit = child<QAction>(w, "actionCreditLine")->text();
    QVERIFY(!credit.isEmpty() && !credit.contains('\n'));
    for (QChar ch : credit)
        QVERIFY2(ch.unicode() >= 0x20 && ch.unicode() < 0x7f, "credit line is plain ASCII");

    for (const Caption &c : menuTitles())
        QCOMPARE(child<QMenu>(w, c.object)->title(), c.text);
    QCOMPARE(child<QDockWidget>(w, "dockWidget_2")->windowTitle(),
             QString::fromUtf8("\u30b3\u30f3\u30c8\u30ed\u30fc\u30eb"));
    for (const Caption &c : widgetTexts())
        QCOMPARE(widgetText(child<QWidget>(w, c.object)), c.text);
    QCOMPARE(child<QLabel>(w, "label_5")->text().count('\n'), 3);

    // No title, tool tips or status tips of the program's own.
    QVERIFY(w->windowTitle().isEmpty());
    QVERIFY(child<QTextEdit>(w, "textEdit")->toPlainText().isEmpty());
    QVERIFY(child<QLineEdit>(w, "lineEdit")->text().isEmpty());
    for (QAction *a : w->findChildren<QAction *>())
        QVERIFY2(a->toolTip() == QAction(a->text()).toolTip() && a->statusTip().isEmpty(),
                 qPrintable(a->objectName()));
}

void TestMainWindowForm::comboItemsAreInIndexOrder()
{
    MainWindow *w = fresh();
    QCOMPARE(itemsOf(child<QComboBox>(w, "comboBox_2")), startModeItems());
    QCOMPARE(itemsOf(child<QComboBox>(w, "comboBox")),
             QStringList({"10.00000", "1.00000", "0.10000", "0.01000", "0.00100", "0.00010",
                          "0.00001"}));
    QCOMPARE(itemsOf(child<QComboBox>(w, "comboBox_3")),
             QStringList({QString::fromUtf8("\u81ea\u52d5\u66f4\u65b0\u7121\u3057"),
                          QString::fromUtf8("0.5\u79d2"), QString::fromUtf8("1\u79d2"),
                          QString::fromUtf8("5\u79d2"), QString::fromUtf8("10\u79d2"),
                          QString::fromUtf8("30\u79d2"), QString::fromUtf8("1\u5206")}));
    for (const QString &step : itemsOf(child<QComboBox>(w, "comboBox"))) {
        bool ok = false;
        step.toDouble(&ok);
        QVERIFY2(ok, qPrintable(step));
    }
}

// The step box's handler sets the percentage box's step from the entry's
// text. Qt 5 connects it by name to currentIndexChanged(QString); Qt 6 has
// no such signal and the window connects it by hand. Either way: one
// connection, run at every change of the current entry and only then (not
// when the current entry's text changes).
void TestMainWindowForm::stepBoxHandlerRunsOncePerIndexChange()
{
    MainWindow *w = fresh();
    auto *step = child<QComboBox>(w, "comboBox");
    auto *percent = child<QDoubleSpinBox>(w, "doubleSpinBox");
    QCOMPARE(changeConnections(step), 1);
    const double untouched = 0.25;   // no entry's step
    for (int turn = 0; turn < step->count(); ++turn) {
        const int index = (step->currentIndex() + 1) % step->count();
        percent->setSingleStep(untouched);
        step->setCurrentIndex(index);
        QCOMPARE(percent->singleStep(), step->itemText(index).toDouble());
    }
    percent->setSingleStep(untouched);
    step->setCurrentIndex(step->currentIndex());
    step->setItemText(step->currentIndex(), QStringLiteral("7"));
    QCOMPARE(percent->singleStep(), untouched);
}

void TestMainWindowForm::menusHoldTheirEntriesInOrder()
{
    MainWindow *w = fresh();
    QCOMPARE(entriesOf(w->menuBar()),
             QStringList({"menuFile", "menuSettings", "menu_W", "menu_H"}));
    QCOMPARE(entriesOf(child<QMenu>(w, "menuFile")), QStringList({"actionOpen", "-", "action_X"}));
    QCOMPARE(entriesOf(child<QMenu>(w, "menuSettings")),
             QStringList({"action_3", "menu", "action_6", "-", "actionFont", "action", "action_2",
                          "action_4", "action_5"}));
    QCOMPARE(entriesOf(child<QMenu>(w, "menu")),
             QStringList({"actionUnicode", "actionSJIS", "actionUTF", "actionEUC_JP"}));
    QCOMPARE(entriesOf(child<QMenu>(w, "menu_W")), QStringList({"action_8"}));
    QCOMPARE(entriesOf(child<QMenu>(w, "menu_H")), QStringList({"menuTailpeek", "actionQt4"}));
    QCOMPARE(entriesOf(child<QMenu>(w, "menuTailpeek")),
             QStringList({"-", "actionTailpeek_Ver_beta_1_00", "-", "actionCreditLine", "-",
                          "action_readme_txt", "action_7"}));
}

void TestMainWindowForm::shortcutsAndCheckMarks()
{
    MainWindow *w = fresh();
    QCOMPARE(child<QAction>(w, "actionOpen")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
    QCOMPARE(child<QAction>(w, "action_X")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    int withShortcut = 0;
    for (QAction *a : w->findChildren<QAction *>())
        withShortcut += a->shortcut().isEmpty() ? 0 : 1;
    QCOMPARE(withShortcut, 2);

    const QStringList checkable = {"actionUnicode", "actionSJIS", "actionUTF", "actionEUC_JP",
                                   "action_3"};
    for (const Caption &c : actionCaptions()) {
        QAction *a = child<QAction>(w, c.object);
        QCOMPARE(a->isCheckable(), checkable.contains(QString::fromLatin1(c.object)));
        QVERIFY(a->isEnabled());
        QVERIFY2(!a->actionGroup(), c.object);
    }
}

void TestMainWindowForm::iconResourceIsA16PixelOneBitIcon()
{
    QFile ico(QStringLiteral(":/main/icon/glim.ico"));
    QVERIFY(ico.open(QIODevice::ReadOnly));
    const QByteArray bytes = ico.readAll();
    QCOMPARE(bytes.size(), 198);
    QCOMPARE(bytes.left(6), QByteArray("\0\0\1\0\1\0", 6));   // one icon image
    QCOMPARE(quint8(bytes.at(6)), quint8(16));
    QCOMPARE(quint8(bytes.at(7)), quint8(16));
    QCOMPARE(quint8(bytes.at(12)), quint8(1));   // bits per pixel
    const QImage image(QStringLiteral(":/main/icon/glim.ico"));
    QCOMPARE(image.size(), QSize(16, 16));

    MainWindow *w = fresh();
    QVERIFY(!w->windowIcon().isNull());
    QVERIFY(!child<QAction>(w, "actionTailpeek_Ver_beta_1_00")->icon().isNull());
    int withIcon = 0;
    for (QAction *a : w->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly))
        withIcon += a->icon().isNull() ? 0 : 1;
    QCOMPARE(withIcon, 1);
}

void TestMainWindowForm::dockAndControlsAreLaidOut()
{
    MainWindow *w = fresh();
    auto *dock = child<QDockWidget>(w, "dockWidget_2");
    QCOMPARE(dock->allowedAreas(), Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea);
    QCOMPARE(w->dockWidgetArea(dock), Qt::RightDockWidgetArea);

    auto *outer = child<QGridLayout>(w, "gridLayout_4");
    auto *grid = child<QGridLayout>(w, "gridLayout_2");
    QCOMPARE(outer->spacing(), 6);
    QCOMPARE(outer->contentsMargins(), QMargins(0, 0, 0, 0));
    QCOMPARE(grid->spacing(), 6);
    QCOMPARE(grid->contentsMargins(), QMargins(6, 6, 6, 6));
    QCOMPARE(outer->itemAtPosition(0, 0)->layout(), grid);
    QSpacerItem *spacer = outer->itemAtPosition(1, 0)->spacerItem();
    QVERIFY(spacer);
    QCOMPARE(spacer->sizeHint(), QSize(20, 40));
    QCOMPARE(spacer->sizePolicy().verticalPolicy(), QSizePolicy::Expanding);
    QCOMPARE(spacer->sizePolicy().horizontalPolicy(), QSizePolicy::Minimum);

    struct Cell { const char *name; int row, column, rowSpan, columnSpan; };
    const Cell cells[] = {
        {"label_2", 0, 0, 1, 2}, {"comboBox_2", 1, 0, 1, 2}, {"label_3", 2, 0, 1, 2},
        {"doubleSpinBox", 3, 0, 1, 2}, {"comboBox", 4, 0, 2, 2}, {"label_4", 6, 0, 1, 2},
        {"spinBox", 7, 0, 1, 2}, {"label", 8, 0, 1, 2}, {"comboBox_3", 9, 0, 1, 2},
        {"label_5", 10, 0, 3, 2}, {"pushButton_2", 15, 0, 2, 2}, {"pushButton_3", 17, 0, 1, 2},
        {"label_6", 18, 0, 1, 2}, {"lineEdit", 19, 0, 1, 1}, {"pushButton_4", 19, 1, 1, 1}};
    for (const Cell &c : cells) {
        int row, column, rowSpan, columnSpan;
        grid->getItemPosition(grid->indexOf(child<QWidget>(w, c.name)), &row, &column, &rowSpan,
                              &columnSpan);
        QVERIFY2(row == c.row && column == c.column && rowSpan == c.rowSpan
                     && columnSpan == c.columnSpan, c.name);
    }

    auto *percent = child<QDoubleSpinBox>(w, "doubleSpinBox");
    QCOMPARE(percent->decimals(), 5);
    QCOMPARE(percent->minimum(), 0.0);
    QCOMPARE(percent->maximum(), 100.0);
    QVERIFY(percent->isAccelerated());
    QCOMPARE(percent->font().pointSize(), 14);
    auto *lines = child<QSpinBox>(w, "spinBox");
    QCOMPARE(lines->minimum(), 1);
    QCOMPARE(lines->maximum(), 999);
    auto *highlight = child<QLineEdit>(w, "lineEdit");
    QCOMPARE(highlight->maximumWidth(), 70);
    QCOMPARE(highlight->sizePolicy().horizontalPolicy(), QSizePolicy::Maximum);
    QCOMPARE(highlight->sizePolicy().verticalPolicy(), QSizePolicy::Fixed);
    QCOMPARE(child<QPushButton>(w, "pushButton_4")->maximumWidth(), 33);
}

void TestMainWindowForm::languageChangeAppliesCaptionsAgain()
{
    MainWindow *w = fresh();
    auto *start = child<QComboBox>(w, "comboBox_2");
    child<QLabel>(w, "label_6")->setText(QStringLiteral("x"));
    child<QAction>(w, "actionOpen")->setText(QStringLiteral("x"));
    child<QMenu>(w, "menu_W")->setTitle(QStringLiteral("x"));
    start->setItemText(0, QStringLiteral("x"));
    child<QAction>(w, "action_X")->setShortcut(QKeySequence());

    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(w, &change);

    QCOMPARE(child<QLabel>(w, "label_6")->text(), widgetTexts().last().text);
    QCOMPARE(child<QAction>(w, "actionOpen")->text(), actionCaptions().first().text);
    QCOMPARE(child<QMenu>(w, "menu_W")->title(), menuTitles().last().text);
    QCOMPARE(itemsOf(start), startModeItems());
    QCOMPARE(child<QAction>(w, "action_X")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
}

void TestMainWindowForm::openFileSetsTheTitleOnlyForAPath()
{
    MainWindow *w = fresh();
    w->openFile(QString());
    QVERIFY(w->windowFilePath().isEmpty());
    w->openFile(QStringLiteral(""));
    QVERIFY(w->windowFilePath().isEmpty());
}

void TestMainWindowForm::viewFontIsMonospaceJapanese()
{
    QVERIFY2(!QFontDatabase().families(QFontDatabase::Japanese).isEmpty(),
             "no Japanese font installed (tools/install-deps.sh installs one)");
    MainWindow *w = fresh();
    QTextEdit *view = child<QTextEdit>(w, "textEdit");
    QCOMPARE(view->font().family(), QString::fromUtf8("\uff2d\uff33 \u30b4\u30b7\u30c3\u30af"));
    const QFontInfo used(view->font());
    const QFontMetrics metrics(view->font());
    // Japanese monospace fonts are "dual width" (wide characters take two
    // cells), which Qt does not call fixed pitch; measure the Latin cells.
    QVERIFY2(metrics.horizontalAdvance('i') == metrics.horizontalAdvance('W'),
             qPrintable(used.family()));
    for (QChar ch : QString::fromUtf8("\u65e5\u672c\u8a9e\u30ed\u30b0\uff8c\uff67"))
        QVERIFY2(metrics.inFont(ch), qPrintable(QString(ch) + " in " + used.family()));
}

void TestMainWindowForm::everyCaptionHasGlyphs()
{
    // With no Japanese font the captions show as empty boxes. Qt's metrics
    // answer for the font together with its fallbacks, as drawing does.
    QVERIFY2(!QFontDatabase().families(QFontDatabase::Japanese).isEmpty(),
             "no Japanese font installed (tools/install-deps.sh installs one)");
    MainWindow *w = fresh();
    QList<QPair<QString, QFont>> shown;
    for (const Caption &c : actionCaptions())
        shown << qMakePair(child<QAction>(w, c.object)->text(), w->menuBar()->font());
    for (const Caption &c : menuTitles())
        shown << qMakePair(c.text, w->menuBar()->font());
    for (const Caption &c : widgetTexts())
        shown << qMakePair(c.text, child<QWidget>(w, c.object)->font());
    for (const char *box : {"comboBox_2", "comboBox", "comboBox_3"}) {
        for (const QString &item : itemsOf(child<QComboBox>(w, box)))
            shown << qMakePair(item, child<QWidget>(w, box)->font());
    }
    for (const auto &text : shown) {
        const QFontMetrics metrics(text.second);
        for (QChar ch : text.first) {
            if (ch != '\n')
                QVERIFY2(metrics.inFont(ch), qPrintable(text.first));
        }
    }
}

QTEST_MAIN(TestMainWindowForm)
#include "tst_mainwindowform.moc"
