// The three readings of a typed number, and money read from a decimal text.
#include "core/formats.h"
#include "core/numbers.h"
#include "testsupport.h"

#include <QTest>

#include <limits>

using namespace quillory;

class NumbersTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { test::pinEnglishUs(); }
    void initTestCase() { test::pinEnglishUs(); }

    // The locale reading: what passes the numeric test and the exact decimal
    // it reads as. An empty decimal means the text is not a number.
    void localeReading_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("decimal");
        const QString us = QStringLiteral("en_US");
        QTest::newRow("plain") << us << "42.5"
                               << "42.5";
        QTest::newRow("blanks around") << us << " 40 "
                                       << "40";
        QTest::newRow("grouping") << us << "1,000"
                                  << "1000";
        QTest::newRow("currency") << us << "$1,000.50"
                                  << "1000.5";
        QTest::newRow("exponent") << us << "1e3"
                                  << "1000";
        QTest::newRow("negative exponent") << us << "25E-2"
                                           << "0.25";
        QTest::newRow("sign") << us << "-5"
                              << "-5";
        QTest::newRow("many decimals") << us << "0.000050001"
                                       << "0.000050001";
        QTest::newRow("empty") << us << ""
                               << "";
        QTest::newRow("blanks") << us << "   "
                                << "";
        QTest::newRow("letters") << us << "abc"
                                 << "";
        QTest::newRow("letter O for zero") << us << "4O"
                                           << "";
        QTest::newRow("hex is not a locale number") << us << "&H1F"
                                                    << "";
        QTest::newRow("trailing junk") << us << "12abc"
                                       << "";
        // Neither is an amount or a count, whatever ICU makes of them.
        QTest::newRow("infinity") << us << "∞"
                                  << "";
        QTest::newRow("not a number") << us << "NaN"
                                      << "";
        QTest::newRow("german grouping and comma") << "de_DE"
                                                   << "1.000,5"
                                                   << "1000.5";
        QTest::newRow("german currency") << "de_DE"
                                         << "1.000,50 €"
                                         << "1000.5";
        QTest::newRow("a US text under German rules") << "de_DE"
                                                      << "1,000.50"
                                                      << "";
    }
    void localeReading() {
        QFETCH(QString, locale);
        QFETCH(QString, text);
        QFETCH(QString, decimal);
        formats::setLocaleName(locale);
        QCOMPARE(numbers::isNumeric(text), !decimal.isEmpty());
        QCOMPARE(numbers::localeDecimal(text).value_or(QString()), decimal);
    }

    // Single precision reads the decimal straight, not through double: the
    // shortest form of the float read back is the text typed.
    void singleAndDoubleReadings() {
        QCOMPARE(numbers::localeSingle(QStringLiteral("20.75")), std::optional<float>(20.75f));
        QCOMPARE(numbers::localeSingle(QStringLiteral("37.3")), std::optional<float>(37.3f));
        QCOMPARE(numbers::localeDouble(QStringLiteral("37.3")), std::optional<double>(37.3));
        QVERIFY(!numbers::localeSingle(QStringLiteral("1e39")));
        QVERIFY(numbers::localeDouble(QStringLiteral("1e39")));
        QVERIFY(!numbers::localeDouble(QStringLiteral("")));
    }

    // Money is rounded from the exact decimal, ties away from zero: the
    // fifth decimal 5 rounds up where half-even would keep an even digit.
    void localeMoney_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("units"); // ten-thousandths; -1 for no value
        QTest::newRow("$45") << "$45" << qint64(450000);
        QTest::newRow("grouped") << "1,000.00" << qint64(10000000);
        QTest::newRow("tie rounds away, even digit") << "0.00025" << qint64(3);
        QTest::newRow("tie rounds away, negative") << "-0.00025" << qint64(-3);
        QTest::newRow("below the tie") << "0.000249999" << qint64(2);
        QTest::newRow("too large") << "1e30" << qint64(-1);
        QTest::newRow("letters") << "abc" << qint64(-1);
    }
    void localeMoney() {
        QFETCH(QString, text);
        QFETCH(qint64, units);
        const std::optional<Money> money = numbers::localeMoney(text);
        QCOMPARE(money.has_value(), units != -1);
        if (money)
            QCOMPARE(money->units(), units);
    }

    // The leading reading: "." whatever the locale, blanks removed anywhere,
    // &H and &O, and 0 when nothing leads.
    void leadingReading_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value");
        QTest::addColumn<int>("length");
        QTest::newRow("decimal") << "42.5" << 42.5 << 4;
        QTest::newRow("blanks inside") << " 4 0 " << 40.0 << 2;
        QTest::newRow("grouping stops it") << "1,000" << 1.0 << 1;
        QTest::newRow("currency first") << "$1,000.50" << 0.0 << 0;
        QTest::newRow("exponent") << "1e3" << 1000.0 << 3;
        QTest::newRow("exponent without digits") << "2e" << 2.0 << 1;
        QTest::newRow("sign") << "-5" << -5.0 << 2;
        QTest::newRow("empty") << "" << 0.0 << 0;
        QTest::newRow("blanks") << "   " << 0.0 << 0;
        QTest::newRow("letters") << "abc" << 0.0 << 0;
        QTest::newRow("letter O stops") << "4O" << 4.0 << 1;
        QTest::newRow("hexadecimal") << "&H1F" << 31.0 << 4;
        QTest::newRow("octal") << "&o17" << 15.0 << 4;
        QTest::newRow("octal stops at 8") << "&O78" << 7.0 << 3;
        QTest::newRow("prefix without digits") << "&H" << 0.0 << 0;
        QTest::newRow("German comma") << "1.000,5" << 1.0 << 5;
    }
    void leadingReading() {
        QFETCH(QString, text);
        QFETCH(double, value);
        QFETCH(int, length);
        formats::setLocaleName(QStringLiteral("de_DE"));
        const numbers::LeadingNumber read = numbers::readLeadingNumber(text);
        QCOMPARE(read.value, value);
        QCOMPARE(read.length, qsizetype(length));
    }
};

QTEST_GUILESS_MAIN(NumbersTest)
#include "test_numbers.moc"
