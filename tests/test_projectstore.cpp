// The amount due of a project, and the next project and invoice ids.
#include "core/money.h"
#include "data/connection.h"
#include "data/file/signature.h"
#include "projects/projectstore.h"
#include "testsupport.h"

#include <QTest>

#include <limits>

using namespace quillory;

class ProjectStoreTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase_data() { test::addStoreRows(); }
    void init() { FETCH_STORE(); }

    // Hours times rate as they read, exactly, then rounded half away from
    // zero to four decimals. Rows marked "binary" get another figure from
    // single or double precision arithmetic, rows marked "half-even" from
    // banker's rounding.
    void theAmountIsTheExactDecimalProduct_data() {
        QTest::addColumn<float>("hours");
        QTest::addColumn<float>("rate");
        QTest::addColumn<qint64>("units"); // ten-thousandths; -1 for no amount
        QTest::newRow("binary: 37.3 x 85.15") << 37.3f << 85.15f << qint64(31760950);
        QTest::newRow("exact in binary too") << 42.5f << 20.75f << qint64(8818750);
        QTest::newRow("half-even: tie after an even digit") << 0.5f << 0.0005f << qint64(3);
        QTest::newRow("binary and half-even: a tie just below in binary")
            << 1.1f << 0.0075f << qint64(83);
        QTest::newRow("below the tie") << 0.5f << 0.00049f << qint64(2);
        QTest::newRow("negative tie away from zero") << -2.5f << 0.0001f << qint64(-3);
        QTest::newRow("zero") << 0.0f << 85.15f << qint64(0);
        QTest::newRow("far below a unit") << 1e-30f << 1e-30f << qint64(0);
        QTest::newRow("largest that fits") << 1e7f << 9e7f << qint64(9000000000000000000);
        QTest::newRow("too large") << 1e10f << 1e5f << qint64(-1);
        QTest::newRow("float range") << 3e38f << 3e38f << qint64(-1);
        QTest::newRow("infinite") << std::numeric_limits<float>::infinity() << 1.0f << qint64(-1);
    }
    void theAmountIsTheExactDecimalProduct() {
        QFETCH(float, hours);
        QFETCH(float, rate);
        QFETCH(qint64, units);
        const std::optional<Money> amount = Money::fromProduct(hours, rate);
        QCOMPARE(amount.has_value(), units != -1);
        if (amount)
            QCOMPARE(amount->units(), units);
    }

    // The largest id plus one, over the whole table; the first project is 0
    // and the first invoice 1.
    void theNextIdFollowsTheLargest_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<int>("next"); // -1: overflow
        QTest::newRow("first project") << "tblservices" << QList<int>{} << 0;
        QTest::newRow("second project") << "tblservices" << QList<int>{0} << 1;
        QTest::newRow("projects: largest, not count") << "tblservices" << QList<int>{0, 5} << 6;
        QTest::newRow("first invoice") << "tblinvoice" << QList<int>{} << 1;
        QTest::newRow("invoices: largest, not count") << "tblinvoice" << QList<int>{1, 7} << 8;
        QTest::newRow("no id left") << "tblinvoice" << QList<int>{2147483647} << -1;
    }
    void theNextIdFollowsTheLargest() {
        QFETCH(QString, table);
        QFETCH(QList<int>, ids);
        QFETCH(int, next);
        test::TempProgram program(test::currentStore());
        for (int id : ids)
            program.sql(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (id) VALUES (?)"),
                        {id});
        if (program.store() == test::Store::File)
            SetDatabaseSignature(program.databasePath(), 2);
        Connection cn;
        QVERIFY(cn.open(program.location()));
        const std::optional<int> got = table == u"tblservices" ? projectstore::nextProjectId(cn)
                                                               : projectstore::nextInvoiceId(cn);
        QCOMPARE(got.value_or(-1), next);
        if (!got)
            QCOMPARE(cn.lastError().number, errnum::Overflow);
    }
};

QTEST_GUILESS_MAIN(ProjectStoreTest)
#include "test_projectstore.moc"
