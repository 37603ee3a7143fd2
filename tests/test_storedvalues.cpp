// What the stored values come back as: money, hours, rates, dates and texts,
// and how ids and keys are kept.
#include "core/formats.h"
#include "core/money.h"
#include "data/recordset.h"
#include "data/transaction.h"
#include "errors/error.h"
#include "storefixture.h"

using namespace quillory;

namespace {

const QString kAwkwardText =
    QString::fromUtf8("O'Brien's \"site\"\r\nLine 2 \u2014 \u65e5\u672c\u8a9e");

Money amount(const char* text) {
    return *Money::parse(QString::fromLatin1(text));
}

} // namespace

class TestStoredValues : public QObject, public test::StoreFixture {
    Q_OBJECT

private slots:
    void initTestCase_data() { test::addStoreRows(); }
    void initTestCase() { test::pinEnglishUs(); }
    void init() {
        FETCH_STORE();
        QVERIFY2(openStore(), qPrintable(m_cn->lastError().description));
    }
    void cleanup() { closeStore(); }

    // --- Money -------------------------------------------------------------------

    void moneyColumnsRoundTripExactlyThroughTheirStoredIntegers() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblinvoice WHERE customerid=999"), *m_cn));
        QVERIFY(rs.addNew());
        QVERIFY(rs.setField(QStringLiteral("id"), 1));
        QVERIFY(rs.setField(QStringLiteral("customerid"), 7));
        QVERIFY(
            rs.setField(QStringLiteral("amountdue"), QVariant::fromValue(amount("12345.6789"))));
        QVERIFY(rs.setField(QStringLiteral("amountpaid"), QVariant::fromValue(amount("-0.0001"))));
        QVERIFY2(rs.update(), qPrintable(rs.lastError().description));

        // An integer column on either store: never a floating-point one.
        QCOMPARE(onServer() ? m_program->scalar(QStringLiteral("SELECT pg_typeof(amountdue)::text "
                                                               "FROM tblinvoice"))
                            : m_program->scalar(QStringLiteral("SELECT typeof(amountdue) FROM "
                                                               "tblinvoice")),
                 QVariant(onServer() ? QStringLiteral("bigint") : QStringLiteral("integer")));
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT amountdue FROM tblinvoice")).toLongLong(),
                 123456789LL);

        Recordset back;
        QVERIFY(back.open(QStringLiteral("SELECT * FROM tblinvoice WHERE id=1 AND customerid=7"),
                          *m_cn));
        QVERIFY(!back.eof());
        QCOMPARE(Money::fromStored(back.field(QStringLiteral("amountdue"))), amount("12345.6789"));
        QCOMPARE(Money::fromStored(back.field(QStringLiteral("amountpaid"))), amount("-0.0001"));
        // The row just added reads the same before any requery.
        QCOMPARE(Money::fromStored(rs.field(QStringLiteral("amountdue"))), amount("12345.6789"));
    }

    void sumOfManyAmountsInSqlIsExact() {
        {
            Transaction transaction(*m_cn);
            QVERIFY(transaction.isActive());
            for (int id = 1; id <= 1000; ++id) {
                QVERIFY(m_cn->execute(
                    QStringLiteral("INSERT INTO tblinvoice (id, customerid, amountdue, amountpaid) "
                                   "VALUES (?, 3, ?, ?)"),
                    {id, QVariant::fromValue(amount("0.1")),
                     QVariant::fromValue(amount("0.0001"))}));
            }
            QVERIFY(transaction.commit());
        }
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT sum(amountdue),sum(amountpaid) FROM tblinvoice "
                                       "WHERE customerid=3"),
                        *m_cn));
        QVERIFY(!rs.eof());
        const std::optional<Money> due = Money::fromStored(rs.field(0));
        const std::optional<Money> paid = Money::fromStored(rs.field(1));
        QCOMPARE(due, Money::fromWhole(100));
        QCOMPARE(paid, amount("0.1"));
        QCOMPARE(due->minus(*paid)->toDecimalString(), QStringLiteral("99.9000"));
        QCOMPARE(formats::currency(due->minus(*paid).value()), QStringLiteral("$99.90"));
    }

    void sumOverNoInvoicesIsNull() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT sum(amountdue),sum(amountpaid) FROM tblinvoice "
                                       "WHERE customerid=3"),
                        *m_cn));
        QVERIFY(!rs.eof());
        QVERIFY(rs.field(0).isNull());
        QVERIFY(!Money::fromStored(rs.field(0)).has_value());
    }

    // --- Hours, rates, dates -------------------------------------------------------

    void hoursAndRatesKeepTheirSinglePrecisionValue() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblservices WHERE customerid=1"), *m_cn));
        const float hours[] = {20.75f, 0.1f, 1.0f / 3.0f, 40.0f};
        const float rates[] = {33.33f, 0.3f, 12.5f, 1e-3f};
        for (int i = 0; i < 4; ++i) {
            QVERIFY(rs.addNew());
            QVERIFY(rs.setField(QStringLiteral("id"), i));
            QVERIFY(rs.setField(QStringLiteral("customerid"), 1));
            QVERIFY(rs.setField(QStringLiteral("billinghours"), hours[i]));
            QVERIFY(rs.setField(QStringLiteral("billingrate"), QVariant::fromValue(rates[i])));
            QVERIFY(rs.update());
        }
        Recordset back;
        QVERIFY(back.open(QStringLiteral("SELECT billinghours,billingrate FROM tblservices "
                                         "ORDER BY id"),
                          *m_cn));
        for (int i = 0; i < 4; ++i) {
            QVERIFY(!back.eof());
            QCOMPARE(back.field(0).toFloat(), hours[i]);
            QCOMPARE(back.field(1).toFloat(), rates[i]);
            QCOMPARE(formats::shortestNumber(back.field(0).toFloat()),
                     formats::shortestNumber(hours[i]));
            back.moveNext();
        }
        QVERIFY(back.eof());
        QVERIFY(back.moveFirst());
        QCOMPARE(formats::shortestNumber(back.field(0).toFloat()), QStringLiteral("20.75"));
        QCOMPARE(formats::shortestNumber(back.field(1).toFloat()), QStringLiteral("33.33"));
        QVERIFY(back.moveNext());
        QCOMPARE(formats::shortestNumber(back.field(0).toFloat()), QStringLiteral("0.1"));
    }

    void dateTimesRoundTripToTheSecond() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblservices WHERE customerid=1"), *m_cn));
        QVERIFY(rs.addNew());
        QVERIFY(rs.setField(QStringLiteral("id"), 0));
        QVERIFY(rs.setField(QStringLiteral("customerid"), 1));
        QVERIFY(rs.setField(QStringLiteral("DateCreated"),
                            QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7, 640))));
        QVERIFY(rs.update());
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT DateCreated FROM tblservices")),
                 QVariant(QStringLiteral("2026-12-06 09:05:07")));

        // An existing row changed to a new time.
        QVERIFY(rs.setField(QStringLiteral("datecreated"),
                            QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59))));
        QVERIFY(rs.update());
        QVERIFY(rs.requery());
        QVERIFY(!rs.eof());
        QCOMPARE(formats::fromStoredDateTime(rs.field(QStringLiteral("DateCreated")).toString()),
                 QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
    }

    // --- Texts ---------------------------------------------------------------------

    void awkwardTextsRoundTripUnchanged() {
        QVERIFY(addProject(0, 1, kAwkwardText, QStringLiteral("Active")));
        // A long multi-line text, well beyond any single line.
        QString longText;
        for (int i = 0; i < 5000; ++i)
            longText += QStringLiteral("Line %1: it's \"done\" \u2014 \u00e9t\u00e9\r\n").arg(i);

        Recordset rs;
        QVERIFY(
            rs.open(QStringLiteral("SELECT * FROM tblservices WHERE summary=? AND customerid=?"),
                    *m_cn, {kAwkwardText, 1}));
        QCOMPARE(rs.recordCount(), 1);
        QCOMPARE(rs.field(QStringLiteral("summary")).toString(), kAwkwardText);
        QVERIFY(rs.setField(QStringLiteral("notes"), longText));
        QVERIFY(rs.setField(QStringLiteral("details"), kAwkwardText));
        QVERIFY(rs.update());

        Recordset back;
        QVERIFY(back.open(QStringLiteral("SELECT * FROM tblservices WHERE details=?"), *m_cn,
                          {kAwkwardText}));
        QCOMPARE(back.recordCount(), 1);
        QCOMPARE(back.field(QStringLiteral("notes")).toString(), longText);
        QCOMPARE(back.field(QStringLiteral("details")).toString(), kAwkwardText);
        QCOMPARE(
            m_program->scalar(QStringLiteral("SELECT length(notes) FROM tblservices")).toLongLong(),
            qlonglong(longText.size()));
    }

    void emptyTextStaysEmptyAndNullStaysNull() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer WHERE id=1"), *m_cn));
        QVERIFY(rs.addNew());
        QVERIFY(rs.setField(QStringLiteral("id"), 1));
        QVERIFY(rs.setField(QStringLiteral("fname"), QString(QLatin1String(""))));
        QVERIFY(rs.update());
        QCOMPARE(m_program
                     ->scalar(QStringLiteral("SELECT count(*) FROM tblcustomer WHERE fname='' AND "
                                             "fname IS NOT NULL AND lname IS NULL"))
                     .toInt(),
                 1);
    }

    void summaryWithApostropheFindsItsRowAndCannotChangeTheStatement() {
        QVERIFY(addProject(0, 1, QStringLiteral("O'Brien's site"), QStringLiteral("Active")));
        QVERIFY(addProject(1, 1, QStringLiteral("Other"), QStringLiteral("Active")));
        const QString sql =
            QStringLiteral("SELECT * FROM tblservices WHERE summary=? AND customerid=?");
        QCOMPARE(rowsOf(sql, {QStringLiteral("O'Brien's site"), 1}), 1);
        QCOMPARE(rowsOf(sql, {QStringLiteral("x' OR '1'='1"), 1}), 0);
        QCOMPARE(rowsOf(QStringLiteral("SELECT summary FROM tblservices WHERE summary=?"),
                        {QStringLiteral("' OR 1=1 --")}),
                 0);
        QCOMPARE(count(QStringLiteral("tblservices")), 2LL);
    }

    void statusComparesWithoutLetterCaseButSummaryExactly() {
        QVERIFY(addProject(0, 1, QStringLiteral("Website"), QStringLiteral("Active")));
        QVERIFY(addProject(1, 1, QStringLiteral("Logo"), QStringLiteral("On Hold")));
        // The comparison the project filter uses on this store.
        const QString byStatus =
            QStringLiteral("SELECT summary,status FROM tblservices WHERE customerid=? AND ") +
            m_cn->dialect().statusMatches();
        QCOMPARE(rowsOf(byStatus, {1, QStringLiteral("Active")}), 1);
        QCOMPARE(rowsOf(byStatus, {1, QStringLiteral("active")}), 1);
        QCOMPARE(rowsOf(byStatus, {1, QStringLiteral("ON HOLD")}), 1);
        QCOMPARE(rowsOf(byStatus, {1, QStringLiteral("Pending")}), 0);
        // The word is kept as written.
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT status FROM tblservices WHERE id=1")),
                 QVariant(QStringLiteral("On Hold")));

        const QString bySummary =
            QStringLiteral("SELECT * FROM tblservices WHERE summary=? AND customerid=?");
        QCOMPARE(rowsOf(bySummary, {QStringLiteral("Website"), 1}), 1);
        QCOMPARE(rowsOf(bySummary, {QStringLiteral("website"), 1}), 0);
        QCOMPARE(rowsOf(bySummary, {QStringLiteral("WEBSITE"), 1}), 0);
    }

    void distinctStatusesIgnoreLetterCase() {
        QVERIFY(addProject(0, 1, QStringLiteral("P"), QStringLiteral("Pending")));
        QVERIFY(addProject(1, 1, QStringLiteral("A"), QStringLiteral("Active")));
        QVERIFY(addProject(2, 1, QStringLiteral("B"), QStringLiteral("active")));
        QVERIFY(addProject(3, 2, QStringLiteral("D"), QStringLiteral("On Hold")));
        // Each as its first project has it, in the order of those projects
        // (not in the order of the letters).
        Recordset rs;
        QVERIFY(rs.open(m_cn->dialect().distinctStatuses(QStringLiteral("?")), *m_cn, {1}));
        QCOMPARE(rs.recordCount(), 2);
        QCOMPARE(rs.field(0).toString(), QStringLiteral("Pending"));
        QVERIFY(rs.moveNext());
        QCOMPARE(rs.field(0).toString(), QStringLiteral("Active"));
    }

    // --- Ids and keys --------------------------------------------------------------

    void projectIdZeroIsAccepted() {
        QVERIFY(addProject(0, 1, QStringLiteral("First"), QStringLiteral("Active")));
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT id FROM tblservices")).toLongLong(), 0LL);
        QVERIFY(addProject(1, 1, QStringLiteral("Second"), QStringLiteral("Active")));
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT MAX(id) FROM tblservices")).toLongLong(),
                 1LL);
    }

    void rowsWithoutAnIdAreRefusedNotNumbered_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::newRow("customer") << "tblcustomer"
                                  << "lname";
        QTest::newRow("project") << "tblservices"
                                 << "summary";
        QTest::newRow("invoice") << "tblinvoice"
                                 << "paymentdates";
    }
    void rowsWithoutAnIdAreRefusedNotNumbered() {
        QFETCH(QString, table);
        QFETCH(QString, column);
        // Through the recordset, as the program adds rows.
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM ") + table, *m_cn));
        QVERIFY(rs.addNew());
        QVERIFY(rs.setField(column, QStringLiteral("NA")));
        QVERIFY(!rs.update());
        QCOMPARE(rs.lastError().number, errnum::ConstraintOrMultiStep);
        // And by a plain statement.
        QVERIFY(!m_cn->execute(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") +
                               column + QStringLiteral(") VALUES ('NA')")));
        QCOMPARE(m_cn->lastError().number, errnum::ConstraintOrMultiStep);
        QCOMPARE(count(table), 0LL);
    }

    void idsOutsideTheLongRangeAreRefused() {
        QVERIFY(!m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id) VALUES (?)"),
                               {qlonglong(2147483648LL)}));
        QCOMPARE(m_cn->lastError().number, errnum::ConstraintOrMultiStep);
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id) VALUES (?)"), {2147483647}));
    }

    void aDuplicateIdIsAConstraintFailure() {
        QVERIFY(addProject(0, 1, QStringLiteral("First"), QStringLiteral("Active")));
        QVERIFY(!addProject(0, 2, QStringLiteral("Again"), QStringLiteral("Active")));
        QVERIFY(!m_cn->execute(QStringLiteral("INSERT INTO tblservices (id, customerid) VALUES "
                                              "(0, 3)")));
        QCOMPARE(m_cn->lastError().number, errnum::ConstraintOrMultiStep);

        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblservices WHERE customerid=1"), *m_cn));
        QVERIFY(rs.addNew());
        QVERIFY(rs.setField(QStringLiteral("id"), 0));
        QVERIFY(!rs.update());
        QCOMPARE(rs.lastError().number, errnum::ConstraintOrMultiStep);
        QCOMPARE(count(QStringLiteral("tblservices")), 1LL);
    }

    void deletingACustomerBeforeItsProjectsAndInvoicesIsAccepted() {
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (5, 'A')")));
        QVERIFY(addProject(0, 5, QStringLiteral("P"), QStringLiteral("Active")));
        QVERIFY(m_cn->execute(QStringLiteral(
            "INSERT INTO tblinvoice (id, servicesid, customerid) VALUES (1, 0, 5)")));
        QVERIFY(m_cn->execute(QStringLiteral("DELETE FROM tblcustomer WHERE ID=5")));
        QVERIFY(m_cn->execute(QStringLiteral("DELETE FROM tblservices WHERE customerid=5")));
        QVERIFY(m_cn->execute(QStringLiteral("DELETE FROM tblinvoice WHERE customerid=5")));
        QCOMPARE(count(QStringLiteral("tblcustomer")) + count(QStringLiteral("tblservices")) +
                     count(QStringLiteral("tblinvoice")),
                 0LL);
    }

    void newProjectRowsCarryNoInvoiceFlag() {
        QVERIFY(addProject(0, 1, QStringLiteral("P"), QStringLiteral("Active")));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT invoicegenerated FROM tblservices WHERE id=0 AND "
                                       "customerid=1"),
                        *m_cn));
        QVERIFY(!rs.eof());
        QVERIFY(rs.field(0).toInt() != 1);
    }

    void customerIdIndexesExistAndCountsUseThem() {
        // The query plan of a count by customer, with a table scan ruled out
        // where the store can be told so: an index on customerid serves it.
        const auto plan = [this](const QString& sql) {
            if (onServer() && !m_cn->execute(QStringLiteral("SET enable_seqscan = off")))
                return QString();
            Recordset rs;
            if (!rs.open((onServer() ? QStringLiteral("EXPLAIN ")
                                     : QStringLiteral("EXPLAIN QUERY PLAN ")) +
                             sql,
                         *m_cn))
                return QString();
            QStringList details;
            for (; !rs.eof(); rs.moveNext())
                details.append(rs.field(onServer() ? 0 : 3).toString());
            return details.join(u'\n');
        };
        for (const QString& table : {QStringLiteral("tblservices"), QStringLiteral("tblinvoice")}) {
            const QString used = plan(QStringLiteral("SELECT COUNT(id) FROM ") + table +
                                      QStringLiteral(" WHERE customerid=5"));
            QVERIFY2(used.contains(QStringLiteral("Index"), Qt::CaseInsensitive) &&
                         used.contains(QStringLiteral("customerid"), Qt::CaseInsensitive) &&
                         !used.contains(QStringLiteral("Seq Scan")),
                     qPrintable(used));
        }
        const QString open = plan(QStringLiteral("SELECT COUNT(id) FROM tblinvoice WHERE "
                                                 "customerid=5 AND status=0"));
        QVERIFY2(open.contains(QStringLiteral("INDEX"), Qt::CaseInsensitive) &&
                     open.contains(QStringLiteral("customerid"), Qt::CaseInsensitive),
                 qPrintable(open));
    }
};

QTEST_MAIN(TestStoredValues)
#include "test_storedvalues.moc"
