// The database file and the recordset over it: what the stored values come
// back as, how rows are found, and how the recordset moves, reads and writes.
#include "data/connection.h"
#include "data/formats.h"
#include "data/money.h"
#include "data/signature.h"
#include "errors/error.h"
#include "testsupport.h"

#include <QTest>

#include <memory>

using namespace quillory;

namespace {

const QString kAwkwardText =
    QString::fromUtf8("O'Brien's \"site\"\r\nLine 2 \u2014 \u65e5\u672c\u8a9e");

Money amount(const char* text) {
    return *Money::parse(QString::fromLatin1(text));
}

} // namespace

class TestStore : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempProgram> m_program;
    std::unique_ptr<Connection> m_cn;

    // Adds a project row through an updatable recordset.
    bool addProject(int id, int customerId, const QString& summary, const QString& status) {
        Recordset rs;
        if (!rs.open(QStringLiteral("SELECT * FROM tblservices WHERE customerid=?"), *m_cn,
                     {customerId}))
            return false;
        return rs.addNew() && rs.setField(QStringLiteral("id"), id) &&
               rs.setField(QStringLiteral("customerid"), customerId) &&
               rs.setField(QStringLiteral("summary"), summary) &&
               rs.setField(QStringLiteral("status"), status) && rs.update();
    }

    qlonglong count(const QString& table) {
        return m_program->scalar(QStringLiteral("SELECT count(*) FROM ") + table).toLongLong();
    }

    int rowsOf(const QString& sql, const QVariantList& params) {
        Recordset rs;
        if (!rs.open(sql, *m_cn, params))
            return -1;
        return rs.recordCount();
    }

private slots:
    void initTestCase() { test::pinEnglishUs(); }

    void init() {
        m_program = std::make_unique<test::TempProgram>();
        QCOMPARE(SetDatabaseSignature(m_program->databasePath(), 2), SignatureResult::Written);
        m_cn = std::make_unique<Connection>();
        QVERIFY2(m_cn->open(m_program->databasePath()), qPrintable(m_cn->lastError().description));
    }

    void cleanup() {
        m_cn.reset();
        m_program.reset();
    }

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

        QCOMPARE(m_program->scalar(QStringLiteral("SELECT typeof(amountdue) FROM tblinvoice")),
                 QVariant(QStringLiteral("integer")));
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
        QCOMPARE((*due - *paid).toDecimalString(), QStringLiteral("99.9000"));
        QCOMPARE(formats::currency(*due - *paid), QStringLiteral("$99.90"));
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
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT typeof(fname) FROM tblcustomer")),
                 QVariant(QStringLiteral("text")));
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT typeof(lname) FROM tblcustomer")),
                 QVariant(QStringLiteral("null")));
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
        const QString byStatus = QStringLiteral(
            "SELECT summary,status FROM tblservices WHERE customerid=? AND status=?");
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
        QVERIFY(addProject(0, 1, QStringLiteral("A"), QStringLiteral("Active")));
        QVERIFY(addProject(1, 1, QStringLiteral("B"), QStringLiteral("active")));
        QCOMPARE(
            rowsOf(QStringLiteral("SELECT DISTINCT status FROM tblservices WHERE customerid=?"),
                   {1}),
            1);
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
        for (const QString& table : {QStringLiteral("tblservices"), QStringLiteral("tblinvoice")}) {
            Recordset indexes;
            QVERIFY(indexes.open(QStringLiteral("SELECT name FROM sqlite_master WHERE type='index' "
                                                "AND tbl_name=?"),
                                 *m_cn, {table}));
            bool found = false;
            for (; !indexes.eof(); indexes.moveNext()) {
                Recordset columns;
                QVERIFY(columns.open(QStringLiteral("SELECT name FROM pragma_index_info(?)"), *m_cn,
                                     {indexes.field(0)}));
                if (columns.recordCount() == 1 &&
                    columns.field(0).toString().compare(QStringLiteral("customerid"),
                                                        Qt::CaseInsensitive) == 0)
                    found = true;
            }
            QVERIFY2(found, qPrintable(table));
        }
        const auto plan = [this](const QString& sql) {
            Recordset rs;
            if (!rs.open(QStringLiteral("EXPLAIN QUERY PLAN ") + sql, *m_cn))
                return QString();
            QStringList details;
            for (; !rs.eof(); rs.moveNext())
                details.append(rs.field(QStringLiteral("detail")).toString());
            return details.join(u'\n');
        };
        const QString services = plan(QStringLiteral("SELECT COUNT(id) FROM tblservices WHERE "
                                                     "customerid=5"));
        QVERIFY2(services.contains(QStringLiteral("USING")) &&
                     services.contains(QStringLiteral("INDEX")) &&
                     services.contains(QStringLiteral("customerid=?")),
                 qPrintable(services));
        const QString invoices = plan(QStringLiteral("SELECT COUNT(id) FROM tblinvoice WHERE "
                                                     "customerid=5 AND status=0"));
        QVERIFY2(invoices.contains(QStringLiteral("INDEX")) &&
                     invoices.contains(QStringLiteral("customerid=?")),
                 qPrintable(invoices));
    }

    // --- Recordset ----------------------------------------------------------------

    void anEmptyResultIsAtBothBofAndEof() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("Select * From tblcustomer WHERE id=000"), *m_cn));
        QVERIFY(rs.isOpen());
        QVERIFY(rs.bof());
        QVERIFY(rs.eof());
        QCOMPARE(rs.recordCount(), 0);
        QCOMPARE(rs.fieldCount(), 14);
        QVERIFY(rs.field(QStringLiteral("lname")).isNull());
        QCOMPARE(rs.lastError().number, errnum::NoCurrentRecord);
    }

    void movingThroughTheRowsEndsAtEof() {
        for (int id = 1; id <= 3; ++id)
            QVERIFY(
                m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (?, ?)"),
                              {id, QStringLiteral("Name%1").arg(id)}));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer ORDER BY id DESC"), *m_cn));
        QVERIFY(!rs.bof());
        QVERIFY(!rs.eof());
        QStringList seen;
        for (rs.moveFirst(); !rs.eof(); rs.moveNext())
            seen.append(rs.field(QStringLiteral("lname")).toString());
        QCOMPARE(seen, QStringList({QStringLiteral("Name3"), QStringLiteral("Name2"),
                                    QStringLiteral("Name1")}));
        QVERIFY(rs.eof());
        QVERIFY(rs.moveFirst());
        QVERIFY(!rs.eof());
        QCOMPARE(rs.field(QStringLiteral("id")).toInt(), 3);
    }

    void fieldsAreFoundByNameInAnyLetterCaseAndByPosition() {
        QVERIFY(m_cn->execute(
            QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (12, 'Smith')")));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("select lname,id from tblcustomer"), *m_cn));
        QCOMPARE(rs.field(QStringLiteral("lname")).toString(), QStringLiteral("Smith"));
        QCOMPARE(rs.field(QStringLiteral("LNAME")).toString(), QStringLiteral("Smith"));
        QCOMPARE(rs.field(QStringLiteral("LName")).toString(), QStringLiteral("Smith"));
        QCOMPARE(rs.field(0).toString(), QStringLiteral("Smith"));
        QCOMPARE(rs.field(1).toInt(), 12);
        QCOMPARE(rs.field(QStringLiteral("ID")).toInt(), 12);
        QVERIFY(!rs.lastError().isError());
        QVERIFY(rs.field(QStringLiteral("nosuchcolumn")).isNull());
        QVERIFY(rs.lastError().isError());
        QVERIFY(rs.field(2).isNull());
        QVERIFY(rs.lastError().isError());

        Recordset star;
        QVERIFY(star.open(QStringLiteral("SELECT * FROM tblcustomer WHERE id=12"), *m_cn));
        QCOMPARE(star.field(0).toInt(), 12); // the hidden row key is not a field
        QCOMPARE(star.field(QStringLiteral("Lname")).toString(), QStringLiteral("Smith"));
        QCOMPARE(star.fieldCount(), 14);
    }

    void readingPastTheLastRowIsNoCurrentRecord() {
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'A')")));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer"), *m_cn));
        QVERIFY(rs.moveNext());
        QVERIFY(rs.eof());
        QVERIFY(rs.field(QStringLiteral("lname")).isNull());
        QCOMPARE(rs.lastError().number, errnum::NoCurrentRecord);
        QVERIFY(rs.field(0).isNull());
        QCOMPARE(rs.lastError().number, errnum::NoCurrentRecord);
        QVERIFY(!rs.moveNext());
        QCOMPARE(rs.lastError().number, errnum::NoCurrentRecord);
        QVERIFY(!rs.setField(QStringLiteral("lname"), QStringLiteral("B")));
        QCOMPARE(rs.lastError().number, errnum::NoCurrentRecord);
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT lname FROM tblcustomer")),
                 QVariant(QStringLiteral("A")));
    }

    void operationsOnAClosedRecordsetAreRefused() {
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'A')")));
        Recordset never;
        Recordset closed;
        QVERIFY(closed.open(QStringLiteral("SELECT * FROM tblcustomer"), *m_cn));
        closed.close();
        for (Recordset* rs : {&never, &closed}) {
            QVERIFY(!rs->isOpen());
            QVERIFY(rs->bof());
            QVERIFY(rs->eof());
            QVERIFY(rs->field(QStringLiteral("lname")).isNull());
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
            QVERIFY(rs->field(0).isNull());
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
            QVERIFY(!rs->moveFirst());
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
            QVERIFY(!rs->moveNext());
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
            QVERIFY(!rs->addNew());
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
            QVERIFY(!rs->setField(QStringLiteral("lname"), QStringLiteral("B")));
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
            QVERIFY(!rs->update());
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
            QVERIFY(!rs->requery());
            QCOMPARE(rs->lastError().number, errnum::ObjectClosed);
        }
    }

    void aRecordsetOnAClosedConnectionCannotOpen() {
        m_cn->close();
        QVERIFY(!m_cn->isOpen());
        Recordset rs;
        QVERIFY(!rs.open(QStringLiteral("SELECT * FROM tblcustomer"), *m_cn));
        QVERIFY(!rs.isOpen());
        QCOMPARE(rs.lastError().number, errnum::ObjectClosed);
        QVERIFY(!m_cn->execute(QStringLiteral("SELECT 1")));
        QCOMPARE(m_cn->lastError().number, errnum::ObjectClosed);
    }

    void updatingAnExistingRowWritesOnlyItsChangedColumns() {
        QVERIFY(m_cn->execute(QStringLiteral(
            "INSERT INTO tblcustomer (id, fname, lname, city) VALUES (1, 'Ann', 'Lee', 'Oslo')")));
        QVERIFY(m_cn->execute(QStringLiteral(
            "INSERT INTO tblcustomer (id, fname, lname, city) VALUES (2, 'Bo', 'Ek', 'Rome')")));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer WHERE id=1"), *m_cn));
        QVERIFY(rs.setField(QStringLiteral("LNAME"), QStringLiteral("O'Lee")));
        // The assigned value shows before the update.
        QCOMPARE(rs.field(QStringLiteral("lname")).toString(), QStringLiteral("O'Lee"));
        QVERIFY(rs.update());
        QCOMPARE(rs.field(QStringLiteral("lname")).toString(), QStringLiteral("O'Lee"));
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=1")),
                 QVariant(QStringLiteral("O'Lee")));
        QCOMPARE(
            m_program->scalar(QStringLiteral("SELECT fname||city FROM tblcustomer WHERE id=1")),
            QVariant(QStringLiteral("AnnOslo")));
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=2")),
                 QVariant(QStringLiteral("Ek")));
    }

    void movingOnWritesAPendingChange() {
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'A')")));
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (2, 'B')")));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer ORDER BY id"), *m_cn));
        QVERIFY(rs.setField(QStringLiteral("lname"), QStringLiteral("A2")));
        QVERIFY(rs.moveNext());
        QCOMPARE(rs.field(QStringLiteral("lname")).toString(), QStringLiteral("B"));
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=1")),
                 QVariant(QStringLiteral("A2")));
    }

    void aRowRemovedMeanwhileCannotBeUpdated() {
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'A')")));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer WHERE id=1"), *m_cn));
        m_program->sql(QStringLiteral("DELETE FROM tblcustomer"));
        QVERIFY(rs.setField(QStringLiteral("lname"), QStringLiteral("B")));
        QVERIFY(!rs.update());
        QCOMPARE(rs.lastError().number, errnum::RowNotLocated);
        QCOMPARE(count(QStringLiteral("tblcustomer")), 0LL);
    }

    void requerySeesRowsAddedMeanwhile() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer WHERE lname=?"), *m_cn,
                        {QStringLiteral("Ng")}));
        QVERIFY(rs.eof());
        m_program->sql(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (4, 'Ng')"));
        m_program->sql(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (5, 'Other')"));
        QVERIFY(rs.requery());
        QCOMPARE(rs.recordCount(), 1);
        QVERIFY(!rs.bof());
        QVERIFY(!rs.eof());
        QCOMPARE(rs.field(QStringLiteral("id")).toInt(), 4);
        // The requeried rows are still updatable.
        QVERIFY(rs.setField(QStringLiteral("fname"), QStringLiteral("Kim")));
        QVERIFY(rs.update());
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT fname FROM tblcustomer WHERE id=4")),
                 QVariant(QStringLiteral("Kim")));
    }

    void addedRowsJoinTheRecordsetAndShowTheirDefaults() {
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("select * from tblservices where customerid=1"), *m_cn));
        QVERIFY(rs.addNew());
        QVERIFY(rs.setField(QStringLiteral("id"), 0));
        QVERIFY(rs.setField(QStringLiteral("customerid"), 1));
        QVERIFY(rs.update());
        QCOMPARE(rs.recordCount(), 1);
        QVERIFY(!rs.eof());
        QCOMPARE(rs.field(QStringLiteral("id")).toInt(), 0);
        QCOMPARE(rs.field(QStringLiteral("invoicegenerated")).toInt(), 0);
        QVERIFY(rs.field(QStringLiteral("summary")).isNull());
    }

    void onlySelectStarRecordsetsCanAddOrChangeRows() {
        QVERIFY(
            m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'A')")));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("select lname,id from tblcustomer"), *m_cn));
        QVERIFY(!rs.addNew());
        QVERIFY(rs.lastError().isError());
        QVERIFY(!rs.setField(QStringLiteral("lname"), QStringLiteral("B")));
        QVERIFY(rs.lastError().isError());
        QCOMPARE(rs.field(0).toString(), QStringLiteral("A"));
        QCOMPARE(count(QStringLiteral("tblcustomer")), 1LL);
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT lname FROM tblcustomer")),
                 QVariant(QStringLiteral("A")));
    }

    void aBadStatementLeavesTheRecordsetClosed() {
        Recordset rs;
        QVERIFY(!rs.open(QStringLiteral("SELECT * FROM nosuchtable"), *m_cn));
        QVERIFY(!rs.isOpen());
        QVERIFY(rs.lastError().isError());
        QVERIFY(!rs.open(QStringLiteral("SELEKT lname FROM tblcustomer"), *m_cn));
        QVERIFY(!rs.isOpen());
        QVERIFY(rs.open(QStringLiteral("SELECT lname FROM tblcustomer"), *m_cn));
        QVERIFY(rs.isOpen());
        QVERIFY(!rs.lastError().isError());
    }

    // --- Transactions ---------------------------------------------------------------

    void aRolledBackTransactionLeavesNothingWritten() {
        {
            Transaction transaction(*m_cn);
            QVERIFY(transaction.isActive());
            QVERIFY(m_cn->execute(
                QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'A')")));
            QVERIFY(addProject(0, 1, QStringLiteral("P"), QStringLiteral("Active")));
            transaction.rollback();
            QVERIFY(!transaction.isActive());
        }
        QCOMPARE(count(QStringLiteral("tblcustomer")), 0LL);
        QCOMPARE(count(QStringLiteral("tblservices")), 0LL);

        {
            Transaction abandoned(*m_cn);
            QVERIFY(m_cn->execute(
                QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (2, 'B')")));
            // Leaves without committing.
        }
        QCOMPARE(count(QStringLiteral("tblcustomer")), 0LL);

        {
            Transaction committed(*m_cn);
            QVERIFY(m_cn->execute(
                QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (3, 'C')")));
            QVERIFY(committed.commit());
            QVERIFY(!committed.isActive());
        }
        QCOMPARE(count(QStringLiteral("tblcustomer")), 1LL);
    }

    void aFailureInsideATransactionIsTheOneReported() {
        QVERIFY(m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id) VALUES (1)")));
        Transaction transaction(*m_cn);
        QVERIFY(m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id) VALUES (2)")));
        QVERIFY(!m_cn->execute(QStringLiteral("INSERT INTO tblcustomer (id) VALUES (1)")));
        transaction.rollback();
        QCOMPARE(m_cn->lastError().number, errnum::ConstraintOrMultiStep);
        QCOMPARE(count(QStringLiteral("tblcustomer")), 1LL);
    }

    // --- The file -------------------------------------------------------------------

    void aMissingFileIsNotCreatedByOpening() {
        const QString missing = m_program->file(QStringLiteral("missing.mdb"));
        Connection cn;
        QVERIFY(!cn.open(missing));
        QCOMPARE(cn.lastError().number, errnum::FileNotFound);
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!cn.isOpen());
    }

    void aDatabaseInADirectoryWithUnusualCharactersOpens() {
        QTemporaryDir base;
        const QString dir = base.filePath(QString::fromUtf8("a b#c%20d?e,f'g \u65e5\u672c \u00e9"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/records.mdb");
        QVERIFY(QFile::copy(m_program->databasePath(), path));
        Connection cn;
        QVERIFY2(cn.open(path), qPrintable(cn.lastError().description));
        QVERIFY(cn.execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (9, 'Z')")));
        cn.close();
        // The row went into that file, and no other file appeared beside it.
        Connection check;
        QVERIFY(check.open(path));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=9"), check));
        QCOMPARE(rs.field(0).toString(), QStringLiteral("Z"));
        check.close();
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("records.mdb")});
        QCOMPARE(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
    }
};

QTEST_MAIN(TestStore)
#include "test_store.moc"
