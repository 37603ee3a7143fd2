// The reports printed from the menu onto a printer: into a PDF file that is
// read back, on several pages, and what a failed printer, a failed read, an
// empty table or no selected customer do.
#include "mainwindowharness.h"
#include "widgets/printing.h"

#include <QAction>
#include <QFile>
#include <QPrinter>

using namespace quillory;
using test::MainWindowHarness;
using test::pdfText;

namespace {

// The lines of a PDF's text with their runs of blanks made single.
QStringList pdfLines(const QString& path) {
    QStringList out;
    for (const QString& line : pdfText(path).split(u'\n')) {
        const QString simple = line.simplified();
        if (!simple.isEmpty())
            out.append(simple);
    }
    return out;
}

const QString kPrintedOn = QStringLiteral("Printed On: 12/6/2026 9:05:07 AM");

} // namespace

class ReportPrintingTest : public QObject {
    Q_OBJECT

private slots:
    void init() { test::pinEnglishUs(); }
    void cleanup() { printing::setPrinterFactory({}); }

    void eachReportPrintsFromItsMenu_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("invoice totals") << "mnuRepAnnualRep"
                                        << QStringList{"Invoice Totals",
                                                       "CONFIDENTIAL INFORMATION",
                                                       "First Last Owing Paid Balance",
                                                       "Ann Smith $150.51 $100.00 $50.51",
                                                       "Bob Jones",
                                                       "Cy Over $80.00 $100.00 ($20.00)",
                                                       "TOTAL DUE: $240.51",
                                                       "TOTAL PAID: $200.00",
                                                       kPrintedOn};
        QTest::newRow("customer summary") << "mnuRepCustSum"
                                          << QStringList{"Customer Summary List",
                                                         "CONFIDENTIAL INFORMATION",
                                                         "First Last Email Balance",
                                                         "Ann Smith ann@example.com $50.51",
                                                         "Bob Jones bob@example.com",
                                                         "Cy Over cy@example.com ($20.00)",
                                                         kPrintedOn};
        QTest::newRow("selected customer")
            << "mnuRepSelCustOpenInv"
            << QStringList{"Open Invoices for Customer: 1", "CONFIDENTIAL INFORMATION",
                           "Account Balance: $50.51", "Open Invoices: 1", kPrintedOn};
    }
    void eachReportPrintsFromItsMenu() {
        QFETCH(QString, action);
        QFETCH(QStringList, expected);
        MainWindowHarness h;
        h.addCustomer(3, "Over", "Cy");
        h.addCustomer(1, "Smith", "Ann");
        h.addCustomer(2, "Jones", "Bob");
        h.program.sql("UPDATE tblcustomer SET email1=lower(fname)||'@example.com'");
        h.addInvoice(1, 1, 1000000, 1000000, 1);
        h.addInvoice(2, 1, 505050, 0, 0);
        h.addInvoice(3, 3, 800000, 1000000, 1);
        h.addInvoice(4, 99, 100000, 0, 0);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer("Smith-1"));
        const QString pdf = h.program.file("report.pdf");
        printing::setPrinterFactory([pdf] { return printing::pdfPrinter(pdf); });
        h.get<QAction>(qPrintable(action))->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(pdfLines(pdf), expected);
    }

    void aPrinterThatCannotPrintDiscardsTheJobAndSaysWhy_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("printerSetUp");
        for (const bool setUp : {true, false}) {
            const char* how = setUp ? "cannot begin" : "none set up";
            QTest::addRow("invoice totals, %s", how) << "mnuRepAnnualRep" << setUp;
            QTest::addRow("customer summary, %s", how) << "mnuRepCustSum" << setUp;
            QTest::addRow("selected customer, %s", how) << "mnuRepSelCustOpenInv" << setUp;
        }
    }
    void aPrinterThatCannotPrintDiscardsTheJobAndSaysWhy() {
        QFETCH(QString, action);
        QFETCH(bool, printerSetUp);
        MainWindowHarness h;
        h.addCustomer(1, "Smith");
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer("Smith-1"));
        // A file in a folder that does not exist cannot be begun; a PDF
        // printer without a file is what Qt gives when no printer is set up.
        const QString pdf = h.program.file("no such folder/report.pdf");
        printing::setPrinterFactory([pdf, printerSetUp] {
            if (printerSetUp)
                return printing::pdfPrinter(pdf);
            auto none = std::make_unique<QPrinter>(QPrinter::HighResolution);
            none->setOutputFormat(QPrinter::PdfFormat);
            return none;
        });
        h.prompt.expectMessage(printerSetUp ? "482\r\nPrinter error: cannot start printing on \"" +
                                                  pdf + "\"."
                                            : "482\r\nPrinter error: no default printer is set up.",
                               "Quillory");
        h.get<QAction>(qPrintable(action))->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!QFile::exists(pdf));
    }

    // The open-invoices report discards its job on a failure too, rather than
    // sending what it had printed so far.
    void aDatabaseFailureDiscardsTheJobAndSaysWhy_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("invoice totals") << "mnuRepAnnualRep";
        QTest::newRow("customer summary") << "mnuRepCustSum";
        QTest::newRow("selected customer") << "mnuRepSelCustOpenInv";
    }
    void aDatabaseFailureDiscardsTheJobAndSaysWhy() {
        QFETCH(QString, action);
        MainWindowHarness h;
        h.addCustomer(1, "Smith");
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer("Smith-1"));
        QVERIFY(h.db.cnMain.execute("DROP TABLE tblinvoice"));
        const QString pdf = h.program.file("report.pdf");
        printing::setPrinterFactory([pdf] { return printing::pdfPrinter(pdf); });
        h.prompt.expectMessage("-2147467259\r\nno such table: tblinvoice", "Quillory");
        h.get<QAction>(qPrintable(action))->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(!QFile::exists(h.program.file("ErrLog.err")));
    }

    void anEmptyCustomerTableSaysSoAndPrintsNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::newRow("invoice totals") << "mnuRepAnnualRep";
        QTest::newRow("customer summary") << "mnuRepCustSum";
    }
    void anEmptyCustomerTableSaysSoAndPrintsNothing() {
        QFETCH(QString, action);
        MainWindowHarness h;
        QVERIFY(h.start());
        const QString pdf = h.program.file("report.pdf");
        printing::setPrinterFactory([pdf] { return printing::pdfPrinter(pdf); });
        h.prompt.expectMessage("No customer records to summarize and print.", "Data Error");
        h.get<QAction>(qPrintable(action))->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!QFile::exists(pdf));
    }

    void withoutASelectedCustomerTheOpenInvoicesReportDoesNothing() {
        MainWindowHarness h;
        h.addCustomer(1, "Smith");
        QVERIFY(h.start());
        const QString pdf = h.program.file("report.pdf");
        printing::setPrinterFactory([pdf] { return printing::pdfPrinter(pdf); });
        h.get<QAction>("mnuRepSelCustOpenInv")->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(h.prompt.shown().isEmpty());
        QVERIFY(!QFile::exists(pdf));
    }

    void aLongListPrintsOnSeveralPages() {
        MainWindowHarness h;
        for (int i = 1; i <= 120; ++i)
            h.addCustomer(i, QStringLiteral("L%1").arg(i), QStringLiteral("F%1").arg(i));
        QVERIFY(h.start());
        const QString pdf = h.program.file("report.pdf");
        printing::setPrinterFactory([pdf] {
            auto printer = printing::pdfPrinter(pdf);
            printer->setPageSize(QPageSize(QPageSize::Letter));
            return printer;
        });
        h.get<QAction>("mnuRepCustSum")->trigger();
        const QString text = pdfText(pdf);
        QCOMPARE(text.count(u'\f'), 3); // pdftotext ends each page with a form feed
        QCOMPARE(text.count("First"), 1);
        const QStringList pages = text.split(u'\f');
        QVERIFY(pages.at(1).simplified().startsWith("F"));
        QVERIFY(pages.at(2).contains(kPrintedOn));
    }
};

QTEST_MAIN(ReportPrintingTest)
#include "test_reportprinting.moc"
