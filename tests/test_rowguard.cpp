// Writing back a shown row only while it still holds what was shown.
#include "data/connection.h"
#include "data/file/signature.h"
#include "data/rowguard.h"
#include "testsupport.h"

#include <QSqlQuery>
#include <QTest>

using namespace quillory;
using rowguard::Result;

class RowGuardTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempProgram> m_program;
    Connection m_cn;

private slots:
    void initTestCase_data() { test::addStoreRows(); }
    void init() {
        FETCH_STORE();
        m_program = std::make_unique<test::TempProgram>(test::currentStore());
        if (m_program->store() == test::Store::File)
            SetDatabaseSignature(m_program->databasePath(), 2);
        m_program->sql(QStringLiteral("INSERT INTO tblcustomer (id,fname,lname,street,phone) "
                                      "VALUES (7,'Ann','Ames','1 Main St',NULL)"));
        QVERIFY(m_cn.open(m_program->location()));
    }
    void cleanup() {
        m_cn.close();
        m_program.reset();
    }

    // Each row: what the window showed of the names, what another copy wrote
    // meanwhile, and whether the phone change is written.
    void aChangeIsWrittenOnlyOverWhatWasShown_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QVariant>("shownStreet");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("street");
        const QVariant street = QStringLiteral("1 Main St");
        QTest::newRow("nobody else") << "" << street << int(Result::Written) << "1 Main St";
        // Another copy changed a column this save does not write: kept.
        QTest::newRow("other column changed") << "UPDATE tblcustomer SET street='9 Elm' WHERE id=7"
                                              << QVariant() << int(Result::Written) << "9 Elm";
        // It changed a column this save relies on: nothing written.
        QTest::newRow("shown column changed") << "UPDATE tblcustomer SET street='9 Elm' WHERE id=7"
                                              << street << int(Result::ChangedMeanwhile) << "9 Elm";
        QTest::newRow("name changed only in letter case")
            << "UPDATE tblcustomer SET lname='AMES' WHERE id=7" << QVariant()
            << int(Result::ChangedMeanwhile) << "1 Main St";
        // The row was deleted and its id given to someone new.
        QTest::newRow("id reused") << "DELETE FROM tblcustomer WHERE id=7; INSERT INTO tblcustomer "
                                      "(id,fname,lname,street) VALUES (7,'Bo','Bell','2 Oak')"
                                   << QVariant() << int(Result::ChangedMeanwhile) << "2 Oak";
    }
    void aChangeIsWrittenOnlyOverWhatWasShown() {
        QFETCH(QString, meanwhile);
        QFETCH(QVariant, shownStreet);
        QFETCH(int, result);
        QFETCH(QString, street);
        for (const QString& statement : meanwhile.split(u';', Qt::SkipEmptyParts))
            m_program->sql(statement.trimmed());
        QVariantMap shown{{QStringLiteral("fname"), QStringLiteral("Ann")},
                          {QStringLiteral("lname"), QStringLiteral("Ames")},
                          {QStringLiteral("phone"), QVariant()}};
        if (shownStreet.isValid())
            shown.insert(QStringLiteral("street"), shownStreet);
        const Result got = rowguard::writeIfUnchanged(
            m_cn, QStringLiteral("tblcustomer"), QStringLiteral("id"), 7, shown,
            {{QStringLiteral("phone"), QStringLiteral("555-0101")}});
        QCOMPARE(int(got), result);
        QCOMPARE(m_program->scalar(QStringLiteral("SELECT street FROM tblcustomer WHERE id=7"))
                     .toString(),
                 street);
        QCOMPARE(m_program
                     ->scalar(QStringLiteral("SELECT count(*) FROM tblcustomer "
                                             "WHERE phone='555-0101'"))
                     .toInt(),
                 result == int(Result::Written) ? 1 : 0);
    }

    // A table without an id (the business options) finds its row by the
    // store's row key, and writes only while the row holds what was shown.
    void aRowWithoutAnIdIsFoundByItsRowKey_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("busname");
        QTest::newRow("nobody else") << "" << int(Result::Written) << "New";
        QTest::newRow("another copy renamed it") << "UPDATE tblbusoptions SET busname='Theirs'"
                                                 << int(Result::ChangedMeanwhile) << "Theirs";
        QTest::newRow("a second row added after it")
            << "INSERT INTO tblbusoptions (uselogin,busname) VALUES (0,'Second')"
            << int(Result::Written) << "New";
        // A file gives the new row the old one's row key.
        QTest::newRow("removed, and another added in its place")
            << "DELETE FROM tblbusoptions; INSERT INTO tblbusoptions (uselogin,busname) VALUES "
               "(0,'Mine')"
            << int(Result::ChangedMeanwhile) << "Mine";
    }
    void aRowWithoutAnIdIsFoundByItsRowKey() {
        QFETCH(QString, meanwhile);
        QFETCH(int, result);
        QFETCH(QString, busname);
        m_program->sql(QStringLiteral("INSERT INTO tblbusoptions (uselogin,busname) VALUES "
                                      "(1,'Mine')"));
        const QString key = m_cn.dialect().rowKey();
        QVariant read;
        QVERIFY(
            m_cn.forEachRow(QStringLiteral("SELECT ") + key + QStringLiteral(" FROM tblbusoptions"),
                            {}, [&read](const QSqlQuery& row) { read = row.value(0); }));
        for (const QString& statement : meanwhile.split(u';', Qt::SkipEmptyParts))
            m_program->sql(statement.trimmed());
        const Result got = rowguard::writeIfUnchanged(
            m_cn, QStringLiteral("tblbusoptions"), key, read,
            {{QStringLiteral("uselogin"), 1}, {QStringLiteral("busname"), QStringLiteral("Mine")}},
            {{QStringLiteral("busname"), QStringLiteral("New")}});
        QCOMPARE(int(got), result);
        QCOMPARE(m_program
                     ->scalar(QStringLiteral("SELECT busname FROM tblbusoptions WHERE "
                                             "busname<>'Second'"))
                     .toString(),
                 busname);
    }

    void withNothingToWriteItOnlyChecks() {
        const QVariantMap names{{QStringLiteral("lname"), QStringLiteral("Ames")}};
        QCOMPARE(rowguard::writeIfUnchanged(m_cn, QStringLiteral("tblcustomer"),
                                            QStringLiteral("id"), 7, names, {}),
                 Result::Written);
        QCOMPARE(rowguard::writeIfUnchanged(m_cn, QStringLiteral("tblcustomer"),
                                            QStringLiteral("id"), 8, names, {}),
                 Result::ChangedMeanwhile);
        m_program->sql(QStringLiteral("DROP TABLE tblcustomer"));
        QCOMPARE(rowguard::writeIfUnchanged(m_cn, QStringLiteral("tblcustomer"),
                                            QStringLiteral("id"), 7, names, {}),
                 Result::Failed);
        QVERIFY(m_cn.lastError().isError());
    }
};

QTEST_GUILESS_MAIN(RowGuardTest)
#include "test_rowguard.moc"
