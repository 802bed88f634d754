// UnitBlocks alone: the file seen as 1-, 2- or 4-byte code units for the
// backward scans. Every unit, line-feed search and tail must equal what the
// bytes say, while its stretch grows backwards, jumps, and passes page
// boundaries and the bound a scan reserved.

#include "filebytes.h"

#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QtTest>

namespace {

uint unitOf(const QByteArray &bytes, qint64 p, int unitSize, bool bigEndian)
{
    uint value = 0;
    for (int i = 0; i < unitSize; ++i) {
        const int byte = bigEndian ? i : unitSize - 1 - i;
        value = value << 8 | uchar(bytes.at(int(p * unitSize + byte)));
    }
    return value;
}

} // namespace

class TestUnitBlocks : public QObject
{
    Q_OBJECT

private slots:
    void matchesTheBytes_data();
    void matchesTheBytes();
};

void TestUnitBlocks::matchesTheBytes_data()
{
    QTest::addColumn<int>("unitSize");
    QTest::addColumn<bool>("bigEndian");
    QTest::addColumn<qint64>("size");      // bytes of the file (a trailing partial unit is never a unit)
    QTest::addColumn<qint64>("reserved");  // the scan's bound in bytes, 0 for none
    for (int unitSize : {1, 2, 4}) {
        for (bool bigEndian : {false, true}) {
            if (unitSize == 1 && bigEndian)
                continue;
            const QByteArray name = QByteArray::number(unitSize) + (bigEndian ? " BE" : " LE");
            QTest::newRow(name + ", one page") << unitSize << bigEndian << qint64(3000) << qint64(0);
            QTest::newRow(name + ", many pages") << unitSize << bigEndian << qint64(70001) << qint64(0);
            QTest::newRow(name + ", bound of 5000") << unitSize << bigEndian << qint64(70003) << qint64(5000);
        }
    }
}

void TestUnitBlocks::matchesTheBytes()
{
    QFETCH(int, unitSize);
    QFETCH(bool, bigEndian);
    QFETCH(qint64, size);
    QFETCH(qint64, reserved);
    QRandomGenerator rng(quint32(size + unitSize));
    QByteArray bytes(int(size), '\0');
    for (char &b : bytes)   // sparse line feeds, a few in the high bytes of wide units
        b = char(rng.bounded(40) == 0 ? '\n' : rng.bounded(256));
    QTemporaryFile file;
    QVERIFY(file.open());
    QCOMPARE(file.write(bytes), size);
    QVERIFY(file.flush());
    FileBytes fileBytes(file.handle(), size);
    UnitBlocks units(fileBytes, unitSize, bigEndian);
    const qint64 count = size / unitSize;
    QCOMPARE(units.unitCount(), count);
    if (reserved > 0)
        units.reserve(reserved, 512);

    // As the scans go: backwards from the end, then a jump to the middle.
    for (qint64 start : {count - 1, count / 2}) {
        qint64 hi = start;
        while (hi >= 0) {
            const qint64 lo = qMax<qint64>(0, hi - qint64(rng.bounded(700)));
            qint64 expected = -1;
            for (qint64 p = hi; p >= lo && expected < 0; --p) {
                if (unitOf(bytes, p, unitSize, bigEndian) == UnitBlocks::LineFeed)
                    expected = p;
            }
            QCOMPARE(units.lastLineFeed(lo, hi), expected);
            QCOMPARE(units.unitAt(lo), unitOf(bytes, lo, unitSize, bigEndian));
            hi = lo - 1;
        }
    }
    QCOMPARE(units.unitAt(count), uint(UnitBlocks::NoUnit));
    QCOMPARE(units.unitAt(-1), uint(UnitBlocks::NoUnit));
    QCOMPARE(units.peekUnit(0), unitOf(bytes, 0, unitSize, bigEndian));
    QCOMPARE(units.peekUnit(1), unitOf(bytes, 1, unitSize, bigEndian));
    for (qint64 from : {qint64(0), size / 3, size - 1, size})
        QCOMPARE(units.tailBytes(from), bytes.mid(int(from)));
}

QTEST_GUILESS_MAIN(TestUnitBlocks)
#include "tst_unitblocks.moc"
