// The main window as a user meets it: the login, the load sequence, the
// customer list and view, and the two control states.
#include "data/file/signature.h"
#include "mainwindowharness.h"
#include "widgets/boxes.h"
#include "widgets/fittinglabel.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>

using namespace quillory;
using test::header;
using test::MainWindowHarness;

namespace {

QStringList itemTexts(const QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out.append(list->item(i)->text());
    return out;
}

QStringList itemTexts(const QComboBox* combo) {
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out.append(combo->itemText(i));
    return out;
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    // --- Login -----------------------------------------------------------------

    void withoutAnOptionsRowNoLoginIsAsked() {
        MainWindowHarness h;
        QVERIFY(h.start());
        QVERIFY(h.window->isVisible());
        QVERIFY(h.prompt.verifyAllShown());
    }

    void loginSwitchedOffAsksNothing() {
        MainWindowHarness h;
        h.setLogin(0, QStringLiteral("boss"), QStringLiteral("pw"));
        QVERIFY(h.start());
        QVERIFY(h.prompt.verifyAllShown());
    }

    void aUserNameInTheWrongCaseEndsTheProgramWithoutAMessage() {
        MainWindowHarness h;
        h.setLogin(1, QStringLiteral("BOSS"), QStringLiteral("Secret"));
        h.expectLogin(QStringLiteral("boss"));
        QVERIFY(!h.start());
        QVERIFY(!h.window->isVisible());
        QVERIFY(h.prompt.verifyAllShown());
        // The window was unloaded, so the database is closed and marked.
        QCOMPARE(header(h.program.databasePath()), signature::kMarker);
    }

    void aWrongPasswordEndsTheProgram() {
        MainWindowHarness h;
        h.setLogin(1, QStringLiteral("BOSS"), QStringLiteral("Secret"));
        h.expectLogin(QStringLiteral("BOSS"), QStringLiteral("secret"));
        QVERIFY(!h.start());
        QVERIFY(h.prompt.verifyAllShown());
    }

    void theRightNameAndMaskedPasswordOpenTheWindow() {
        MainWindowHarness h;
        h.setLogin(1, QStringLiteral("BOSS"), QStringLiteral("Secret"));
        h.expectLogin(QStringLiteral("BOSS"), QStringLiteral("Secret"));
        QVERIFY(h.start());
        QVERIFY(h.window->isVisible());
        QVERIFY(h.prompt.verifyAllShown());
    }

    void aCancelledPromptNeverMatchesAMissingUserName() {
        MainWindowHarness h;
        h.program.sql(QStringLiteral("INSERT INTO tblbusoptions (uselogin) VALUES (1)"));
        h.prompt.expectInput(QStringLiteral("Enter username:"), QStringLiteral("Username:"),
                             std::nullopt);
        QVERIFY(!h.start());
        QVERIFY(h.prompt.verifyAllShown());
    }

    // Options that cannot be read have no answers to check a login against:
    // nobody gets in, and the reason is logged.
    void unreadableOptionsLetNobodyInAndAreLogged_data() {
        QTest::addColumn<QString>("damage");
        QTest::newRow("table missing") << "DROP TABLE tblbusoptions";
        QTest::newRow("column missing")
            << "ALTER TABLE tblbusoptions RENAME COLUMN uselogin TO uselogon";
    }
    void unreadableOptionsLetNobodyInAndAreLogged() {
        QFETCH(QString, damage);
        MainWindowHarness h;
        h.program.sql(damage);
        h.prompt.expectMessageTitled(QStringLiteral("ERROR"));
        QVERIFY(!h.start());
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!h.window->isVisible());
        QCOMPARE(header(h.program.databasePath()), signature::kMarker);
        const QByteArray log = test::readAll(h.program.file(QStringLiteral("ErrLog.err")));
        QCOMPARE(log.count("\r\n"), 1);
        QVERIFY2(log.contains("tblbusoptions") || log.contains("uselogin"), log.constData());
    }

    // --- The window after loading ------------------------------------------------

    void theLoadedWindowIsInItsViewState() {
        MainWindowHarness h;
        QVERIFY(h.start());
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Customer Information and Quillory"));
        QCOMPARE(h.get<QTabWidget>("tabMain")->currentIndex(), 0);
        auto* status = h.get<QComboBox>("cboStatus");
        QCOMPARE(itemTexts(status),
                 QStringList({"Active", "On Hold", "Pending", "Suspended", "Completed", "Other"}));
        QCOMPARE(status->currentText(), QStringLiteral("Select Status"));
        QCOMPARE(h.get<QLabel>("lblTotal")->text(), QStringLiteral("Total Owing: "));
        QCOMPARE(h.get<QLabel>("lblOpenDays")->text(), QStringLiteral("Days open: "));
        QVERIFY(h.get<QPushButton>("cmdCustDelete")->isHidden());
        QVERIFY(!h.get<QPushButton>("cmdCustSave")->isEnabled());
        QVERIFY(!h.get<QPushButton>("cmdCustCancel")->isEnabled());
        QVERIFY(h.get<QPushButton>("cmdCustNew")->isEnabled());
        QVERIFY(!h.get<QGroupBox>("fraProject")->isEnabled());
        QVERIFY(!h.get<QPushButton>("cmdpGenInvoice")->isEnabled());
        QVERIFY(h.get<QWidget>("fraiMoney")->isHidden());
        QVERIFY(h.get<QLineEdit>("txtCustFirst")->isReadOnly());
        QVERIFY(h.get<QLineEdit>("txtCustId")->isReadOnly());
    }

    void anEmptyCustomerTableLeavesTheListDisabledAndNewFocused() {
        MainWindowHarness h;
        QVERIFY(h.start());
        auto* list = h.get<QListWidget>("lstCustomer");
        QCOMPARE(list->count(), 0);
        QVERIFY(!list->isEnabled());
        QCOMPARE(h.window->focusWidget(), h.get<QWidget>("cmdCustNew"));
    }

    // --- Customer list and view --------------------------------------------------

    void theListShowsLastNameDashIdAndSelectsByTheLastDash() {
        MainWindowHarness h;
        h.addCustomer(12, QStringLiteral("Smith"));
        h.addCustomer(7, QStringLiteral("Smith-Jones"), QStringLiteral("Jo"));
        QVERIFY(h.start());
        auto* list = h.get<QListWidget>("lstCustomer");
        QCOMPARE(itemTexts(list), QStringList({"Smith-12", "Smith-Jones-7"}));
        QVERIFY(list->isEnabled());
        QVERIFY(list->selectedItems().isEmpty());
        QCOMPARE(h.window->focusWidget(), list);

        QVERIFY(h.selectCustomer(QStringLiteral("Smith-Jones-7")));
        QCOMPARE(h.get<QLineEdit>("txtCustId")->text(), QStringLiteral("7"));
        QCOMPARE(h.get<QLineEdit>("txtCustFirst")->text(), QStringLiteral("Jo"));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("Smith-Jones"));
        QCOMPARE(h.get<QPlainTextEdit>("txtCustMemo")->toPlainText(), QStringLiteral("NA"));
    }

    // Every click shows the customer, the highlighted one included, and every
    // entry reached with the arrow keys is shown in turn.
    void clickingOrArrowingToAnEntryAlwaysShowsIt() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addCustomer(2, QStringLiteral("Bell"));
        h.addCustomer(3, QStringLiteral("Cole"));
        QVERIFY(h.start());
        auto* list = h.get<QListWidget>("lstCustomer");
        auto* id = h.get<QLineEdit>("txtCustId");
        // The list has the focus; the first Down selects the first entry.
        QCOMPARE(h.window->focusWidget(), list);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(id->text(), QStringLiteral("1"));
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(id->text(), QStringLiteral("2"));
        QTest::keyClick(list, Qt::Key_Up);
        QCOMPARE(id->text(), QStringLiteral("1"));

        QVERIFY(h.selectCustomer(QStringLiteral("Cole-3")));
        QCOMPARE(id->text(), QStringLiteral("3"));
        // Something empties the boxes while the entry stays highlighted.
        h.window->ClearAllTextBoxes();
        QVERIFY(h.selectCustomer(QStringLiteral("Cole-3")));
        QCOMPARE(id->text(), QStringLiteral("3"));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("Cole"));
    }

    void aCustomerWithoutInvoicesShowsAnEmptyBalance() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addProject(1, 1, QStringLiteral("Deck"), QStringLiteral("Active"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        QCOMPARE(h.get<QLabel>("lblcTotals")->text(),
                 QStringLiteral("Account Balance: \r\nOpen Invoices: 0\r\nTotal Projects: 2"));
        auto* invoices = h.get<QListWidget>("lstInvoices");
        QCOMPARE(invoices->count(), 0);
        QVERIFY(!invoices->isEnabled());
    }

    void theBalanceCountsOpenAndClosedInvoices() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        // One open invoice among two closed ones, one of them closed with
        // 10.00 still owed: the balance counts all three, and the open count
        // is not the closed count.
        h.addInvoice(1, 1, 1000000, 1000000, 1);
        h.addInvoice(2, 1, 1000000, 300000, 0);
        h.addInvoice(4, 1, 500000, 400000, 1);
        h.addCustomer(2, QStringLiteral("Over"));
        h.addInvoice(3, 2, 1000000, 1200000, 1);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        QCOMPARE(
            h.get<QLabel>("lblcTotals")->text(),
            QStringLiteral("Account Balance: $80.00\r\nOpen Invoices: 1\r\nTotal Projects: 0"));
        QVERIFY(h.selectCustomer(QStringLiteral("Over-2")));
        QVERIFY(h.get<QLabel>("lblcTotals")
                    ->text()
                    .startsWith(QStringLiteral("Account Balance: ($20.00)\r\n")));
    }

    void projectsFillTheListAndTheFilterOffersEachStatusOnceThenAll() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addProject(1, 1, QStringLiteral("Deck"), QStringLiteral("Completed"));
        h.addProject(2, 1, QStringLiteral("Shed"), QStringLiteral("Active"));
        h.addCustomer(2, QStringLiteral("Bare"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        auto* projects = h.get<QListWidget>("lstProjects");
        auto* filter = h.get<QComboBox>("cboProjectFilter");
        QCOMPARE(itemTexts(projects),
                 QStringList({"Roof\tActive", "Deck\tCompleted", "Shed\tActive"}));
        QCOMPARE(itemTexts(filter), QStringList({"Active", "Completed", "ALL"}));
        QCOMPARE(filter->currentText(), QStringLiteral("Select Filter"));
        QVERIFY(projects->isEnabled());
        QVERIFY(filter->isEnabled());
        QVERIFY(projects->selectedItems().isEmpty());

        // A customer without projects right after one with them.
        QVERIFY(h.selectCustomer(QStringLiteral("Bare-2")));
        QCOMPARE(projects->count(), 0);
        QVERIFY(!projects->isEnabled());
        QVERIFY(!filter->isEnabled());
        QCOMPARE(h.get<QComboBox>("cboStatus")->currentText(), QStringLiteral("Select Status"));
        QVERIFY(!h.get<QGroupBox>("fraProject")->isEnabled());
    }

    void invoicesAreListedNewestFirst() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addInvoice(3, 1, 10000, 0, 0);
        h.addInvoice(9, 1, 10000, 0, 0);
        h.addInvoice(5, 1, 10000, 0, 0);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        auto* invoices = h.get<QListWidget>("lstInvoices");
        QCOMPARE(itemTexts(invoices), QStringList({"9", "5", "3"}));
        QVERIFY(invoices->isEnabled());
        QVERIFY(!h.get<QGroupBox>("fraiPayment")->isEnabled());
    }

    void selectingACustomerRemovedMeanwhileOnlyEmptiesTheBoxes() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addCustomer(2, QStringLiteral("Gone"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        h.program.sql(QStringLiteral("DELETE FROM tblcustomer WHERE id=2"));
        QVERIFY(h.selectCustomer(QStringLiteral("Gone-2")));
        QCOMPARE(h.get<QLineEdit>("txtCustId")->text(), QString());
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QString());
        QCOMPARE(itemTexts(h.get<QListWidget>("lstProjects")), QStringList({"Roof\tActive"}));
        QVERIFY(h.prompt.verifyAllShown());
    }

    void refreshReloadsTheListAndEmptiesTheDetails() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addInvoice(1, 1, 10000, 0, 0);
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        h.addCustomer(2, QStringLiteral("Late"));
        h.get<QPushButton>("cmdCustRefresh")->click();
        QCOMPARE(itemTexts(h.get<QListWidget>("lstCustomer")), QStringList({"Ames-1", "Late-2"}));
        QVERIFY(h.get<QListWidget>("lstCustomer")->selectedItems().isEmpty());
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QString());
        QCOMPARE(h.get<QListWidget>("lstProjects")->count(), 0);
        QCOMPARE(h.get<QListWidget>("lstInvoices")->count(), 0);
        QCOMPARE(h.get<QComboBox>("cboProjectFilter")->count(), 0);
        QCOMPARE(h.get<QComboBox>("cboProjectFilter")->currentText(),
                 QStringLiteral("Select Filter"));
        QCOMPARE(h.get<QLabel>("lblcTotals")->text(), QString());
        QCOMPARE(h.get<QLabel>("lblTotal")->text(), QString());
    }

    // --- Control states ----------------------------------------------------------

    void theCustomerEditStateConfinesTheUserToTheCustomerTab() {
        MainWindowHarness h;
        QVERIFY(h.start());
        h.window->SetCustomerEditMode(false);
        auto* tabs = h.get<QTabWidget>("tabMain");
        QVERIFY(tabs->isTabEnabled(0));
        QVERIFY(!tabs->isTabEnabled(1));
        QVERIFY(!tabs->isTabEnabled(2));
        QVERIFY(h.get<QLineEdit>("txtCustId")->isReadOnly());
        QVERIFY(!h.get<QLineEdit>("txtCustFirst")->isReadOnly());
        QVERIFY(!h.get<QPlainTextEdit>("txtCustMemo")->isReadOnly());
        QVERIFY(!h.get<QPushButton>("cmdCustDelete")->isHidden());
        QVERIFY(h.get<QPushButton>("cmdCustSave")->isEnabled());
        QVERIFY(!h.get<QPushButton>("cmdCustNew")->isEnabled());
        QVERIFY(!h.get<QWidget>("lstCustomer")->isEnabled());
        QVERIFY(!h.get<QWidget>("cmdCustRefresh")->isEnabled());

        h.window->SetCustomerEditMode(true);
        QVERIFY(tabs->isTabEnabled(1));
        QVERIFY(h.get<QLineEdit>("txtCustFirst")->isReadOnly());
        QVERIFY(h.get<QPushButton>("cmdCustDelete")->isHidden());
    }

    void theProjectEditStateEnablesGenerateInvoiceAndLocksTheList() {
        MainWindowHarness h;
        QVERIFY(h.start());
        h.window->SetProjectEditMode(false);
        auto* tabs = h.get<QTabWidget>("tabMain");
        QVERIFY(!tabs->isTabEnabled(0));
        QVERIFY(tabs->isTabEnabled(1));
        QVERIFY(!tabs->isTabEnabled(2));
        QVERIFY(h.get<QPushButton>("cmdpGenInvoice")->isEnabled());
        QVERIFY(h.get<QPushButton>("cmdpSave")->isEnabled());
        QVERIFY(!h.get<QPushButton>("cmdpNew")->isEnabled());
        QVERIFY(h.get<QGroupBox>("fraProject")->isEnabled());
        QVERIFY(!h.get<QWidget>("lstCustomer")->isEnabled());
    }

    void clearingEmptiesEveryTextBoxButNotTheComboBoxes() {
        MainWindowHarness h;
        QVERIFY(h.start());
        h.get<QLineEdit>("txtiPayment")->setText(QStringLiteral("12"));
        h.get<QLineEdit>("txtiDue")->setText(QStringLiteral("$5.00"));
        h.get<QPlainTextEdit>("txtiPaymentDates")->setPlainText(QStringLiteral("NA"));
        h.get<QLineEdit>("txtpSummary")->setText(QStringLiteral("Roof"));
        h.window->ClearAllTextBoxes();
        QCOMPARE(h.get<QLineEdit>("txtiPayment")->text(), QString());
        QCOMPARE(h.get<QLineEdit>("txtiDue")->text(), QString());
        QCOMPARE(h.get<QPlainTextEdit>("txtiPaymentDates")->toPlainText(), QString());
        QCOMPARE(h.get<QLineEdit>("txtpSummary")->text(), QString());
        QCOMPARE(h.get<QComboBox>("cboStatus")->currentText(), QStringLiteral("Select Status"));
    }

    // --- Exit ----------------------------------------------------------------------

    void exitClosesTheWindowAndMarksTheDatabase() {
        MainWindowHarness h;
        QVERIFY(h.start());
        QCOMPARE(header(h.program.databasePath()), signature::kPlain);
        h.get<QAction>("mnuFileExit")->trigger();
        QVERIFY(!h.window->isVisible());
        QCOMPARE(header(h.program.databasePath()), signature::kMarker);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_mainwindow.moc"
