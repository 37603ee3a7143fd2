// The Export menu: CSV fields and files, the PDF files beside the printed
// pages, saving through the file dialog (whole or not at all), and exports
// that have nothing to write.
#include "export/csv.h"
#include "export/csvtables.h"
#include "export/mail.h"
#include "invoice/logo.h"
#include "invoiceharness.h"
#include "scoped.h"
#include "widgets/printing.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QSemaphore>

#include <memory>

using namespace quillory;
using namespace quillory::test;

namespace {

const QByteArray kBom = QByteArrayLiteral("\xEF\xBB\xBF");
const QString kCsvFilter = QStringLiteral("CSV files (*.csv)");
const QString kPdfFilter = QStringLiteral("PDF files (*.pdf)");

// Customers, projects and invoices that tell the CSV rules apart: quotes,
// commas and line breaks in texts, a formula for a name, a postal code with
// a leading zero, non-Latin letters, amounts with four decimals, an invoice
// whose customer and project are gone.
void addTables(MainWindowHarness& h) {
    h.addCustomer(1, QStringLiteral("Ames"));
    h.addCustomer(2, QStringLiteral("山田"), QStringLiteral("=HYPERLINK(\"http://x.test\",\"y\")"));
    h.program.sql(QStringLiteral("UPDATE tblcustomer SET street='1 Main St, Suite 2',"
                                 "city='Zürich',pcode='02134',phone='+1 555 0100',"
                                 "othercontact=NULL,notes=? WHERE id=1"),
                  {QStringLiteral("Said \"hi\"\r\ntwice")});
    h.program.sql(QStringLiteral("UPDATE tblcustomer SET email1='@home',phone='5550100' "
                                 "WHERE id=2"));
    h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Completed"));
    h.addProject(1, 2, QStringLiteral("-Gutters"), QStringLiteral("Active"));
    // Stored as single precision, as the program keeps them: 37.3 x 85.15 is
    // 3176.095 exactly, which two decimals would round.
    h.program.sql(QStringLiteral("UPDATE tblservices SET billinghours=?,billingrate=?,"
                                 "services_provided='Shingles',invoicegenerated=1 WHERE id=0"),
                  {double(37.3f), double(85.15f)});
    h.program.sql(QStringLiteral("UPDATE tblservices SET billinghours=40,billingrate=?,"
                                 "DateCreated='2026-11-30 23:59:59' WHERE id=1"),
                  {double(99.99f)});
    h.addInvoice(9, 1, 1000000, 250000, 0);
    h.addInvoice(10, 99, 123456, 123450, 1);
    h.addInvoice(11, 2, 125000, 150000, 1);
    h.program.sql(QStringLiteral("UPDATE tblinvoice SET paymentdates=? WHERE id=9"),
                  {QStringLiteral("NA\r\n12/2/2026 9:05:07 AM($25)")});
    h.program.sql(QStringLiteral("UPDATE tblinvoice SET servicesid=77 WHERE id=10"));
    h.program.sql(QStringLiteral("UPDATE tblinvoice SET servicesid=1 WHERE id=11"));
}

QByteArray csvFile(const QStringList& records) {
    return kBom + records.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

void trigger(MainWindowHarness& h, const QString& action) {
    h.get<QAction>(qPrintable(action))->trigger();
}

} // namespace

class ExportTest : public QObject {
    Q_OBJECT

private slots:
    void init() { pinEnglishUs(); }
    void cleanup() { printing::setSpooler(nullptr); }

    // Each row: how the value is written, the value, and the field.
    void csvFieldsKeepTheValuesTheyHold_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("field");
        const auto units = [](qlonglong n) { return QVariant(n); };
        QTest::newRow("plain text") << "text" << QVariant("Ames") << "Ames";
        QTest::newRow("a comma is quoted")
            << "text" << QVariant("1 Main St, Suite 2") << "\"1 Main St, Suite 2\"";
        QTest::newRow("quotes are doubled")
            << "text" << QVariant("Said \"hi\"") << "\"Said \"\"hi\"\"\"";
        QTest::newRow("a line break is quoted") << "text" << QVariant("a\r\nb") << "\"a\r\nb\"";
        QTest::newRow("a leading blank is quoted") << "text" << QVariant(" x") << "\" x\"";
        QTest::newRow("a formula is text")
            << "text" << QVariant("=HYPERLINK(\"http://x.test\",\"y\")")
            << "\"'=HYPERLINK(\"\"http://x.test\"\",\"\"y\"\")\"";
        QTest::newRow("plus") << "text" << QVariant("+1 555 0100") << "'+1 555 0100";
        QTest::newRow("minus") << "text" << QVariant("-5") << "'-5";
        QTest::newRow("at") << "text" << QVariant("@SUM(A1)") << "'@SUM(A1)";
        QTest::newRow("tab") << "text" << QVariant("\t=1") << "'\t=1";
        QTest::newRow("carriage return") << "text" << QVariant("\r=1") << "\"'\r=1\"";
        QTest::newRow("an equals sign inside") << "text" << QVariant("a=b") << "a=b";
        QTest::newRow("leading zero") << "text" << QVariant("02134") << "'02134";
        QTest::newRow("digits without one") << "text" << QVariant("5550100") << "5550100";
        QTest::newRow("zero alone") << "text" << QVariant("0") << "0";
        QTest::newRow("15 digits") << "text" << QVariant("123456789012345") << "123456789012345";
        QTest::newRow("16 digits") << "text" << QVariant("1234567890123456") << "'1234567890123456";
        QTest::newRow("non-Latin") << "text" << QVariant("山田 Zoë Ærø") << "山田 Zoë Ærø";
        QTest::newRow("Null text") << "text" << QVariant() << "";

        QTest::newRow("12.5000") << "money" << units(125000) << "12.50";
        QTest::newRow("12.3456") << "money" << units(123456) << "12.3456";
        QTest::newRow("12.3400") << "money" << units(123400) << "12.34";
        QTest::newRow("12.3450") << "money" << units(123450) << "12.3450";
        QTest::newRow("12.0005") << "money" << units(120005) << "12.0005";
        QTest::newRow("zero") << "money" << units(0) << "0.00";
        QTest::newRow("-0.0750") << "money" << units(-750) << "-0.0750";
        QTest::newRow("-20") << "money" << units(-200000) << "-20.00";
        QTest::newRow("largest") << "money" << units(std::numeric_limits<qlonglong>::max())
                                 << "922337203685477.5807";
        QTest::newRow("Null amount") << "money" << QVariant() << "";
        QTest::newRow("stored text is kept") << "money" << QVariant("12,50") << "\"12,50\"";

        QTest::newRow("id") << "integer" << QVariant(qlonglong(9)) << "9";
        QTest::newRow("negative id") << "integer" << QVariant(qlonglong(-3)) << "-3";
        QTest::newRow("Null id") << "integer" << QVariant() << "";
        QTest::newRow("id stored as text") << "integer" << QVariant("-x") << "'-x";

        QTest::newRow("hours 37.3") << "figure" << QVariant(double(37.3f)) << "37.3";
        QTest::newRow("rate 99.99") << "figure" << QVariant(double(99.99f)) << "99.99";
        QTest::newRow("whole hours") << "figure" << QVariant(40.0) << "40";
        QTest::newRow("Null hours") << "figure" << QVariant() << "";

        QTest::newRow("date-time")
            << "date" << QVariant("2026-12-01 10:00:00") << "2026-12-01T10:00:00";
        QTest::newRow("not a date") << "date" << QVariant("yesterday") << "yesterday";
        QTest::newRow("no such day")
            << "date" << QVariant("2026-02-29 10:00:00") << "2026-02-29 10:00:00";
        QTest::newRow("letters for the year")
            << "date" << QVariant("abcd-12-01 10:00:00") << "abcd-12-01 10:00:00";
        QTest::newRow("no such hour")
            << "date" << QVariant("2026-12-01 24:00:00") << "2026-12-01 24:00:00";
        QTest::newRow("Null date") << "date" << QVariant() << "";
    }
    void csvFieldsKeepTheValuesTheyHold() {
        QFETCH(QString, kind);
        QFETCH(QVariant, value);
        QFETCH(QString, field);
        QString written;
        if (kind == u"text")
            written = csv::text(value);
        else if (kind == u"money")
            written = csv::amount(value);
        else if (kind == u"integer")
            written = csv::integer(value);
        else if (kind == u"figure")
            written = csv::figure(value);
        else
            written = csv::dateTime(value);
        QCOMPARE(written, field);
    }

    // Each CSV file from its menu item, reached with the keyboard, read back
    // byte for byte.
    void eachCsvFileHoldsItsTableWhole_data() {
        QTest::addColumn<int>("accessKey");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("contents");
        QTest::newRow("customers")
            << int(Qt::Key_C) << "Customers as CSV"
            << "Customers.csv"
            << csvFile({"ID,First Name,Last Name,Street,City,Prov/State,Country,Postal Code,Email,"
                        "Email 2,Phone,Cell,Contact Notes,Account Memo",
                        "1,Ann,Ames,\"1 Main St, Suite 2\",Zürich,NS,CA,'02134,a@example.com,NA,"
                        "'+1 555 0100,NA,,\"Said \"\"hi\"\"\r\ntwice\"",
                        "2,\"'=HYPERLINK(\"\"http://x.test\"\",\"\"y\"\")\",山田,1 Main St,Halifax,"
                        "NS,CA,B3H,'@home,NA,5550100,NA,NA,NA"});
        QTest::newRow("projects")
            << int(Qt::Key_R) << "Projects as CSV"
            << "Projects.csv"
            << csvFile({"Project ID,Customer ID,Summary,Status,Billing Hours,Billing Rate,Amount,"
                        "Services Provided,Details,Notes,Edited,Invoiced",
                        "0,1,Roof,Completed,37.3,85.15,3176.0950,Shingles,,,2026-12-01T10:00:00,1",
                        "1,2,'-Gutters,Active,40,99.99,3999.60,,,,2026-11-30T23:59:59,0"});
        QTest::newRow("invoices and payments")
            << int(Qt::Key_I) << "Invoices and Payments as CSV"
            << "Invoices and Payments.csv"
            << csvFile({"Invoice ID,Customer ID,Last Name,First Name,Project ID,Project,Created,"
                        "Status,Amount Due,Amount Paid,Balance,Payment History",
                        "9,1,Ames,Ann,0,Roof,2026-12-01T10:00:00,Open,100.00,25.00,75.00,"
                        "\"NA\r\n12/2/2026 9:05:07 AM($25)\"",
                        "10,99,,,77,,2026-12-01T10:00:00,Closed,12.3456,12.3450,0.0006,NA",
                        "11,2,山田,\"'=HYPERLINK(\"\"http://x.test\"\",\"\"y\"\")\",1,'-Gutters,"
                        "2026-12-01T10:00:00,Closed,12.50,15.00,-2.50,NA"});
    }
    void eachCsvFileHoldsItsTableWhole() {
        QFETCH(int, accessKey);
        QFETCH(QString, title);
        QFETCH(QString, name);
        QFETCH(QByteArray, contents);
        MainWindowHarness h;
        addTables(h);
        QVERIFY(h.start());
        const QString path = h.program.file(name);
        h.prompt.expectSaveFile(title, kCsvFilter, name, path);
        // Alt+E opens the menu; the item's own letter chooses it.
        h.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(h.window.get()));
        QTest::keyClick(h.window.get(), Qt::Key_E, Qt::AltModifier);
        auto* menu = h.get<QMenu>("mnuExport");
        QTRY_VERIFY(menu->isVisible());
        QTest::keyClick(menu, Qt::Key(accessKey));
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(path), contents);
    }

    // A cancel is heeded row by row: no row is written after it, and the
    // table ends as cancelled, not written.
    void aCancelledCsvWritesNoFurtherRow_data() {
        QTest::addColumn<int>("table");
        QTest::newRow("customers") << int(csvtables::Table::Customers);
        QTest::newRow("projects") << int(csvtables::Table::Projects);
        QTest::newRow("invoices") << int(csvtables::Table::Invoices);
    }
    void aCancelledCsvWritesNoFurtherRow() {
        QFETCH(int, table);
        MainWindowHarness h;
        addTables(h);
        QVERIFY(h.start());
        QBuffer buffer;
        QVERIFY(buffer.open(QIODevice::WriteOnly));
        const std::atomic_bool cancelled{true};
        QCOMPARE(csvtables::writeTable(csvtables::Table(table), h.db.cnMain, buffer, &cancelled),
                 csvtables::Outcome::Cancelled);
        QCOMPARE(buffer.data().count("\r\n"), 1); // the header alone
    }

    // Each row: the menu item, its dialog, the file offered, and the printed
    // report whose pages the file must hold (none for the invoice).
    void eachPdfFileHoldsThePrintedPages_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<bool>("logoHung"); // the logo's read never ends
        const QStringList invoice{"Acme Repairs",
                                  "ISSUED TO:",
                                  "Ann Ames",
                                  "INVOICE DETAILS: Project ID: 0 Invoice ID: 9 Status: OPEN",
                                  "12/2/2026 9:05:07 AM($25)",
                                  "Amount Due: 100 Amount Paid: 25",
                                  "CURRENT BALANCE: 75"};
        QTest::newRow("invoice") << "mnuExpInvoicePdf"
                                 << "Invoice as PDF"
                                 << "Invoice 9.pdf"
                                 << "" << invoice << false;
        // Left out after a while, as the preview leaves it out, and not said.
        QTest::newRow("invoice with its logo on a hung share") << "mnuExpInvoicePdf"
                                                               << "Invoice as PDF"
                                                               << "Invoice 9.pdf"
                                                               << "" << invoice << true;
        QTest::newRow("invoice totals")
            << "mnuExpTotalsPdf"
            << "Invoice Totals as PDF"
            << "Invoice Totals.pdf"
            << "mnuRepAnnualRep"
            << QStringList{"Invoice Totals", "Ann Ames $100.00 $25.00 $75.00", "TOTAL DUE: $124.85",
                           "TOTAL PAID: $52.35"}
            << false;
        QTest::newRow("customer summary")
            << "mnuExpSummaryPdf"
            << "Customer Summary List as PDF"
            << "Customer Summary List.pdf"
            << "mnuRepCustSum"
            << QStringList{"Customer Summary List", "Ann Ames a@example.com $75.00"} << false;
    }
    void eachPdfFileHoldsThePrintedPages() {
        QFETCH(QString, action);
        QFETCH(QString, title);
        QFETCH(QString, name);
        QFETCH(QString, printed);
        QFETCH(QStringList, lines);
        QFETCH(bool, logoHung);
        MainWindowHarness h;
        QImage logo(120, 40, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        QVERIFY(logo.save(h.program.file(QStringLiteral("logo.bmp"))));
        addOptions(h, h.program.file(QStringLiteral("logo.bmp")));
        addTables(h);
        QVERIFY(h.start() && h.selectCustomer(QStringLiteral("Ames-1")));
        clickTab(h, 2);
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("9")));

        const QString path = h.program.file(name);
        h.prompt.expectSaveFile(title, kPdfFilter, name, path);
        const auto hung = std::make_shared<QSemaphore>();
        if (logoHung)
            logo::setBeforeRead([hung] { hung->acquire(); });
        trigger(h, action);
        hung->release();
        logo::setBeforeRead({});
        QVERIFY(h.prompt.verifyAllShown());
        const QStringList got = pdfLines(path);
        for (const QString& line : lines)
            QVERIFY2(got.contains(line), qPrintable(line + u'\n' + got.join(u'\n')));
        if (printed.isEmpty()) {
            // The logo as the preview prints it.
            QCOMPARE(readAll(path).contains("/Subtype /Image"), !logoHung);
            return;
        }
        const QString paper = h.program.file(QStringLiteral("printed.pdf"));
        printing::PdfFileSpooler spooler(paper);
        printing::setSpooler(&spooler);
        trigger(h, printed);
        printing::setSpooler(nullptr);
        QCOMPARE(got, pdfLines(paper));
    }

    // Each row: what the user types into the dialog (nothing cancels), a file
    // already there, the answer to the question whether to replace it, the
    // limit a full disk sets, and the file then found under the name.
    void savingWritesTheWholeFileOrNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<int>("replace");
        QTest::addColumn<int>("diskLimit");
        QTest::addColumn<QString>("saved");
        QTest::addColumn<bool>("fails");
        const QString csv = QStringLiteral("mnuExpCustomersCsv");
        QTest::newRow("cancelled") << csv << ""
                                   << "" << -1 << 0 << "" << false;
        QTest::newRow("the suffix is added") << csv << "people"
                                             << "" << -1 << 0 << "people.csv" << false;
        QTest::newRow("a suffix in capitals is kept") << csv << "people.CSV"
                                                      << "" << -1 << 0 << "people.CSV" << false;
        QTest::newRow("the file the suffix names is not replaced unasked")
            << csv << "people"
            << "people.csv" << int(Prompt::No) << 0 << "" << false;
        QTest::newRow("the file the suffix names is replaced when the user says so")
            << csv << "people"
            << "people.csv" << int(Prompt::Yes) << 0 << "people.csv" << false;
        QTest::newRow("a folder that is a file") << csv << "notes.txt/people.csv"
                                                 << "" << -1 << 0 << "" << true;
        QTest::newRow("the disk fills up halfway") << csv << "people.csv"
                                                   << "people.csv" << -1 << 65536 << "" << true;
        QTest::newRow("a PDF into a folder that is a file") << "mnuExpSummaryPdf"
                                                            << "notes.txt/list.pdf"
                                                            << "" << -1 << 0 << "" << true;
    }
    void savingWritesTheWholeFileOrNothing() {
        QFETCH(QString, action);
        QFETCH(QString, typed);
        QFETCH(QString, existing);
        QFETCH(int, replace);
        QFETCH(int, diskLimit);
        QFETCH(QString, saved);
        QFETCH(bool, fails);
        MainWindowHarness h;
        // Enough customers to pass the disk's limit.
        h.program.sql(QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<1500) "
            "INSERT INTO tblcustomer (id,fname,lname,notes) "
            "SELECT i,'First'||i,'Last'||i,printf('%.80c','x') FROM n"));
        QVERIFY(h.start());
        const QDir folder(h.program.dir() + QStringLiteral("/out"));
        QVERIFY(QDir().mkpath(folder.path()));
        QVERIFY(writeAll(folder.filePath(QStringLiteral("notes.txt")), "a file, not a folder"));
        const QByteArray old = "what the file held before";
        if (!existing.isEmpty())
            QVERIFY(writeAll(folder.filePath(existing), old));
        const QStringList before = folder.entryList(QDir::Files);

        const bool isPdf = action.contains(QStringLiteral("Pdf"));
        const QString title = isPdf ? QStringLiteral("Customer Summary List as PDF")
                                    : QStringLiteral("Customers as CSV");
        const QString path = folder.filePath(typed);
        h.prompt.expectSaveFile(title, isPdf ? kPdfFilter : kCsvFilter,
                                isPdf ? QStringLiteral("Customer Summary List.pdf")
                                      : QStringLiteral("Customers.csv"),
                                typed.isEmpty() ? std::nullopt : std::optional<QString>(path));
        if (replace >= 0)
            h.prompt.expectMessage(existing + QStringLiteral(" already exists.\r\nDo you want to "
                                                             "replace it?"),
                                   title, Prompt::Answer(replace), Prompt::Buttons::YesNo,
                                   Prompt::Icon::Exclamation);
        if (fails)
            h.prompt.expectMessageTitled(title);
        {
            std::optional<FileSizeLimit> full;
            if (diskLimit > 0)
                full.emplace(rlim_t(diskLimit));
            trigger(h, action);
        }
        QVERIFY(h.prompt.verifyAllShown());

        if (fails) {
            const QString said = h.prompt.shown().constLast().text;
            const QString start = QStringLiteral("The file could not be saved:\r\n") + path +
                                  QStringLiteral("\r\n\r\n");
            QVERIFY2(said.startsWith(start) && said.size() > start.size(), qPrintable(said));
            QCOMPARE(h.prompt.shown().constLast().icon, Prompt::Icon::Exclamation);
        }
        // No half-written file, and no temporary one, is left anywhere.
        QStringList after = before;
        if (!saved.isEmpty() && !after.contains(saved))
            after.append(saved);
        after.sort();
        QCOMPARE(folder.entryList(QDir::Files), after);
        if (!existing.isEmpty() && saved != existing)
            QCOMPARE(readAll(folder.filePath(existing)), old);
        if (!saved.isEmpty()) {
            const QByteArray written = readAll(folder.filePath(saved));
            QVERIFY(written.startsWith(kBom + "ID,First Name,"));
            QVERIFY(
                written.endsWith(",First1500,Last1500,,,,,,,,,,," + QByteArray(80, 'x') + "\r\n"));
        }
    }

    // Each row: the menu item, what the database lacks, the file dialog's
    // title when it comes before the box, and the box.
    void anExportWithNothingToWriteSaysSoAndWritesNothing_data() {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("lacking");
        QTest::addColumn<QString>("dialog");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("icon");
        const QString select =
            QStringLiteral("Please select an invoice on the Invoices tab first.");
        const int info = int(Prompt::Icon::Information);
        const int none = int(Prompt::Icon::None);
        const int warning = int(Prompt::Icon::Exclamation);
        QTest::newRow("invoice PDF without a selected invoice")
            << "mnuExpInvoicePdf"
            << "selection"
            << "" << select << "Invoice as PDF" << info;
        QTest::newRow("e-mail without a selected invoice")
            << "mnuExpInvoiceEmail"
            << "selection"
            << "" << select << "E-mail Invoice" << info;
        QTest::newRow("invoice PDF without business options")
            << "mnuExpInvoicePdf"
            << "options"
            << ""
            << "Please set the options using the OPTIONS MENU before generating an invoice."
            << "Data Error" << none;
        QTest::newRow("invoice totals without customers")
            << "mnuExpTotalsPdf"
            << "customers"
            << "Invoice Totals as PDF"
            << "No customer records to summarize and export."
            << "Data Error" << none;
        QTest::newRow("customer summary without customers")
            << "mnuExpSummaryPdf"
            << "customers"
            << "Customer Summary List as PDF"
            << "No customer records to summarize and export."
            << "Data Error" << none;
        QTest::newRow("invoice totals when the invoices cannot be read")
            << "mnuExpTotalsPdf"
            << "tblinvoice"
            << "Invoice Totals as PDF"
            << "-2147467259\r\nno such table: tblinvoice"
            << "Invoice Totals as PDF" << warning;
        QTest::newRow("projects when they cannot be read")
            << "mnuExpProjectsCsv"
            << "tblservices"
            << "Projects as CSV"
            << "-2147467259\r\nno such table: tblservices"
            << "Projects as CSV" << warning;
    }
    void anExportWithNothingToWriteSaysSoAndWritesNothing() {
        QFETCH(QString, action);
        QFETCH(QString, lacking);
        QFETCH(QString, dialog);
        QFETCH(QString, text);
        QFETCH(QString, title);
        QFETCH(int, icon);
        MainWindowHarness h;
        if (lacking != u"options")
            addOptions(h);
        if (lacking == u"customers") {
            QVERIFY(h.start());
        } else if (lacking == u"selection") {
            // The customer is picked, none of its invoices.
            h.addCustomer(1, QStringLiteral("Ames"));
            h.addInvoice(9, 1, 1000000, 250000, 0);
            QVERIFY(h.start() && h.selectCustomer(QStringLiteral("Ames-1")));
            clickTab(h, 2);
        } else {
            QVERIFY(startWithInvoice(h, 9, 1000000, 250000, 0));
        }
        if (lacking.startsWith(u"tbl"))
            QVERIFY(h.db.cnMain.execute(QStringLiteral("DROP TABLE ") + lacking));
        const QString path = h.program.file(QStringLiteral("out.file"));
        if (!dialog.isEmpty()) {
            const bool isPdf = action.contains(QStringLiteral("Pdf"));
            h.prompt.expectSaveFile(dialog, isPdf ? kPdfFilter : kCsvFilter,
                                    dialog.section(QStringLiteral(" as "), 0, 0) +
                                        (isPdf ? QStringLiteral(".pdf") : QStringLiteral(".csv")),
                                    path +
                                        (isPdf ? QStringLiteral(".pdf") : QStringLiteral(".csv")));
        }
        h.prompt.expectMessage(text, title, Prompt::Ok, Prompt::Buttons::Ok, Prompt::Icon(icon));
        trigger(h, action);
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(QDir(h.program.dir()).entryList({QStringLiteral("out.*")}), QStringList());
        QVERIFY(h.window->findChildren<mail::HandOff*>().isEmpty());
    }
};

QTEST_MAIN(ExportTest)
#include "test_export.moc"
