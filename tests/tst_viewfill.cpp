// Filling the view and marking the highlight text: the marks must be exactly
// those that QTextDocument::find() gives match after match, in the format with
// its five properties, merged into the view's own format. Where a newer window
// continues an older one, so that a fill only appends.

#include "viewfill.h"

#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>

namespace {

// The find loop the marks must agree with: find, merge, find behind it.
void markByFindLoop(QTextEdit *view, const QString &needle, const QTextCharFormat &format)
{
    QTextDocument *document = view->document();
    QTextCursor cursor = document->find(needle, 0, QTextDocument::FindFlags());
    while (!cursor.isNull()) {
        cursor.mergeCharFormat(format);
        cursor = document->find(needle, cursor, QTextDocument::FindFlags());
    }
}

// The document as runs of (position, length, bold, background) — enough to
// tell any difference in where the marks are.
QStringList formatRuns(const QTextDocument *document)
{
    QStringList runs;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat f = fragment.charFormat();
            runs << QStringLiteral("%1+%2:%3:%4")
                        .arg(fragment.position())
                        .arg(fragment.length())
                        .arg(f.fontWeight())
                        .arg(f.background().color().name());
        }
    }
    return runs;
}

QString randomText(QRandomGenerator &random, int lines)
{
    // Few letters, so that matches are frequent and overlap often; mixed case,
    // accented and Greek letters, a no-break space and Japanese.
    const QString alphabet = QString::fromUtf8("aAbB \u00e9\u00c9\u03c3\u03a3\u00a0\u30ed\u30b0x");
    QString text;
    for (int l = 0; l < lines; ++l) {
        const int length = random.bounded(0, 40);
        for (int i = 0; i < length; ++i)
            text += alphabet.at(random.bounded(alphabet.size()));
        text += '\n';
    }
    return text;
}

} // namespace

class TestViewFill : public QObject
{
    Q_OBJECT

private slots:
    void formatHasExactlyTheFiveProperties();
    void marksAgreeWithTheFindLoop_data();
    void marksAgreeWithTheFindLoop();
    void marksAgreeWithTheFindLoopOnRandomText();
    void marksInsideTheFillAgreeWithMarksAfterIt();
    void emptyNeedleMarksNothing();
    void marksLeaveNoUndoHistory();
    void newestModeScrollsToTheEnd();
    void findOverlap_data();
    void findOverlap();
};

void TestViewFill::formatHasExactlyTheFiveProperties()
{
    const QTextCharFormat format = highlightFormat(QColor("#ffff00"), QColor("#ff0000"));
    QCOMPARE(format.properties().size(), 5);
    QCOMPARE(format.background(), QBrush(QColor("#ffff00"), Qt::SolidPattern));
    QCOMPARE(format.foreground(), QBrush(QColor("#ff0000"), Qt::SolidPattern));
    QCOMPARE(format.fontWeight(), int(QFont::Bold));
    QCOMPARE(format.underlineColor(), QColor(Qt::white));
    QCOMPARE(format.underlineStyle(), QTextCharFormat::SpellCheckUnderline);
}

void TestViewFill::marksAgreeWithTheFindLoop_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::addColumn<int>("marks");

    QTest::newRow("case ignored") << "Error 1\nok\nERR2\n" << "err" << 2;
    QTest::newRow("no overlap") << "aaaa\n" << "aa" << 2;
    QTest::newRow("odd run") << "aaaaa\naaa\n" << "aa" << 3;
    QTest::newRow("not across lines") << "ab\ncd\n" << "b\nc" << 0;
    QTest::newRow("no-break space is a space") << QString::fromUtf8("a\u00a0b a b\n") << "a b" << 2;
    QTest::newRow("japanese") << QString::fromUtf8("\u30ed\u30b0\u30ed\u30b0\n\u30ed\n")
                              << QString::fromUtf8("\u30ed\u30b0") << 2;
    QTest::newRow("absent") << "abc\n" << "zz" << 0;
    QTest::newRow("whole line") << "abc\nabc\n" << "ABC" << 2;
}

void TestViewFill::marksAgreeWithTheFindLoop()
{
    QFETCH(QString, text);
    QFETCH(QString, needle);
    QFETCH(int, marks);
    const QTextCharFormat format = highlightFormat(Qt::yellow, Qt::red);

    QTextEdit expected;
    expected.setPlainText(text);
    markByFindLoop(&expected, needle, format);
    QTextEdit actual;
    actual.setPlainText(text);
    QCOMPARE(markMatches(&actual, needle, format), marks);
    QCOMPARE(formatRuns(actual.document()), formatRuns(expected.document()));
}

void TestViewFill::marksAgreeWithTheFindLoopOnRandomText()
{
    QRandomGenerator random(20261208);
    const QTextCharFormat format = highlightFormat(Qt::yellow, Qt::red);
    const QStringList needles = {"a", "aa", "Ab", QString::fromUtf8("\u00e9a"),
                                 QString::fromUtf8("\u03c3\u03c3"), "a b",
                                 QString::fromUtf8("\u30ed\u30b0"), "bAb"};
    for (int round = 0; round < 60; ++round) {
        const QString text = randomText(random, random.bounded(1, 30));
        const QString needle = needles.at(round % needles.size());
        QTextEdit expected;
        expected.setPlainText(text);
        markByFindLoop(&expected, needle, format);
        QTextEdit actual;
        actual.setPlainText(text);
        markMatches(&actual, needle, format);
        QVERIFY2(formatRuns(actual.document()) == formatRuns(expected.document()),
                 qPrintable(QStringLiteral("round %1, needle '%2'").arg(round).arg(needle)));
    }
}

void TestViewFill::marksInsideTheFillAgreeWithMarksAfterIt()
{
    // Marking inside the fill's edit block must leave the same document as
    // filling first and running the find loop afterwards.
    QRandomGenerator random(7);
    const QTextCharFormat format = highlightFormat(Qt::yellow, Qt::red);
    QTextEdit view;
    for (int round = 0; round < 20; ++round) {
        const QString text = randomText(random, random.bounded(1, 40));
        QTextEdit expected;
        expected.setPlainText(text);
        markByFindLoop(&expected, QStringLiteral("ab"), format);
        fillView(&view, text, QTextCharFormat(), QStringLiteral("ab"), format);
        QCOMPARE(view.toPlainText(), expected.toPlainText());
        QVERIFY2(formatRuns(view.document()) == formatRuns(expected.document()),
                 qPrintable(QStringLiteral("round %1").arg(round)));
    }
}

void TestViewFill::emptyNeedleMarksNothing()
{
    QTextEdit view;
    view.setPlainText(QStringLiteral("abc\n"));
    const QStringList before = formatRuns(view.document());
    QCOMPARE(markMatches(&view, QString(), highlightFormat(Qt::yellow, Qt::red)), 0);
    QCOMPARE(formatRuns(view.document()), before);
}

void TestViewFill::marksLeaveNoUndoHistory()
{
    QTextEdit view;
    view.setReadOnly(true);
    view.document()->setUndoRedoEnabled(false);
    fillView(&view, QStringLiteral("err err\nok\n"), QTextCharFormat(), QStringLiteral("err"),
             highlightFormat(Qt::yellow, Qt::red));
    QCOMPARE(formatRuns(view.document()).filter(QStringLiteral(":%1:").arg(int(QFont::Bold))).size(), 2);
    QCOMPARE(view.toPlainText(), QStringLiteral("err err\nok\n"));
    QCOMPARE(view.document()->availableUndoSteps(), 0);
    QVERIFY(!view.document()->isUndoAvailable());
}

void TestViewFill::newestModeScrollsToTheEnd()
{
    QTextEdit view;
    view.resize(300, 120);
    view.show();
    QString text;
    for (int i = 0; i < 200; ++i)
        text += QStringLiteral("line %1\n").arg(i);
    fillView(&view, text, QTextCharFormat(), QStringLiteral("line"), highlightFormat(Qt::yellow, Qt::red));
    scrollToEnd(&view);
    QScrollBar *bar = view.verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());
    fillView(&view, text, QTextCharFormat(), QString(), QTextCharFormat());
    QCOMPARE(bar->value(), 0);
}

void TestViewFill::findOverlap_data()
{
    QTest::addColumn<QString>("older");
    QTest::addColumn<QString>("newer");
    QTest::addColumn<int>("dropped");
    QTest::addColumn<int>("kept");

    QTest::newRow("lines appended") << "a\nb\n" << "a\nb\nc\n" << 0 << 4;
    QTest::newRow("lines left at the top") << "a\nb\nc\n" << "b\nc\nd\ne\n" << 2 << 4;
    QTest::newRow("the same text") << "a\nb\n" << "a\nb\n" << 0 << 4;
    QTest::newRow("the empty line behind a final line feed") << "a\nb\n\n" << "b\nc\n\n" << 2 << 2;
    QTest::newRow("an unterminated last line completed") << "a\nb\npar\n" << "b\npartial\nx\n" << 2 << 2;
    QTest::newRow("everything left") << "a\nb\n" << "x\ny\n" << -1 << 0;
    QTest::newRow("a match inside a line is none") << "xa\nb\n" << "a\nb\nc\n" << -1 << 0;
    QTest::newRow("a line in the middle differs") << "a\nb\nc\n" << "a\nB\nc\nd\n" << -1 << 0;
    QTest::newRow("older empty") << "" << "a\n" << -1 << 0;
    QTest::newRow("newer without its final line feed") << "a\n" << "a\nb" << -1 << 0;
    // Twenty equal lines: the first candidate already continues.
    QTest::newRow("many equal lines") << QString("x\n").repeated(20) << QString("x\n").repeated(20) + "y\n" << 0 << 40;
}

void TestViewFill::findOverlap()
{
    QFETCH(QString, older);
    QFETCH(QString, newer);
    QFETCH(int, dropped);
    QFETCH(int, kept);
    const WindowOverlap overlap = ::findOverlap(older, newer);
    QCOMPARE(overlap.dropped, dropped);
    if (dropped >= 0)
        QCOMPARE(overlap.kept, kept);
}

QTEST_MAIN(TestViewFill)
#include "tst_viewfill.moc"
