// Faults that the sanitizer build and the fuzz targets found, each kept as a
// test of the rule it broke. The inputs a fuzzer found are also replayed from
// fuzz/corpus/ by the fuzz targets' own CTest runs.
#include "app/listpicking.h"
#include "data/money.h"

#include <QListWidget>
#include <QTest>

#include <limits>
#include <memory>

using namespace quillory;

class FindingsTest : public QObject {
    Q_OBJECT

private slots:
    // Every amount reads back from both of its texts as the same amount, the
    // largest and the smallest included; one ten-thousandth beyond either end
    // reads as nothing. The reading used to refuse every amount from about
    // 922,337,203,685,470 up, so the largest amounts did not read back.
    void everyAmountReadsBackFromItsOwnText_data() {
        QTest::addColumn<qint64>("units");
        const qint64 max = std::numeric_limits<qint64>::max();
        const qint64 min = std::numeric_limits<qint64>::min();
        QTest::newRow("largest") << max;
        QTest::newRow("smallest") << min;
        QTest::newRow("largest whole") << max - max % Money::kScale;
        QTest::newRow("smallest whole") << min - min % Money::kScale;
        QTest::newRow("above the old limit") << qint64(9223372036854700000);
        QTest::newRow("one ten-thousandth below zero") << qint64(-1);
    }
    void everyAmountReadsBackFromItsOwnText() {
        QFETCH(qint64, units);
        const Money m = Money::fromUnits(units);
        QCOMPARE(Money::parse(m.toDecimalString()), std::optional<Money>(m));
        QCOMPARE(Money::parse(m.toPlainString()), std::optional<Money>(m));
        QCOMPARE(Money::fromDecimalRounded(m.toDecimalString()), std::optional<Money>(m));
    }

    void amountsBeyondEitherEndReadAsNothing_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("one above the largest") << "922337203685477.5808";
        QTest::newRow("one below the smallest") << "-922337203685477.5809";
        QTest::newRow("a digit more") << "9223372036854775.807";
        QTest::newRow("rounds past the largest") << "922337203685477.58075";
    }
    void amountsBeyondEitherEndReadAsNothing() {
        QFETCH(QString, text);
        QVERIFY(!Money::parse(text));
        QVERIFY(!Money::fromDecimalRounded(text));
    }

    // Destroying a list that an EntryPicker watches runs no handler. The
    // picker used to ask the dying list for its viewport while the viewport
    // was being destroyed: a call on an object that was no longer a list
    // (undefined behaviour, reported by the sanitizer build on every exit of
    // the program).
    void destroyingAWatchedListRunsNoHandler() {
        auto list = std::make_unique<QListWidget>();
        list->addItems({QStringLiteral("Adams-1"), QStringLiteral("Baker-2")});
        int picked = 0;
        new EntryPicker(list.get(), [&picked] { ++picked; });
        list->setCurrentRow(1, QItemSelectionModel::ClearAndSelect);
        QCOMPARE(picked, 1);
        list.reset();
        QCOMPARE(picked, 1);
    }
};

QTEST_MAIN(FindingsTest)
#include "test_findings.moc"
