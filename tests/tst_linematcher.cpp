// LineMatcher alone: what a literal or regular-expression pattern matches in
// one line, with and without case, and the literal that the file search
// looks for first.

#include "linematcher.h"

#include <QtTest>

class TestLineMatcher : public QObject
{
    Q_OBJECT

private slots:
    void matchIn_data();
    void matchIn();
    void requiredLiteral_data();
    void requiredLiteral();
    void invalidExpression();
};

void TestLineMatcher::matchIn_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<bool>("caseSensitive");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("before");   // for lastMatchIn
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("lastStart");

    QTest::newRow("literal, case ignored") << "err" << false << false << "An ERRor" << 0 << -1 << 3 << 3 << 3;
    QTest::newRow("literal, case kept") << "err" << false << true << "ERR err" << 0 << -1 << 4 << 3 << 4;
    QTest::newRow("literal from an offset") << "ab" << false << false << "ab ab ab" << 1 << 6 << 3 << 2 << 3;
    QTest::newRow("last match without overlap") << "aa" << false << false << "aaa" << 0 << -1 << 0 << 2 << 0;
    QTest::newRow("the Kelvin sign folds to k") << "k1" << false << false << QString::fromUtf8("\u212A1") << 0 << -1
                                                << 0 << 2 << 0;
    QTest::newRow("from past the end") << "a" << false << false << "a" << 2 << -1 << -1 << 0 << 0;
    QTest::newRow("empty pattern") << "" << false << false << "abc" << 0 << -1 << -1 << 0 << -1;
    QTest::newRow("regex, case ignored") << "e.r" << true << false << "xEAR" << 0 << -1 << 1 << 3 << 1;
    QTest::newRow("regex empty matches are passed over") << "x*" << true << true << "abxx" << 0 << -1 << 2 << 2 << 2;
    QTest::newRow("regex anchor holds at the line's start only") << "^a" << true << true << "aa" << 1 << -1 << -1 << 0
                                                                 << 0;
    QTest::newRow("regex: a surrogate pair is one character") << "b.c" << true << true
                                                              << QString::fromUtf8("ab😀c") << 0 << -1 << 1 << 4 << 1;
    QTest::newRow("regex last before a limit") << "\\d+" << true << true << "1 22 333" << 0 << 5 << 0 << 1 << 2;
}

void TestLineMatcher::matchIn()
{
    QFETCH(QString, pattern);
    QFETCH(bool, regex);
    QFETCH(bool, caseSensitive);
    QFETCH(QString, line);
    QFETCH(int, from);
    QFETCH(int, before);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, lastStart);
    const LineMatcher matcher(MatchPattern{pattern, regex, caseSensitive});
    const TextMatch match = matcher.matchIn(line, from);
    QCOMPARE(match.start, start);
    if (match.found())
        QCOMPARE(match.length, length);
    QCOMPARE(matcher.lastMatchIn(line, before).start, lastStart);
}

void TestLineMatcher::requiredLiteral_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("regex");
    QTest::addColumn<QString>("literal");

    QTest::newRow("literal pattern") << "a.b" << false << "a.b";
    QTest::newRow("the longest run") << "ERROR.*user=u31337" << true << "user=u31337";
    QTest::newRow("an escaped dot is text") << "a\\.bc" << true << "a.bc";
    QTest::newRow("counted quantifier digits are no text") << "xa{2}" << true << "x";
    QTest::newRow("counted range") << "a{2,3}" << true << "";
    QTest::newRow("an optional character ends the run") << "abc?de" << true << "ab";
    QTest::newRow("plus keeps its character") << "ab+c" << true << "ab";
    QTest::newRow("class breaks runs") << "[abc]def" << true << "def";
    QTest::newRow("group contents are not required") << "(abc)?de" << true << "de";
    QTest::newRow("alternation gives up") << "abc|de" << true << "";
    QTest::newRow("inline option gives up") << "(?i)abc" << true << "";
    QTest::newRow("character by number gives up") << "\\x41bc" << true << "";
    QTest::newRow("class escape breaks runs") << "\\d+ms" << true << "ms";
}

void TestLineMatcher::requiredLiteral()
{
    QFETCH(QString, pattern);
    QFETCH(bool, regex);
    QFETCH(QString, literal);
    QCOMPARE(LineMatcher(MatchPattern{pattern, regex, true}).requiredLiteral(), literal);
}

void TestLineMatcher::invalidExpression()
{
    const LineMatcher matcher(MatchPattern{QStringLiteral("ab("), true, false});
    QVERIFY(!matcher.isValid());
    QVERIFY(!matcher.errorString().isEmpty());
    QCOMPARE(matcher.errorOffset(), 3);
    QVERIFY(!matcher.matches(QStringLiteral("ab(")));
}

QTEST_GUILESS_MAIN(TestLineMatcher)
#include "tst_linematcher.moc"
