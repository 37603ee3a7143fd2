// The reports printed from the menu through CUPS, to the test run's own
// scheduler: each job in the queue under its title, its PDF read back, on
// several pages; what a queue that refuses jobs, a missing queue, an absent
// print service, a failed read, an empty table or no selected customer do;
// and Cancel on the progress of a long job, an export's too.
#include "invoiceharness.h"
#include "printqueue.h"
#include "widgets/printing.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QSemaphore>
#include <QTabBar>
#include <QTabWidget>

using namespace quillory;
using test::MainWindowHarness;
using test::pdfLines;
using test::pdfText;
using test::PrintQueues;

namespace {

const QString kPrintedOn = QStringLiteral("Printed On: 12/6/2026 9:05:07 AM");

// The menu items of the three reports, as rows of a table.
void reportRows(const char* suffix = "") {
    QTest::addColumn<QString>("action");
    QTest::addRow("invoice totals%s", suffix) << "mnuRepAnnualRep";
    QTest::addRow("customer summary%s", suffix) << "mnuRepCustSum";
    QTest::addRow("selected customer%s", suffix) << "mnuRepSelCustOpenInv";
}

} // namespace

class ReportPrintingTest : public QObject {
    Q_OBJECT

private slots:
    void init() { test::pinEnglishUs(); }
    void cleanup() {
        printing::setBeforeSubmit({});
        printing::setAtJobStart({});
    }

    void eachReportPrintsFromItsMenu_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("invoice totals") << "mnuRepAnnualRep"
                                        << "Invoice Totals"
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
                                          << "Customer Summary List"
                                          << QStringList{"Customer Summary List",
                                                         "CONFIDENTIAL INFORMATION",
                                                         "First Last Email Balance",
                                                         "Ann Smith ann@example.com $50.51",
                                                         "Bob Jones bob@example.com",
                                                         "Cy Over cy@example.com ($20.00)",
                                                         kPrintedOn};
        QTest::newRow("selected customer")
            << "mnuRepSelCustOpenInv"
            << "Open Invoices for Customer 1"
            << QStringList{"Open Invoices for Customer: 1", "CONFIDENTIAL INFORMATION",
                           "Account Balance: $50.51", "Open Invoices: 1", kPrintedOn};
    }
    void eachReportPrintsFromItsMenu() {
        QFETCH(QString, action);
        QFETCH(QString, title);
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
        const PrintQueues queues;
        h.get<QAction>(qPrintable(action))->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        const QList<test::QueuedJob> jobs = queues.newJobs();
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(jobs[0].title, title);
        QCOMPARE(jobs[0].queue, QStringLiteral("quillory-pdf"));
        QCOMPARE(pdfLines(PrintQueues::waitForPdf(jobs[0])), expected);
    }

    // Each row: the queue jobs go to, and the reason the box then gives.
    void aJobThePrinterCannotTakeIsDiscardedWithTheSpoolersReason_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QByteArray>("queue");
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QString>("reason");
        const struct {
            const char* how;
            QByteArray queue;
            QByteArray server;
            QString reason;
        } ways[] = {
            {"refused",
             PrintQueues::kRefusing,
             {},
             QStringLiteral("Destination \"quillory-reject\" is not accepting jobs. "
                            "Paused for a paper jam. (server-error-not-accepting-jobs)")},
            {"no such queue",
             "quillory-gone",
             {},
             QStringLiteral("no default printer is set up: PRINTER environment variable names "
                            "default destination that does not exist. (client-error-not-found)")},
            {"no print service",
             {},
             "/nonexistent/cups.sock",
             QStringLiteral("the print service (CUPS at /nonexistent/cups.sock) cannot be "
                            "reached: Host is down")},
        };
        for (const auto& way : ways) {
            QTest::addRow("invoice totals, %s", way.how)
                << "mnuRepAnnualRep" << way.queue << way.server << way.reason;
            QTest::addRow("customer summary, %s", way.how)
                << "mnuRepCustSum" << way.queue << way.server << way.reason;
            QTest::addRow("selected customer, %s", way.how)
                << "mnuRepSelCustOpenInv" << way.queue << way.server << way.reason;
        }
    }
    void aJobThePrinterCannotTakeIsDiscardedWithTheSpoolersReason() {
        QFETCH(QString, action);
        QFETCH(QByteArray, queue);
        QFETCH(QByteArray, server);
        QFETCH(QString, reason);
        MainWindowHarness h;
        h.addCustomer(1, "Smith");
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer("Smith-1"));
        const PrintQueues queues(queue.constData());
        const QByteArray ownServer = qgetenv("CUPS_SERVER");
        if (!server.isEmpty())
            qputenv("CUPS_SERVER", server);
        h.prompt.expectMessage("482\r\nPrinter error: " + reason, "Quillory");
        h.get<QAction>(qPrintable(action))->trigger();
        qputenv("CUPS_SERVER", ownServer);
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(queues.newJobs().size(), 0);
    }

    // The open-invoices report discards its job on a failure too, rather than
    // sending what it had printed so far.
    void aDatabaseFailureDiscardsTheJobAndSaysWhy_data() { reportRows(); }
    void aDatabaseFailureDiscardsTheJobAndSaysWhy() {
        QFETCH(QString, action);
        MainWindowHarness h;
        h.addCustomer(1, "Smith");
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer("Smith-1"));
        QVERIFY(h.db.cnMain.execute("DROP TABLE tblinvoice"));
        const PrintQueues queues;
        h.prompt.expectMessage("-2147467259\r\nno such table: tblinvoice", "Quillory");
        h.get<QAction>(qPrintable(action))->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(queues.newJobs().size(), 0);
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
        const PrintQueues queues;
        h.prompt.expectMessage("No customer records to summarize and print.", "Data Error");
        h.get<QAction>(qPrintable(action))->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(queues.newJobs().size(), 0);
    }

    void withoutASelectedCustomerTheOpenInvoicesReportDoesNothing() {
        MainWindowHarness h;
        h.addCustomer(1, "Smith");
        QVERIFY(h.start());
        const PrintQueues queues;
        h.get<QAction>("mnuRepSelCustOpenInv")->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(h.prompt.shown().isEmpty());
        QCOMPARE(queues.newJobs().size(), 0);
    }

    void aLongListPrintsOnSeveralPages() {
        MainWindowHarness h;
        for (int i = 1; i <= 120; ++i)
            h.addCustomer(i, QStringLiteral("L%1").arg(i), QStringLiteral("F%1").arg(i));
        QVERIFY(h.start());
        const PrintQueues queues;
        h.get<QAction>("mnuRepCustSum")->trigger();
        QCOMPARE(queues.newJobs().size(), 1);
        const QString text = pdfText(PrintQueues::waitForPdf(queues.newJobs().at(0)));
        QCOMPARE(text.count(u'\f'), 3); // pdftotext ends each page with a form feed
        QCOMPARE(text.count("First"), 1);
        const QStringList pages = text.split(u'\f');
        QVERIFY(pages.at(1).simplified().startsWith("F"));
        QVERIFY(pages.at(2).contains(kPrintedOn));
    }

    // A job held before it reaches the spooler (an export: before it begins)
    // shows its progress, worded for what it does. Cancel there, by its
    // button, Escape or the window's close button, leaves the dialog up and
    // modal, saying so, until the job has really ended; then nothing is sent
    // or written, and nothing said.
    void cancelOnTheProgressLeavesNothingInTheQueue_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("file"); // the file an export offers
        QTest::addColumn<QString>("how");
        QTest::newRow("invoice totals") << "mnuRepAnnualRep"
                                        << "Print"
                                        << "Printing Invoice Totals..."
                                        << ""
                                        << "button";
        QTest::newRow("customer summary") << "mnuRepCustSum"
                                          << "Print"
                                          << "Printing Customer Summary List..."
                                          << ""
                                          << "escape";
        QTest::newRow("selected customer") << "mnuRepSelCustOpenInv"
                                           << "Print"
                                           << "Printing Open Invoices for Customer 1..."
                                           << ""
                                           << "close";
        QTest::newRow("invoice totals as PDF") << "mnuExpTotalsPdf"
                                               << "Export"
                                               << "Exporting Invoice Totals as PDF..."
                                               << "Invoice Totals.pdf"
                                               << "button";
        QTest::newRow("customers as CSV") << "mnuExpCustomersCsv"
                                          << "Export"
                                          << "Exporting Customers as CSV..."
                                          << "Customers.csv"
                                          << "escape";
    }
    void cancelOnTheProgressLeavesNothingInTheQueue() {
        QFETCH(QString, action);
        QFETCH(QString, caption);
        QFETCH(QString, label);
        QFETCH(QString, file);
        QFETCH(QString, how);
        MainWindowHarness h;
        h.addCustomer(1, "Smith");
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer("Smith-1"));
        auto* tabs = h.get<QTabWidget>("tabMain");
        const int tab = tabs->currentIndex();
        const PrintQueues queues;
        const QString path = h.program.file(file);
        if (!file.isEmpty())
            h.prompt.expectSaveFile(
                QString(label).remove("Exporting ").remove("..."),
                file.endsWith(".pdf") ? "PDF files (*.pdf)" : "CSV files (*.csv)", file, path);
        QSemaphore held;
        const auto hold = [&held] { held.acquire(); };
        if (file.isEmpty())
            printing::setBeforeSubmit(hold);
        else
            printing::setAtJobStart(hold);
        QStringList seen;
        const test::WhenShown progress(QStringLiteral("dlgPrintProgress"), [&](QWidget* dialog) {
            auto* text = test::child<QLabel>(dialog, "lblPrintProgress");
            auto* cancel = test::child<QPushButton>(dialog, "cmdCancelPrint");
            seen << dialog->windowTitle() << text->text();
            if (how == u"button")
                test::click(cancel);
            else if (how == u"escape")
                QTest::keyClick(dialog, Qt::Key_Escape);
            else
                dialog->close();
            // The job is still held: the dialog stays and the window takes
            // no click, sent as the desktop sends it, to the window.
            QTabBar* bar = tabs->tabBar();
            QTest::mouseClick(h.window->windowHandle(), Qt::LeftButton, {},
                              bar->mapTo(h.window.get(), bar->tabRect(tab + 1).center()));
            seen << QString::number(dialog->isVisible()) << text->text()
                 << QString::number(cancel->isEnabled()) << QString::number(tabs->currentIndex());
            held.release();
        });
        h.get<QAction>(qPrintable(action))->trigger();
        QCOMPARE(progress.times(), 1);
        QCOMPARE(seen,
                 (QStringList{caption, label, "1", "Cancelling...", "0", QString::number(tab)}));
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.prompt.shown().size(), file.isEmpty() ? 0 : 1);
        QCOMPARE(queues.newJobs().size(), 0);
        QCOMPARE(QDir(h.program.dir()).entryList({"Customers*", "Invoice*"}), QStringList());
    }
};

QTEST_MAIN(ReportPrintingTest)
#include "test_reportprinting.moc"
