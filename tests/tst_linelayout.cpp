// The view's line layout: where a point lands in the text (the reader's
// clicks and drags), lines of more than one row, a new font, and how many
// lines keep their shaped glyphs while a window of long lines is followed.

#include "linelayout.h"
#include "linewindowreader.h"
#include "testfiles.h"
#include "viewfill.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>

#include <memory>

namespace {

// A shown read-only view with the line layout, as the window has it.
std::unique_ptr<QTextEdit> lineView(const QString &text)
{
    auto view = std::make_unique<QTextEdit>();
    installLineLayout(view.get());
    view->setReadOnly(true);
    view->setLineWrapMode(QTextEdit::NoWrap);
    view->resize(500, 300);
    view->setPlainText(text);
    view->show();
    if (!QTest::qWaitForWindowExposed(view.get()))
        qWarning("view never exposed");
    return view;
}

// Where the cursor before character column of block line stands, halfway
// down its row, in document coordinates.
QPointF placeOf(const QTextDocument *document, int line, int column)
{
    const QTextBlock block = document->findBlockByNumber(line);
    const QRectF box = document->documentLayout()->blockBoundingRect(block);
    const QTextLine row = block.layout()->lineForTextPosition(column);
    return box.topLeft() + QPointF(row.cursorToX(column), row.y() + row.height() / 2);
}

// count lines of length characters, numbered from 0.
QString numberedLines(int count, int length)
{
    return QString::fromLatin1(testkit::fixedWidthLines(0, count - 1, length));
}

// Lines of text (not the empty one behind the final line feed) whose
// layouts keep their shaped glyphs.
int linesKeepingGlyphs(const QTextDocument *document)
{
    int count = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        count += block.length() > 1 && block.layout()->cacheEnabled();
    return count;
}

} // namespace

class TestLineLayout : public QObject
{
    Q_OBJECT

private slots:
    void pointsLandOnTheirCharacters_data();
    void pointsLandOnTheirCharacters();
    void mouseDragSelectsWhatItCrosses();
    void newFontLaysTheLinesOutAgain();
    void unshapedLinesHaveTheirFinalHeights_data();
    void unshapedLinesHaveTheirFinalHeights();
    void followedLongLinesKeepFewGlyphs_data();
    void followedLongLinesKeepFewGlyphs();
};

void TestLineLayout::pointsLandOnTheirCharacters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("dropped");   // lines removed from the top before hitting
    const QString lines = QString::fromUtf8("first line\nログ 警告 エラー\n\nsecond\u2028row of a line\nlast\n");
    QTest::newRow("plain and Japanese") << lines << 0;
    QTest::newRow("after lines left the top") << QStringLiteral("gone\ngone too\n") + lines << 2;
    QTest::newRow("right to left") << QString::fromUtf8("left\n\u05e9\u05dc\u05d5\u05dd \u05e2\u05d5\u05dc\u05dd\nend\n") << 0;
}

void TestLineLayout::pointsLandOnTheirCharacters()
{
    QFETCH(QString, text);
    QFETCH(int, dropped);
    const auto view = lineView(text);
    QTextDocument *document = view->document();
    if (dropped > 0) {
        QTextCursor cursor(document);
        cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, dropped);
        cursor.removeSelectedText();
    }
    const QAbstractTextDocumentLayout *layout = document->documentLayout();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (int column = 0; column < block.length(); ++column) {
            const QPointF at = placeOf(document, block.blockNumber(), column);
            QCOMPARE(layout->hitTest(at, Qt::FuzzyHit), block.position() + column);
        }
        // Beside a line, a click takes its near end; an exact hit takes nothing.
        const QRectF box = layout->blockBoundingRect(block);
        const qreal middle = box.top() + block.layout()->lineAt(0).height() / 2;
        const int left = layout->hitTest(QPointF(-20, middle), Qt::FuzzyHit);
        const int right = layout->hitTest(QPointF(box.right() + 50, middle), Qt::FuzzyHit);
        QCOMPARE(qMin(left, right), block.position());
        QVERIFY(qMax(left, right) >= block.position());
        QCOMPARE(layout->hitTest(QPointF(box.right() + 50, middle), Qt::ExactHit), -1);
    }
    const QSizeF size = layout->documentSize();
    QCOMPARE(layout->hitTest(QPointF(5, size.height() + 100), Qt::FuzzyHit),
             document->lastBlock().position());
    QCOMPARE(layout->hitTest(QPointF(5, size.height() + 100), Qt::ExactHit), -1);
}

void TestLineLayout::mouseDragSelectsWhatItCrosses()
{
    const auto view = lineView(numberedLines(200, 30));
    view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum() / 2);
    QTextDocument *document = view->document();
    const int top = view->cursorForPosition(QPoint(0, 0)).blockNumber();
    const QPoint offset(view->horizontalScrollBar()->value(), view->verticalScrollBar()->value());
    const QPoint from = placeOf(document, top + 2, 0).toPoint() - offset;
    const QPoint to = placeOf(document, top + 4, 30).toPoint() - offset;
    QTest::mousePress(view->viewport(), Qt::LeftButton, {}, from);
    // QTest::mouseMove() moves with no button held; a drag holds one.
    QMouseEvent drag(QEvent::MouseMove, to, view->viewport()->mapToGlobal(to), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view->viewport(), &drag);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, to);
    const QStringList expected = {document->findBlockByNumber(top + 2).text(),
                                  document->findBlockByNumber(top + 3).text(),
                                  document->findBlockByNumber(top + 4).text()};
    QCOMPARE(view->textCursor().selectedText(), expected.join(QChar::ParagraphSeparator));
}

void TestLineLayout::newFontLaysTheLinesOutAgain()
{
    const auto view = lineView(numberedLines(20, 40));
    const QAbstractTextDocumentLayout *layout = view->document()->documentLayout();
    const QSizeF before = layout->documentSize();
    QFont font = view->font();
    font.setPointSizeF(font.pointSizeF() * 2);
    view->setFont(font);
    QTRY_VERIFY(!qobject_cast<const LineLayout *>(layout)->isSettling());   // widths of lines not drawn
    const QSizeF after = layout->documentSize();
    QVERIFY2(after.height() > before.height() * 1.5 && after.width() > before.width() * 1.5,
             qPrintable(QStringLiteral("%1x%2 -> %3x%4").arg(before.width()).arg(before.height())
                            .arg(after.width()).arg(after.height())));
    // The scroll bars follow, and no row overlaps the next.
    QCOMPARE(view->verticalScrollBar()->maximum(),
             int(after.height()) - view->viewport()->height());
    const QTextBlock second = view->document()->begin().next();
    QCOMPARE(layout->blockBoundingRect(second).top(),
             layout->blockBoundingRect(view->document()->begin()).bottom());
}

void TestLineLayout::unshapedLinesHaveTheirFinalHeights_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("needle");
    QTest::newRow("ASCII") << numberedLines(300, 80) << QString();
    QTest::newRow("ASCII, marked in bold") << numberedLines(300, 80) << QStringLiteral("x");
    QTest::newRow("tabs and Japanese") << QString::fromUtf8("a\tb\tc\nログ\n").repeated(150) << QStringLiteral("b");
}

void TestLineLayout::unshapedLinesHaveTheirFinalHeights()
{
    // Lines of plain ASCII are laid out later; the places of all lines must
    // be right at once, and only the width may come in the next turns.
    QFETCH(QString, text);
    QFETCH(QString, needle);
    const auto view = lineView(QString());
    fillView(view.get(), text, QTextCharFormat(), needle,
             highlightFormat(QColor("#ffff00"), QColor("#ff0000")));
    const QAbstractTextDocumentLayout *layout = view->document()->documentLayout();
    const qreal foreseen = layout->documentSize().height();
    QTRY_VERIFY(!qobject_cast<const LineLayout *>(layout)->isSettling());
    QCOMPARE(layout->documentSize().height(), foreseen);
    qreal widest = 0;
    qreal bottom = 0;
    for (QTextBlock block = view->document()->begin(); block.isValid(); block = block.next()) {
        const QRectF box = layout->blockBoundingRect(block);
        QCOMPARE(box.top(), bottom > 0 ? bottom : box.top());
        bottom = box.bottom();
        widest = qMax(widest, box.width());
    }
    QCOMPARE(layout->documentSize().height(), foreseen);
    QCOMPARE(layout->documentSize().width(), widest + 2 * view->document()->documentMargin());
}

void TestLineLayout::followedLongLinesKeepFewGlyphs_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("keepsSome");
    QTest::newRow("1,000 characters") << 1000 << true;
    QTest::newRow("3,000 characters: none") << 3000 << false;
}

void TestLineLayout::followedLongLinesKeepFewGlyphs()
{
    QFETCH(int, length);
    QFETCH(bool, keepsSome);
    // 999 lines followed through 40 ticks of 25 new lines: a window whose
    // every line has been the newest once.
    const QString all = numberedLines(999 + 40 * 25, length);
    const int lineLength = length + 1;
    const auto windowAt = [&](int first) { return all.mid(first * lineLength, 999 * lineLength); };
    const auto view = lineView(QString());
    FilledView filled;
    FillKey key;
    key.request.startMode = WindowRequest::NewestMode;
    int dropped = 0;
    for (int tick = 0; tick <= 40; ++tick) {
        refillView(view.get(), filled, key, windowAt(tick * 25), &dropped);
        scrollToEnd(view.get());
        QCoreApplication::processEvents();
    }
    QCOMPARE(view->document()->blockCount(), 1000);
    const int keeping = linesKeepingGlyphs(view->document());
    QVERIFY2(keepsSome ? keeping > 0 && keeping <= 400 : keeping == 0,
             qPrintable(QStringLiteral("%1 of 1000 lines keep their glyphs").arg(keeping)));
}

QTEST_MAIN(TestLineLayout)
#include "tst_linelayout.moc"
