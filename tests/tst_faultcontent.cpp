// Content that is not text, followed with the 0.5 s auto-update: NUL bytes,
// random binary, invalid byte sequences in each codec, UTF-16 without a
// byte-order mark. What the view shows, that no line comes out longer than the
// per-line limit, that no warning comes, and that the event loop keeps turning.
// The huge files are in tst_faulthuge.cpp.

#include "faultharness.h"

#include "mainwindow.h"

#include <QAction>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

using namespace fault;
using namespace testkit;

namespace {

// The header-mode window of an LF text: the first N pieces between line
// feeds, reads past the end giving empty lines.
QString headerWindow(const QString &text, int lineCount)
{
    const QStringList pieces = text.split(QLatin1Char('\n'));
    QString window;
    for (int i = 0; i < lineCount; ++i)
        window += (i < pieces.size() ? pieces.at(i) : QString()) + QLatin1Char('\n');
    return window;
}

// A read's length in characters: a surrogate pair is one.
int characters(const QString &line)
{
    return int(line.toUcs4().size());
}

} // namespace

class FaultContent : public QObject
{
    Q_OBJECT

private slots:
    void nulBytes_data();
    void nulBytes();
    void randomBinary_data();
    void randomBinary();
    void invalidSequences_data();
    void invalidSequences();
    void utf16WithoutByteOrderMark_data();
    void utf16WithoutByteOrderMark();

private:
    QTemporaryDir dir;
};

void FaultContent::nulBytes_data()
{
    QTest::addColumn<int>("startMode");
    QTest::newRow("header") << int(WindowRequest::HeaderMode);
    QTest::newRow("newest") << int(WindowRequest::NewestMode);
}

void FaultContent::nulBytes()
{
    QFETCH(int, startMode);
    const QString log = dir.filePath(QStringLiteral("nul-%1.log").arg(startMode));
    const QByteArray content("abc\0def\nline 2\n\0\0\0\nend\0", 24);
    writeFile(log, content);
    ViewSetup setup;
    setup.startMode = startMode;
    ViewSession session(setup);
    session.open(log);

    // A NUL is a character like any other: nothing after it is lost.
    const QString text = QString::fromUtf8(content.constData(), content.size());
    QVERIFY(text.contains(QChar(0)));
    const QString expected = startMode == WindowRequest::HeaderMode ? headerWindow(text, 5) : newestWindow(content, 5);
    QCOMPARE(session.text(), expected);

    // And it grows like any other line.
    appendFile(log, QByteArray("\0more\n", 6));
    if (startMode == WindowRequest::NewestMode) {
        QVERIFY2(session.waitForText(newestWindow(content + QByteArray("\0more\n", 6), 5), 2000),
                 qPrintable(session.text()));
    }

    // Extract mode keeps the line with the highlight text, NUL and all.
    session.setHighlight(QStringLiteral("DEF"));
    session.window()->findChild<QAction *>(QStringLiteral("action_3"))->trigger();
    session.clickRefresh();
    QCOMPARE(session.text(), QString::fromUtf8("abc\0def\n", 8));
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultContent::randomBinary_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("startMode");
    for (const char *codec : {"", "UTF-8", "SJIS", "EUC-JP"}) {
        for (int mode = 0; mode < 3; ++mode) {
            QTest::addRow("%s mode %d", *codec ? codec : "detect", mode)
                << QString::fromLatin1(codec) << mode;
        }
    }
}

void FaultContent::randomBinary()
{
    QFETCH(QString, codec);
    QFETCH(int, startMode);
    QRandomGenerator random(20240601u + quint32(startMode));
    auto randomBytes = [&random](int size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (char &b : bytes)
            b = char(random.generate() & 0xff);
        return bytes;
    };
    const QString log = dir.filePath(QStringLiteral("random-%1-%2.bin").arg(codec).arg(startMode));
    writeFile(log, randomBytes(256 * 1024));

    ViewSetup setup;
    setup.startMode = startMode;
    setup.percent = 50.0;
    setup.codec = codec;
    // A small window: random bytes decode to characters of many scripts, and
    // Qt's layout of them (font fallback for each) costs several times more
    // than that of ordinary text; the decoding is what this case is about.
    setup.lineCount = 20;
    setup.maxLineChars = 80;
    ViewSession session(setup);
    session.open(log);
    QVERIFY(!session.text().isEmpty());

    // More random bytes in odd-sized writes, so reads start and stop anywhere.
    std::vector<FileScript::Step> steps;
    for (int i = 0; i < 12; ++i) {
        const QByteArray more = randomBytes(1 + int(random.bounded(5000)));
        steps.push_back({130, [=] { appendFile(log, more); }});
    }
    FileScript script(std::move(steps));
    QVERIFY(session.waitFor([&] { return script.finished(); }, 5000));
    QTest::qWait(700);

    // Every view was a bounded window: no line past the limit. (Decoded
    // separators U+2028/U+2029 may split a read further, never lengthen it.)
    if (startMode != WindowRequest::HeaderMode)   // header mode: the start of the file stays as it is
        QVERIFY(session.history().size() >= 2);
    for (const QString &shown : session.history()) {
        const QStringList lines = viewLines(shown);
        QVERIFY2(lines.size() <= 4 * (setup.lineCount + 1), qPrintable(QString::number(lines.size())));
        for (const QString &line : lines)
            QVERIFY2(characters(line) <= setup.maxLineChars, qPrintable(QString::number(characters(line))));
    }
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultContent::invalidSequences_data()
{
    QTest::addColumn<QString>("codec");
    QTest::addColumn<QByteArrayList>("bad");   // one bad sequence per line
    QTest::addColumn<int>("startMode");

    const QByteArrayList utf8 = {"\xc3\x28", "\xff\xfe", "\xc0\xaf", "\x80\x80", "\xed\xa0\x80",
                                 "\xf4\x90\x80\x80", "\xe6\x97", "\xf0\x9f\x98"};
    const QByteArrayList sjis = {"\x81\x20", "\xa0", "\xfd\xfe\xff", "\x81\x7f", "\xef\xfc",
                                 "\x82", "\x81\x81\x81"};
    const QByteArrayList euc = {"\x8e\x20", "\xa1", "\xff\xfe", "\x8f\xa1", "\xa4\x41",
                                "\x8e", "\xa4\xa2\xa4"};
    for (int mode = 0; mode < 3; ++mode) {
        QTest::addRow("UTF-8 mode %d", mode) << QStringLiteral("UTF-8") << utf8 << mode;
        QTest::addRow("detect mode %d", mode) << QString() << utf8 << mode;
        QTest::addRow("Shift-JIS mode %d", mode) << QStringLiteral("SJIS") << sjis << mode;
        QTest::addRow("EUC-JP mode %d", mode) << QStringLiteral("EUC-JP") << euc << mode;
    }
}

void FaultContent::invalidSequences()
{
    QFETCH(QString, codec);
    QFETCH(QByteArrayList, bad);
    QFETCH(int, startMode);

    // Each line "ok i <bad> tail i", and each bad sequence once more right
    // before a line feed: the marks on both sides must come through and no
    // bad byte may swallow a line feed.
    QByteArray content;
    QStringList lines;
    for (int i = 0; i < bad.size(); ++i) {
        content += "ok " + QByteArray::number(2 * i) + ' ' + bad.at(i) + " tail " + QByteArray::number(2 * i) + '\n';
        content += "ok " + QByteArray::number(2 * i + 1) + ' ' + bad.at(i) + '\n';
        lines << QStringLiteral("ok %1 ").arg(2 * i) << QStringLiteral("ok %1 ").arg(2 * i + 1);
    }
    const QString log = dir.filePath(QStringLiteral("invalid-%1-%2.log").arg(codec).arg(startMode));
    writeFile(log, QByteArray());
    ViewSetup setup;
    setup.startMode = startMode;
    setup.percent = 50.0;
    setup.codec = codec;
    setup.lineCount = 40;
    ViewSession session(setup);
    session.open(log);
    // Written while followed, so the decoding also meets them at the end of the file.
    appendFile(log, content);
    QVERIFY(session.waitFor([&] { return !session.text().trimmed().isEmpty(); }, 3000));

    QStringList shown = viewLines(session.text());
    while (!shown.isEmpty() && shown.last().isEmpty())
        shown.removeLast();   // the reads past the end
    QVERIFY2(!shown.isEmpty(), qPrintable(session.text()));
    const int first = lines.indexOf(shown.first().left(shown.first().indexOf(' ', 3) + 1));
    QVERIFY2(first >= 0, qPrintable(shown.first()));
    if (startMode != WindowRequest::PercentMode)
        QCOMPARE(first, 0);
    QCOMPARE(shown.size(), lines.size() - first);   // one view line per file line
    for (int k = 0; k < shown.size(); ++k) {
        const int i = first + k;
        QVERIFY2(shown.at(k).startsWith(lines.at(i)), qPrintable(shown.at(k)));
        if (i % 2 == 0)
            QVERIFY2(shown.at(k).endsWith(QStringLiteral(" tail %1").arg(i)), qPrintable(shown.at(k)));
    }
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultContent::utf16WithoutByteOrderMark_data()
{
    QTest::addColumn<QByteArray>("encoding");
    QTest::addColumn<QString>("codec");
    QTest::addColumn<int>("startMode");
    for (int mode : {0, 1}) {
        QTest::addRow("UTF-16LE, detect, mode %d", mode) << QByteArray("UTF-16LE") << QString() << mode;
        QTest::addRow("UTF-16BE, detect, mode %d", mode) << QByteArray("UTF-16BE") << QString() << mode;
        QTest::addRow("UTF-16LE, UTF-8, mode %d", mode) << QByteArray("UTF-16LE")
                                                       << QStringLiteral("UTF-8") << mode;
    }
}

void FaultContent::utf16WithoutByteOrderMark()
{
    QFETCH(QByteArray, encoding);
    QFETCH(QString, codec);
    QFETCH(int, startMode);
    // Without a mark nothing says UTF-16: the bytes decode as UTF-8, so every
    // character comes with a NUL, and each 0x0A byte still ends a line.
    QScopedPointer<QTextEncoder> encoder(
        QTextCodec::codecForName(encoding)->makeEncoder(QTextCodec::IgnoreHeader));
    const QByteArray content = encoder->fromUnicode(QStringLiteral("line 1\nline 2\nline 3\n"));
    QVERIFY(!content.startsWith("\xff\xfe") && !content.startsWith("\xfe\xff"));
    const QString log = dir.filePath(QStringLiteral("utf16-%1-%2-%3.log")
                                         .arg(QString::fromLatin1(encoding), codec).arg(startMode));
    writeFile(log, content);
    ViewSetup setup;
    setup.startMode = startMode;
    setup.codec = codec;
    ViewSession session(setup);
    session.open(log);
    const QString decoded = QString::fromUtf8(content.constData(), content.size());
    QVERIFY(!decoded.contains(QChar(QChar::ReplacementCharacter)));
    QCOMPARE(session.text(), startMode == WindowRequest::HeaderMode ? headerWindow(decoded, 5) : newestWindow(content, 5));
    QString letters = session.text();
    letters.remove(QChar(0));
    QVERIFY(letters.startsWith(QLatin1String("line 1\nline 2\nline 3\n")));
    QCOMPARE(session.dialogs.warningCount(), 0);
    FAULT_CHECK_RESPONSIVE(session);
}

QTEST_MAIN(FaultContent)
#include "tst_faultcontent.moc"
