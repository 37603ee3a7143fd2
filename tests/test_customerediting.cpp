// Adding, changing and deleting customers through the main window's buttons.
#include "customerediting.h"

#include <QLabel>
#include <QTabWidget>

using namespace quillory;
using namespace quillory::test;

namespace {

// The controls of the customer group that are usable: buttons, list and tabs
// enabled, Delete shown, boxes open for typing.
QString usableControls(MainWindowHarness& h) {
    QStringList usable;
    const std::pair<const char*, const char*> enabled[] = {
        {"cmdCustNew", "New"},   {"cmdCustEdit", "Edit"}, {"cmdCustCancel", "Cancel"},
        {"cmdCustSave", "Save"}, {"lstCustomer", "list"}, {"cmdCustRefresh", "refresh"}};
    for (const auto& [name, shortName] : enabled)
        if (h.get<QWidget>(name)->isEnabled())
            usable.append(QString::fromLatin1(shortName));
    if (h.get<QWidget>("cmdCustDelete")->isVisible())
        usable.append(QStringLiteral("Delete"));
    for (int tab = 0; tab < 3; ++tab)
        if (h.get<QTabWidget>("tabMain")->isTabEnabled(tab))
            usable.append(QStringLiteral("tab%1").arg(tab));
    const std::pair<const char*, const char*> writable[] = {
        {"txtCustId", "id"}, {"txtCustFirst", "first"}, {"txtCustCell", "cell"}};
    for (const auto& [name, shortName] : writable)
        if (!h.get<QLineEdit>(name)->isReadOnly())
            usable.append(QString::fromLatin1(shortName));
    if (!h.get<QPlainTextEdit>("txtCustMemo")->isReadOnly())
        usable.append(QStringLiteral("memo"));
    return usable.join(u' ');
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

    // One more than the largest id, which is not one more than the count.
    void aNewIdIsOneMoreThanTheLargest_data() {
        QTest::addColumn<QList<int>>("ids");
        QTest::addColumn<int>("next");
        QTest::newRow("empty table") << QList<int>{} << 1;
        QTest::newRow("a gap below the largest") << QList<int>{1, 2, 5} << 6;
        QTest::newRow("only a high id") << QList<int>{41} << 42;
        QTest::newRow("ids out of order") << QList<int>{9, 3, 4} << 10;
    }
    void aNewIdIsOneMoreThanTheLargest() {
        QFETCH(QList<int>, ids);
        QFETCH(int, next);
        MainWindowHarness h;
        for (const int id : ids)
            h.addCustomer(id, QStringLiteral("C%1").arg(id));
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        typeRequired(h, QStringLiteral("Newest"));
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT id FROM tblcustomer WHERE lname='Newest'"))
                     .toInt(),
                 next);
    }

    void aFailedInsertIsReportedAndKeepsWhatWasTyped() {
        MainWindowHarness h;
        h.program.refuseWrites(QStringLiteral("refuse"), QStringLiteral("BEFORE INSERT"),
                               QStringLiteral("tblcustomer"));
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

    // After a Save or a Cancel has emptied the boxes, clicking the customer
    // shows it again; Edit never opens on empty boxes nor saves a copy.
    void afterASaveOrCancelClickingTheCustomerShowsItAgain_data() {
        QTest::addColumn<QString>("finish");
        QTest::newRow("Save") << "cmdCustSave";
        QTest::newRow("Cancel") << "cmdCustCancel";
    }
    void afterASaveOrCancelClickingTheCustomerShowsItAgain() {
        QFETCH(QString, finish);
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addCustomer(2, QStringLiteral("Bell"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        type(h.get<QWidget>("txtCustPhone"), QStringLiteral("555"));
        click(h, qPrintable(finish));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QString());

        h.prompt.expectMessage(kSelectFirst, kDataError);
        click(h, "cmdCustEdit");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!inEditState(h));

        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("Ames"));
        click(h, "cmdCustEdit");
        QVERIFY(inEditState(h));
        QCOMPARE(h.get<QLineEdit>("txtCustId")->text(), QStringLiteral("1"));
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblcustomer")), 2);
        QCOMPARE(
            h.program.scalar(QStringLiteral("SELECT phone FROM tblcustomer WHERE id=1")).toString(),
            finish == QStringLiteral("cmdCustSave") ? QStringLiteral("555") : QStringLiteral("NA"));
    }

    // The control states through New, Edit, Save and Cancel.
    void theControlStatesFollowNewEditSaveAndCancel_data() {
        const QString view = QStringLiteral("New Edit list refresh tab0 tab1 tab2");
        const QString edit = QStringLiteral("Cancel Save Delete tab0 first cell memo");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("usable");
        QTest::newRow("loaded") << QStringList{} << view;
        QTest::newRow("picked") << QStringList{"pick"} << view;
        QTest::newRow("New") << QStringList{"cmdCustNew"} << edit;
        QTest::newRow("New, Cancel") << QStringList{"cmdCustNew", "cmdCustCancel"} << view;
        QTest::newRow("New, typed, Save")
            << QStringList{"cmdCustNew", "type", "cmdCustSave"} << view;
        QTest::newRow("New, Save of empty boxes")
            << QStringList{"cmdCustNew", "refused Save"} << edit;
        QTest::newRow("Edit") << QStringList{"pick", "cmdCustEdit"} << edit;
        QTest::newRow("Edit, Save") << QStringList{"pick", "cmdCustEdit", "cmdCustSave"} << view;
        QTest::newRow("Edit, Cancel")
            << QStringList{"pick", "cmdCustEdit", "cmdCustCancel"} << view;
    }
    void theControlStatesFollowNewEditSaveAndCancel() {
        QFETCH(QStringList, steps);
        QFETCH(QString, usable);
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        for (const QString& step : steps) {
            if (step == QStringLiteral("pick")) {
                QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
            } else if (step == QStringLiteral("type")) {
                typeRequired(h);
            } else if (step == QStringLiteral("refused Save")) {
                h.prompt.expectMessage(kMissing, kDataError);
                click(h, "cmdCustSave");
            } else {
                click(h, qPrintable(step));
            }
        }
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(usableControls(h), usable);
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
        h.program.refuseWrites(QStringLiteral("keep_invoices"), QStringLiteral("BEFORE DELETE"),
                               QStringLiteral("tblinvoice"), QStringLiteral("invoices are locked"));
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
