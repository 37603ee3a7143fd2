// Faults that the sanitizer build and the fuzzing found, each kept as a test
// of the rule it broke.
#include "core/money.h"
#include "core/numbers.h"
#include "data/database.h"
#include "testsupport.h"
#include "widgets/listpicking.h"

#include <QListWidget>
#include <QTest>

#include <cmath>
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

    // A stored amount beyond the range reads as nothing. An unsigned 64-bit
    // value above the largest amount used to wrap round to a negative one.
    void storedAmountsBeyondTheRangeReadAsNothing_data() {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("read"); // empty: nothing
        const qulonglong largest = std::numeric_limits<qint64>::max();
        QTest::newRow("largest, unsigned") << QVariant(largest) << "922337203685477.5807";
        QTest::newRow("one above, unsigned") << QVariant(largest + 1) << "";
        QTest::newRow("all bits set, unsigned") << QVariant(~qulonglong(0)) << "";
        QTest::newRow("one above, as text")
            << QVariant(QStringLiteral("9223372036854775808")) << "";
    }
    void storedAmountsBeyondTheRangeReadAsNothing() {
        QFETCH(QVariant, stored);
        QFETCH(QString, read);
        const std::optional<Money> m = Money::fromStored(stored);
        QCOMPARE(m ? m->toDecimalString() : QString(), read);
    }

    // The first line of NetworkPath.sfe ends at a CR as at a LF, quoted or
    // not. A quote left open used to run on past a CR alone, taking the
    // lines of a file saved with CR line ends into the path.
    void aCrEndsTheFirstLineOfNetworkPath_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("open quote, CR alone") << QByteArray("\"/ds.mds\re\nbcond\r\n") << "/ds.mds";
        QTest::newRow("closed quote after a CR") << QByteArray("\"/srv/a\rb\"\r\n") << "/srv/a";
        QTest::newRow("unquoted, CR alone") << QByteArray("/srv/a\r/srv/b\r") << "/srv/a";
    }
    void aCrEndsTheFirstLineOfNetworkPath() {
        QFETCH(QByteArray, text);
        QFETCH(QString, field);
        QCOMPARE(readFirstField(text), field);
    }

    // A text that passes the numeric test converts to double and to single
    // precision, a value too small for the type as zero; only one too large
    // for it converts to nothing. A tiny value used to convert to nothing, so
    // a figure that passed the numeric test could not be read.
    void everyNumericTextConvertsUnlessTooLarge_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("single");  // else double
        QTest::addColumn<double>("value"); // NaN: nothing
        const double nothing = std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("tiny single") << "-2.E-62" << true << 0.0;
        QTest::newRow("tiny double") << "1e-330" << false << 0.0;
        QTest::newRow("smallest subnormal single") << "1e-45" << true << double(1e-45f);
        QTest::newRow("large single") << "1e39" << true << nothing;
        QTest::newRow("large double") << "1e309" << false << nothing;
        QTest::newRow("large double, small mantissa") << "0.001e312" << false << nothing;
    }
    void everyNumericTextConvertsUnlessTooLarge() {
        QFETCH(QString, text);
        QFETCH(bool, single);
        QFETCH(double, value);
        test::pinEnglishUs();
        QVERIFY(numbers::isNumeric(text));
        const std::optional<double> read = single
                                               ? std::optional<double>(numbers::localeSingle(text))
                                               : numbers::localeDouble(text);
        QCOMPARE(read.has_value(), !std::isnan(value));
        if (read)
            QCOMPARE(*read, value);
    }

    // The leading reading of a number beyond the range of a double: zero
    // below it, an infinity of its sign above it. An exponent written with a
    // capital E used to count as above, so a typed 1E-400 read as infinity.
    void leadingNumbersBeyondTheRangeOfADouble_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        const double infinity = std::numeric_limits<double>::infinity();
        const QString fourHundredNines(400, u'9');
        QTest::newRow("capital E, tiny") << "1E-400" << 0.0;
        QTest::newRow("negative, tiny") << "-2.E-6263" << 0.0;
        QTest::newRow("small e, tiny") << "1e-400" << 0.0;
        QTest::newRow("capital E, huge") << "1E400" << infinity;
        QTest::newRow("negative, huge") << "-1D400" << -infinity;
        QTest::newRow("many digits, negative exponent")
            << fourHundredNines + QStringLiteral("e-10") << infinity;
    }
    void leadingNumbersBeyondTheRangeOfADouble() {
        QFETCH(QString, text);
        QFETCH(double, value);
        const numbers::LeadingNumber read = numbers::readLeadingNumber(text);
        QCOMPARE(read.value, value);
        QCOMPARE(read.length, text.size());
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
