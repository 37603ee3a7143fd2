// Adding, changing and deleting customers through the main window's buttons.
#include "mainwindowharness.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

using namespace quillory;
using test::MainWindowHarness;

namespace {

const QString kDataError = QStringLiteral("Data Error");
const QString kMissing = QStringLiteral("Please enter information about this customer.");

// The 13 editable customer boxes, in the order Save checks them.
const char* const kBoxes[] = {
    "txtCustFirst",   "txtCustLast",         "txtCustStreet", "txtCustCity",   "txtCustProv",
    "txtCustCountry", "txtCustPcode",        "txtCustEmail1", "txtCustEmail2", "txtCustPhone",
    "txtCustCell",    "txtCustContactNotes", "txtCustMemo"};

void type(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) {
        line->clear();
        QTest::keyClicks(line, text);
    } else {
        qobject_cast<QPlainTextEdit*>(box)->setPlainText(text);
    }
}

// Types the required boxes of a customer, leaving the optional ones empty.
void typeRequired(MainWindowHarness& h, const QString& last = QStringLiteral("Ames")) {
    type(h.get<QWidget>("txtCustFirst"), QStringLiteral("Ann"));
    type(h.get<QWidget>("txtCustLast"), last);
    type(h.get<QWidget>("txtCustStreet"), QStringLiteral("1 Main St"));
    type(h.get<QWidget>("txtCustCity"), QStringLiteral("Halifax"));
    type(h.get<QWidget>("txtCustProv"), QStringLiteral("NS"));
    type(h.get<QWidget>("txtCustPcode"), QStringLiteral("B3H 1A1"));
    type(h.get<QWidget>("txtCustEmail1"), QStringLiteral("ann@example.com"));
}

void click(MainWindowHarness& h, const char* button) {
    h.get<QPushButton>(button)->click();
}

// Answers the three delete questions: Yes, Yes, then `third`.
void expectDeleteQuestions(MainWindowHarness& h, Prompt::Answer third = Prompt::Yes) {
    h.prompt.expectMessage(QStringLiteral("Delete the selected customer?"),
                           QStringLiteral("Delete?"), Prompt::Yes, Prompt::Buttons::YesNo);
    h.prompt.expectMessage(QStringLiteral("This will delete all invoices and projects for "
                                          "this customer.  Proceed?"),
                           QStringLiteral("Confirm"), Prompt::Yes, Prompt::Buttons::YesNo);
    h.prompt.expectMessage(QStringLiteral("Confirm delete selected customer?"),
                           QStringLiteral("Confirm"), third, Prompt::Buttons::YesNo);
}

bool inEditState(MainWindowHarness& h) {
    return h.get<QPushButton>("cmdCustSave")->isEnabled() &&
           !h.get<QLineEdit>("txtCustFirst")->isReadOnly();
}

} // namespace

class CustomerEditingTest : public QObject {
    Q_OBJECT

private slots:
    // --- New and Save ----------------------------------------------------------

    void aNewCustomerWithOnlyRequiredBoxesGetsIdOneAndTheDefaults() {
        MainWindowHarness h;
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        QVERIFY(inEditState(h));
        QCOMPARE(h.window->focusWidget(), h.get<QWidget>("txtCustFirst"));
        QVERIFY(!h.get<QTabWidget>("tabMain")->isTabEnabled(1));
        typeRequired(h);
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!inEditState(h));
        QCOMPARE(h.get<QLineEdit>("txtCustFirst")->text(), QString());
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT id FROM tblcustomer")).toInt(), 1);
        QCOMPARE(h.program
                     .scalar(QStringLiteral("SELECT country||email2||phone||cellphone||"
                                            "othercontact||notes FROM tblcustomer"))
                     .toString(),
                 QStringLiteral("CANANANANANA"));
        // The list shows the new customer only after a refresh.
        QCOMPARE(h.get<QListWidget>("lstCustomer")->count(), 0);
        click(h, "cmdCustRefresh");
        QCOMPARE(h.get<QListWidget>("lstCustomer")->item(0)->text(), QStringLiteral("Ames-1"));
    }

    void saveChecksTheBoxesInOrderAndWritesDefaultsOnTheWay() {
        MainWindowHarness h;
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        // Each required box, left empty alone, stops the save with the same
        // message and the focus on that box.
        const int required[] = {0, 1, 2, 3, 4, 6, 7};
        for (int missing : required) {
            typeRequired(h);
            type(h.get<QWidget>(kBoxes[missing]), QString());
            h.prompt.expectMessage(kMissing, kDataError);
            click(h, "cmdCustSave");
            QVERIFY(h.prompt.verifyAllShown());
            QCOMPARE(h.window->focusWidget(), h.get<QWidget>(kBoxes[missing]));
            QVERIFY(inEditState(h));
        }
        QCOMPARE(h.count(QStringLiteral("tblcustomer")), 0);
    }

    void anEmptyPostalCodeStopsAfterTheCountryReceivedItsDefault() {
        MainWindowHarness h;
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        typeRequired(h);
        type(h.get<QWidget>("txtCustPcode"), QString());
        h.prompt.expectMessage(kMissing, kDataError);
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.get<QLineEdit>("txtCustCountry")->text(), QStringLiteral("CA"));
        // Defaults after the stopping box are not written yet.
        QCOMPARE(h.get<QLineEdit>("txtCustPhone")->text(), QString());
        QCOMPARE(h.get<QLineEdit>("txtCustFirst")->text(), QStringLiteral("Ann"));
    }

    void blanksPassAsTheyStand() {
        MainWindowHarness h;
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        typeRequired(h);
        type(h.get<QWidget>("txtCustCity"), QStringLiteral("  "));
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT city FROM tblcustomer")).toString(),
                 QStringLiteral("  "));
    }

    void apostrophesQuotesAndLinesInEveryBoxAreStoredUnchanged() {
        MainWindowHarness h;
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        for (const char* name : kBoxes)
            type(h.get<QWidget>(name), QStringLiteral("O'Brien's \"x\""));
        h.get<QPlainTextEdit>("txtCustMemo")->setPlainText(QStringLiteral("line 1\nit's line 2"));
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        const QStringList columns = {"fname",  "lname",   "street",    "city",
                                     "prov",   "country", "pcode",     "email1",
                                     "email2", "phone",   "cellphone", "othercontact"};
        for (const QString& column : columns)
            QCOMPARE(h.program
                         .scalar(QStringLiteral("SELECT ") + column +
                                 QStringLiteral(" FROM tblcustomer"))
                         .toString(),
                     QStringLiteral("O'Brien's \"x\""));
        // Lines of a multi-line box are kept with CR LF.
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT notes FROM tblcustomer")).toString(),
                 QStringLiteral("line 1\r\nit's line 2"));
        click(h, "cmdCustRefresh");
        QVERIFY(h.selectCustomer(QStringLiteral("O'Brien's \"x\"-1")));
        QCOMPARE(h.get<QPlainTextEdit>("txtCustMemo")->toPlainText(),
                 QStringLiteral("line 1\nit's line 2"));
    }

    void idsFollowTheLargestAndReuseADeletedLargest() {
        MainWindowHarness h;
        for (int id = 1; id <= 5; ++id)
            h.addCustomer(id, QStringLiteral("C%1").arg(id));
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        typeRequired(h, QStringLiteral("Sixth"));
        click(h, "cmdCustSave");
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT max(id) FROM tblcustomer")).toInt(), 6);
        h.program.sql(QStringLiteral("DELETE FROM tblcustomer WHERE id=6"));
        click(h, "cmdCustNew");
        typeRequired(h, QStringLiteral("Again"));
        click(h, "cmdCustSave");
        QCOMPARE(
            h.program.scalar(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=6")).toString(),
            QStringLiteral("Again"));
        QVERIFY(h.prompt.verifyAllShown());
    }

    void aFailedInsertIsReportedAndKeepsWhatWasTyped() {
        MainWindowHarness h;
        h.program.sql(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON tblcustomer "
                                     "BEGIN SELECT RAISE(ABORT, 'disk refused'); END"));
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        typeRequired(h, QStringLiteral("Kept"));
        h.prompt.expectMessageTitled(QStringLiteral("Error deleting record"));
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(inEditState(h));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("Kept"));
        QCOMPARE(h.get<QLineEdit>("txtCustPhone")->text(), QStringLiteral("NA"));
        QCOMPARE(h.count(QStringLiteral("tblcustomer")), 0);
        QVERIFY(QFile::exists(h.program.file(QStringLiteral("ErrLog.err"))));
    }

    // --- Edit and Save -----------------------------------------------------------

    void editWithoutASelectedCustomerAsksForOne() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        h.prompt.expectMessage(
            QStringLiteral("Please select a customer from the list before editing."), kDataError);
        click(h, "cmdCustEdit");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!inEditState(h));
    }

    void aChangedLastNameIsSavedButTheListKeepsTheOldEntryUntilRefresh() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        QVERIFY(inEditState(h));
        QCOMPARE(h.get<QLineEdit>("txtCustId")->text(), QStringLiteral("1"));
        type(h.get<QWidget>("txtCustLast"), QStringLiteral("O'Neil"));
        type(h.get<QWidget>("txtCustPhone"), QString());
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!inEditState(h));
        QCOMPARE(h.program
                     .scalar(QStringLiteral("SELECT lname||'/'||phone FROM tblcustomer "
                                            "WHERE id=1"))
                     .toString(),
                 QStringLiteral("O'Neil/NA"));
        QCOMPARE(h.count(QStringLiteral("tblcustomer")), 1);
        auto* list = h.get<QListWidget>("lstCustomer");
        QCOMPARE(list->item(0)->text(), QStringLiteral("Ames-1"));
        list->clearSelection();
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("O'Neil"));
    }

    void savingACustomerRemovedMeanwhileSaysNotFoundAndKeepsTheEdit() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        type(h.get<QWidget>("txtCustCity"), QStringLiteral("Truro"));
        h.program.sql(QStringLiteral("DELETE FROM tblcustomer"));
        h.prompt.expectMessage(QStringLiteral("Customer record not found."), kDataError);
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(inEditState(h));
        QCOMPARE(h.get<QLineEdit>("txtCustCity")->text(), QStringLiteral("Truro"));
    }

    // --- Cancel --------------------------------------------------------------------

    void cancelReloadsTheWindowAndWritesNothing() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        type(h.get<QWidget>("txtCustLast"), QStringLiteral("Changed"));
        h.get<QTabWidget>("tabMain")->setCurrentIndex(0);
        click(h, "cmdCustCancel");
        QVERIFY(!inEditState(h));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QString());
        QVERIFY(h.get<QListWidget>("lstCustomer")->selectedItems().isEmpty());
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT lname FROM tblcustomer")).toString(),
                 QStringLiteral("Ames"));
        QCOMPARE(h.get<QLabel>("lblTotal")->text(), QStringLiteral("Total Owing: "));
        QVERIFY(h.prompt.verifyAllShown());
    }

    void cancelAsksForTheLoginAgainAndAWrongAnswerClosesTheWindow() {
        MainWindowHarness h;
        h.setLogin(1, QStringLiteral("boss"), QStringLiteral("pw"));
        h.expectLogin(QStringLiteral("boss"), QStringLiteral("pw"));
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        h.expectLogin(QStringLiteral("intruder"));
        click(h, "cmdCustCancel");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!h.window->isVisible());
    }

    // --- Delete ----------------------------------------------------------------------

    void deletingAsksThreeTimesAndRemovesTheCustomerWithItsProjectsAndInvoices() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addInvoice(1, 1, 10000, 0, 0);
        h.addCustomer(2, QStringLiteral("Keep"));
        h.addProject(1, 2, QStringLiteral("Deck"), QStringLiteral("Active"));
        h.addInvoice(2, 2, 10000, 0, 0);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        QVERIFY(h.get<QPushButton>("cmdCustDelete")->isVisible());
        expectDeleteQuestions(h);
        h.prompt.expectMessage(
            QStringLiteral("Customer Records removed from database successfully."),
            QStringLiteral("Notice"));
        click(h, "cmdCustDelete");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblcustomer")), 1);
        QCOMPARE(h.program
                     .scalar(QStringLiteral("SELECT COUNT(*) FROM tblservices WHERE "
                                            "customerid=1"))
                     .toInt(),
                 0);
        QCOMPARE(h.program
                     .scalar(QStringLiteral("SELECT COUNT(*) FROM tblinvoice WHERE "
                                            "customerid=1"))
                     .toInt(),
                 0);
        QCOMPARE(h.count(QStringLiteral("tblservices")), 1);
        QCOMPARE(h.count(QStringLiteral("tblinvoice")), 1);
        QVERIFY(!inEditState(h));
        auto* list = h.get<QListWidget>("lstCustomer");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QStringLiteral("Keep-2"));
    }

    void aNoAtTheThirdQuestionDeletesNothing() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        expectDeleteQuestions(h, Prompt::No);
        click(h, "cmdCustDelete");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblcustomer")), 1);
        QVERIFY(inEditState(h));
    }

    void aFailedDeleteRemovesNothingAndKeepsTheEditState() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addInvoice(1, 1, 10000, 0, 0);
        // The last of the three deletions fails.
        h.program.sql(QStringLiteral("CREATE TRIGGER keep_invoices BEFORE DELETE ON tblinvoice "
                                     "BEGIN SELECT RAISE(ABORT, 'invoices are locked'); END"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        expectDeleteQuestions(h);
        h.prompt.expectMessageTitled(QStringLiteral("Error deleting record"));
        click(h, "cmdCustDelete");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblcustomer")), 1);
        QCOMPARE(h.count(QStringLiteral("tblservices")), 1);
        QCOMPARE(h.count(QStringLiteral("tblinvoice")), 1);
        QVERIFY(inEditState(h));
        QCOMPARE(h.get<QListWidget>("lstCustomer")->count(), 1);
    }

    void deletingTheLastCustomerLeavesAnEmptyDisabledList() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        expectDeleteQuestions(h);
        h.prompt.expectMessageTitled(QStringLiteral("Notice"));
        click(h, "cmdCustDelete");
        QVERIFY(h.prompt.verifyAllShown());
        auto* list = h.get<QListWidget>("lstCustomer");
        QCOMPARE(list->count(), 0);
        QVERIFY(!list->isEnabled());
    }
};

QTEST_MAIN(CustomerEditingTest)
#include "test_customerediting.moc"
