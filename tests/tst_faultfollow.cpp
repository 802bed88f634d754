// Following a log that its writer rotates, truncates, shrinks and grows in odd
// pieces, with the 0.5 s auto-update running in newest mode: what the view
// shows, that no warning box comes, and that the event loop keeps turning.

#include "faultharness.h"

#include <QTemporaryDir>
#include <QTest>
#include <QScopedPointer>
#include <QTextCodec>

using namespace fault;
using namespace testkit;

class FaultFollow : public QObject
{
    Q_OBJECT

private slots:
    void rotationByRenameAndRecreate_data();
    void rotationByRenameAndRecreate();
    void truncationToZeroAndRegrowth_data();
    void truncationToZeroAndRegrowth();
    void shrinkingInsideALine();
    void growthOneByteAtATime();
    void writeEndingInsideACharacter_data();
    void writeEndingInsideACharacter();

private:
    QTemporaryDir dir;
};

void FaultFollow::rotationByRenameAndRecreate_data()
{
    QTest::addColumn<int>("gapMs");
    QTest::addColumn<bool>("failureNoted");   // the status line must have said why
    // The new file is missing for three timer periods: the status line says so.
    QTest::newRow("missing for 1.5 s") << 1500 << true;
    // Re-created at once: a tick may or may not fall into the gap.
    QTest::newRow("re-created at once") << 0 << false;
}

void FaultFollow::rotationByRenameAndRecreate()
{
    QFETCH(int, gapMs);
    QFETCH(bool, failureNoted);
    const QString log = dir.filePath(QStringLiteral("rotate-%1.log").arg(gapMs));
    writeFile(log, numberedLines("old", 1, 30));

    ViewSession session(ViewSetup{});
    session.open(log);
    QVERIFY(session.waitForText(newestWindow(numberedLines("old", 1, 30), 5)));

    std::vector<FileScript::Step> steps;
    for (int i = 31; i <= 36; ++i)
        steps.push_back({100, [=] { appendFile(log, numberedLines("old", i, i)); }});
    steps.push_back({100, [=] { renamePath(log, log + QStringLiteral(".1")); }});
    steps.push_back({gapMs, [=] { writeFile(log, numberedLines("new", 1, 2)); }});
    for (int i = 3; i <= 9; ++i)
        steps.push_back({150, [=] { appendFile(log, numberedLines("new", i, i)); }});
    FileScript script(std::move(steps));

    const QString expected = newestWindow(numberedLines("new", 1, 9), 5);
    QString failure;
    QVERIFY2(session.waitFor([&] {
                 if (failure.isEmpty())
                     failure = session.failureShown();
                 return script.finished() && session.text() == expected;
             }, 10000),
             qPrintable(session.text()));
    QTest::qWait(700);   // a further tick must change nothing and warn of nothing
    QCOMPARE(session.text(), expected);

    // Once the view has shown the new file, it never goes back to the old one,
    // and no view ever mixes the two.
    bool sawNew = false;
    for (const QString &shown : session.history()) {
        const bool hasOld = shown.contains(QLatin1String("old "));
        const bool hasNew = shown.contains(QLatin1String("new "));
        QVERIFY2(!(hasOld && hasNew), qPrintable(shown));
        QVERIFY2(!(sawNew && hasOld), qPrintable(shown));
        sawNew = sawNew || hasNew;
    }

    // Following went on by itself: no box to click away, the failure noted
    // while the file was missing and gone once it was back.
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    if (failureNoted)
        QVERIFY2(failure.endsWith(QLatin1String("No such file or directory")), qPrintable(failure));
    QCOMPARE(session.failureShown(), QString());
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultFollow::truncationToZeroAndRegrowth_data()
{
    QTest::addColumn<int>("emptyForMs");
    // Empty for longer than a period: a tick shows the empty file.
    QTest::newRow("empty for 0.8 s") << 800;
    // Regrown at once: the next tick sees a different size and reads anew.
    QTest::newRow("regrown at once") << 0;
}

void FaultFollow::truncationToZeroAndRegrowth()
{
    QFETCH(int, emptyForMs);
    const QString log = dir.filePath(QStringLiteral("copytruncate-%1.log").arg(emptyForMs));
    writeFile(log, numberedLines("before", 1, 50));

    ViewSession session(ViewSetup{});
    session.open(log);
    QVERIFY(session.waitForText(newestWindow(numberedLines("before", 1, 50), 5)));

    // The way copytruncate does it: the same inode cut to nothing, then written on.
    std::vector<FileScript::Step> steps;
    steps.push_back({50, [=] { truncateFile(log, 0); }});
    steps.push_back({emptyForMs, [=] { appendFile(log, numberedLines("after", 1, 3)); }});
    for (int i = 4; i <= 8; ++i)
        steps.push_back({120, [=] { appendFile(log, numberedLines("after", i, i)); }});
    FileScript script(std::move(steps));

    const QString expected = newestWindow(numberedLines("after", 1, 8), 5);
    QVERIFY2(session.waitFor([&] { return script.finished() && session.text() == expected; }, 8000),
             qPrintable(session.text()));
    if (emptyForMs > 0)
        QVERIFY2(session.history().contains(QString()), "the empty file was never shown");
    bool sawAfter = false;
    for (const QString &shown : session.history()) {
        QVERIFY2(!(sawAfter && shown.contains(QLatin1String("before"))), qPrintable(shown));
        sawAfter = sawAfter || shown.contains(QLatin1String("after"));
    }
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultFollow::shrinkingInsideALine()
{
    const QString log = dir.filePath(QStringLiteral("shrink.log"));
    const QByteArray full = numberedLines("line", 1, 40);
    writeFile(log, full);
    ViewSession session(ViewSetup{});
    session.open(log);
    QVERIFY(session.waitForText(newestWindow(full, 5)));

    // Cut in the middle of "line 20": the unterminated rest is the last line.
    const int cut = full.indexOf("line 20\n") + 6;
    FileScript script({{20, [=] { truncateFile(log, cut); }}});
    const QString expected = newestWindow(full.left(cut), 5);
    QVERIFY(expected.endsWith(QLatin1String("line 19\nline 2\n")));
    QVERIFY2(session.waitForText(expected, 3000), qPrintable(session.text()));
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultFollow::growthOneByteAtATime()
{
    const QString log = dir.filePath(QStringLiteral("bytewise.log"));
    writeFile(log, QByteArray());
    const QByteArray content = QString::fromUtf8("起動 ok\nstep 1 完了\nstep 2\r\n警告: 残り 3\nend")
                                   .toUtf8();
    ViewSession session(ViewSetup{});
    session.open(log);

    std::vector<FileScript::Step> steps;
    for (int i = 0; i < content.size(); ++i)
        steps.push_back({40, [=] { appendFile(log, content.mid(i, 1)); }});
    FileScript script(std::move(steps));

    // The window of every prefix, carriage returns dropped as the view drops them.
    QStringList prefixes;
    for (int length = 0; length <= content.size(); ++length)
        prefixes << newestWindow(content.left(length), 5).remove(QLatin1Char('\r'));
    const QString expected = prefixes.last();
    QVERIFY2(session.waitFor([&] { return script.finished() && session.text() == expected; }, 15000),
             qPrintable(session.text()));

    // Every view shows the file as it was at some moment, never older than the
    // view before it, and never a replacement character for a character that
    // was still being written.
    int last = 0;
    for (const QString &shown : session.history()) {
        QVERIFY2(!shown.contains(QChar(QChar::ReplacementCharacter)), qPrintable(shown));
        const int at = prefixes.indexOf(shown, last);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("view not a prefix's window: ") + shown));
        last = at;
    }
    QVERIFY2(session.history().size() >= 4, "the view followed too few of the writes");
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

void FaultFollow::writeEndingInsideACharacter_data()
{
    QTest::addColumn<QString>("codecSetting");   // the window's codec
    QTest::addColumn<QByteArray>("encoding");     // how the writer encodes
    QTest::addColumn<QByteArray>("bom");
    QTest::addColumn<QString>("second");          // the second line
    QTest::addColumn<int>("splitAfterChars");     // characters of it in the first write
    QTest::addColumn<int>("extraBytes");          // bytes of the next character too

    const QString japanese = QString::fromUtf8("テスト完了");
    QTest::newRow("UTF-8, unicode detection") << QString() << QByteArray("UTF-8") << QByteArray()
                                              << japanese << 1 << 2;
    QTest::newRow("UTF-8") << QStringLiteral("UTF-8") << QByteArray("UTF-8") << QByteArray()
                           << japanese << 2 << 1;
    QTest::newRow("Shift-JIS") << QStringLiteral("SJIS") << QByteArray("Shift_JIS") << QByteArray()
                               << japanese << 1 << 1;
    QTest::newRow("EUC-JP") << QStringLiteral("EUC-JP") << QByteArray("EUC-JP") << QByteArray()
                            << japanese << 3 << 1;
    QTest::newRow("UTF-16LE with BOM, odd byte") << QString() << QByteArray("UTF-16LE")
                                                 << QByteArray("\xff\xfe") << japanese << 2 << 1;
    QTest::newRow("UTF-8, inside CR LF") << QStringLiteral("UTF-8") << QByteArray("UTF-8")
                                         << QByteArray() << QStringLiteral("done\r\n") << 5 << 0;
    QTest::newRow("UTF-16LE, inside CR LF") << QString() << QByteArray("UTF-16LE")
                                            << QByteArray("\xff\xfe") << QStringLiteral("done\r\n")
                                            << 5 << 0;
}

void FaultFollow::writeEndingInsideACharacter()
{
    QFETCH(QString, codecSetting);
    QFETCH(QByteArray, encoding);
    QFETCH(QByteArray, bom);
    QFETCH(QString, second);
    QFETCH(int, splitAfterChars);
    QFETCH(int, extraBytes);

    QTextCodec *codec = QTextCodec::codecForName(encoding);
    QVERIFY(codec);
    // Without a byte-order mark of the codec's own: the row gives the mark.
    const auto encode = [codec](const QString &text) {
        return QScopedPointer<QTextEncoder>(codec->makeEncoder(QTextCodec::IgnoreHeader))
            ->fromUnicode(text);
    };
    const QString first = QString::fromUtf8("ログ 1\n");
    const QString all = first + second + (second.endsWith(QLatin1Char('\n')) ? "" : "\n");
    const QByteArray allBytes = bom + encode(all);
    const QByteArray headBytes = bom + encode(first + second.left(splitAfterChars))
                                 + encode(second.mid(splitAfterChars, 1)).left(extraBytes);
    QVERIFY(allBytes.startsWith(headBytes) && headBytes.size() < allBytes.size());

    const QString log = dir.filePath(QStringLiteral("partial-%1.log").arg(QTest::currentDataTag())
                                         .replace(QLatin1Char(' '), QLatin1Char('_')));
    writeFile(log, QByteArray());
    ViewSetup setup;
    setup.codec = codecSetting;
    ViewSession session(setup);
    session.open(log);

    FileScript head({{50, [=] { appendFile(log, headBytes); }}});
    // The complete characters show; the incomplete one (or the lone CR) waits.
    QString partial = first + second.left(splitAfterChars) + QLatin1Char('\n');
    partial.remove(QLatin1Char('\r'));
    QVERIFY2(session.waitForText(partial, 3000), qPrintable(session.text()));

    FileScript rest({{50, [=] { appendFile(log, allBytes.mid(headBytes.size())); }}});
    QString expected = all + QLatin1Char('\n');
    expected.remove(QLatin1Char('\r'));
    QVERIFY2(session.waitForText(expected, 3000), qPrintable(session.text()));
    QVERIFY(!session.text().contains(QChar(QChar::ReplacementCharacter)));
    QVERIFY2(session.dialogs.warningCount() == 0, qPrintable(session.dialogs.describeWarnings()));
    FAULT_CHECK_RESPONSIVE(session);
}

QTEST_MAIN(FaultFollow)
#include "tst_faultfollow.moc"
