// The recordset over the database file: how it moves, reads and writes, the
// transactions, and the file it opens.
#include "data/recordset.h"
#include "data/transaction.h"
#include "errors/error.h"
#include "storefixture.h"

#include <QDir>

using namespace quillory;

class TestRecordset : public QObject, public test::StoreFixture {
    Q_OBJECT

private slots:
    void initTestCase_data() { test::addStoreRows(); }
    void initTestCase() { test::pinEnglishUs(); }
    void init() {
        FETCH_STORE();
        QVERIFY2(openStore(), qPrintable(m_cn->lastError().description));
    }
    void cleanup() { closeStore(); }

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

    // --- The file or the server database -------------------------------------------

    void aMissingDatabaseIsNotCreatedByOpening() {
        Connection cn;
        if (!onServer()) {
            const QString missing = m_program->file(QStringLiteral("missing.mdb"));
            QVERIFY(!cn.open(missing));
            QCOMPARE(cn.lastError().number, errnum::FileNotFound);
            QVERIFY(!QFile::exists(missing));
        } else {
            const QString missing = m_program->serverDatabase() + QStringLiteral("_missing");
            QVERIFY(!cn.open(test::testserver::uriOf(missing)));
            QVERIFY2(cn.lastError().description.contains(missing),
                     qPrintable(cn.lastError().description));
            QCOMPARE(test::scalarOnServer(qEnvironmentVariable("QUILLORY_TEST_SERVER"),
                                          QStringLiteral("SELECT count(*) FROM pg_database WHERE "
                                                         "datname=?"),
                                          {missing})
                         .toInt(),
                     0);
        }
        QVERIFY(!cn.isOpen());
    }

    // A folder, or a server database, whose name holds what a path or a URI
    // gives a meaning of its own.
    void aDatabaseWithUnusualCharactersInItsNameOpens() {
        const QString unusual = QString::fromUtf8("a b#c%20d?e,f'g&h=\"i\" \u65e5\u672c \u00e9");
        QTemporaryDir base;
        QString location;
        if (!onServer()) {
            const QString dir = base.filePath(unusual);
            QVERIFY(QDir().mkpath(dir));
            location = dir + QStringLiteral("/records.mdb");
            QVERIFY(QFile::copy(m_program->databasePath(), location));
        } else {
            const QString name = m_program->serverDatabase() + unusual;
            QVERIFY(test::testserver::administer(
                QStringLiteral("CREATE DATABASE \"") +
                QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"'));
            location = test::testserver::uriOf(name);
        }
        Connection cn;
        QVERIFY2(cn.open(location), qPrintable(cn.lastError().description));
        QVERIFY(cn.execute(QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (9, 'Z')")));
        cn.close();
        // The row went into that database.
        Connection check;
        QVERIFY(check.open(location));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=9"), check));
        QCOMPARE(rs.field(0).toString(), QStringLiteral("Z"));
        check.close();
        if (!onServer()) {
            // No other file appeared beside it.
            const QString dir = base.filePath(unusual);
            QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("records.mdb")});
            QCOMPARE(QDir(base.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(),
                     1);
        } else {
            QVERIFY(m_cn->execute(QStringLiteral("SELECT 1")));
            QCOMPARE(count(QStringLiteral("tblcustomer")), 0LL);
            test::testserver::dropDatabase(m_program->serverDatabase() + unusual);
        }
    }
};

QTEST_MAIN(TestRecordset)
#include "test_recordset.moc"
