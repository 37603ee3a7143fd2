// The projects tab as a user meets it: the filter, the project view, and New,
// Edit, Cancel and Save.
#include "projectsteps.h"

#include <QGroupBox>

using namespace quillory;
using test::MainWindowHarness;
using test::ProjectSteps;

namespace {

const QString kDataError = QStringLiteral("Data Error");
const QString kMissing = QStringLiteral("Please enter all details of this project.");

QStringList entries(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

// The hours and the rate in hundredths, as both stores write them as text.
#define HUNDREDTHS "CAST(billinghours*100 AS INTEGER)||'|'||CAST(billingrate*100 AS INTEGER)"

} // namespace

class ProjectsTest : public QObject {
    Q_OBJECT

private slots:
    // Each test runs on a database file and on a server database.
    void initTestCase_data() { test::addStoreRows(); }
    void init() { FETCH_STORE(); }

    // --- The filter and the project view ------------------------------------------

    void theFilterListsEachStatusWithoutRegardToCaseAndAllOfThem() {
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addCustomer(2, QStringLiteral("Bell"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addProject(1, 1, QStringLiteral("Deck"), QStringLiteral("On Hold"));
        h.addProject(2, 2, QStringLiteral("Other's"), QStringLiteral("Active"));
        h.addProject(3, 1, QStringLiteral("Shed"), QStringLiteral("ACTIVE"));
        h.addProject(4, 1, QStringLiteral("O'Brien's \"barn\""), QStringLiteral("Client's call"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        p.showTab(1);
        auto* list = h.get<QListWidget>("lstProjects");
        const QStringList all = entries(list);
        QCOMPARE(all.size(), 4);

        QVERIFY(p.pickFilter(QStringLiteral("Active")));
        QCOMPARE(entries(list), QStringList({"Roof\tActive", "Shed\tACTIVE"}));
        QVERIFY(p.pickFilter(QStringLiteral("Client's call")));
        QCOMPARE(entries(list), QStringList({"O'Brien's \"barn\"\tClient's call"}));
        QVERIFY(list->selectedItems().isEmpty());
        QVERIFY(p.pickFilter(QStringLiteral("ALL")));
        QCOMPARE(entries(list), all);

        // A status none of the projects holds any more leaves the list as it was.
        h.program.sql(QStringLiteral("UPDATE tblservices SET status='Active' WHERE id=4"));
        QVERIFY(p.pickFilter(QStringLiteral("Client's call")));
        QCOMPARE(entries(list), all);
        QVERIFY(h.prompt.verifyAllShown());
    }

    void theViewShowsTheStoredValuesAndEmptiesNullColumns() {
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(4, QStringLiteral("Ames"));
        // Listed first: a lookup that ignored letter case would show it for "Roof".
        h.addProject(6, 4, QStringLiteral("roof"), QStringLiteral("On Hold"));
        p.addProject(7, 4, QStringLiteral("Roof"), QStringLiteral("On Hold"), 42.5, 20.75);
        h.program.sql(QStringLiteral("UPDATE tblservices SET notes=?, "
                                     "DateCreated='2026-12-01 00:00:00' WHERE id=7"),
                      {QStringLiteral("line 1\nline 2")});
        h.program.sql(QStringLiteral("INSERT INTO tblservices (id,customerid,summary) "
                                     "VALUES (8,4,'Bare')"));
        h.program.sql(QStringLiteral("INSERT INTO tblservices (id,customerid,summary,billinghours,"
                                     "billingrate,DateCreated) VALUES (9,4,'Small',0.1,20,"
                                     "'2026-12-01 13:05:07')"));
        QVERIFY(h.start());
        QVERIFY(p.open(QStringLiteral("Ames-4"), QStringLiteral("Roof\tOn Hold")));
        const QStringList shown = {p.text("txtpID"),           p.text("txtpCustID"),
                                   p.text("txtpBillingHours"), p.text("txtpRate"),
                                   p.text("txtpSummary"),      p.text("txtpNotes"),
                                   p.text("txtpCreated"),      p.status()};
        QCOMPARE(shown, QStringList({"7", "4", "42.5", "20.75", "Roof", "line 1\nline 2",
                                     "12/1/2026", "On Hold"}));
        QVERIFY(!h.get<QGroupBox>("fraProject")->isEnabled());
        QVERIFY(!p.editing());

        // Every Null column empties its box rather than keep the last project's.
        QVERIFY(h.clickEntry("lstProjects", QStringLiteral("Bare\t")));
        for (const char* box : {"txtpBillingHours", "txtpRate", "txtpServices", "txtpDetails",
                                "txtpNotes", "txtpCreated"})
            QVERIFY2(p.text(box).isEmpty(), box);
        QCOMPARE(p.status(), QString());
        QCOMPARE(p.text("txtpID"), QStringLiteral("8"));

        // The keyboard moves show each project reached.
        QTest::keyClick(h.get<QListWidget>("lstProjects"), Qt::Key_Down);
        QCOMPARE(p.text("txtpBillingHours"), QStringLiteral("0.1"));
        QCOMPARE(p.text("txtpRate"), QStringLiteral("20"));
        QCOMPARE(p.text("txtpCreated"), QStringLiteral("12/1/2026 1:05:07 PM"));

        // A project removed meanwhile: the message, and the boxes as they were.
        h.program.sql(QStringLiteral("DELETE FROM tblservices WHERE id=7"));
        h.prompt.expectMessage(QStringLiteral("Project record not found."), kDataError);
        QVERIFY(h.clickEntry("lstProjects", QStringLiteral("Roof\tOn Hold")));
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(p.text("txtpID"), QStringLiteral("9"));
    }

    // --- Save ---------------------------------------------------------------------

    // Each row leaves one thing wrong; Save stops at the first check it fails,
    // with its message, the focus on its box, and nothing written.
    void saveChecksInOrder_data() {
        QTest::addColumn<QStringList>("values"); // hours, rate, summary, services, details, notes
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");
        const QString hours = QStringLiteral("Billing Hours must be a number like '42.5' or '40'.");
        const QString rate = QStringLiteral("Billing Rate must be a number like '20.75' or '20'.");
        const QString ok = QStringLiteral("Active");
        const auto row = [](QString h, QString r, QString s, QString v, QString d, QString n) {
            return QStringList{h, r, s, v, d, n};
        };
        // Everything empty: the hours come first.
        QTest::newRow("all empty")
            << row("", "", "", "", "", "") << "" << hours << "txtpBillingHours";
        QTest::newRow("hours of blanks")
            << row("   ", "20", "S", "x", "x", "x") << ok << hours << "txtpBillingHours";
        QTest::newRow("letter O in hours")
            << row("4O", "20", "S", "x", "x", "x") << ok << hours << "txtpBillingHours";
        QTest::newRow("hours beyond single precision")
            << row("1e39", "20", "S", "x", "x", "x") << ok << hours << "txtpBillingHours";
        // A total too large to hold is refused at the larger figure, as
        // that figure's mistake, not as a program fault.
        QTest::newRow("hours whose total overflows")
            << row("99999999999999", "20", "S", "x", "x", "x") << ok << hours << "txtpBillingHours";
        QTest::newRow("rate whose total overflows")
            << row("40", "3.4e38", "S", "x", "x", "x") << ok << rate << "txtpRate";
        QTest::newRow("rate") << row("40", "$", "", "", "", "") << "" << rate << "txtpRate";
        QTest::newRow("summary") << row("40", "20", "", "", "", "") << "" << kMissing
                                 << "txtpSummary";
        QTest::newRow("services") << row("40", "20", " ", "", "", "") << "" << kMissing
                                  << "txtpServices";
        QTest::newRow("details") << row("40", "20", " ", "x", "", "") << "" << kMissing
                                 << "txtpDetails";
        QTest::newRow("notes") << row("40", "20", " ", "x", "x", "") << "" << kMissing
                               << "txtpNotes";
        QTest::newRow("no status")
            << row("40", "20", " ", "x", "x", "x") << "" << kMissing << "cboStatus";
        QTest::newRow("the prompt is no status")
            << row("40", "20", " ", "x", "x", "x") << "Select Status" << kMissing << "cboStatus";
    }
    void saveChecksInOrder() {
        QFETCH(QStringList, values);
        QFETCH(QString, status);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        p.showTab(1);
        p.press("cmdpNew");
        QVERIFY(p.editing());
        QCOMPARE(p.text("txtpCustID"), QStringLiteral("1"));
        const char* boxes[] = {"txtpBillingHours", "txtpRate",    "txtpSummary",
                               "txtpServices",     "txtpDetails", "txtpNotes"};
        for (int i = 0; i < 6; ++i)
            p.type(boxes[i], values.at(i));
        p.typeStatus(status);
        h.prompt.expectMessage(message, kDataError);
        p.press("cmdpSave");
        QVERIFY(h.prompt.verifyAllShown());
        QWidget* expected = h.get<QWidget>(qPrintable(focus));
        QWidget* focused = h.window->focusWidget();
        QVERIFY(focused == expected || focused == expected->focusProxy());
        QVERIFY(p.editing());
        QCOMPARE(p.text("txtpBillingHours"), values.at(0));
        QCOMPARE(h.count(QStringLiteral("tblservices")), 0);
    }

    // The figures box shows what will be stored and billed: "1,000" hours are
    // a thousand, not one. Cancel and No write nothing; Yes writes the row.
    void saveConfirmsTheFiguresAndTheStatusThenAddsTheProject() {
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        p.showTab(1);
        p.press("cmdpNew");
        p.fill(QStringLiteral("1,000"), QStringLiteral("2.5"), QStringLiteral("  "),
               QStringLiteral("Pending"));
        p.expectFigures(QStringLiteral("1,000"), QStringLiteral("2.5"), QStringLiteral("$2,500.00"),
                        Prompt::Cancel);
        p.press("cmdpSave");
        p.expectFigures(QStringLiteral("1,000"), QStringLiteral("2.5"),
                        QStringLiteral("$2,500.00"));
        p.expectStatus(QStringLiteral("Pending"), Prompt::No);
        p.press("cmdpSave");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(p.editing());
        QCOMPARE(h.count(QStringLiteral("tblservices")), 0);

        p.expectFigures(QStringLiteral("1,000"), QStringLiteral("2.5"),
                        QStringLiteral("$2,500.00"));
        p.expectStatus(QStringLiteral("Pending"));
        p.press("cmdpSave");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!p.editing());
        QCOMPARE(p.text("txtpSummary"), QString());
        QCOMPARE(h.program
                     .scalar(QStringLiteral("SELECT id||'|'||customerid||'|'||" HUNDREDTHS
                                            "||'|'||summary||'|'||status||'|'||"
                                            "DateCreated||'|'||invoicegenerated FROM tblservices"))
                     .toString(),
                 QStringLiteral("0|1|100000|250|  |Pending|2026-12-06 09:05:07|0"));
    }

    // Summaries are unique per customer, letter for letter; another customer
    // may reuse one. Ids run over the whole table: the largest plus one.
    void newProjectsGetTheNextIdAndAUniqueSummary_data() {
        QTest::addColumn<int>("roof");          // id of customer 1's "Roof"; -1: none
        QTest::addColumn<QList<int>>("others"); // ids of customer 2's projects
        QTest::addColumn<QString>("summary");
        QTest::addColumn<int>("id"); // -1: refused as a duplicate
        QTest::newRow("first ever") << -1 << QList<int>{} << "Deck" << 0;
        QTest::newRow("after 0") << 0 << QList<int>{} << "Deck" << 1;
        QTest::newRow("after others' 0 to 7")
            << -1 << QList<int>{0, 1, 2, 3, 4, 5, 6, 7} << "Deck" << 8;
        QTest::newRow("largest, not count") << 0 << QList<int>{5} << "Deck" << 6;
        QTest::newRow("other letter case") << 0 << QList<int>{} << "roof" << 1;
        QTest::newRow("another customer's") << 0 << QList<int>{1} << "Porch" << 2;
        QTest::newRow("duplicate") << 0 << QList<int>{} << "Roof" << -1;
    }
    void newProjectsGetTheNextIdAndAUniqueSummary() {
        QFETCH(int, roof);
        QFETCH(QList<int>, others);
        QFETCH(QString, summary);
        QFETCH(int, id);
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addCustomer(2, QStringLiteral("Bell"));
        if (roof >= 0)
            h.addProject(roof, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        for (int other : others)
            h.addProject(other, 2, QStringLiteral("Porch %1").arg(other), QStringLiteral("Active"));
        if (!others.isEmpty())
            h.program.sql(QStringLiteral("UPDATE tblservices SET summary='Porch' WHERE id=?"),
                          {others.first()});
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        p.showTab(1);
        p.press("cmdpNew");
        p.fill(QStringLiteral("2"), QStringLiteral("3"), summary, QStringLiteral("Active"));
        p.expectFigures(QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("$6.00"));
        p.expectStatus(QStringLiteral("Active"));
        const int before = h.count(QStringLiteral("tblservices"));
        if (id < 0)
            h.prompt.expectMessage(QStringLiteral("Please adjust your Summary text.  It matches a "
                                                  "current entry in your database."),
                                   kDataError);
        p.press("cmdpSave");
        QVERIFY(h.prompt.verifyAllShown());
        if (id < 0) {
            QVERIFY(p.editing());
            QCOMPARE(h.window->focusWidget(), h.get<QWidget>("txtpSummary"));
            QCOMPARE(h.count(QStringLiteral("tblservices")), before);
            return;
        }
        QCOMPARE(p.project(QStringLiteral("summary||'/'||customerid"), id).toString(),
                 summary + QStringLiteral("/1"));
    }

    // --- Edit and Save ------------------------------------------------------------

    // Save writes the boxes the user changed and DateCreated, and only while
    // the columns it writes still hold what the view showed. Another copy of
    // the program changes the row between the view and the Save.
    void editingWritesOnlyWhatChangedAndNeverOverAnotherCopy_data() {
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QString>("message"); // empty: saved
        QTest::addColumn<QString>("stored");  // hours|rate (hundredths)|notes|status|DateCreated
        const QString changed = QStringLiteral("This project was changed by another user since "
                                               "it was shown. Select it again to see the change.");
        QTest::newRow("alone") << ""
                               << ""
                               << "4000|2075|a\nb|Active|2026-12-06 09:05:07";
        QTest::newRow("another column changed")
            << "UPDATE tblservices SET notes='theirs' WHERE id=3"
            << ""
            << "4000|2075|theirs|Active|2026-12-06 09:05:07";
        QTest::newRow("the changed column changed")
            << "UPDATE tblservices SET billinghours=41 WHERE id=3" << changed
            << "4100|2075|a\nb|On Hold|2026-12-01 10:00:00";
        QTest::newRow("removed") << "DELETE FROM tblservices WHERE id=3"
                                 << "Project record not found."
                                 << "";
    }
    void editingWritesOnlyWhatChangedAndNeverOverAnotherCopy() {
        QFETCH(QString, meanwhile);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        p.addProject(3, 1, QStringLiteral("Roof"), QStringLiteral("On Hold"), 42.5, 20.75, 1);
        // An LF line break the boxes would show as CR LF: untouched, it stays.
        h.program.sql(QStringLiteral("UPDATE tblservices SET notes=?"), {QStringLiteral("a\nb")});
        QVERIFY(h.start());
        QVERIFY(p.open(QStringLiteral("Ames-1"), QStringLiteral("Roof\tOn Hold")));
        p.press("cmdpEdit");
        QVERIFY(p.editing());
        QVERIFY(!h.get<QWidget>("txtpSummary")->isEnabled());
        p.type("txtpBillingHours", QStringLiteral("40"));
        p.typeStatus(QStringLiteral("Active"));
        if (!meanwhile.isEmpty())
            h.program.sql(meanwhile);
        p.expectFigures(QStringLiteral("40"), QStringLiteral("20.75"), QStringLiteral("$830.00"));
        p.expectStatus(QStringLiteral("Active"));
        if (!message.isEmpty())
            h.prompt.expectMessage(message, kDataError);
        p.press("cmdpSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(p.editing(), !message.isEmpty());
        QCOMPARE(p.text("txtpBillingHours"), message.isEmpty() ? QString() : QStringLiteral("40"));
        QCOMPARE(
            p.project(QStringLiteral(HUNDREDTHS "||'|'||notes||'|'||status||'|'||DateCreated"), 3)
                .toString(),
            stored);
        if (!stored.isEmpty())
            QCOMPARE(p.project(QStringLiteral("invoicegenerated"), 3).toInt(), 1);
    }

    // A write the database refuses is reported; the typed values and the
    // edit state stay, and nothing is written.
    void aFailedSaveIsReportedAndKeepsWhatWasTyped_data() {
        QTest::addColumn<bool>("isNew");
        QTest::newRow("insert") << true;
        QTest::newRow("update") << false;
    }
    void aFailedSaveIsReportedAndKeepsWhatWasTyped() {
        QFETCH(bool, isNew);
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.program.refuseWrites(QStringLiteral("refuse"),
                               isNew ? QStringLiteral("BEFORE INSERT")
                                     : QStringLiteral("BEFORE UPDATE"),
                               QStringLiteral("tblservices"));
        QVERIFY(h.start());
        QVERIFY(p.open(QStringLiteral("Ames-1"), QStringLiteral("Roof\tActive")));
        p.press(isNew ? "cmdpNew" : "cmdpEdit");
        p.fill(QStringLiteral("7"), QStringLiteral("3"), QStringLiteral("Deck"),
               QStringLiteral("Active"));
        p.expectFigures(QStringLiteral("7"), QStringLiteral("3"), QStringLiteral("$21.00"));
        p.expectStatus(QStringLiteral("Active"));
        h.prompt.expectMessageTitled(QStringLiteral("Error deleting record"));
        p.press("cmdpSave");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(p.editing());
        QCOMPARE(p.text("txtpBillingHours"), QStringLiteral("7"));
        QCOMPARE(h.count(QStringLiteral("tblservices")), 1);
        QCOMPARE(
            h.program.scalar(QStringLiteral("SELECT billinghours FROM tblservices")).toDouble(),
            1.5);
    }

    // While a project is entered or changed, the list and its filter cannot
    // pick another one over what was typed; afterwards both are as they were.
    void theListWaitsWhileAProjectIsEdited_data() {
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("button");
        QTest::newRow("New") << "Ames-1"
                             << "cmdpNew";
        QTest::newRow("Edit") << "Ames-1"
                              << "cmdpEdit";
        QTest::newRow("New, no projects") << "Bell-2"
                                          << "cmdpNew";
    }
    void theListWaitsWhileAProjectIsEdited() {
        QFETCH(QString, customer);
        QFETCH(QString, button);
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addCustomer(2, QStringLiteral("Bell"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addProject(1, 1, QStringLiteral("Porch"), QStringLiteral("Active"));
        QVERIFY(h.start() && h.selectCustomer(customer));
        p.showTab(1);
        h.clickEntry("lstProjects", QStringLiteral("Roof\tActive"));
        auto* list = h.get<QListWidget>("lstProjects");
        const bool hadProjects = list->isEnabled();
        p.press(qPrintable(button));
        p.type("txtpRate", QStringLiteral("99"));
        QVERIFY(!list->isEnabled() && !h.get<QWidget>("cboProjectFilter")->isEnabled());
        if (list->count() > 1) // a click on another project, as a user would try
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                              list->visualItemRect(list->item(1)).center());
        QCOMPARE(p.text("txtpRate"), QStringLiteral("99"));
        p.press("cmdpCancel");
        QCOMPARE(list->isEnabled(), hadProjects);
        QCOMPARE(h.get<QWidget>("cboProjectFilter")->isEnabled(), hadProjects);
    }

    // Clicking the highlighted project after a Cancel shows it again; Edit
    // with nothing shown does nothing.
    void editNeedsAShownProject() {
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        QVERIFY(h.start());
        QVERIFY(p.open(QStringLiteral("Ames-1"), QStringLiteral("Roof\tActive")));
        p.press("cmdpEdit");
        p.type("txtpRate", QStringLiteral("99"));
        p.press("cmdpCancel");
        QVERIFY(!p.editing());
        QCOMPARE(p.text("txtpID"), QString());
        p.press("cmdpEdit");
        QVERIFY(!p.editing());
        QVERIFY(h.clickEntry("lstProjects", QStringLiteral("Roof\tActive")));
        QCOMPARE(p.text("txtpRate"), QStringLiteral("40"));
        p.press("cmdpEdit");
        QVERIFY(p.editing());
        QCOMPARE(p.project(QStringLiteral("billingrate"), 0).toDouble(), 40.0);
    }
};

QTEST_MAIN(ProjectsTest)
#include "test_projects.moc"
