// The reload through a real window: the view text of the documented examples,
// newest mode scrolled to its end, the marks in the view, the warning of a file
// that cannot be read, and how timer reloads treat unchanged files and
// failures.

#include "enginetestkit.h"
#include "mainwindow.h"
#include "modaldriver.h"
#include "statusline.h"
#include "testfiles.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>

namespace {

template <typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

} // namespace

using testkit::writeFile;

class TestReload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void windowText_data();
    void windowText();
    void newestModeScrollsToTheEnd();
    void marksInTheView();
    void markOnTheFirstCharacterDoesNotColourTheNextReload();
    void extractModeShowsMatchingLinesOnly();
    void extractFilterIsNeverSilent_data();
    void extractFilterIsNeverSilent();
    void noFileReadsNothing();
    void timerSkipsAnUnchangedSizeAndRereadsAShrunkenFile();
    void unreadableFileWarnsWithPathAndReason();
    void timerFailuresShowNoBoxAndFollowingResumes();

private:
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;
    QString path;

    QTextEdit *view() { return child<QTextEdit>(window.get(), "textEdit"); }
    void setMode(int mode, int lines)
    {
        child<QComboBox>(window.get(), "comboBox_2")->setCurrentIndex(mode);
        child<QSpinBox>(window.get(), "spinBox")->setValue(lines);
    }
    void refresh() { child<QPushButton>(window.get(), "pushButton_4")->click(); }
};

void TestReload::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setApplicationName(QStringLiteral("Tailpeek"));
    QCoreApplication::setOrganizationName(QStringLiteral("VARNOK"));
    QVERIFY(dir.isValid());
}

void TestReload::init()
{
    // Every case starts from the defaults: the previous window stored its choices.
    QSettings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek")).clear();
    window = std::make_unique<MainWindow>();
    window->show();
    path = QDir(dir.path()).filePath(QString::fromLatin1(QTest::currentTestFunction()) + ".log");
    child<QLineEdit>(window.get(), "lineEdit")->clear();
}

void TestReload::cleanup()
{
    window.reset();
}

void TestReload::windowText_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("text");

    QTest::newRow("header, short file") << Header << 5 << QByteArray("a\nb\nc\n") << "a\nb\nc\n\n\n";
    QTest::newRow("newest") << Newest << 2 << QByteArray("a\nb\nc\nd\n") << "c\nd\n\n";
    QTest::newRow("newest, no final LF") << Newest << 2 << QByteArray("x\na\nb\nc\nd") << "b\nc\nd\n";
    QTest::newRow("newest, short file") << Newest << 5 << QByteArray("a\nb\n") << "a\nb\n\n";
    QTest::newRow("newest, empty") << Newest << 3 << QByteArray() << "";
    QTest::newRow("header, empty") << Header << 3 << QByteArray() << "\n\n\n";
    QTest::newRow("newest, CR LF") << Newest << 2 << QByteArray("a\r\nb\r\nc\r\nd\r\n") << "c\nd\n\n";
    // The third line feed from the end is at byte 1: the scan has reached the
    // start, and the window shows the file from its first byte.
    QTest::newRow("newest, boundary at byte 1") << Newest << 2 << QByteArray("a\nb\nc\n") << "a\nb\nc\n\n";
}

void TestReload::windowText()
{
    QFETCH(int, mode);
    QFETCH(int, lines);
    QFETCH(QByteArray, file);
    QFETCH(QString, text);
    writeFile(path, file);
    setMode(mode, lines);
    window->openFile(path);
    QCOMPARE(view()->toPlainText(), text);
    QCOMPARE(view()->document()->blockCount(), text.count('\n') + 1);
}

void TestReload::newestModeScrollsToTheEnd()
{
    QByteArray bytes;
    for (int i = 0; i < 300; ++i)
        bytes += "line " + QByteArray::number(i) + '\n';
    writeFile(path, bytes);
    setMode(Newest, 200);
    window->openFile(path);
    QScrollBar *bar = view()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
}

void TestReload::marksInTheView()
{
    writeFile(path, "Error 1\nok\nERR2\naaaa\n");
    setMode(Header, 4);
    child<QAction>(window.get(), "action_3")->trigger();   // extract mode off
    child<QLineEdit>(window.get(), "lineEdit")->setText(QStringLiteral("err"));
    window->openFile(path);
    QTextDocument *document = view()->document();
    const QTextCharFormat marked = document->findBlockByNumber(0).begin().fragment().charFormat();
    QCOMPARE(marked.fontWeight(), int(QFont::Bold));
    QCOMPARE(marked.background(), QBrush(QColor("#ffff00"), Qt::SolidPattern));
    QCOMPARE(marked.foreground(), QBrush(QColor("#ff0000"), Qt::SolidPattern));
    QCOMPARE(marked.underlineStyle(), QTextCharFormat::SpellCheckUnderline);
    QCOMPARE(marked.underlineColor(), QColor(Qt::white));
    // 'Err' of line 0 and 'ERR' of line 2 are marked, the rest is not.
    QTextCursor cursor(document);
    cursor.setPosition(3);
    cursor.setPosition(4, QTextCursor::KeepAnchor);   // 'o' after 'Err'
    QVERIFY(cursor.charFormat().fontWeight() != QFont::Bold);
    cursor.setPosition(document->findBlockByNumber(2).position() + 1);
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    QCOMPARE(document->findBlockByNumber(1).begin().fragment().charFormat().fontWeight() == QFont::Bold,
             false);
}

void TestReload::markOnTheFirstCharacterDoesNotColourTheNextReload()
{
    writeFile(path, "error first\nplain line\n");
    setMode(Header, 2);
    child<QAction>(window.get(), "action_3")->trigger();   // extract mode off
    child<QLineEdit>(window.get(), "lineEdit")->setText(QStringLiteral("error"));
    window->openFile(path);
    refresh();
    refresh();
    const QTextBlock plain = view()->document()->findBlockByNumber(1);
    QCOMPARE(plain.text(), QStringLiteral("plain line"));
    const QTextCharFormat format = plain.begin().fragment().charFormat();
    QVERIFY(format.fontWeight() != QFont::Bold);
    QVERIFY(format.background().style() == Qt::NoBrush
            || format.background().color() != QColor("#ffff00"));
}

void TestReload::extractModeShowsMatchingLinesOnly()
{
    writeFile(path, "Error 1\nok\nERR2\n");
    setMode(Header, 10);
    child<QLineEdit>(window.get(), "lineEdit")->setText(QStringLiteral("err"));
    window->openFile(path);   // extract mode is on by default
    QCOMPARE(view()->toPlainText(), QStringLiteral("Error 1\nERR2\n"));
    child<QLineEdit>(window.get(), "lineEdit")->setText(QStringLiteral("nowhere"));
    refresh();
    QCOMPARE(view()->toPlainText(), QString());
}

void TestReload::extractFilterIsNeverSilent_data()
{
    QTest::addColumn<bool>("extract");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("status");        // "" while hidden
    QTest::addColumn<QString>("placeholder");   // drawn while the view is empty
    QTest::newRow("lines pass") << true << "err" << QString::fromUtf8("抽出: err（2 行）")
                                << QString::fromUtf8("「err」を含む行はありません");
    QTest::newRow("nothing passes") << true << "ERROR" << QString::fromUtf8("抽出: ERROR（0 行）")
                                    << QString::fromUtf8("「ERROR」を含む行はありません");
    QTest::newRow("extract mode off") << false << "ERROR" << QString() << QString();
    QTest::newRow("no highlight text") << true << "" << QString() << QString();
}

void TestReload::extractFilterIsNeverSilent()
{
    QFETCH(bool, extract);
    QFETCH(QString, needle);
    QFETCH(QString, status);
    QFETCH(QString, placeholder);
    writeFile(path, "Err 1\nok\nerr 2\n");
    setMode(Newest, 10);
    if (!extract)
        child<QAction>(window.get(), "action_3")->trigger();
    child<QLineEdit>(window.get(), "lineEdit")->setText(needle);
    window->openFile(path);
    auto *filter = child<QLabel>(window.get(), "statusFilter");
    QCOMPARE(filter->isVisible() ? filter->text() : QString(), status);
    QCOMPARE(view()->placeholderText(), placeholder);
    // The placeholder is the view's drawing, never text in the document.
    const bool empty = view()->document()->isEmpty();
    QCOMPARE(empty, status.endsWith(QString::fromUtf8("（0 行）")));
    if (empty) {
        const QImage shot = view()->viewport()->grab().toImage();
        const QRgb base = view()->palette().color(QPalette::Base).rgb();
        int drawn = 0;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                drawn += shot.pixel(x, y) != base;
        QVERIFY(drawn > 0);
    }
}

void TestReload::noFileReadsNothing()
{
    testkit::ModalDriver catcher;   // presses OK on every warning
    catcher.closeWarningsAfter(0);
    view()->setPlainText(QStringLiteral("untouched"));
    refresh();
    child<QComboBox>(window.get(), "comboBox_3")->setCurrentIndex(1);
    QTest::qWait(700);
    QCOMPARE(view()->toPlainText(), QStringLiteral("untouched"));
    QCOMPARE(catcher.warningCount(), 0);
}

void TestReload::timerSkipsAnUnchangedSizeAndRereadsAShrunkenFile()
{
    writeFile(path, "one\ntwo\n");
    setMode(Newest, 5);
    window->openFile(path);
    child<QComboBox>(window.get(), "comboBox_3")->setCurrentIndex(1);   // every 0.5 s
    child<QLineEdit>(window.get(), "lineEdit")->setText(QStringLiteral("zzz"));
    writeFile(path, "ONE\nTWO\n");   // same size, other content
    QTest::qWait(1200);
    QCOMPARE(view()->toPlainText(), QStringLiteral("one\ntwo\n\n"));

    child<QLineEdit>(window.get(), "lineEdit")->clear();
    writeFile(path, "1\n");
    QTRY_COMPARE_WITH_TIMEOUT(view()->toPlainText(), QStringLiteral("1\n\n"), 3000);
    writeFile(path, "1\n2\n3\n");
    QTRY_COMPARE_WITH_TIMEOUT(view()->toPlainText(), QStringLiteral("1\n2\n3\n\n"), 3000);
}

void TestReload::unreadableFileWarnsWithPathAndReason()
{
    testkit::ModalDriver catcher;   // presses OK on every warning
    catcher.closeWarningsAfter(0);
    const QString missing = QDir(dir.path()).filePath(QStringLiteral("missing dir/none.log"));
    view()->setPlainText(QStringLiteral("kept"));
    window->openFile(missing);
    QTRY_COMPARE(catcher.warningCount(), 1);
    QCOMPARE(catcher.warnings().first().title, QStringLiteral("Tailpeek"));
    QCOMPARE(catcher.warnings().first().text,
             QStringLiteral("Cannot read file %1:\nNo such file or directory.").arg(missing));
    QCOMPARE(view()->toPlainText(), QString());   // a missing file shows no lines
    QCOMPARE(window->windowFilePath(), missing);

    refresh();   // a refresh the user asks for always warns
    QTRY_COMPARE(catcher.warningCount(), 2);
}

void TestReload::timerFailuresShowNoBoxAndFollowingResumes()
{
    testkit::ModalDriver catcher;   // presses OK on every warning
    catcher.closeWarningsAfter(0);
    QByteArray lines;
    for (int i = 1; i <= 100; ++i)
        lines += "line " + QByteArray::number(i) + '\n';
    writeFile(path, lines);
    setMode(Newest, 50);
    window->openFile(path);
    auto *statusLine = window->findChild<StatusLine *>();
    statusLine->setClock([] { return QTime(3, 0, 7); });
    child<QComboBox>(window.get(), "comboBox_3")->setCurrentIndex(1);   // every 0.5 s
    QVERIFY(QFile::remove(path));

    // The reason, and the time the failures began, which further failures keep.
    auto *failure = child<QLabel>(window.get(), "statusFailure");
    const QString reason = QString::fromUtf8("読込失敗（03:00:07 から）: No such file or directory");
    QTRY_COMPARE_WITH_TIMEOUT(failure->text(), reason, 3000);
    statusLine->setClock([] { return QTime(3, 0, 9); });
    QTest::qWait(1200);
    QCOMPARE(failure->text(), reason);
    QVERIFY(failure->isVisible());
    QCOMPARE(catcher.warningCount(), 0);

    // Back, grown: the view follows its end again by itself.
    writeFile(path, lines + "line 101\n");
    QTRY_VERIFY_WITH_TIMEOUT(view()->toPlainText().endsWith(QLatin1String("line 101\n\n")), 3000);
    QVERIFY(failure->isHidden());
    QScrollBar *bar = view()->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());
    QCOMPARE(catcher.warningCount(), 0);

    QVERIFY(QFile::remove(path));
    refresh();   // a refresh the user asks for still warns
    QCOMPARE(catcher.warningCount(), 1);
}

QTEST_MAIN(TestReload)
#include "tst_reload.moc"
