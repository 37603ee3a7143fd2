// The invoice view: clicking an invoice of the selected customer shows its
// stored amounts, history, date and status, what it owes and its age.
#include "core/environment.h"
#include "invoiceharness.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

using namespace quillory;
using namespace quillory::test;

namespace {

const QDateTime kNow = TempProgram::fixedNow(); // 12/6/2026 9:05:07 AM

QString text(MainWindowHarness& h, const char* box) {
    return h.get<QLineEdit>(box)->text();
}

} // namespace

class InvoiceViewTest : public QObject {
    Q_OBJECT

private slots:
    // Each row: the stored invoice and today, and what the view shows of it.
    void theViewShowsTheStoredInvoice_data() {
        QTest::addColumn<QVariant>("due");
        QTest::addColumn<QVariant>("paid");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("history");
        QTest::addColumn<QString>("created");
        QTest::addColumn<QDateTime>("today");
        QTest::addColumn<QStringList>("shown"); // due, paid, date, total, age

        QTest::newRow("just generated") << QVariant(1000000) << QVariant(0) << 0 << "NA"
                                        << "2026-12-06 08:00:00" << kNow
                                        << QStringList{"$100.00", "$0.00", "12/6/2026 8:00:00 AM",
                                                       "Total Owing: $100.00", "Open for: 0 days."};
        // Midnights passed, not whole days elapsed: two minutes make a day.
        QTest::newRow("yesterday 23:59, seen at 00:01")
            << QVariant(1000000) << QVariant(0) << 0 << "NA"
            << "2026-12-05 23:59:00" << QDateTime(QDate(2026, 12, 6), QTime(0, 1))
            << QStringList{"$100.00", "$0.00", "12/5/2026 11:59:00 PM", "Total Owing: $100.00",
                           "Open for: 1 days."};
        // 39 days and some hours have elapsed, but 40 midnights have passed.
        QTest::newRow("closed, 40 days old")
            << QVariant(1234500) << QVariant(1234500) << 1
            << "NA\r\n11/1/2026 10:00:00 AM($100)\r\n11/2/2026 10:00:00 AM($23.45)"
            << "2026-10-27 23:30:00" << kNow
            << QStringList{"$123.45", "$123.45", "10/27/2026 11:30:00 PM", "Total Owing: $0.00",
                           "Open for: 40 days."};
        QTest::newRow("overpaid") << QVariant(1500000) << QVariant(2000000) << 1 << "NA"
                                  << "2026-12-01 00:00:00" << kNow
                                  << QStringList{"$150.00", "$200.00", "12/1/2026",
                                                 "Total Owing: ($50.00)", "Open for: 5 days."};
        QTest::newRow("Null amount paid") << QVariant(1500000) << QVariant() << 0 << "NA"
                                          << "2026-12-01 10:00:00" << kNow
                                          << QStringList{"$150.00", "", "12/1/2026 10:00:00 AM",
                                                         "Total Owing: ", "Open for: 5 days."};
    }
    void theViewShowsTheStoredInvoice() {
        QFETCH(QVariant, due);
        QFETCH(QVariant, paid);
        QFETCH(int, status);
        QFETCH(QString, history);
        QFETCH(QString, created);
        QFETCH(QDateTime, today);
        QFETCH(QStringList, shown);
        MainWindowHarness h;
        environment::setClock([today] { return today; });
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addInvoice(7, 1, 0, 0, status);
        h.program.sql(QStringLiteral("UPDATE tblinvoice SET servicesid=3,amountdue=?,amountpaid=?,"
                                     "paymentdates=?,DateCreated=? WHERE id=7"),
                      {due, paid, history, created});
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        clickTab(h, 2);
        QVERIFY(!h.get<QGroupBox>("fraiPayment")->isEnabled());
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("7")));
        QVERIFY(h.prompt.verifyAllShown());
        // The boxes show the stored invoice; nothing typed over them counts.
        for (const char* box :
             {"txtiProjID", "txtiCustID", "txtiStatus", "txtiDue", "txtiPaid", "txtiDate"})
            typeInto(h.get<QLineEdit>(box), QStringLiteral("0"));
        QTest::keyClicks(h.get<QPlainTextEdit>("txtiPaymentDates"), QStringLiteral("0"));

        QCOMPARE(text(h, "txtiProjID"), QStringLiteral("3"));
        QCOMPARE(text(h, "txtiCustID"), QStringLiteral("1"));
        QCOMPARE(text(h, "txtiStatus"), QString::number(status));
        QCOMPARE(text(h, "txtiDue"), shown.at(0));
        QCOMPARE(text(h, "txtiPaid"), shown.at(1));
        QCOMPARE(text(h, "txtiDate"), shown.at(2));
        QCOMPARE(h.get<QLabel>("lblTotal")->text(), shown.at(3));
        QCOMPARE(h.get<QLabel>("lblOpenDays")->text(), shown.at(4));
        QCOMPARE(h.get<QPlainTextEdit>("txtiPaymentDates")->toPlainText(),
                 QString(history).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        QVERIFY(h.get<QGroupBox>("fraiPayment")->isEnabled());
    }

    void nullColumnsLeaveNothingOfTheInvoiceShownBefore() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addInvoice(1, 1, 0, 0, 0);
        h.program.sql(QStringLiteral("UPDATE tblinvoice SET servicesid=NULL,amountdue=NULL,"
                                     "amountpaid=NULL,paymentdates=NULL,DateCreated=NULL,"
                                     "Status=NULL WHERE id=1"));
        h.addInvoice(2, 1, 1000000, 250000, 0);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        clickTab(h, 2);
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("2")));
        QCOMPARE(text(h, "txtiDue"), QStringLiteral("$100.00"));
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("1")));
        for (const char* box : {"txtiProjID", "txtiDue", "txtiPaid", "txtiDate", "txtiStatus"})
            QVERIFY2(text(h, box).isEmpty(), box);
        QCOMPARE(text(h, "txtiCustID"), QStringLiteral("1"));
        QCOMPARE(h.get<QPlainTextEdit>("txtiPaymentDates")->toPlainText(), QString());
        QCOMPARE(h.get<QLabel>("lblTotal")->text(), QStringLiteral("Total Owing: "));
        QCOMPARE(h.get<QLabel>("lblOpenDays")->text(), QString());
        QVERIFY(h.prompt.verifyAllShown());
    }

    // The list was filled before the invoice went away or changed hands.
    void anInvoiceNoLongerTheCustomersIsNotFound_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("deleted") << "DELETE FROM tblinvoice WHERE id=4";
        QTest::newRow("moved to another customer") << "UPDATE tblinvoice SET customerid=2";
    }
    void anInvoiceNoLongerTheCustomersIsNotFound() {
        QFETCH(QString, meanwhile);
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addInvoice(4, 1, 1000000, 0, 0);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        clickTab(h, 2);
        h.program.sql(meanwhile);
        h.prompt.expectMessage(QStringLiteral("Invoice record not found.  Please refresh the "
                                              "customer list and try again."),
                               QStringLiteral("Data Error"));
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("4")));
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(text(h, "txtiDue"), QString());
        QVERIFY(!h.get<QGroupBox>("fraiPayment")->isEnabled());
    }

    void theNewestInvoiceComesFirstAndTheFirstDownShowsIt() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        for (const int id : {3, 9, 5})
            h.addInvoice(id, 1, id * 10000, 0, 0);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        clickTab(h, 2);
        auto* list = h.get<QListWidget>("lstInvoices");
        QCOMPARE(list->item(0)->text(), QStringLiteral("9"));
        QCOMPARE(list->item(2)->text(), QStringLiteral("3"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(text(h, "txtiDue"), QStringLiteral("$9.00"));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(text(h, "txtiDue"), QStringLiteral("$5.00"));
        // Another customer's view empties the invoice boxes and labels.
        h.addCustomer(2, QStringLiteral("Bell"));
        h.get<QPushButton>("cmdCustRefresh")->click();
        QVERIFY(h.selectCustomer(QStringLiteral("Bell-2")));
        QCOMPARE(text(h, "txtiDue"), QString());
        QCOMPARE(h.get<QLabel>("lblTotal")->text(), QString());
        QVERIFY(h.prompt.verifyAllShown());
    }
};

QTEST_MAIN(InvoiceViewTest)
#include "test_invoiceview.moc"
