// LineMatcher alone: what a literal or regular-expression pattern matches in
// one line, with and without case, and the literal a search may look for
// first.

#include "linematcher.h"

#include <QtTest>

class TestLineMatcher : public QObject
{
    Q_OBJECT

private slots:
    void matchIn_data();
    void matchIn();
};

void TestLineMatcher::matchIn_data()
{
}

void TestLineMatcher::matchIn()
{
}

QTEST_GUILESS_MAIN(TestLineMatcher)
#include "tst_linematcher.moc"
