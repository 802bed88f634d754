// The view that a reload leaves, whichever way it got there: a seeded
// differential run compares the real window, after every step of a random
// session (growth, truncation, rotation, modes, line counts, codecs, extract
// mode, highlight texts, colours, highlight rules, selections; lines with hidden characters), with a fresh window that built
// the same file from scratch: text, every format, the rules' colours that
// the layout paints, block count, and the scroll
// position while it follows the end; and where every line lies, and that what
// the window shows is the view painted afresh (lines are moved, not repainted).
//
// TAILPEEK_VIEW_SEEDS and TAILPEEK_VIEW_STEPS set the size of the run
// (default 4 seeds of 50 steps); TAILPEEK_VIEW_SEED runs one seed.

#include "highlightrules.h"
#include "highlightrulesdialog.h"
#include "linelayout.h"
#include "mainwindow.h"
#include "rulepaint.h"
#include "windowharness.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDebug>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QScreen>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCodec>
#include <QTextDocument>
#include <QTextEdit>

using harness::Controls;

namespace {

QString formatText(const QTextFormat &format)
{
    QString out;
    QDebug debug(&out);
    const auto properties = format.properties();
    for (auto it = properties.begin(); it != properties.end(); ++it)
        debug << it.key() << it.value();
    return out;
}

// Every block with its block format and block character format and the
// rules' colours that the layout paints on it, every fragment with its
// position, length and character format.
QStringList documentDump(const QTextDocument *document)
{
    QStringList dump;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        dump << QStringLiteral("block %1 [%2] [%3]")
                    .arg(block.position())
                    .arg(formatText(block.blockFormat()), formatText(block.charFormat()));
        for (const QTextLayout::FormatRange &range : ruleRanges(lineColours(block), QBrush()))
            dump << QStringLiteral("  painted %1+%2 [%3]")
                        .arg(range.start)
                        .arg(range.length)
                        .arg(formatText(range.format));
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            dump << QStringLiteral("  %1+%2 [%3]")
                        .arg(fragment.position())
                        .arg(fragment.length())
                        .arg(formatText(fragment.charFormat()));
        }
    }
    return dump;
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lays the whole document out and lets the scroll bars catch up.
void settle(QTextEdit *view)
{
    view->document()->size();
    QCoreApplication::processEvents();
    if (auto *layout = qobject_cast<LineLayout *>(view->document()->documentLayout())) {
        layout->layoutRest();   // what it would lay out in the next turns
        QCoreApplication::processEvents();
    }
}

// Where the layout put every line, and the document's size.
QStringList geometryDump(const QTextDocument *document)
{
    QAbstractTextDocumentLayout *layout = document->documentLayout();
    QStringList dump;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        const QRectF r = layout->blockBoundingRect(block);
        dump << QStringLiteral("block %1 at %2,%3 %4x%5")
                    .arg(block.blockNumber()).arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
    }
    const QSizeF size = layout->documentSize();
    return dump << QStringLiteral("size %1x%2").arg(size.width()).arg(size.height());
}

// The view's pixels as the window holds them, against the view painted
// afresh. Only the offscreen platform hands out its own backing store.
QString shownDiffersFromPainted(QTextEdit *view)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        return QString();
    QWidget *viewport = view->viewport();
    QCoreApplication::processEvents();
    const QPoint at = viewport->mapTo(viewport->window(), QPoint(0, 0));
    const QImage shown = viewport->screen()
                             ->grabWindow(viewport->window()->winId(), at.x(), at.y(),
                                          viewport->width(), viewport->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage painted = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    if (shown.size() != painted.size())
        return QStringLiteral("shown %1x%2, painted %3x%4")
            .arg(shown.width()).arg(shown.height()).arg(painted.width()).arg(painted.height());
    for (int y = 0; y < shown.height(); ++y) {
        if (memcmp(shown.constScanLine(y), painted.constScanLine(y), size_t(shown.bytesPerLine())) != 0)
            return QStringLiteral("the view shows other pixels than it paints, from row %1").arg(y);
    }
    return QString();
}

const char *const codecActions[] = {"actionUnicode", "actionSJIS", "actionUTF", "actionEUC_JP"};
const char *const codecNames[] = {"", "SJIS", "UTF-8", "EUC-JP"};

// One random session: the file, what the window is set to, and how to build
// a fresh window with the same settings.
struct Session
{
    explicit Session(quint32 seed) : random(seed) {}
    QRandomGenerator random;
    QString path;
    int line = 0;             // lines written so far, for self-numbering
    int codec = 0;            // index into codecNames: what the window decodes with
    // The file's own encoding, fixed until it is rotated: the codec chosen
    // then, UTF-8 for Unicode. A window that detected it keeps the decision
    // for the file, as a fresh window would make it again only on a file of
    // one encoding.
    int fileCodec = 2;
    bool extract = false;
    qint64 limit = 1000;
    QColor markBackground = QColor("#ffff00");
    QColor markForeground = QColor("#ff0000");
    QColor textColour = QColor("#000000");
    bool openLine = false;    // the file ends inside a line
    HighlightRules rules;     // as the window took them from the rules dialog

    HighlightRules randomRules()
    {
        // Literal and regular, overlapping each other and the highlight
        // texts, one invalid, one matching at every line start.
        static const char *const patterns[] = {"error", "ERROR", "worker", "警告", "e", "ms",
                                               "\\d{3}", "in \\d+ ms", "e+", "^0000\\d", "行$",
                                               "(unclosed"};
        const auto colour = [this] {
            return random.bounded(3) == 0 ? QColor() : QColor::fromRgb(random.bounded(0x1000000));
        };
        HighlightRules made;
        for (int i = random.bounded(6); i > 0; --i) {
            HighlightRule rule;
            const int which = random.bounded(int(std::size(patterns)));
            rule.pattern.text = QString::fromUtf8(patterns[which]);
            rule.pattern.regex = which >= 6 || random.bounded(4) == 0;
            rule.pattern.caseSensitive = random.bounded(3) == 0;
            rule.enabled = random.bounded(5) != 0;
            rule.wholeLine = random.bounded(3) == 0;
            rule.foreground = colour();
            rule.background = colour();
            made.append(rule);
        }
        return made;
    }

    QByteArray encode(const QString &text) const
    {
        return QTextCodec::codecForName(codecNames[fileCodec])->fromUnicode(text);
    }

    QByteArray lines(int count)
    {
        QByteArray bytes;
        for (int i = 0; i < count; ++i) {
            QString text = QStringLiteral("%1 ").arg(++line, 6, 10, QLatin1Char('0'));
            switch (random.bounded(7)) {
            case 0: text += QString::fromUtf8("ログ 警告 エラー 日本語の行"); break;
            case 1: text += QStringLiteral("ERROR worker failed, error again"); break;
            case 2: text += QString(int(limit) + random.bounded(1, 90), QLatin1Char('e')); break;
            case 3: text += QString::fromUtf8("two rows\u2028in one line, error"); break;   // a taller line
            case 4: text += QString::fromUtf8("user=\u202egnp.exe\u202c \u2066e\u2069\u200b \x1b[1mError"); break;
            default: text += QStringLiteral("info request served in %1 ms").arg(random.bounded(999)); break;
            }
            bytes += encode(text) + (random.bounded(6) == 0 ? "\r\n" : "\n");
        }
        return bytes;
    }
};

} // namespace

class TestViewDifferential : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void incrementalViewEqualsAFreshRebuild();

private:
    void runSeed(quint32 seed, int steps);
    void step(Session &s, Controls &c);
    QString compareWithFresh(const Session &s, const Controls &c, bool following);

    QTemporaryDir dir;
    testkit::ModalDriver *driver = nullptr;
};

void TestViewDifferential::initTestCase()
{
    QVERIFY(dir.isValid());
    harness::prepareApplication(dir.filePath(QStringLiteral("settings")));
    driver = new testkit::ModalDriver(this);
}

void TestViewDifferential::incrementalViewEqualsAFreshRebuild()
{
    const int seeds = qEnvironmentVariableIsSet("TAILPEEK_VIEW_SEEDS")
                          ? qEnvironmentVariableIntValue("TAILPEEK_VIEW_SEEDS") : 4;
    const int steps = qEnvironmentVariableIsSet("TAILPEEK_VIEW_STEPS")
                          ? qEnvironmentVariableIntValue("TAILPEEK_VIEW_STEPS") : 50;
    QElapsedTimer clock;
    clock.start();
    if (qEnvironmentVariableIsSet("TAILPEEK_VIEW_SEED")) {
        runSeed(quint32(qEnvironmentVariableIntValue("TAILPEEK_VIEW_SEED")), steps);
        return;
    }
    for (int seed = 1; seed <= seeds && !QTest::currentTestFailed(); ++seed)
        runSeed(quint32(seed), steps);
    qInfo("%d seeds x %d steps in %.1f s", seeds, steps, clock.elapsed() / 1000.0);
}

void TestViewDifferential::runSeed(quint32 seed, int steps)
{
    Session s(seed);
    s.path = dir.filePath(QStringLiteral("session-%1.log").arg(seed));
    s.limit = s.random.bounded(3) == 0 ? 40 : 1000;
    QVERIFY(testkit::writeFile(s.path, s.lines(s.random.bounded(0, 300))));
    harness::clearSettings();
    {
        QSettings settings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));
        settings.setValue(QStringLiteral("sktype"), 1);
        settings.setValue(QStringLiteral("linecnt"), 50);
        settings.setValue(QStringLiteral("linemax"), s.limit);
        settings.setValue(QStringLiteral("chmode"), false);
    }
    MainWindow window;
    Controls c(&window);
    window.resize(700, 500);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.openFile(s.path);
    for (int i = 0; i < steps; ++i) {
        step(s, c);
        const bool selected = c.view->textCursor().hasSelection();
        const QString failure = compareWithFresh(s, c, c.startMode->currentIndex() == 1 && !selected);
        QVERIFY2(failure.isEmpty(),
                 qPrintable(QStringLiteral("seed %1, step %2: %3").arg(seed).arg(i).arg(failure)));
        if (selected) {   // the reader lets go and scrolls back to the end
            QTextCursor cursor = c.view->textCursor();
            cursor.clearSelection();
            c.view->setTextCursor(cursor);
            settle(c.view);
            c.view->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
        }
    }
}

// One random change, ending in a reload of the real window.
void TestViewDifferential::step(Session &s, Controls &c)
{
    const auto chooseColour = [&](const char *action, QColor *colour) {
        *colour = QColor::fromRgb(s.random.bounded(0x1000000));
        const QColor chosen = *colour;
        driver->onNextModal([chosen](QWidget *modal) {
            auto *dialog = qobject_cast<QColorDialog *>(modal);
            dialog->setCurrentColor(chosen);
            dialog->accept();
        });
        c.action(action)->trigger();
    };
    const int kind = s.random.bounded(100);
    if (kind < 45) {   // growth, mostly small, sometimes a lot, sometimes half a line
        const int count = s.random.bounded(4) == 0 ? s.random.bounded(0, 2001) : s.random.bounded(0, 12);
        QByteArray bytes = s.lines(count);
        if (s.random.bounded(5) == 0)
            bytes += s.encode(QStringLiteral("partial "));
        testkit::appendFile(s.path, bytes);
    } else if (kind < 50) {   // truncation
        testkit::writeFile(s.path, readFile(s.path).left(s.random.bounded(0, 2000)));
    } else if (kind < 54) {   // rotation: a new file under the same name
        QFile::remove(s.path);
        s.fileCodec = s.codec == 0 ? 2 : s.codec;
        testkit::writeFile(s.path, s.lines(s.random.bounded(0, 80)));
    } else if (kind < 60) {
        const int mode = s.random.bounded(3);
        if (mode == 2)
            c.percent->setValue(s.random.bounded(1, 99) + 0.5);
        else
            c.startMode->setCurrentIndex(mode);
    } else if (kind < 65) {
        c.lineCount->setValue(s.random.bounded(1, 5) == 1 ? 999 : s.random.bounded(1, 120));
    } else if (kind < 69) {
        s.codec = s.random.bounded(4);
        c.action(codecActions[s.codec])->trigger();
    } else if (kind < 73) {
        s.extract = !s.extract;
        c.action("action_3")->trigger();
    } else if (kind < 79) {
        const QStringList needles = {QString(), "error", "ERR", QString::fromUtf8("警告"), "e", "ee",
                                     "1 "};
        c.highlight->setText(needles.at(s.random.bounded(needles.size())));
    } else if (kind < 83) {
        const int which = s.random.bounded(3);
        chooseColour(which == 0 ? "action_2" : which == 1 ? "action_4" : "action_5",
                     which == 0 ? &s.textColour : which == 1 ? &s.markBackground : &s.markForeground);
    } else if (kind < 88) {   // new rules through the rules dialog
        const HighlightRules wanted = s.randomRules();
        driver->onNextModal([&](QWidget *modal) {
            auto *dialog = qobject_cast<HighlightRulesDialog *>(modal);
            dialog->showRules(wanted);
            s.rules = dialog->rules();   // an invalid pattern comes back disabled
            dialog->accept();
        });
        c.window->editHighlightRules();
    } else {   // the reader selects some lines while the file grows
        const int blocks = c.view->document()->blockCount();
        const int first = s.random.bounded(blocks);
        QTextCursor cursor(c.view->document()->findBlockByNumber(first));
        cursor.movePosition(QTextCursor::Down, QTextCursor::KeepAnchor, s.random.bounded(1, 20));
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        c.view->setTextCursor(cursor);
        testkit::appendFile(s.path, s.lines(s.random.bounded(0, 30)));
    }
    c.update->click();
}

QString TestViewDifferential::compareWithFresh(const Session &s, const Controls &c, bool following)
{
    {
        QSettings settings(QStringLiteral("VARNOK"), QStringLiteral("Tailpeek"));
        settings.setValue(QStringLiteral("sktype"), c.startMode->currentIndex());
        settings.setValue(QStringLiteral("linecnt"), c.lineCount->value());
        settings.setValue(QStringLiteral("codec"), QString::fromLatin1(codecNames[s.codec]));
        settings.setValue(QStringLiteral("linemax"), s.limit);
        settings.setValue(QStringLiteral("chmode"), s.extract);
        settings.setValue(QStringLiteral("txcolor"), s.textColour.name());
        settings.setValue(QStringLiteral("hlbgcol"), s.markBackground.name());
        settings.setValue(QStringLiteral("hltxcol"), s.markForeground.name());
        writeHighlightRules(settings, s.rules);
    }
    MainWindow fresh;
    Controls f(&fresh);
    fresh.resize(c.window->size());
    f.highlight->setText(c.highlight->text());
    if (c.startMode->currentIndex() == 2)
        f.percent->setValue(c.percent->value());
    fresh.show();
    fresh.openFile(s.path);

    QTextDocument *real = c.view->document();
    QTextDocument *expected = f.view->document();
    if (c.text() != f.text())
        return QStringLiteral("text differs:\n%1\n--- fresh:\n%2").arg(c.text().right(400), f.text().right(400));
    if (real->blockCount() != expected->blockCount())
        return QStringLiteral("%1 blocks, fresh %2").arg(real->blockCount()).arg(expected->blockCount());
    const QStringList a = documentDump(real), b = documentDump(expected);
    for (int i = 0; i < qMin(a.size(), b.size()); ++i) {
        if (a.at(i) != b.at(i))
            return QStringLiteral("format differs at %1\n%2\n--- fresh:\n%3").arg(i).arg(a.at(i), b.at(i));
    }
    if (real->availableUndoSteps() != 0)
        return QStringLiteral("undo history");
    settle(c.view);   // lines not shaped yet learn their widths in the next turn
    settle(f.view);
    const QStringList g = geometryDump(real), h = geometryDump(expected);
    for (int i = 0; i < qMin(g.size(), h.size()); ++i) {
        if (g.at(i) != h.at(i))
            return QStringLiteral("layout differs: %1, fresh %2").arg(g.at(i), h.at(i));
    }
    const QString pixels = shownDiffersFromPainted(c.view);
    if (!pixels.isEmpty())
        return pixels;
    if (following) {
        settle(c.view);
        settle(f.view);
        const QScrollBar *bar = c.view->verticalScrollBar();
        if (bar->value() != f.view->verticalScrollBar()->value() || bar->value() != bar->maximum())
            return QStringLiteral("scrolled to %1 of %2, fresh %3")
                .arg(bar->value())
                .arg(bar->maximum())
                .arg(f.view->verticalScrollBar()->value());
    }
    return QString();
}

QTEST_MAIN(TestViewDifferential)
#include "tst_viewdifferential.moc"
