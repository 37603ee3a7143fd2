// The invoice document: its 21 lines from the four rows, and the two buttons
// of the Invoices tab that compose it and open the preview.
#include "core/formats.h"
#include "invoice/invoicetext.h"
#include "invoiceharness.h"

#include <QPlainTextEdit>

using namespace quillory;
using namespace quillory::test;

namespace {

using Overrides = QMap<QString, QVariant>; // "table.column" -> stored value
using Lines = QMap<int, QString>;          // line number (1..21) -> text

invoicetext::Rows baseRows() {
    invoicetext::Rows rows;
    rows.options = {{"busname", "Acme Repairs"},       {"busaddress", "1 Shop Rd\r\nHalifax NS"},
                    {"busurl", "acme.example"},        {"bus_phone", "555-0100"},
                    {"bus_email", "acme@example.com"}, {"bus_slogan", "We fix it"},
                    {"image_path_logo", "NONE"}};
    rows.customer = {
        {"fname", "Ann"}, {"lname", "Ames"}, {"street", "1 Main St"}, {"city", "Halifax"},
        {"prov", "NS"},   {"pcode", "B3H"},  {"country", "CA"},       {"email1", "a@example.com"},
        {"phone", "NA"}};
    rows.invoice = {{"id", 7},
                    {"servicesid", 3},
                    {"customerid", 1},
                    {"status", 0},
                    {"datecreated", "2026-12-01 10:00:00"},
                    {"paymentdates", "NA"},
                    {"amountdue", qlonglong(1500000)},
                    {"amountpaid", qlonglong(500000)}};
    rows.project = {{"services_provided", "Replaced\r\nthe roof"}};
    return rows;
}

QStringList baseLines() {
    return {"Acme Repairs",
            "1 Shop Rd\r\nHalifax NS\t\tacme.example",
            "555-0100\t\tacme@example.com",
            "We fix it",
            "",
            "ISSUED TO:",
            "Ann Ames",
            "1 Main St, Halifax, NS, B3H, CA",
            "a@example.com // NA",
            "",
            "INVOICE DETAILS: \t\tProject ID: 3\tInvoice ID: 7\tStatus: OPEN",
            "Invoice Date: 12/1/2026 10:00:00 AM",
            "",
            "Project Description: ",
            "Replaced\r\nthe roof",
            "",
            "Payment History: NA",
            "",
            "Amount Due: 150\tAmount Paid: 50",
            "",
            "CURRENT BALANCE: 100"};
}

QVariantMap& table(invoicetext::Rows& rows, const QString& name) {
    if (name == u"options")
        return rows.options;
    if (name == u"customer")
        return rows.customer;
    return name == u"invoice" ? rows.invoice : rows.project;
}

} // namespace

class InvoiceDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { pinEnglishUs(); }

    // Each row changes some stored values of the base rows and gives the
    // lines that then differ from the base document.
    void theDocumentLineByLine_data() {
        QTest::addColumn<Overrides>("overrides");
        QTest::addColumn<Lines>("lines");
        QTest::newRow("open, with a multi-line address and description") << Overrides{} << Lines{};
        QTest::newRow("closed") << Overrides{{"invoice.status", 1},
                                             {"invoice.amountpaid", qlonglong(1500000)}}
                                << Lines{{11, "INVOICE DETAILS: \t\tProject ID: 3\tInvoice ID: "
                                              "7\tStatus: CLOSED"},
                                         {19, "Amount Due: 150\tAmount Paid: 150"},
                                         {21, "CURRENT BALANCE: 0"}};
        QTest::newRow("overpaid") << Overrides{{"invoice.amountpaid", qlonglong(2000000)}}
                                  << Lines{{19, "Amount Due: 150\tAmount Paid: 200"},
                                           {21, "CURRENT BALANCE: -50"}};
        QTest::newRow("Null amount paid")
            << Overrides{{"invoice.amountpaid", QVariant()}}
            << Lines{{19, "Amount Due: 150\tAmount Paid: "}, {21, "CURRENT BALANCE: "}};
        // Exact to the ten-thousandth, no currency, no fixed decimals.
        QTest::newRow("fractions and thousands")
            << Overrides{{"invoice.amountdue", qlonglong(12345000)},
                         {"invoice.amountpaid", qlonglong(750)}}
            << Lines{{19, "Amount Due: 1234.5\tAmount Paid: 0.075"},
                     {21, "CURRENT BALANCE: 1234.425"}};
        QTest::newRow("Null status reads as closed")
            << Overrides{{"invoice.status", QVariant()}}
            << Lines{{11, "INVOICE DETAILS: \t\tProject ID: 3\tInvoice ID: 7\tStatus: CLOSED"}};
        QTest::newRow("a fraction of a status reads as closed")
            << Overrides{{"invoice.status", 0.4}}
            << Lines{{11, "INVOICE DETAILS: \t\tProject ID: 3\tInvoice ID: 7\tStatus: CLOSED"}};
        QTest::newRow("a blob that only starts with 0 reads as closed")
            << Overrides{{"invoice.status", QByteArray("0\0x", 3)}}
            << Lines{{11, "INVOICE DETAILS: \t\tProject ID: 3\tInvoice ID: 7\tStatus: CLOSED"}};
        QTest::newRow("a text that only starts with 0 reads as closed")
            << Overrides{{"invoice.status", QString::fromUtf8("0\0x", 3)}}
            << Lines{{11, "INVOICE DETAILS: \t\tProject ID: 3\tInvoice ID: 7\tStatus: CLOSED"}};
        QTest::newRow("no e-mail and no phone")
            << Overrides{{"customer.email1", QVariant()}, {"customer.phone", QVariant()}}
            << Lines{{9, " // "}};
        QTest::newRow("payments and a midnight date")
            << Overrides{{"invoice.paymentdates", "NA\r\n12/2/2026 1:00:00 PM($50)"},
                         {"invoice.datecreated", "2026-12-01 00:00:00"}}
            << Lines{{17, "Payment History: NA\r\n12/2/2026 1:00:00 PM($50)"},
                     {12, "Invoice Date: 12/1/2026"}};
        // A field's direction marks stay inside it: what one opens is closed
        // before its end and before each of its line breaks, and a closing
        // mark that would end something outside it is dropped.
        QTest::newRow("an override left open")
            << Overrides{{"options.busaddress", "1 Shop Rd\r\nHalifax NS\u202E"}}
            << Lines{{2, "1 Shop Rd\r\nHalifax NS\u202E\u202C\t\tacme.example"}};
        QTest::newRow("an override before a line break")
            << Overrides{{"options.busaddress", "\u202E1 Shop Rd\r\nHalifax NS"}}
            << Lines{{2, "\u202E1 Shop Rd\u202C\r\nHalifax NS\t\tacme.example"}};
        QTest::newRow("isolates and embeddings left open")
            << Overrides{{"options.bus_phone", "\u2067555\u202B-0100"},
                         {"customer.street", "\u2066\u20681 Main St"}}
            << Lines{{3, "\u2067555\u202B-0100\u202C\u2069\t\tacme@example.com"},
                     {8, "\u2066\u20681 Main St\u2069\u2069, Halifax, NS, B3H, CA"}};
        QTest::newRow("closing marks of nothing opened here")
            << Overrides{{"customer.fname", "\u202CAnn\u2069"}} << Lines{{7, "Ann Ames"}};
        QTest::newRow("an embedding cannot be closed across an isolate")
            << Overrides{{"customer.city", "\u202Ea\u2067b\u202Cc"}}
            << Lines{{8, "1 Main St, \u202Ea\u2067bc\u2069\u202C, NS, B3H, CA"}};
        QTest::newRow("balanced marks stay as they are")
            << Overrides{{"customer.city", "\u202BRue\u202C \u2067a\u202Eb\u2069c"}}
            << Lines{{8, "1 Main St, \u202BRue\u202C \u2067a\u202Eb\u2069c, NS, B3H, CA"}};
    }
    void theDocumentLineByLine() {
        QFETCH(Overrides, overrides);
        QFETCH(Lines, lines);
        invoicetext::Rows rows = baseRows();
        for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
            table(rows, it.key().section(u'.', 0, 0))[it.key().section(u'.', 1)] = it.value();
        QStringList expected = baseLines();
        for (auto it = lines.cbegin(); it != lines.cend(); ++it)
            expected[it.key() - 1] = it.value();
        const QString text = invoicetext::composeInvoiceText(rows);
        QVERIFY(text.endsWith(QStringLiteral("\r\n")));
        QCOMPARE(text.chopped(2).split(QStringLiteral("\r\n")),
                 expected.join(QStringLiteral("\r\n")).split(QStringLiteral("\r\n")));
    }

    void plainNumbersUseTheLocalesDecimalSeparator_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<qlonglong>("units");
        QTest::addColumn<QString>("plain");
        QTest::newRow("whole") << "en_US" << 1000000LL << "100";
        QTest::newRow("trailing zeros dropped") << "en_US" << 1235000LL << "123.5";
        QTest::newRow("all four decimals") << "en_US" << 12345678LL << "1234.5678";
        QTest::newRow("negative") << "en_US" << -500000LL << "-50";
        QTest::newRow("decimal comma, no grouping") << "de_DE" << 12345000LL << "1234,5";
    }
    void plainNumbersUseTheLocalesDecimalSeparator() {
        QFETCH(QString, locale);
        QFETCH(qlonglong, units);
        QFETCH(QString, plain);
        formats::setLocaleName(locale);
        QCOMPARE(invoicetext::plainNumber(Money::fromUnits(units)), plain);
        pinEnglishUs();
    }

    // --- The two buttons of the Invoices tab --------------------------------------

    // Each row: what is missing, the button, and the box that says so (none:
    // nothing happens at all).
    void nothingIsShownWithoutItsRows_data() {
        QTest::addColumn<QString>("missing");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("message");
        QTest::newRow("no invoice selected") << "selection"
                                             << "cmdiInvoiceEmail"
                                             << "";
        QTest::newRow("no invoice selected, print") << "selection"
                                                    << "cmdiPrintInvoice"
                                                    << "";
        QTest::newRow("no options") << "DELETE FROM tblbusoptions"
                                    << "cmdiInvoiceEmail"
                                    << "Please set the options using the OPTIONS MENU before "
                                       "generating an invoice.";
        QTest::newRow("no customer") << "DELETE FROM tblcustomer"
                                     << "cmdiInvoiceEmail"
                                     << "Error reading invoice record.  Please retry.";
        QTest::newRow("no invoice") << "DELETE FROM tblinvoice"
                                    << "cmdiInvoiceEmail"
                                    << "Error reading invoice record.  Please retry.";
        QTest::newRow("no project") << "DELETE FROM tblservices"
                                    << "cmdiInvoiceEmail"
                                    << "Error fetching project services record.  Please retry.";
    }
    void nothingIsShownWithoutItsRows() {
        QFETCH(QString, missing);
        QFETCH(QString, button);
        QFETCH(QString, message);
        MainWindowHarness h;
        addOptions(h);
        if (missing == u"selection") {
            h.addCustomer(1, QStringLiteral("Ames"));
            h.addInvoice(1, 1, 1000000, 0, 0);
            QVERIFY(h.start());
            QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
            clickTab(h, 2);
        } else {
            QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
            h.program.sql(missing);
            h.prompt.expectMessage(message, QStringLiteral("Data Error"));
        }
        const WhenShown preview(QStringLiteral("frmInvoice"), [](QWidget*) {});
        click(h.get<QPushButton>(qPrintable(button)));
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(preview.times(), 0);
    }

    void printInvoiceAsksFirstAndNoOpensNothing() {
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
        const WhenShown preview(QStringLiteral("frmInvoice"), [](QWidget* window) {
            click(child<QPushButton>(window, "cmdCancel"));
        });
        for (const Prompt::Answer answer : {Prompt::No, Prompt::Yes}) {
            h.prompt.expectMessage(QStringLiteral("Print a copy of the current invoice?"),
                                   QStringLiteral("Print"), answer, Prompt::Buttons::YesNo,
                                   Prompt::Icon::Question);
            click(h.get<QPushButton>("cmdiPrintInvoice"));
            QCOMPARE(preview.times(), answer == Prompt::Yes ? 1 : 0);
        }
        QVERIFY(h.prompt.verifyAllShown());
    }
};

QTEST_MAIN(InvoiceDocumentTest)
#include "test_invoicedocument.moc"
