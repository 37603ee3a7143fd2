// Money arithmetic, parsing and the locale formats of money, hours and dates.
#include "core/formats.h"
#include "core/money.h"
#include "testsupport.h"

#include <QTest>

#include <limits>

using namespace quillory;

namespace {

Money amount(const char* text) {
    const std::optional<Money> m = Money::parse(QString::fromLatin1(text));
    if (!m)
        qFatal("Not an amount: %s", text);
    return *m;
}

} // namespace

class TestMoney : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::pinEnglishUs(); }

    // --- Arithmetic -----------------------------------------------------------

    void tenThousandSmallestAmountsAddUpToExactlyOne() {
        Money total;
        const Money smallest = amount("0.0001");
        for (int i = 0; i < 10000; ++i)
            total = total.plus(smallest).value();
        QCOMPARE(total, Money::fromWhole(1));
        QCOMPARE(total.toDecimalString(), QStringLiteral("1.0000"));
    }

    void tenCentsPlusTwentyCentsIsExactlyThirtyCents() {
        QCOMPARE(amount("0.1").plus(amount("0.2")), amount("0.3"));
        QCOMPARE(amount("0.1").plus(amount("0.2"))->units(), std::int64_t(3000));
    }

    void balanceOfAnInvoicePaidInFullIsExactlyZero() {
        // Three items of 19.99 due, paid in three uneven instalments.
        Money due;
        for (int i = 0; i < 3; ++i)
            due = due.plus(amount("19.99")).value();
        const Money paid = amount("20").plus(amount("20.00"))->plus(amount("19.97")).value();
        const Money balance = due.minus(paid).value();
        QVERIFY(balance.isZero());
        QVERIFY(!balance.isNegative());
        QCOMPARE(balance, Money());
        const Money short1 = paid.minus(amount("0.01")).value();
        QCOMPARE(due.minus(short1)->toDecimalString(), QStringLiteral("0.0100"));
        QVERIFY(short1.minus(due)->isNegative());
    }

    void amountsCompareByValue() {
        QVERIFY(amount("0.0001") > Money());
        QVERIFY(amount("-0.0001") < Money());
        QVERIFY(amount("10") == amount("10.0000"));
        QVERIFY(amount("9.9999") < amount("10"));
        QCOMPARE(amount("12.5").negated(), amount("-12.5"));
    }

    // Sums and differences of stored amounts at the ends of the range: exact
    // up to the last ten-thousandth, nothing one beyond it (never a wrapped
    // amount of the other sign).
    void arithmeticAtTheEndsOfTheRangeGivesNothingRatherThanWrapping_data() {
        QTest::addColumn<qint64>("a");
        QTest::addColumn<qint64>("b");
        QTest::addColumn<QString>("sum"); // empty: nothing
        QTest::addColumn<QString>("difference");
        const qint64 max = std::numeric_limits<qint64>::max();
        const qint64 min = std::numeric_limits<qint64>::min();
        QTest::newRow("largest plus nothing") << max << qint64(0) << "922337203685477.5807"
                                              << "922337203685477.5807";
        QTest::newRow("largest plus the smallest step") << max << qint64(1) << ""
                                                        << "922337203685477.5806";
        QTest::newRow("largest less the smallest step")
            << max << qint64(-1) << "922337203685477.5806"
            << "";
        QTest::newRow("smallest less the smallest step")
            << min << qint64(1) << "-922337203685477.5807"
            << "";
        QTest::newRow("smallest plus itself") << min << min << ""
                                              << "0.0000";
        QTest::newRow("owing less a large overpayment") << max / 2 + 1 << -(max / 2 + 1) << "0.0000"
                                                        << "";
        QTest::newRow("smallest less the largest") << min << max << "-0.0001"
                                                   << "";
    }
    void arithmeticAtTheEndsOfTheRangeGivesNothingRatherThanWrapping() {
        QFETCH(qint64, a);
        QFETCH(qint64, b);
        QFETCH(QString, sum);
        QFETCH(QString, difference);
        const auto text = [](const std::optional<Money>& m) {
            return m ? m->toDecimalString() : QString();
        };
        QCOMPARE(text(Money::fromUnits(a).plus(Money::fromUnits(b))), sum);
        QCOMPARE(text(Money::fromUnits(a).minus(Money::fromUnits(b))), difference);
    }

    void onlyTheSmallestAmountHasNoNegative() {
        const qint64 min = std::numeric_limits<qint64>::min();
        QVERIFY(!Money::fromUnits(min).negated());
        QCOMPARE(Money::fromUnits(min + 1).negated(),
                 Money::fromUnits(std::numeric_limits<qint64>::max()));
        QVERIFY(!Money::fromWhole(std::numeric_limits<qint64>::max() / Money::kScale + 1));
        QCOMPARE(Money::fromWhole(-3)->toDecimalString(), QStringLiteral("-3.0000"));
    }

    // --- Reading and writing decimal text --------------------------------------

    void decimalTextRoundTrips_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decimal");
        QTest::addColumn<QString>("plain");
        QTest::newRow("whole") << "20"
                               << "20.0000"
                               << "20";
        QTest::newRow("one decimal") << "1234.5"
                                     << "1234.5000"
                                     << "1234.5";
        QTest::newRow("four decimals") << "1234.5678"
                                       << "1234.5678"
                                       << "1234.5678";
        QTest::newRow("smallest") << "0.0001"
                                  << "0.0001"
                                  << "0.0001";
        QTest::newRow("negative") << "-12.5"
                                  << "-12.5000"
                                  << "-12.5";
        QTest::newRow("negative below one") << "-0.075"
                                            << "-0.0750"
                                            << "-0.075";
        QTest::newRow("smallest negative") << "-0.0001"
                                           << "-0.0001"
                                           << "-0.0001";
        QTest::newRow("plus sign") << "+3"
                                   << "3.0000"
                                   << "3";
        QTest::newRow("zero") << "0"
                              << "0.0000"
                              << "0";
        QTest::newRow("negative zero") << "-0.00"
                                       << "0.0000"
                                       << "0";
        QTest::newRow("no whole part") << ".5"
                                       << "0.5000"
                                       << "0.5";
        QTest::newRow("trailing point") << "7."
                                        << "7.0000"
                                        << "7";
        QTest::newRow("surrounding blanks") << "  45.72 "
                                            << "45.7200"
                                            << "45.72";
        QTest::newRow("large") << "123456789012.3456"
                               << "123456789012.3456"
                               << "123456789012.3456";
    }
    void decimalTextRoundTrips() {
        QFETCH(QString, text);
        QFETCH(QString, decimal);
        QFETCH(QString, plain);
        const std::optional<Money> m = Money::parse(text);
        QVERIFY(m.has_value());
        QCOMPARE(m->toDecimalString(), decimal);
        QCOMPARE(m->toPlainString(), plain);
        QCOMPARE(Money::parse(m->toDecimalString()), m);
        QCOMPARE(Money::parse(m->toPlainString()), m);
    }

    void parsingRejectsFiveDecimalsAndJunk_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("five decimals") << "1.23456";
        QTest::newRow("five zero decimals") << "1.00000";
        QTest::newRow("empty") << "";
        QTest::newRow("blank") << "   ";
        QTest::newRow("letters") << "abc";
        QTest::newRow("trailing letters") << "12abc";
        QTest::newRow("two points") << "1.2.3";
        QTest::newRow("grouping") << "1,000.00";
        QTest::newRow("currency sign") << "$5";
        QTest::newRow("two signs") << "--1";
        QTest::newRow("sign only") << "-";
        QTest::newRow("point only") << ".";
        QTest::newRow("exponent") << "1e3";
        QTest::newRow("inner blank") << "1 000";
        QTest::newRow("decimal comma") << "12,50";
        QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662");
        QTest::newRow("too large") << "99999999999999999999";
    }
    void parsingRejectsFiveDecimalsAndJunk() {
        QFETCH(QString, text);
        QVERIFY(!Money::parse(text).has_value());
    }

    void theSmallestAmountPrintsWithItsSign() {
        const Money lowest = Money::fromUnits(std::numeric_limits<std::int64_t>::min());
        QCOMPARE(lowest.toDecimalString(), QStringLiteral("-922337203685477.5808"));
        const Money highest = Money::fromUnits(std::numeric_limits<std::int64_t>::max());
        QCOMPARE(highest.toDecimalString(), QStringLiteral("922337203685477.5807"));
    }

    // --- Floating-point results --------------------------------------------------

    void floatingPointResultsRoundToFourDecimalsTiesAwayFromZero_data() {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("exact") << 1234.5 << "1234.5000";
        QTest::newRow("hours times rate") << 2.5 * 20.1 << "50.2500";
        QTest::newRow("below a half") << 1.23454 << "1.2345";
        QTest::newRow("above a half") << 1.23456 << "1.2346";
        QTest::newRow("half of the smallest") << 0.00005 << "0.0001";
        QTest::newRow("negative half of the smallest") << -0.00005 << "-0.0001";
        QTest::newRow("half at 1") << 1.00005 << "1.0001";
        QTest::newRow("half at 2") << 2.00005 << "2.0001";
        QTest::newRow("half at 10") << 10.00005 << "10.0001";
        QTest::newRow("negative half at 10") << -10.00005 << "-10.0001";
        QTest::newRow("half at 0.0003") << 0.00035 << "0.0004";
        QTest::newRow("half at 12.3456") << 12.34565 << "12.3457";
        QTest::newRow("half at 1234.5678") << 1234.56785 << "1234.5679";
        QTest::newRow("negative half at 1.2345") << -1.23455 << "-1.2346";
        QTest::newRow("three decimals") << 0.075 << "0.0750";
        QTest::newRow("zero") << 0.0 << "0.0000";
        QTest::newRow("negative zero") << -0.0 << "0.0000";
        QTest::newRow("tiny") << 1e-9 << "0.0000";
    }
    void floatingPointResultsRoundToFourDecimalsTiesAwayFromZero() {
        QFETCH(double, value);
        QFETCH(QString, expected);
        const std::optional<Money> m = Money::fromDouble(value);
        QVERIFY(m.has_value());
        QCOMPARE(m->toDecimalString(), expected);
    }

    void floatingPointValuesThatCannotBeAmountsGiveNothing() {
        QVERIFY(!Money::fromDouble(std::numeric_limits<double>::infinity()).has_value());
        QVERIFY(!Money::fromDouble(-std::numeric_limits<double>::infinity()).has_value());
        QVERIFY(!Money::fromDouble(std::numeric_limits<double>::quiet_NaN()).has_value());
        QVERIFY(!Money::fromDouble(1e300).has_value());
        QVERIFY(!Money::fromDouble(-1e16).has_value());
    }

    // --- The stored form -------------------------------------------------------

    void theStoredFormIsTheCountOfTenThousandths() {
        QCOMPARE(amount("12.3456").toStored(), QVariant::fromValue<qlonglong>(123456));
        QCOMPARE(Money::fromStored(QVariant::fromValue<qlonglong>(-750)), amount("-0.075"));
        QCOMPARE(Money::fromStored(QVariant(42)), amount("0.0042"));
        QCOMPARE(Money::fromStored(QVariant(QStringLiteral("123456"))), amount("12.3456"));
        QVERIFY(!Money::fromStored(QVariant()).has_value());
        QVERIFY(!Money::fromStored(QVariant(QMetaType::fromType<qlonglong>())).has_value());
        QVERIFY(!Money::fromStored(QVariant(QStringLiteral("12.5"))).has_value());
        QVERIFY(!Money::fromStored(QVariant(QStringLiteral("NA"))).has_value());
    }

    // --- Currency --------------------------------------------------------------

    void currencyShowsUsDollarsInAccountingStyle_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("grouping and two decimals") << "1234.5"
                                                   << "$1,234.50";
        QTest::newRow("negative in parentheses") << "-20"
                                                 << "($20.00)";
        QTest::newRow("half cent rounds up") << "0.075"
                                             << "$0.08";
        QTest::newRow("half cent above fifty") << "50.555"
                                               << "$50.56";
        QTest::newRow("negative half cent rounds away") << "-0.075"
                                                        << "($0.08)";
        // Where half-even rounding would go down to the even cent.
        QTest::newRow("half cent after an even cent") << "0.125"
                                                      << "$0.13";
        QTest::newRow("negative half cent after an even cent") << "-0.125"
                                                               << "($0.13)";
        QTest::newRow("half cent on whole dollars") << "2.005"
                                                    << "$2.01";
        QTest::newRow("below half a cent") << "0.0749"
                                           << "$0.07";
        QTest::newRow("zero") << "0"
                              << "$0.00";
        QTest::newRow("smallest") << "0.0001"
                                  << "$0.00";
        QTest::newRow("large") << "123456789012.3456"
                               << "$123,456,789,012.35";
        QTest::newRow("large negative") << "-9876543210.995"
                                        << "($9,876,543,211.00)";
        QTest::newRow("largest") << "922337203685469.9999"
                                 << "$922,337,203,685,470.00";
    }
    void currencyShowsUsDollarsInAccountingStyle() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(formats::currency(amount(value.toLatin1().constData())), expected);
    }

    void currencyFollowsTheFormattingLocale() {
        formats::setLocaleName(QStringLiteral("en_GB"));
        QCOMPARE(formats::currency(amount("1234.5")), QString::fromUtf8("£1,234.50"));
        test::pinEnglishUs();
        QCOMPARE(formats::currency(amount("1234.5")), QStringLiteral("$1,234.50"));
    }

    // --- Hours and rates -------------------------------------------------------

    void hoursAndRatesShowInTheirShortestForm_data() {
        QTest::addColumn<float>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("quarter hours") << 20.75f << "20.75";
        QTest::newRow("whole") << 40.0f << "40";
        QTest::newRow("one tenth") << 0.1f << "0.1";
        QTest::newRow("a third") << 1.0f / 3.0f << "0.33333334";
        QTest::newRow("zero") << 0.0f << "0";
        QTest::newRow("negative") << -2.5f << "-2.5";
        QTest::newRow("no grouping") << 1234567.0f << "1234567";
        QTest::newRow("rate with cents") << 33.33f << "33.33";
    }
    void hoursAndRatesShowInTheirShortestForm() {
        QFETCH(float, value);
        QFETCH(QString, expected);
        QCOMPARE(formats::shortestNumber(value), expected);
        QCOMPARE(formats::shortestNumber(value).toFloat(), value);
    }

    void hoursUseTheLocaleDecimalSeparator() {
        formats::setLocaleName(QStringLiteral("de_DE"));
        QCOMPARE(formats::shortestNumber(20.75f), QStringLiteral("20,75"));
        test::pinEnglishUs();
        QCOMPARE(formats::shortestNumber(20.75f), QStringLiteral("20.75"));
    }

    // --- The error log's date --------------------------------------------------

    void logDateHasTwoDigitDayShortMonthAndHourWithoutLeadingZero() {
        QCOMPARE(formats::logDateTime(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7))),
                 QStringLiteral("06-Dec-2026 9:05:07"));
        QCOMPARE(formats::logDateTime(test::TempProgram::fixedNow()),
                 QStringLiteral("06-Dec-2026 9:05:07"));
    }

    void logDateUsesTwentyFourHourForm() {
        QCOMPARE(formats::logDateTime(QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59))),
                 QStringLiteral("06-Dec-2026 23:59:59"));
        QCOMPARE(formats::logDateTime(QDateTime(QDate(2027, 1, 2), QTime(0, 0, 0))),
                 QStringLiteral("02-Jan-2027 0:00:00"));
        QCOMPARE(formats::logDateTime(QDateTime(QDate(2026, 7, 15), QTime(12, 30, 0))),
                 QStringLiteral("15-Jul-2026 12:30:00"));
    }

    void logDateDropsMilliseconds() {
        QCOMPARE(formats::logDateTime(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7, 999))),
                 QStringLiteral("06-Dec-2026 9:05:07"));
    }

    // The general date: four-digit year, the time unless midnight, plain
    // spaces where ICU has narrow ones.
    void generalDateShowsTheTimeUnlessMidnight_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDateTime>("when");
        QTest::addColumn<QString>("text");
        const QDate day(2026, 12, 6);
        QTest::newRow("afternoon")
            << "en_US" << QDateTime(day, QTime(13, 5, 7)) << "12/6/2026 1:05:07 PM";
        QTest::newRow("midnight") << "en_US" << QDateTime(day, QTime(0, 0)) << "12/6/2026";
        QTest::newRow("one second past")
            << "en_US" << QDateTime(day, QTime(0, 0, 1)) << "12/6/2026 12:00:01 AM";
        QTest::newRow("German") << "de_DE" << QDateTime(day, QTime(13, 5, 7))
                                << "06.12.2026 13:05:07";
    }
    void generalDateShowsTheTimeUnlessMidnight() {
        QFETCH(QString, locale);
        QFETCH(QDateTime, when);
        QFETCH(QString, text);
        formats::setLocaleName(locale);
        QCOMPARE(formats::generalDate(when), text);
        formats::setLocaleName(QStringLiteral("en_US"));
    }

    void storedDateTimeKeepsTheSecond() {
        const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 7));
        QCOMPARE(formats::storedDateTime(when), QStringLiteral("2026-12-06 09:05:07"));
        QCOMPARE(formats::fromStoredDateTime(formats::storedDateTime(when)), when);
        QCOMPARE(formats::storedDateTime(QDateTime(QDate(2026, 12, 6), QTime(23, 59, 59, 900))),
                 QStringLiteral("2026-12-06 23:59:59"));
    }
};

QTEST_MAIN(TestMoney)
#include "test_money.moc"
