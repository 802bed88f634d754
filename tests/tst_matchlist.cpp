// The match list through a real window: it fills with every matching line
// of the file less the excluded ones, follows an append, lists a replaced file
// anew, jumps to a row, stops on Esc, and shows a bad regular expression's
// error. And what a million rows cost.

#include "mainwindow.h"
#include "matchlistmodel.h"
#include "windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDockWidget>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>

using harness::Controls;

namespace {

// "<i> ERROR user=u<i % 7>" on every tenth line, "<i> ok" on the others.
QByteArray log(int first, int last)
{
    QByteArray bytes;
    for (int i = first; i <= last; ++i) {
        bytes += QByteArray::number(i);
        bytes += i % 10 == 0 ? " ERROR user=u" + QByteArray::number(i % 7) : QByteArray(" ok");
        bytes += '\n';
    }
    return bytes;
}

// What the list must hold: the lines with ERROR, less those with the exclusion.
QStringList expectedRows(const QByteArray &content, const QString &exclusion)
{
    QStringList rows;
    for (const QString &line : QString::fromLatin1(content).split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("ERROR"))
            && (exclusion.isEmpty() || !line.contains(exclusion)))
            rows << line;
    }
    return rows;
}

} // namespace

class TestMatchList : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void listsFollowsAndRelists();
    void jumpsToARow();
    void escStopsAndBadRegexSays();
    void millionRowsCostAtMost24BytesEach();

private:
    void open(const QByteArray &content);
    void listAll(const QString &pattern, const QString &exclusion = QString());
    QStringList rows() const;
    QString count() const;

    QTemporaryDir settingsDir;
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<Controls> controls;
    QString path;
    QLineEdit *findText = nullptr;
    QLineEdit *exclude = nullptr;
    QCheckBox *regex = nullptr;
    QDockWidget *dock = nullptr;
    QAbstractItemView *list = nullptr;
};

void TestMatchList::initTestCase()
{
    QVERIFY(settingsDir.isValid());
    harness::prepareApplication(settingsDir.path());
}

void TestMatchList::init()
{
    harness::clearSettings();
    dir = std::make_unique<QTemporaryDir>();
    path = dir->filePath(QStringLiteral("app.log"));
    window = std::make_unique<MainWindow>();
    controls = std::make_unique<Controls>(window.get());
    findText = window->findChild<QLineEdit *>(QStringLiteral("findText"));
    exclude = window->findChild<QLineEdit *>(QStringLiteral("matchExclude"));
    regex = window->findChild<QCheckBox *>(QStringLiteral("findRegex"));
    dock = window->findChild<QDockWidget *>(QStringLiteral("matchDock"));
    list = window->findChild<QAbstractItemView *>(QStringLiteral("matchList"));
    QVERIFY(findText && exclude && regex && dock && list);
    QVERIFY(window->findChild<QPushButton *>(QStringLiteral("findAll")));
}

void TestMatchList::cleanup()
{
    controls.reset();
    window.reset();
    dir.reset();
}

void TestMatchList::open(const QByteArray &content)
{
    QVERIFY(testkit::writeFile(path, content));
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    controls->startMode->setCurrentIndex(0);
    window->openFile(path);
}

void TestMatchList::listAll(const QString &pattern, const QString &exclusion)
{
    findText->setText(pattern);
    exclude->setText(exclusion);
    QTest::keyClick(findText, Qt::Key_Return, Qt::AltModifier);   // Alt+Enter: すべて表示
    QVERIFY(dock->isVisible());
    QTRY_VERIFY(!dock->property("busy").toBool());
}

QStringList TestMatchList::rows() const
{
    QStringList texts;
    for (int row = 0; row < list->model()->rowCount(); ++row)
        texts << list->model()->index(row, 0).data().toString();
    return texts;
}

QString TestMatchList::count() const
{
    return dock->findChild<QLabel *>(QStringLiteral("matchCount"))->text();
}

void TestMatchList::listsFollowsAndRelists()
{
    QByteArray content = log(1, 5000);
    open(content);
    listAll(QStringLiteral("ERROR"), QStringLiteral("u3"));
    QCOMPARE(rows(), expectedRows(content, QStringLiteral("u3")));
    QCOMPARE(count(), QStringLiteral("一致: %1 行").arg(QLocale::c().toString(rows().size())));

    // An append, its last line not yet complete: only the new bytes are looked at.
    controls->frequency->setCurrentIndex(1);
    const QByteArray more = log(5001, 6000);
    QVERIFY(testkit::appendFile(path, more + "6001 ERROR user=u"));
    content += more + "6001 ERROR user=u";   // listed as the view shows it, then completed
    QTRY_COMPARE(rows(), expectedRows(content, QStringLiteral("u3")));
    QVERIFY(testkit::appendFile(path, "5\n"));
    content += "5\n";
    QTRY_COMPARE(rows(), expectedRows(content, QStringLiteral("u3")));

    // A file rotated under the same name is listed anew.
    const QByteArray rotated = log(1, 300);
    const QString fresh = dir->filePath(QStringLiteral("fresh.log"));
    QVERIFY(testkit::writeFile(fresh, rotated));
    QVERIFY(testkit::renamePath(fresh, path));
    QTRY_COMPARE(rows(), expectedRows(rotated, QStringLiteral("u3")));
}

void TestMatchList::jumpsToARow()
{
    const QByteArray content = log(1, 5000);
    open(content);
    listAll(QStringLiteral("ERROR"));
    const int row = rows().indexOf(QStringLiteral("3000 ERROR user=u4"));
    QVERIFY(row >= 0);
    list->setCurrentIndex(list->model()->index(row, 0));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(controls->startMode->currentIndex(), 2);
    QCOMPARE(controls->view->textCursor().block().text(), QStringLiteral("3000 ERROR user=u4"));
    QCOMPARE(controls->view->textCursor().selectedText(), QStringLiteral("ERROR"));
}

void TestMatchList::escStopsAndBadRegexSays()
{
    // A file of gigabytes that costs no disk: a hole, then one line.
    open(QByteArray());
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(qint64(8) << 30));
        QVERIFY(file.seek(file.size()) && file.write("x ERROR\n") == 8);
    }
    findText->setText(QStringLiteral("ERROR"));
    QTest::keyClick(findText, Qt::Key_Return, Qt::AltModifier);
    QTRY_VERIFY(count().contains(QStringLiteral("検索中")));
    QTest::keyClick(window.get(), Qt::Key_Escape);
    QVERIFY2(count().contains(QStringLiteral("中止")), qPrintable(count()));

    regex->setChecked(true);
    listAll(QStringLiteral("ERR(OR"));
    QVERIFY2(count().startsWith(QStringLiteral("正規表現が正しくありません")), qPrintable(count()));
    QCOMPARE(list->model()->rowCount(), 0);
}

void TestMatchList::millionRowsCostAtMost24BytesEach()
{
    QByteArray content;
    content.reserve(3000000);
    for (int i = 0; i < 1000000; ++i)
        content += "E\n";
    open(content);
    listAll(QStringLiteral("E"));
    QCOMPARE(list->model()->rowCount(), 1000000);
    const auto *model = qobject_cast<MatchListModel *>(list->model());
    QVERIFY(model);
    QVERIFY2(model->rowBytes() <= 24 * 1000000, qPrintable(QString::number(model->rowBytes())));
}

QTEST_MAIN(TestMatchList)
#include "tst_matchlist.moc"
