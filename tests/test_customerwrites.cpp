// What a customer Save and Delete write: never over what another copy of
// the program changed meanwhile, never a box the user did not touch, and
// never more characters than a box's limit.
#include "customerediting.h"

#include <QClipboard>
#include <QGuiApplication>

using namespace quillory;
using namespace quillory::test;

namespace {

// Sends one key event per character, as a keyboard or an input method does:
// a character outside the BMP arrives whole, as two UTF-16 units.
void typeCharacters(QWidget* box, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype width = text.at(i).isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text.mid(i, width), Qt::NoModifier);
        i += width - 1;
    }
}

} // namespace

class CustomerWritesTest : public QObject {
    Q_OBJECT

private slots:
    // Each test runs on a database file and on a server database.
    void initTestCase_data() { addStoreRows(); }
    void init() { FETCH_STORE(); }

    // Limits count characters: typing stops at the limit, and a character
    // is never split in two.
    void typingStopsAtTheLimitWithoutSplittingACharacter_data() {
        const QString emoji = QString::fromUtf8("\U0001F600");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("stored");
        QTest::newRow("51 letters") << QString(51, u'a') << false << QString(50, u'a');
        QTest::newRow("49 letters and an emoji")
            << QString(49, u'a') + emoji << false << QString(49, u'a') + emoji;
        QTest::newRow("50 letters and an emoji")
            << QString(50, u'a') + emoji << false << QString(50, u'a');
        QTest::newRow("50 emoji and a letter")
            << emoji.repeated(50) + u'b' << false << emoji.repeated(50);
        QTest::newRow("60 letters pasted") << QString(60, u'c') << true << QString(50, u'c');
        QTest::newRow("49 letters and an emoji pasted")
            << QString(49, u'c') + emoji + u'c' << true << QString(49, u'c') + emoji;
    }
    void typingStopsAtTheLimitWithoutSplittingACharacter() {
        QFETCH(QString, typed);
        QFETCH(bool, pasted);
        QFETCH(QString, stored);
        MainWindowHarness h;
        QVERIFY(h.start());
        click(h, "cmdCustNew");
        typeRequired(h);
        auto* first = h.get<QLineEdit>("txtCustFirst");
        first->clear();
        if (pasted) {
            QGuiApplication::clipboard()->setText(typed);
            QTest::keyClick(first, Qt::Key_V, Qt::ControlModifier);
        } else {
            typeCharacters(first, typed);
        }
        QCOMPARE(first->text(), stored);
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT fname FROM tblcustomer")).toString(),
                 stored);
    }

    // Two copies of the program on one file: a Save writes only what its user
    // changed, and only over what its view showed.
    void aSaveNeverWritesOverAnotherCopysChange_data() {
        QTest::addColumn<QStringList>("otherCopy");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("stored"); // street/phone/lname afterwards
        QTest::newRow("the other changed the street")
            << QStringList{"UPDATE tblcustomer SET street='9 Elm' WHERE id=1"} << QString()
            << "9 Elm/555/Ames";
        QTest::newRow("both changed the phone")
            << QStringList{"UPDATE tblcustomer SET phone='111' WHERE id=1"} << kChanged
            << "1 Main St/111/Ames";
        QTest::newRow("the other renamed the customer")
            << QStringList{"UPDATE tblcustomer SET lname='Bell' WHERE id=1"} << kChanged
            << "1 Main St/NA/Bell";
        QTest::newRow("the other put a new customer under the id")
            << QStringList{"DELETE FROM tblcustomer WHERE id=1",
                           "INSERT INTO tblcustomer (id,fname,lname,street,phone) "
                           "VALUES (1,'Cy','Cole','2 Oak','222')"}
            << kChanged << "2 Oak/222/Cole";
        QTest::newRow("the other deleted the customer")
            << QStringList{"DELETE FROM tblcustomer WHERE id=1"} << kNotFound << "";
    }
    void aSaveNeverWritesOverAnotherCopysChange() {
        QFETCH(QStringList, otherCopy);
        QFETCH(QString, message);
        QFETCH(QString, stored);
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        click(h, "cmdCustEdit");
        type(h.get<QWidget>("txtCustPhone"), QStringLiteral("555"));
        for (const QString& statement : otherCopy)
            h.program.sql(statement);
        if (!message.isEmpty())
            h.prompt.expectMessage(message, kDataError);
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(inEditState(h), !message.isEmpty());
        if (!message.isEmpty())
            QCOMPARE(h.get<QLineEdit>("txtCustPhone")->text(), QStringLiteral("555"));
        QCOMPARE(h.program
                     .scalar(QStringLiteral("SELECT street||'/'||phone||'/'||lname FROM "
                                            "tblcustomer WHERE id=1"))
                     .toString(),
                 stored);
    }

    // Boxes the user did not touch are not written: a stored street longer
    // than the box's limit, LF line breaks and no-break spaces stay as they
    // are. A box the view left empty that Save fills with its default counts
    // as changed.
    void anEditWritesOnlyTheBoxesTheUserChanged() {
        MainWindowHarness h;
        const QString street = QStringLiteral("1234567890").repeated(8);
        const QString notes = QStringLiteral("line 1\nline 2");
        const QString memo = QString::fromUtf8("Net\u00a030 days");
        h.program.sql(QStringLiteral("INSERT INTO tblcustomer (id,fname,lname,street,city,prov,"
                                     "country,pcode,email1,email2,phone,cellphone,othercontact,"
                                     "notes) VALUES (1,'Ann','Ames',?,'Halifax','NS','CA','B3H',"
                                     "'a@example.com','NA','NA',NULL,?,?)"),
                      {street, notes, memo});
        QVERIFY(h.start());
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        auto* streetBox = h.get<QLineEdit>("txtCustStreet");
        QCOMPARE(streetBox->text(), street);
        click(h, "cmdCustEdit");
        // A longer stored value may be shortened but not lengthened.
        streetBox->setFocus();
        QTest::keyClick(streetBox, Qt::Key_End);
        QTest::keyClicks(streetBox, QStringLiteral("x"));
        QCOMPARE(streetBox->text(), street);
        type(h.get<QWidget>("txtCustCity"), QStringLiteral("Truro"));
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT street FROM tblcustomer")).toString(),
                 street);
        QCOMPARE(
            h.program.scalar(QStringLiteral("SELECT othercontact FROM tblcustomer")).toString(),
            notes);
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT notes FROM tblcustomer")).toString(),
                 memo);
        QCOMPARE(h.program.scalar(QStringLiteral("SELECT city||'/'||cellphone FROM tblcustomer"))
                     .toString(),
                 QStringLiteral("Truro/NA"));
    }

    // Delete takes the customer only as it was shown: another copy's change
    // while the questions are up stops it whole. After New it deletes the
    // customer still selected; after a Save emptied the boxes, the customer
    // as it stood when Delete was pressed.
    void aDeleteTakesOnlyWhatWasShown_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("meanwhile");
        const QStringList edit{"cmdCustEdit"}, added{"cmdCustNew"};
        QTest::newRow("nothing changed") << edit << "";
        QTest::newRow("renamed") << edit << "UPDATE tblcustomer SET fname='Bo'";
        QTest::newRow("paid $100") << edit << "UPDATE tblinvoice SET amountpaid=1000000";
        QTest::newRow("an invoice added") << edit
                                          << "INSERT INTO tblinvoice (id,customerid) "
                                             "VALUES (5,1)";
        QTest::newRow("a rate changed") << edit << "UPDATE tblservices SET billingrate=99";
        QTest::newRow("after New") << added << "";
        QTest::newRow("after New, paid") << added << "UPDATE tblinvoice SET amountpaid=1";
        QTest::newRow("after Save and New, paid")
            << QStringList{"cmdCustEdit", "cmdCustSave", "cmdCustNew"}
            << "UPDATE tblinvoice SET amountpaid=1";
    }
    void aDeleteTakesOnlyWhatWasShown() {
        QFETCH(QStringList, steps);
        QFETCH(QString, meanwhile);
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        h.addInvoice(1, 1, 1000000, 0, 0);
        QVERIFY(h.start() && h.selectCustomer(QStringLiteral("Ames-1")));
        for (const QString& step : steps)
            click(h, qPrintable(step));
        expectDeleteQuestions(h);
        if (!meanwhile.isEmpty()) // while the last question is up
            h.prompt.whileShown([&] { h.program.sql(meanwhile); });
        if (meanwhile.isEmpty())
            h.prompt.expectMessageTitled(QStringLiteral("Notice"));
        else
            h.prompt.expectMessage(kChanged, kDataError);
        click(h, "cmdCustDelete");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblcustomer")) + h.count(QStringLiteral("tblservices")),
                 meanwhile.isEmpty() ? 0 : 2);
        QCOMPARE(inEditState(h), !meanwhile.isEmpty());
    }
};

QTEST_MAIN(CustomerWritesTest)
#include "test_customerwrites.moc"
