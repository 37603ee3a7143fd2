// The printed reports as laid out: what each report puts where on which
// page, from a database file and from a server database.
#include "fixedmeasure.h"
#include "mainwindowharness.h"
#include "reports/reports.h"

#include <QRegularExpression>

using namespace quillory;
using namespace quillory::reports;
using namespace quillory::test;

namespace {

// A database of the test's own (on the running row's store) with a
// connection on it.
struct Books {
    TempProgram program{test::currentStore()};
    Connection cn;
    Books() {
        if (program.store() == test::Store::File)
            SetDatabaseSignature(program.databasePath(), 2);
        if (!cn.open(program.location()))
            qFatal("Cannot open the test database");
    }
    void customer(int id, const QString& fname, const QString& lname,
                  const QString& email = QStringLiteral("a@example.com")) {
        sql("INSERT INTO tblcustomer (id,fname,lname,email1) VALUES (?,?,?,?)",
            {id, fname, lname, email});
    }
    // Amounts in ten-thousandths, as stored.
    void invoice(int id, int customerId, qint64 due, qint64 paid, int status) {
        sql("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,amountpaid,Status) "
            "VALUES (?,0,?,?,?,?)",
            {id, customerId, due, paid, status});
    }
    void sql(const char* statement, const QVariantList& params = {}) {
        if (!cn.execute(QString::fromLatin1(statement), params))
            qFatal("%s", qPrintable(cn.lastError().description));
    }
    // Three customers, entered out of id order: one with a closed and an open
    // invoice (150.505 owing in all, which rounds up to $150.51), one without
    // invoices, one who paid 20 more than was due; and an invoice of 10 whose
    // customer is gone, which only the grand total counts.
    void standard() {
        customer(3, "Cy", "Over", "cy@example.com");
        customer(1, "Ann", "Smith", "ann@example.com");
        customer(2, "Bob", "Jones", "bob@example.com");
        invoice(1, 1, 1000000, 1000000, 1);
        invoice(2, 1, 505050, 0, 0);
        invoice(3, 3, 800000, 1000000, 1);
        invoice(4, 99, 100000, 0, 0);
    }
};

const QString kPrintedOn = QStringLiteral("Printed On: 12/6/2026 9:05:07 AM");

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT

private slots:
    // The report queries run on a database file and on a server database.
    void initTestCase_data() { test::addStoreRows(); }
    void init() {
        FETCH_STORE();
        test::pinEnglishUs();
    }

    // --- What each report puts where ----------------------------------------------

    void invoiceTotalsListsEachCustomerAndTheGrandTotals() {
        Books b;
        b.standard();
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutInvoiceTotals(b.cn, layout).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(doc.pages.size(), 1);
        QCOMPARE(lines(doc, 0),
                 (QList<QStringList>{{"2.62:Invoice Totals"},
                                     {"2.62:CONFIDENTIAL INFORMATION"},
                                     {"0:First", "2:Last", "4:Owing", "5:Paid", "6:Balance"},
                                     {"0:Ann", "2:Smith", "4:$150.51", "5:$100.00", "6:$50.51"},
                                     {"0:Bob", "2:Jones"},
                                     {"0:Cy", "2:Over", "4:$80.00", "5:$100.00", "6:($20.00)"},
                                     {"0:TOTAL DUE: $240.51"},
                                     {"0:TOTAL PAID: $200.00"},
                                     {"0:" + kPrintedOn}}));
        // A line break is two lines of the font it is printed in.
        const double lh14 = FixedMeasure::lh(14);
        const double lh11 = FixedMeasure::lh(11);
        const double heading = 3 * lh14 + 3 * lh11;
        QVERIFY(near(find(doc, "CONFIDENTIAL INFORMATION")->y, 3 * lh14));
        QVERIFY(near(find(doc, "First")->y, heading));
        QVERIFY(near(find(doc, "Cy")->y, heading + 3 * lh11));
        QVERIFY(near(find(doc, "TOTAL DUE: $240.51")->y, heading + 8 * lh11));
        QVERIFY(near(find(doc, "TOTAL PAID: $200.00")->y, heading + 11 * lh11));
        QVERIFY(near(find(doc, kPrintedOn)->y, heading + 14 * lh11));
        // Only the paid total is bold; only the title is 14 points.
        for (const TextRun& run : doc.pages[0].runs) {
            const PrintFont& font = doc.fonts.at(run.font);
            QCOMPARE(font.family, QStringLiteral("Sans Serif"));
            QCOMPARE(font.bold, run.text.startsWith("TOTAL PAID: "));
            QCOMPARE(font.pointSize, run.text == "Invoice Totals" ? 14.0 : 11.0);
        }
    }

    void customerSummaryListsEmailAndBalance() {
        Books b;
        b.standard();
        b.customer(4, "Di", "Long", "a.very.long.address@example.com");
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutCustomerSummary(b.cn, layout).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(lines(doc, 0),
                 (QList<QStringList>{{"2.62:Customer Summary List"},
                                     {"2.62:CONFIDENTIAL INFORMATION"},
                                     {"0:First", "2:Last", "4:Email", "6:Balance"},
                                     {"0:Ann", "2:Smith", "4:ann@example.com", "6:$50.51"},
                                     {"0:Bob", "2:Jones", "4:bob@example.com"},
                                     {"0:Cy", "2:Over", "4:cy@example.com", "6:($20.00)"},
                                     {"0:Di", "2:Long", "4:a.very.long.addres\u2026"},
                                     {"0:" + kPrintedOn}}));
        QVERIFY(near(find(doc, kPrintedOn)->y, find(doc, "Di")->y + 3 * FixedMeasure::lh(11)));
    }

    // An invoice without a customer counts in the grand totals of the first
    // report, and in no customer's line of either: not in that of customer
    // 0, which a Null read as a number would name.
    void anInvoiceWithoutACustomerCountsOnlyInTheGrandTotals_data() {
        QTest::addColumn<bool>("totals");
        QTest::addColumn<QList<QStringList>>("expected");
        QTest::newRow("invoice totals")
            << true
            << QList<QStringList>{{"2.62:Invoice Totals"},
                                  {"2.62:CONFIDENTIAL INFORMATION"},
                                  {"0:First", "2:Last", "4:Owing", "5:Paid", "6:Balance"},
                                  {"0:Zed", "2:Zero"},
                                  {"0:Ann", "2:Smith", "4:$100.00", "5:$40.00", "6:$60.00"},
                                  {"0:TOTAL DUE: $107.77"},
                                  {"0:TOTAL PAID: $41.11"},
                                  {"0:" + kPrintedOn}};
        QTest::newRow("customer summary")
            << false
            << QList<QStringList>{{"2.62:Customer Summary List"},
                                  {"2.62:CONFIDENTIAL INFORMATION"},
                                  {"0:First", "2:Last", "4:Email", "6:Balance"},
                                  {"0:Zed", "2:Zero", "4:z@example.com"},
                                  {"0:Ann", "2:Smith", "4:a@example.com", "6:$60.00"},
                                  {"0:" + kPrintedOn}};
    }
    void anInvoiceWithoutACustomerCountsOnlyInTheGrandTotals() {
        QFETCH(bool, totals);
        QFETCH(QList<QStringList>, expected);
        Books b;
        b.customer(0, "Zed", "Zero", "z@example.com");
        b.customer(1, "Ann", "Smith");
        b.invoice(1, 1, 1000000, 400000, 0);
        b.sql("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,amountpaid,Status) "
              "VALUES (2,0,NULL,77700,11100,0)");
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        const LayoutResult result =
            totals ? layOutInvoiceTotals(b.cn, layout) : layOutCustomerSummary(b.cn, layout);
        QCOMPARE(result.outcome, LayoutResult::Ready);
        QCOMPARE(lines(layout.endDoc(), 0), expected);
    }

    void moreCustomersThanAPageHoldsGoOnWithoutANewHeading() {
        Books b;
        for (int i = 1; i <= 60; ++i)
            b.customer(i, QStringLiteral("F%1").arg(i), QStringLiteral("L%1").arg(i));
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutInvoiceTotals(b.cn, layout).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(doc.pages.size(), 2);
        const QList<QStringList> first = lines(doc, 0);
        const QList<QStringList> second = lines(doc, 1);
        // Rows fill the first page down to its bottom and go on at the top of
        // the next, each customer once, in id order.
        const int onFirst = static_cast<int>(first.size()) - 3;
        const double lastY = doc.pages[0].runs.constLast().y;
        QVERIFY(lastY + FixedMeasure::lh(11) <= kPage.height());
        QVERIFY(lastY + 2 * FixedMeasure::lh(11) > kPage.height());
        QCOMPARE(second.first(), (QStringList{QStringLiteral("0:F%1").arg(onFirst + 1),
                                              QStringLiteral("2:L%1").arg(onFirst + 1)}));
        QCOMPARE(doc.pages[1].runs.first().y, 0.0);
        for (const QStringList& line : second)
            QVERIFY(!line.contains("0:First"));
        QCOMPARE(second.at(60 - onFirst - 1).first(), QStringLiteral("0:F60"));
        QCOMPARE(second.constLast(), QStringList{"0:" + kPrintedOn});
    }

    // A name prints in its own script, in the font the desktop has for it
    // when the report's font lacks it, embedded as a subset; the file reads
    // back as the name was written.
    void namesInAnyScriptPrintAndReadBack_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("font"); // a font the file must embed
        QTest::newRow("accents") << QStringLiteral("Zo\u00eb \u00c5ngstr\u00f6m-\u0141uk")
                                 << "DejaVuSans";
        QTest::newRow("an accent of its own")
            << QStringLiteral("Jose\u0301 Nu\u0303nez") << "DejaVuSans";
        QTest::newRow("Chinese") << QStringLiteral("\u674e\u5c0f\u9f99") << "WenQuanYi";
        QTest::newRow("Korean") << QStringLiteral("\uae40\ubbfc\uc218") << "WenQuanYi";
        QTest::newRow("Hebrew") << QStringLiteral("\u05d3\u05d5\u05d3 \u05db\u05d4\u05df")
                                << "DejaVuSans";
        QTest::newRow("Arabic") << QStringLiteral("\u0645\u062d\u0645\u062f \u0639\u0644\u064a")
                                << "DejaVuSans";
    }
    void namesInAnyScriptPrintAndReadBack() {
        QFETCH(QString, name);
        QFETCH(QString, font);
        Books b;
        b.customer(1, "Ann", name, "ann@example.com");
        b.invoice(1, 1, 1000000, 400000, 0);
        const ReportPdf made =
            composeReportPdf(b.cn, layOutCustomerSummary, QStringLiteral("Customer Summary List"));
        QVERIFY(made.ready());
        const QString pdf = b.program.file("names.pdf");
        QVERIFY(test::writeAll(pdf, made.pdf));
        // pdftotext marks right-to-left text with embedding controls.
        const QString text =
            test::pdfText(pdf).remove(QRegularExpression(QStringLiteral("[\\x{202a}-\\x{202e}]")));
        QVERIFY2(text.contains(QRegularExpression(QStringLiteral("Ann +") + name +
                                                  QStringLiteral(" +ann@example.com +\\$60.00"))),
                 qPrintable(text));
        const QStringList embedded = test::pdfFonts(pdf);
        QVERIFY2(!embedded.filter(font).isEmpty(), qPrintable(embedded.join(u'\n')));
        for (const QString& line : embedded)
            QVERIFY2(line.contains(QRegularExpression(QStringLiteral(" yes +yes +yes +\\d"))),
                     qPrintable(line)); // embedded, as a subset, with a text map
    }

    void anEmptyCustomerTableGivesNothingToPrint() {
        Books b;
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutInvoiceTotals(b.cn, layout).outcome, LayoutResult::NoCustomers);
        layout.killDoc();
        QCOMPARE(layOutCustomerSummary(b.cn, layout).outcome, LayoutResult::NoCustomers);
    }

    void openInvoicesGivesTheIdTheBalanceAndTheOpenCount_data() {
        QTest::addColumn<int>("customer");
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("open");
        // Customer 12: one open invoice among two closed ones.
        QTest::newRow("with invoices") << 12 << "Account Balance: $20.25"
                                       << "Open Invoices: 1";
        QTest::newRow("without invoices") << 13 << "Account Balance: "
                                          << "Open Invoices: 0";
    }
    void openInvoicesGivesTheIdTheBalanceAndTheOpenCount() {
        QFETCH(int, customer);
        QFETCH(QString, balance);
        QFETCH(QString, open);
        Books b;
        b.customer(12, "Ann", "Smith");
        b.customer(13, "Bob", "Jones");
        b.customer(14, "Cy", "Other");
        b.invoice(1, 12, 1000000, 1000000, 1);
        b.invoice(2, 12, 500000, 500000, 1);
        b.invoice(3, 12, 302500, 100000, 0);
        b.invoice(4, 14, 990000, 0, 0);
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutCustomerOpenInvoices(b.cn, layout, customer).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        const QString title = QStringLiteral("Open Invoices for Customer: %1").arg(customer);
        QCOMPARE(lines(doc, 0), (QList<QStringList>{{"2.62:" + title},
                                                    {"0:CONFIDENTIAL INFORMATION"},
                                                    {"0:" + balance},
                                                    {"0:" + open},
                                                    {"0:" + kPrintedOn}}));
        const double lh14 = FixedMeasure::lh(14);
        const double lh11 = FixedMeasure::lh(11);
        QVERIFY(near(find(doc, title)->y, 2 * lh14));
        QVERIFY(near(find(doc, "CONFIDENTIAL INFORMATION")->y, 7 * lh14));
        QVERIFY(near(find(doc, balance)->y, 7 * lh14 + 5 * lh11));
        QVERIFY(near(find(doc, open)->y, 7 * lh14 + 8 * lh11));
        QVERIFY(near(find(doc, kPrintedOn)->y, 7 * lh14 + 13 * lh11));
    }
};

QTEST_MAIN(ReportsTest)
#include "test_reports.moc"
