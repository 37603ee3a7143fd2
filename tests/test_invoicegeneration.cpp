// Generating the one invoice of a project through the window.
#include "projectsteps.h"

#include <QFile>

using namespace quillory;
using test::MainWindowHarness;
using test::ProjectSteps;

namespace {

const QString kNotice = QStringLiteral("Notice");
const QString kMustSave = QStringLiteral("You must save your project before creating an invoice.");
const QString kAlready = QStringLiteral("An invoice has already been generated for this project "
                                        "record.  You can only create one invoice per project.  "
                                        "Please either use Manual Invoice, or create a new "
                                        "project.");

QString invoiceRow(MainWindowHarness& h, int id) {
    return h.program
        .scalar(QStringLiteral("SELECT servicesid||'|'||customerid||'|'||amountdue||'|'||"
                               "amountpaid||'|'||paymentdates||'|'||DateCreated||'|'||Status "
                               "FROM tblinvoice WHERE id=?"),
                {id})
        .toString();
}

// Customer Ames-1 with the project "Roof", id 4, on hold, shown and in Edit.
void editRoof(MainWindowHarness& h, ProjectSteps& p, const QVariant& hours = 42.5,
              const QVariant& rate = 20.75) {
    h.addCustomer(1, QStringLiteral("Ames"));
    p.addProject(4, 1, QStringLiteral("Roof"), QStringLiteral("On Hold"), hours, rate);
    QVERIFY(h.start());
    QVERIFY(p.open(QStringLiteral("Ames-1"), QStringLiteral("Roof\tOn Hold")));
    p.press("cmdpEdit");
    QVERIFY(p.editing());
}

} // namespace

class InvoiceGenerationTest : public QObject {
    Q_OBJECT

private slots:
    // Each test runs on a database file and on a server database.
    void initTestCase_data() { test::addStoreRows(); }
    void init() { FETCH_STORE(); }

    // The invoice bills what is stored, never figures typed and not saved.
    void anUnsavedProjectIsNotInvoiced_data() {
        QTest::addColumn<bool>("isNew");
        QTest::newRow("new, not saved yet") << true;
        QTest::newRow("figures typed since") << false;
    }
    void anUnsavedProjectIsNotInvoiced() {
        QFETCH(bool, isNew);
        MainWindowHarness h;
        ProjectSteps p{h};
        editRoof(h, p);
        if (isNew) {
            p.press("cmdpNew");
            p.fill(QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("Deck"),
                   QStringLiteral("Active"));
        } else {
            p.type("txtpBillingHours", QStringLiteral("1,000"));
        }
        h.prompt.expectMessage(kMustSave, kNotice);
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(p.editing());
        QCOMPARE(p.text("txtpBillingHours"), isNew ? QStringLiteral("3") : QStringLiteral("1,000"));
        QCOMPARE(h.count(QStringLiteral("tblinvoice")), 0);
        QCOMPARE(p.project(QStringLiteral("invoicegenerated"), 4).toInt(), 0);
    }

    // Ids follow the largest invoice of any customer; the amount due is the
    // exact decimal product, and the figures box shows that very amount.
    void generatingBillsTheStoredFiguresOnce_data() {
        QTest::addColumn<QList<int>>("existing"); // other customers' invoice ids
        QTest::addColumn<double>("hours");
        QTest::addColumn<double>("rate");
        QTest::addColumn<QString>("shownHours");
        QTest::addColumn<QString>("shownRate");
        QTest::addColumn<QString>("total");
        QTest::addColumn<int>("id");
        QTest::addColumn<qint64>("units");
        QTest::newRow("first invoice") << QList<int>{} << 42.5 << 20.75 << "42.5"
                                       << "20.75"
                                       << "$881.88" << 1 << qint64(8818750);
        QTest::newRow("after 1 to 9")
            << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9} << 40.0 << 20.75 << "40"
            << "20.75"
            << "$830.00" << 10 << qint64(8300000);
        // Binary floating point would bill 3176.0951.
        QTest::newRow("largest, not count; exact product")
            << QList<int>{1, 7} << double(37.3f) << double(85.15f) << "37.3"
            << "85.15"
            << "$3,176.10" << 8 << qint64(31760950);
        // A double product bills 3999.5999 and 123449.9969: invoices that
        // paying the amount shown could never close.
        QTest::newRow("40 x 99.99") << QList<int>{} << 40.0 << double(99.99f) << "40"
                                    << "99.99"
                                    << "$3,999.60" << 1 << qint64(39996000);
        QTest::newRow("1000 x 123.45") << QList<int>{} << 1000.0 << double(123.45f) << "1000"
                                       << "123.45"
                                       << "$123,450.00" << 1 << qint64(1234500000);
    }
    void generatingBillsTheStoredFiguresOnce() {
        QFETCH(QList<int>, existing);
        QFETCH(double, hours);
        QFETCH(double, rate);
        QFETCH(QString, shownHours);
        QFETCH(QString, shownRate);
        QFETCH(QString, total);
        QFETCH(int, id);
        QFETCH(qint64, units);
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(2, QStringLiteral("Bell"));
        for (int other : existing)
            h.addInvoice(other, 2, 10000, 0, 1);
        editRoof(h, p, hours, rate);

        // Cancel at either question writes nothing.
        p.expectFigures(shownHours, shownRate, total, Prompt::Cancel);
        p.press("cmdpGenInvoice");
        p.expectFigures(shownHours, shownRate, total);
        p.expectInvoiceQuestion(Prompt::Cancel);
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblinvoice")), existing.size());
        QVERIFY(p.editing());

        p.expectFigures(shownHours, shownRate, total);
        p.expectInvoiceQuestion();
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(invoiceRow(h, id), QStringLiteral("4|1|%1|0|NA|2026-12-06 09:05:07|0").arg(units));
        QCOMPARE(p.project(QStringLiteral("status||invoicegenerated"), 4).toString(),
                 QStringLiteral("Completed1"));
        // The invoices tab shows the reloaded customer, the new invoice first.
        QVERIFY(!p.editing());
        QCOMPARE(h.get<QTabWidget>("tabMain")->currentIndex(), 2);
        auto* invoices = h.get<QListWidget>("lstInvoices");
        QCOMPARE(invoices->item(0)->text(), QString::number(id));
        QCOMPARE(h.window->focusWidget(), invoices);
        QCOMPARE(p.text("txtpID"), QString());
        QCOMPARE(p.text("txtCustLast"), QStringLiteral("Ames"));

        // A second time, the project is refused.
        p.showTab(1);
        QVERIFY(h.clickEntry("lstProjects", QStringLiteral("Roof\tCompleted")));
        p.press("cmdpEdit");
        h.prompt.expectMessage(kAlready, kNotice);
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblinvoice")), existing.size() + 1);
    }

    // What another copy of the program did between the view and the click.
    void anotherCopysChangeStopsTheGeneration_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<bool>("asksFirst");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("title");
        QTest::newRow("invoiced it")
            << "UPDATE tblservices SET invoicegenerated=1" << false << kAlready << kNotice;
        QTest::newRow("changed the rate")
            << "UPDATE tblservices SET billingrate=99" << true
            << "This project was changed by another user since it was shown. Select it again to "
               "see the change."
            << "Data Error";
        QTest::newRow("removed it") << "DELETE FROM tblservices" << false
                                    << "Project record not found.  Please cancel and re-open this "
                                       "record to try again."
                                    << "Data Error";
    }
    void anotherCopysChangeStopsTheGeneration() {
        QFETCH(QString, meanwhile);
        QFETCH(bool, asksFirst);
        QFETCH(QString, message);
        QFETCH(QString, title);
        MainWindowHarness h;
        ProjectSteps p{h};
        editRoof(h, p);
        h.program.sql(meanwhile);
        if (asksFirst) {
            p.expectFigures(QStringLiteral("42.5"), QStringLiteral("20.75"),
                            QStringLiteral("$881.88"));
            p.expectInvoiceQuestion();
        }
        h.prompt.expectMessage(message, title);
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(p.editing());
        QCOMPARE(h.count(QStringLiteral("tblinvoice")), 0);
        QCOMPARE(h.program
                     .scalar(QStringLiteral("SELECT count(*) FROM tblservices WHERE "
                                            "status='Completed'"))
                     .toInt(),
                 0);
    }

    // The mark and the invoice are one write: a failure leaves neither.
    void aFailedInvoiceInsertLeavesBothTablesAsTheyWere() {
        MainWindowHarness h;
        ProjectSteps p{h};
        h.program.refuseWrites(QStringLiteral("refuse"), QStringLiteral("BEFORE INSERT"),
                               QStringLiteral("tblinvoice"));
        editRoof(h, p);
        p.expectFigures(QStringLiteral("42.5"), QStringLiteral("20.75"), QStringLiteral("$881.88"));
        p.expectInvoiceQuestion();
        h.prompt.expectMessageTitled(QStringLiteral("Error deleting record"));
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblinvoice")), 0);
        QCOMPARE(p.project(QStringLiteral("status||invoicegenerated"), 4).toString(),
                 QStringLiteral("On Hold0"));
        QVERIFY(p.editing());
        QCOMPARE(p.text("txtpBillingHours"), QStringLiteral("42.5"));
        QVERIFY(QFile::exists(h.program.file(QStringLiteral("ErrLog.err"))));
    }

    // Apostrophes and quotes in a summary and a status go through the
    // filter, the view, Edit and Save, and generation.
    void apostrophesGoThroughEveryStep() {
        MainWindowHarness h;
        ProjectSteps p{h};
        const QString summary = QStringLiteral("O'Brien's \"deck\"");
        const QString status = QStringLiteral("Client's call");
        const QString entry = summary + u'\t' + status;
        h.addCustomer(1, QStringLiteral("O'Neil"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("O'Neil-1")));
        p.showTab(1);
        p.press("cmdpNew");
        p.fill(QStringLiteral("2"), QStringLiteral("3"), summary, status);
        p.expectFigures(QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("$6.00"));
        p.expectStatus(status);
        p.press("cmdpSave");

        p.showTab(0);
        QVERIFY(h.selectCustomer(QStringLiteral("O'Neil-1")));
        p.showTab(1);
        QVERIFY(p.pickFilter(status));
        QVERIFY(h.clickEntry("lstProjects", entry));
        QCOMPARE(p.text("txtpSummary"), summary);
        p.press("cmdpEdit");
        p.type("txtpNotes", QStringLiteral("It's done"));
        p.expectFigures(QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("$6.00"));
        p.expectStatus(status);
        p.press("cmdpSave");
        QCOMPARE(p.project(QStringLiteral("notes"), 0).toString(), QStringLiteral("It's done"));

        QVERIFY(h.clickEntry("lstProjects", entry));
        p.press("cmdpEdit");
        p.expectFigures(QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("$6.00"));
        p.expectInvoiceQuestion();
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(invoiceRow(h, 1), QStringLiteral("0|1|60000|0|NA|2026-12-06 09:05:07|0"));
        QCOMPARE(p.project(QStringLiteral("summary||status"), 0).toString(),
                 summary + QStringLiteral("Completed"));
    }
};

QTEST_MAIN(InvoiceGenerationTest)
#include "test_invoicegeneration.moc"
