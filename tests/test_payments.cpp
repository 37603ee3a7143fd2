// Payments through the Invoices tab: Proceed, the amount, every question and
// refusal, what is written, and the customer view afterwards.
#include "invoice/invoicestore.h"
#include "invoiceharness.h"

#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>

using namespace quillory;
using namespace quillory::test;

namespace {

using Buttons = Prompt::Buttons;

const QString kNow = QStringLiteral("12/6/2026 9:05:07 AM"); // the fixed clock

// One box the payment is expected to show, and its answer.
struct Box {
    QString title;
    QString text;
    Buttons buttons = Buttons::YesNo;
    Prompt::Answer answer = Prompt::Yes;
    Prompt::Icon icon = Prompt::Icon::None;
};
using Boxes = QList<Box>;

Box closedQuestion() {
    return {"Confirm", "Apply a payment to this CLOSED invoice?"};
}
Box firstQuestion(const QString& typed, Prompt::Answer answer = Prompt::Yes) {
    return {"Confirm", "Apply the payment of: " + typed + " to this invoice?", Buttons::YesNo,
            answer};
}
Box lastQuestion(const QString& typed, const QString& after, Prompt::Answer answer = Prompt::Yes) {
    return {"Confirm",
            "Apply the payment of: $" + typed +
                " to this invoice?\r\n\r\nThis will make the "
                "invoice balance $" +
                after,
            Buttons::YesNo, answer};
}
Box printQuestion(Prompt::Answer answer = Prompt::No) {
    return {"Print", "Print a copy of the current invoice with payment applied?", Buttons::YesNo,
            answer, Prompt::Icon::Question};
}
Box tooLarge(const QString& owing) {
    return {"Data Error",
            "Payment is larger than what is owing.\r\nThere is $" + owing +
                " owing on this invoice.\r\n\r\nPlease enter an amount equal to, or smaller than "
                "the invoice balance.",
            Buttons::Ok, Prompt::Ok};
}
Box notNumeric() {
    return {"Data Error", "You must enter a numeric payment amount first. (Such as 45.72)",
            Buttons::Ok, Prompt::Ok};
}

void expect(MainWindowHarness& h, const Boxes& boxes) {
    for (const Box& b : boxes)
        h.prompt.expectMessage(b.text, b.title, b.answer, b.buttons, b.icon);
}

// Proceed, answered Yes, then the amount typed.
void typeAmount(MainWindowHarness& h, const QString& typed) {
    h.prompt.expectMessage(QStringLiteral("Proceed and apply a payment on this invoice?"),
                           QStringLiteral("Confirmation"), Prompt::Yes, Buttons::YesNo);
    click(h.get<QPushButton>("cmdiProceed"));
    QVERIFY(h.get<QWidget>("fraiMoney")->isVisible());
    QCOMPARE(h.window->focusWidget(), h.get<QWidget>("txtiPayment"));
    typeInto(h.get<QLineEdit>("txtiPayment"), typed);
}

// The amount typed and Apply Payment pressed, meeting these boxes.
void pay(MainWindowHarness& h, const QString& typed, const Boxes& boxes) {
    typeAmount(h, typed);
    expect(h, boxes);
    click(h.get<QPushButton>("cmdiPayment"));
}

QVariant column(MainWindowHarness& h, const char* name) {
    return h.program.scalar(QStringLiteral("SELECT ") + QString::fromLatin1(name) +
                            QStringLiteral(" FROM tblinvoice WHERE id=1"));
}

} // namespace

Q_DECLARE_METATYPE(Boxes)

class PaymentsTest : public QObject {
    Q_OBJECT

private slots:
    // Each test runs on a database file and on a server database.
    void initTestCase_data() { addStoreRows(); }
    void init() { FETCH_STORE(); }

    // Each row: the stored invoice (amounts in ten-thousandths), the typed
    // amount, the boxes it meets, and what is stored afterwards (a history
    // line only when the payment was applied).
    void aPaymentThroughTheWindow_data() {
        QTest::addColumn<qlonglong>("due");
        QTest::addColumn<qlonglong>("paid");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Boxes>("boxes");
        QTest::addColumn<qlonglong>("paidAfter");
        QTest::addColumn<int>("statusAfter");
        QTest::addColumn<QString>("line");

        QTest::newRow("45.72 of 100")
            << 1000000LL << 0LL << 0 << "45.72"
            << Boxes{firstQuestion("45.72"), lastQuestion("45.72", "54.28"), printQuestion()}
            << 457200LL << 0 << "($45.72)";
        QTest::newRow("54.28 closes exactly")
            << 1000000LL << 457200LL << 0 << "54.28"
            << Boxes{firstQuestion("54.28"), lastQuestion("54.28", "0"), printQuestion()}
            << 1000000LL << 1 << "($54.28)";
        QTest::newRow("54.29 is more than is owing")
            << 1000000LL << 457200LL << 0 << "54.29"
            << Boxes{firstQuestion("54.29"), tooLarge("54.28")} << 457200LL << 0 << "";
        QTest::newRow("0 on a closed invoice")
            << 1000000LL << 1000000LL << 1 << "0"
            << Boxes{closedQuestion(), firstQuestion("0"), lastQuestion("0", "0"), printQuestion()}
            << 1000000LL << 1 << "($0)";
        QTest::newRow("anything more on a closed invoice")
            << 1000000LL << 1000000LL << 1 << "0.01"
            << Boxes{closedQuestion(), firstQuestion("0.01"), tooLarge("0")} << 1000000LL << 1
            << "";
        QTest::newRow("-10 reopens") << 1000000LL << 1000000LL << 1 << "-10"
                                     << Boxes{closedQuestion(), firstQuestion("-10"),
                                              lastQuestion("-10", "10"), printQuestion()}
                                     << 900000LL << 0 << "($-10)";
        // The amount applied is the amount the text reads as, currency sign
        // and grouping included; the history shows the text as typed.
        QTest::newRow("$45 applies 45")
            << 1000000LL << 0LL << 0 << "$45"
            << Boxes{firstQuestion("$45"), lastQuestion("$45", "55"), printQuestion()} << 450000LL
            << 0 << "($$45)";
        QTest::newRow("1,000.00 applies 1000")
            << 15000000LL << 0LL << 0 << "1,000.00"
            << Boxes{firstQuestion("1,000.00"), lastQuestion("1,000.00", "500"), printQuestion()}
            << 10000000LL << 0 << "($1,000.00)";
        // An amount finer than a ten-thousandth is refused rather than
        // rounded, so that the history never shows more than was applied;
        // trailing zeros are no finer.
        QTest::newRow("0.00005 is refused")
            << 1000000LL << 0LL << 0 << "0.00005" << Boxes{notNumeric()} << 0LL << 0 << "";
        QTest::newRow("0.00004 is refused")
            << 1000000LL << 0LL << 0 << "0.00004" << Boxes{notNumeric()} << 0LL << 0 << "";
        QTest::newRow("33.33333 is refused")
            << 1000000LL << 0LL << 0 << "33.33333" << Boxes{notNumeric()} << 0LL << 0 << "";
        QTest::newRow("0.12340000 applies 0.1234")
            << 1000000LL << 0LL << 0 << "0.12340000"
            << Boxes{firstQuestion("0.12340000"), lastQuestion("0.12340000", "99.8766"),
                     printQuestion()}
            << 1234LL << 0 << "($0.12340000)";
        // Amounts beyond what an invoice can hold are refused before any
        // question, the CLOSED one included.
        QTest::newRow("1e300 on a closed invoice") << 1000000LL << 1000000LL << 1 << "1e300"
                                                   << Boxes{notNumeric()} << 1000000LL << 1 << "";
        QTest::newRow("-922337203685477 would owe too much")
            << 1000000LL << 0LL << 0 << "-922337203685477" << Boxes{notNumeric()} << 0LL << 0 << "";
        QTest::newRow("letters") << 1000000LL << 0LL << 0 << "abc" << Boxes{notNumeric()} << 0LL
                                 << 0 << "";
        QTest::newRow("empty") << 1000000LL << 0LL << 0 << "" << Boxes{notNumeric()} << 0LL << 0
                               << "";
        QTest::newRow("No to the first question")
            << 1000000LL << 0LL << 0 << "10" << Boxes{firstQuestion("10", Prompt::No)} << 0LL << 0
            << "";
        QTest::newRow("No to the last question")
            << 1000000LL << 0LL << 0 << "10"
            << Boxes{firstQuestion("10"), lastQuestion("10", "90", Prompt::No)} << 0LL << 0 << "";
        QTest::newRow("No to the CLOSED question")
            << 1000000LL << 1000000LL << 1 << "0"
            << Boxes{{"Confirm", "Apply a payment to this CLOSED invoice?", Buttons::YesNo,
                      Prompt::No}}
            << 1000000LL << 1 << "";
    }
    void aPaymentThroughTheWindow() {
        QFETCH(qlonglong, due);
        QFETCH(qlonglong, paid);
        QFETCH(int, status);
        QFETCH(QString, typed);
        QFETCH(Boxes, boxes);
        QFETCH(qlonglong, paidAfter);
        QFETCH(int, statusAfter);
        QFETCH(QString, line);
        MainWindowHarness h;
        QVERIFY(startWithInvoice(h, 1, due, paid, status));
        // The status box is no input: the stored status decides the CLOSED
        // question, whatever is typed over the box.
        typeInto(h.get<QLineEdit>("txtiStatus"), status == 1 ? "0" : "1");
        QCOMPARE(h.get<QLineEdit>("txtiStatus")->text(), QString::number(status));
        pay(h, typed, boxes);
        QVERIFY(h.prompt.verifyAllShown());

        QCOMPARE(column(h, "amountpaid").toLongLong(), paidAfter);
        QCOMPARE(column(h, "Status").toInt(), statusAfter);
        const bool applied = !line.isEmpty();
        QCOMPARE(column(h, "paymentdates").toString(),
                 applied ? QStringLiteral("NA\r\n") + kNow + line : QStringLiteral("NA"));
        // A payment applied ends with the customer view shown afresh; one
        // that stopped keeps the amount for another try.
        QCOMPARE(h.get<QWidget>("fraiMoney")->isVisible(), !applied);
        QCOMPARE(h.get<QLineEdit>("txtiPayment")->text(), applied ? QString() : typed);
        QCOMPARE(h.get<QGroupBox>("fraiPayment")->isEnabled(), !applied);
        QCOMPARE(h.get<QLineEdit>("txtiDue")->text().isEmpty(), applied);
    }

    // In binary floating point 0.1 + 0.2 is not 0.3: the third payment would
    // be refused as too large, or leave the invoice open.
    void anInvoicePaidInThreeStepsClosesExactlyAtZero() {
        MainWindowHarness h;
        QVERIFY(startWithInvoice(h, 1, 6000, 0, 0));
        pay(h, QStringLiteral("0.1"),
            {firstQuestion("0.1"), lastQuestion("0.1", "0.5"), printQuestion()});
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("1")));
        pay(h, QStringLiteral("0.2"),
            {firstQuestion("0.2"), lastQuestion("0.2", "0.3"), printQuestion()});
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("1")));
        QCOMPARE(h.get<QLabel>("lblTotal")->text(), QStringLiteral("Total Owing: $0.30"));
        pay(h, QStringLiteral("0.3"),
            {firstQuestion("0.3"), lastQuestion("0.3", "0"), printQuestion()});
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(column(h, "amountpaid").toLongLong(), 6000LL);
        QCOMPARE(column(h, "Status").toInt(), 1);
        QCOMPARE(column(h, "paymentdates").toString(),
                 "NA\r\n" + kNow + "($0.1)\r\n" + kNow + "($0.2)\r\n" + kNow + "($0.3)");
        QVERIFY(h.get<QLabel>("lblcTotals")->text().contains(QStringLiteral("Open Invoices: 0")));
    }

    void proceedAnsweredNoShowsNoAmount() {
        MainWindowHarness h;
        QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
        h.prompt.expectMessage(QStringLiteral("Proceed and apply a payment on this invoice?"),
                               QStringLiteral("Confirmation"), Prompt::No, Buttons::YesNo);
        click(h.get<QPushButton>("cmdiProceed"));
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!h.get<QWidget>("fraiMoney")->isVisible());
    }

    void yesToPrintShowsTheUpdatedInvoiceBeforeTheViewReloads() {
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
        QString document;
        const WhenShown preview(QStringLiteral("frmInvoice"), [&](QWidget* window) {
            document = child<QPlainTextEdit>(window, "rtfText")->toPlainText();
            click(child<QPushButton>(window, "cmdCancel"));
        });
        pay(h, QStringLiteral("45.72"),
            {firstQuestion("45.72"), lastQuestion("45.72", "54.28"), printQuestion(Prompt::Yes)});
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(preview.times(), 1);
        QVERIFY(document.contains("Payment History: NA\n" + kNow + "($45.72)\n"));
        QVERIFY(document.endsWith(QStringLiteral("CURRENT BALANCE: 54.28\n")));
        QVERIFY(!h.get<QWidget>("fraiMoney")->isVisible());
    }

    // There is never half a payment: the amount without its history line.
    void aFailedWriteIsReportedAndChangesNothing() {
        MainWindowHarness h;
        h.program.refuseWrites(QStringLiteral("refuse"),
                               QStringLiteral("AFTER UPDATE OF paymentdates"),
                               QStringLiteral("tblinvoice"));
        QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
        typeAmount(h, QStringLiteral("45.72"));
        expect(h, {firstQuestion("45.72"), lastQuestion("45.72", "54.28")});
        h.prompt.expectMessageTitled(QStringLiteral("Error deleting record"));
        click(h.get<QPushButton>("cmdiPayment"));
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(column(h, "amountpaid").toLongLong(), 0LL);
        QCOMPARE(column(h, "paymentdates").toString(), QStringLiteral("NA"));
        QVERIFY(h.get<QWidget>("fraiMoney")->isVisible());
        QCOMPARE(h.get<QLineEdit>("txtiPayment")->text(), QStringLiteral("45.72"));
        QVERIFY(QFile::exists(h.program.file(QStringLiteral("ErrLog.err"))));
    }

    // Another copy paid meanwhile: what it wrote stays, nothing is added.
    void aPaymentIsWrittenOnlyOverTheInvoiceAsRead() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addInvoice(1, 1, 1000000, 0, 0);
        QVERIFY(h.start());
        const std::optional<invoicestore::Row> read = invoicestore::invoiceRow(h.db, 1, 1);
        QVERIFY(read);
        h.program.sql(QStringLiteral("UPDATE tblinvoice SET amountpaid=100000,"
                                     "paymentdates='NA\r\nother copy'"));
        const invoicestore::Payment payment{Money::fromWhole(10).value(),
                                            QStringLiteral("NA\r\nmine"), 0};
        QCOMPARE(invoicestore::applyPayment(h.db, 1, *read, payment),
                 invoicestore::PaymentResult::ChangedMeanwhile);
        QCOMPARE(column(h, "amountpaid").toLongLong(), 100000LL);
        QCOMPARE(column(h, "paymentdates").toString(), QStringLiteral("NA\r\nother copy"));
        QVERIFY(h.prompt.verifyAllShown());
    }
};

QTEST_MAIN(PaymentsTest)
#include "test_payments.moc"
