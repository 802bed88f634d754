// The view's line layout: where a point lands in the text (the reader's
// clicks and drags), lines of more than one row, a new font, how many
// lines keep their shaped glyphs while a window of long lines is followed,
// that a follow tick moves pixels, and lines whose hidden characters are
// shown as markers and never obeyed.

#include "linelayout.h"
#include "linewindowreader.h"
#include "testfiles.h"
#include "viewfill.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QSignalSpy>
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

// The x of the cursor before each position of block, left to right in the viewport.
QVector<int> cursorXs(const QTextEdit *view, const QTextBlock &block)
{
    QVector<int> xs;
    QTextCursor cursor(block);
    for (int column = 0; column < block.length(); ++column) {
        cursor.setPosition(block.position() + column);
        xs.append(view->cursorRect(cursor).x());
    }
    return xs;
}

// Whether any pixel of the viewport between x from and to in the row of
// block has colour.
bool bandHasColour(const QImage &image, const QTextEdit *view, const QTextBlock &block, int from,
                   int to, const QColor &colour)
{
    const QRect row = view->document()->documentLayout()->blockBoundingRect(block).toRect();
    for (int x = qMin(from, to) + 1; x < qMax(from, to) - 1; ++x) {
        for (int y = row.top() + 2; y < row.bottom() - 1; ++y) {
            if (image.pixelColor(x, y) == colour)
                return true;
        }
    }
    return false;
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
    void followTickMovesThePixels_data();
    void followTickMovesThePixels();
    void hiddenCharactersShowInStoredOrder_data();
    void hiddenCharactersShowInStoredOrder();
    void rightToLeftScriptsKeepTheirOrder_data();
    void rightToLeftScriptsKeepTheirOrder();
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

void TestLineLayout::followTickMovesThePixels_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("newLines");
    QTest::newRow("ASCII, one line") << QStringLiteral("request served") << 1;
    QTest::newRow("Japanese, ten lines") << QString::fromUtf8("ログ 警告 エラー") << 10;
    QTest::newRow("hidden characters") << QString::fromUtf8("user=\u202egnp.exe\u202c") << 3;
}

void TestLineLayout::followTickMovesThePixels()
{
    // The fill removes the lines that left the top in an edit of its own, after
    // the end: the layout then moves the pixels of the lines that stay.
    QFETCH(QString, line);
    QFETCH(int, newLines);
    const auto numbered = [&](int first, int count) {
        QString text;
        for (int i = first; i < first + count; ++i)
            text += QStringLiteral("%1 ").arg(i) + line + '\n';
        return text;
    };
    const auto view = lineView(QString());
    FilledView filled;
    FillKey key;
    key.request.startMode = WindowRequest::NewestMode;
    int dropped = 0;
    refillView(view.get(), filled, key, numbered(0, 50), &dropped);
    QCoreApplication::processEvents();
    auto *layout = qobject_cast<LineLayout *>(view->document()->documentLayout());
    layout->layoutRest();   // laying lines out must not count as an edit
    const int leaving = qRound(layout->blockBoundingRect(view->document()->findBlockByNumber(newLines)).top()
                               - layout->blockBoundingRect(view->document()->begin()).top());
    QSignalSpy shifts(layout, &LineLayout::shiftedUp);
    QCOMPARE(refillView(view.get(), filled, key, numbered(newLines, 50), &dropped), FillChange::Appended);
    QCOMPARE(shifts.count(), 1);
    QCOMPARE(shifts.at(0).at(0).toInt(), leaving);
    // The next ticks, a turn of the event loop apart as the reload timer has
    // them: laying out and asking where the cursor stands must not make them
    // paint again what only moved.
    const qreal margin = view->document()->documentMargin();
    for (int tick = 2; tick <= 3; ++tick) {
        scrollToEnd(view.get());
        QCoreApplication::processEvents();
        layout->layoutRest();
        QCoreApplication::processEvents();
        QSignalSpy updates(layout, &QAbstractTextDocumentLayout::update);
        QCOMPARE(refillView(view.get(), filled, key, numbered(tick * newLines, 50), &dropped), FillChange::Appended);
        QCOMPARE(shifts.count(), tick);
        for (const QList<QVariant> &update : updates) {
            const QRectF area = update.at(0).toRectF();
            QVERIFY2(area.isValid() && (area.bottom() <= margin || area.top() > layout->documentSize().height() / 2),
                     qPrintable(QStringLiteral("tick %1 paints from %2").arg(tick).arg(area.top())));
        }
    }
}

void TestLineLayout::hiddenCharactersShowInStoredOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hidden");
    const struct {
        const char *name;
        QString hidden;
    } kinds[] = {
        {"override", QString::fromUtf8("\u202egnp.exe\u202c")},
        {"embedding", QString::fromUtf8("\u202bab cd\u202c")},
        {"isolate", QString::fromUtf8("\u2067mallory\u2069\u200b")},
        {"marks", QString::fromUtf8("\u200f\u061c\u200e")},
        {"invisible", QString::fromUtf8("\u200b\u200c\u200d\u2060\ufeff")},
        {"C0 and DEL", QStringLiteral("\x01\x1b[31m\x7f")},
        {"C1", QString::fromUtf8("\u0080\u009b")},
    };
    for (const auto &kind : kinds) {
        const QString &h = kind.hidden;
        QTest::addRow("%s at the start", kind.name) << h + QStringLiteral("user=x.txt") << h;
        QTest::addRow("%s in the middle", kind.name) << QStringLiteral("user=") + h + QStringLiteral("x.txt") << h;
        QTest::addRow("%s at the end", kind.name) << QStringLiteral("user=x.txt") + h << h;
    }
}

void TestLineLayout::hiddenCharactersShowInStoredOrder()
{
    QFETCH(QString, text);
    QFETCH(QString, hidden);
    // The highlight text and the selection take the hidden run and one
    // character on each side that it has.
    const int start = qMax(0, int(text.indexOf(hidden)) - 1);
    const int end = qMin(int(text.size()), int(text.indexOf(hidden) + hidden.size()) + 1);
    const QString needle = text.mid(start, end - start);
    const QColor markGround("#ffff00");
    const auto view = lineView(QString());
    fillView(view.get(), QStringLiteral("before\n") + text + QStringLiteral("\nafter\n"),
             QTextCharFormat(), needle, highlightFormat(markGround, QColor("#ff0000")));
    QCoreApplication::processEvents();
    const QTextBlock block = view->document()->findBlockByNumber(1);

    // Every character in its stored order, each marker wide enough to see.
    // QTextEdit's cursor cannot stand inside a grapheme cluster: before a
    // joiner it stands where it stood before the character joined.
    const QVector<int> xs = cursorXs(view.get(), block);
    for (int i = 1; i < xs.size(); ++i)
        QVERIFY2(xs[i] > xs[i - 1] || (text[i] == u'\u200c' || text[i] == u'\u200d'), qPrintable(QStringLiteral("x %1 at %2, %3 at %4")
                                                   .arg(xs[i - 1]).arg(i - 1).arg(xs[i]).arg(i)));

    // The mark covers what it marks on screen, and nothing else.
    const QImage shown = view->viewport()->grab().toImage();
    for (int i = 0; i + 1 < xs.size(); ++i) {
        if (xs[i + 1] - xs[i] < 3)
            continue;   // a character joined to the next: its band is the next one's
        const bool marked = i >= start && i < end;
        QVERIFY2(bandHasColour(shown, view.get(), block, xs[i], xs[i + 1], markGround) == marked,
                 qPrintable(QStringLiteral("character %1 %2").arg(i).arg(marked ? "unmarked" : "marked")));
    }

    // A click on either half of a marker lands on either side of its character.
    const QAbstractTextDocumentLayout *layout = view->document()->documentLayout();
    const qreal middle = layout->blockBoundingRect(block).center().y();
    const int at = text.indexOf(hidden);
    const qreal left = xs[at], right = xs[at + 1];
    QCOMPARE(layout->hitTest(QPointF(left + (right - left) / 4, middle), Qt::FuzzyHit), block.position() + at);
    QCOMPARE(layout->hitTest(QPointF(right - (right - left) / 4, middle), Qt::FuzzyHit),
             block.position() + at + 1);

    // Copy gives the characters themselves.
    QTextCursor selection(block);
    selection.setPosition(block.position() + start);
    selection.setPosition(block.position() + end, QTextCursor::KeepAnchor);
    view->setTextCursor(selection);
    view->copy();
    QCOMPARE(QApplication::clipboard()->text(), needle);
}

void TestLineLayout::rightToLeftScriptsKeepTheirOrder_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("word");   // runs right to left
    const QString hebrew = QString::fromUtf8("\u05e9\u05dc\u05d5\u05dd");
    const QString arabic = QString::fromUtf8("\u0645\u0631\u062d\u0628\u0627");
    QTest::newRow("Hebrew") << QStringLiteral("user=") + hebrew + QStringLiteral(" ok") << hebrew;
    QTest::newRow("Arabic") << arabic + QStringLiteral(" 42") << arabic;
    QTest::newRow("Hebrew beside a marker") << QString::fromUtf8("\u200b") + hebrew + QStringLiteral(" ok") << hebrew;
    QTest::newRow("Arabic beside a marker") << QStringLiteral("id=") + arabic + QString::fromUtf8("\u202c") << arabic;
}

void TestLineLayout::rightToLeftScriptsKeepTheirOrder()
{
    QFETCH(QString, text);
    QFETCH(QString, word);
    const auto view = lineView(text + '\n');
    const QTextBlock block = view->document()->begin();
    const QVector<int> xs = cursorXs(view.get(), block);
    // Inside the run only: where it meets left-to-right text, a cursor
    // position belongs to either run (Qt 5 and Qt 6 choose differently).
    const int first = text.indexOf(word);
    for (int i = first + 2; i < first + word.size(); ++i)
        QVERIFY2(xs[i] < xs[i - 1], qPrintable(QStringLiteral("x %1 at %2, %3 at %4")
                                                   .arg(xs[i - 1]).arg(i - 1).arg(xs[i]).arg(i)));
    // A point on a character lands before or after it, as the cursor stands.
    const QAbstractTextDocumentLayout *layout = view->document()->documentLayout();
    const qreal middle = layout->blockBoundingRect(block).center().y();
    QCOMPARE(layout->hitTest(QPointF(xs[first + 1] + 1, middle), Qt::FuzzyHit), block.position() + first + 1);
}

QTEST_MAIN(TestLineLayout)
#include "tst_linelayout.moc"
