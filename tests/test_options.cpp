// The business options window: its load, the logo choice, the order of its
// checks, the one row it writes, and where what it saves shows next.
#include "formchecks.h"
#include "invoiceharness.h"
#include "widgets/boxes.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>

using namespace quillory;
using namespace quillory::test;

namespace {

const char* const kBusinessBoxes[] = {"txtBusName", "txtAddress", "txtURL",
                                      "txtSlogan",  "txtPhone",   "txtEmail"};
const QString kFilters = QStringLiteral("JPG (*.jpg);;GIF (*.gif);;JPEG (*.jpeg);;Bitmap (*.bmp)");
const QString kNoOptions = QStringLiteral("No options have been set.  Please enter your settings.");
const QString kIncomplete = QStringLiteral("Please complete all fields.");
const QString kNotice = QStringLiteral("NOTICE:\r\nUsername and password are not recoverable "
                                       "should you forget your login information.\r\nContinue "
                                       "saving and do use login?");

void typeText(QWidget* window, const char* name, const QString& text) {
    if (auto* plain = qobject_cast<QPlainTextEdit*>(child<QWidget>(window, name))) {
        plain->setFocus();
        plain->selectAll();
        QTest::keyClick(plain, Qt::Key_Delete);
        QTest::keyClicks(plain, text);
        return;
    }
    typeInto(child<QLineEdit>(window, name), text);
}

void fillBusiness(QWidget* window) {
    for (const char* name : kBusinessBoxes)
        typeText(window, name, QString::fromLatin1(name).mid(3));
}

// Opens the options window from the menu and runs `act` on it while it is
// on screen. Gives how often it was shown.
int openOptions(MainWindowHarness& h, const std::function<void(QWidget*)>& act) {
    const WhenShown options(QStringLiteral("frmOptions"), act);
    h.get<QAction>("mnuOptionsInfo")->trigger();
    return options.times();
}

QVariant stored(MainWindowHarness& h, const QString& column) {
    return h.program.scalar(QStringLiteral("SELECT ") + column +
                            QStringLiteral(" FROM tblbusoptions"));
}

} // namespace

class OptionsTest : public QObject {
    Q_OBJECT

private slots:
    // Each test runs on a database file and on a server database.
    void initTestCase_data() { addStoreRows(); }
    void init() { FETCH_STORE(); }

    void anEmptyTableSaysSoAndTheFirstSaveAddsTheOnlyRow() {
        MainWindowHarness h;
        QVERIFY(h.start());
        h.prompt.expectMessage(kNoOptions, QStringLiteral("Data Error"));
        QCOMPARE(openOptions(h,
                             [&h](QWidget* window) {
                                 QCOMPARE(window->windowTitle(),
                                          QStringLiteral("Configure Options"));
                                 QCOMPARE(window->pos(), h.window->pos());
                                 QCOMPARE(window->size(), QSize(448, 415));
                                 QVERIFY(!child<QCheckBox>(window, "chkLogin")->isChecked());
                                 QCOMPARE(child<QLineEdit>(window, "txtPassword")->echoMode(),
                                          QLineEdit::Password);
                                 QVERIFY(child<QLineEdit>(window, "txtLogo")->isReadOnly());
                                 fillBusiness(window);
                                 click(child<QPushButton>(window, "cmdSave"));
                                 QVERIFY(!window->isVisible());
                             }),
                 1);
        QCOMPARE(h.count(QStringLiteral("tblbusoptions")), 1);
        QCOMPARE(stored(h, QStringLiteral("image_path_logo")).toString(), QStringLiteral("NONE"));
        QCOMPARE(stored(h, QStringLiteral("uselogin")).toInt(), 0);
        QCOMPARE(stored(h, QStringLiteral("busname")).toString(), QStringLiteral("BusName"));

        // The next opening shows the row, and its save changes it in place.
        openOptions(h, [](QWidget* window) {
            QCOMPARE(child<QLineEdit>(window, "txtLogo")->text(), QStringLiteral("NONE"));
            QCOMPARE(child<QLineEdit>(window, "txtSlogan")->text(), QStringLiteral("Slogan"));
            typeText(window, "txtSlogan", QStringLiteral("Fixed fast"));
            click(child<QPushButton>(window, "cmdSave"));
        });
        QCOMPARE(h.count(QStringLiteral("tblbusoptions")), 1);
        QCOMPARE(stored(h, QStringLiteral("bus_slogan")).toString(), QStringLiteral("Fixed fast"));
        QVERIFY(h.prompt.verifyAllShown());
    }

    // At the window's font every caption fits its label, whole, and no
    // control crosses the border or the caption of its frame.
    void everyCaptionShowsWhole() {
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(h.start());
        openOptions(h, [](QWidget* window) {
            const QStringList faults = frameFaults(window);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
            for (const QLabel* label : window->findChildren<QLabel*>()) {
                const QRect needed = label->fontMetrics().boundingRect(
                    QRect(0, 0, label->width(), 1000),
                    label->wordWrap() ? int(Qt::TextWordWrap) : 0, label->text());
                QVERIFY2(needed.width() <= label->width() && needed.height() <= label->height(),
                         qPrintable(label->text()));
            }
        });
        QVERIFY(h.prompt.verifyAllShown());
    }

    // Each row: the login box and its two texts, the empty business box (or
    // none), the answer to the NOTICE question, the boxes shown in order, and
    // whether the row is then saved.
    void theChecksComeInTheirOrder_data() {
        QTest::addColumn<bool>("login");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("emptyBox");
        QTest::addColumn<int>("notice");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("saved");
        const QStringList none;
        QTest::newRow("login without a password")
            << true << ""
            << "" << 0 << QStringList{"You must enter a username and password."} << false;
        QTest::newRow("login, No to the notice")
            << true << "pw"
            << "" << int(Prompt::No) << QStringList{kNotice} << false;
        // The notice comes before the business boxes are looked at.
        QTest::newRow("login, Yes, then an empty business box")
            << true << "pw"
            << "txtEmail" << int(Prompt::Yes) << QStringList{kNotice, kIncomplete} << false;
        QTest::newRow("login, Yes") << true << "pw"
                                    << "" << int(Prompt::Yes) << QStringList{kNotice} << true;
        QTest::newRow("no login: nothing asked, empty user boxes pass") << false << ""
                                                                        << "" << 0 << none << true;
        for (const char* box : kBusinessBoxes)
            QTest::newRow(box) << false << "" << box << 0 << QStringList{kIncomplete} << false;
    }
    void theChecksComeInTheirOrder() {
        QFETCH(bool, login);
        QFETCH(QString, password);
        QFETCH(QString, emptyBox);
        QFETCH(int, notice);
        QFETCH(QStringList, boxes);
        QFETCH(bool, saved);
        MainWindowHarness h;
        QVERIFY(h.start());
        h.prompt.expectMessage(kNoOptions, QStringLiteral("Data Error"));
        for (const QString& text : boxes) {
            if (text == kNotice)
                h.prompt.expectMessage(text, QStringLiteral("Confirmation"), Prompt::Answer(notice),
                                       Prompt::Buttons::YesNo);
            else
                h.prompt.expectMessage(text, text == kIncomplete ? QStringLiteral("Data Error")
                                                                 : QStringLiteral("Quillory"));
        }
        openOptions(h, [&](QWidget* window) {
            if (login)
                click(child<QCheckBox>(window, "chkLogin"));
            typeText(window, "txtUsername", login ? QStringLiteral("boss") : QString());
            typeText(window, "txtPassword", password);
            fillBusiness(window);
            if (!emptyBox.isEmpty())
                typeText(window, qPrintable(emptyBox), QString());
            click(child<QPushButton>(window, "cmdSave"));
            QCOMPARE(window->isVisible(), !saved);
            if (!emptyBox.isEmpty())
                QCOMPARE(window->focusWidget(), child<QWidget>(window, qPrintable(emptyBox)));
        });
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblbusoptions")), saved ? 1 : 0);
        if (saved)
            QCOMPARE(stored(h, QStringLiteral("uselogin")).toInt(), login ? 1 : 0);
    }

    void theLogoIsChosenThroughTheFileDialog() {
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(h.start());
        const QString chosen = h.program.file(QStringLiteral("my logo.jpg"));
        h.prompt.expectOpenFile(QStringLiteral("Open"), kFilters, chosen);
        h.prompt.expectOpenFile(QStringLiteral("Open"), kFilters, std::nullopt);
        openOptions(h, [&chosen](QWidget* window) {
            auto* logo = child<QLineEdit>(window, "txtLogo");
            QCOMPARE(logo->text(), QStringLiteral("NONE"));
            click(child<QPushButton>(window, "cmdLogoImage"));
            QCOMPARE(logo->text(), chosen);
            // Cancelling the dialog leaves the path as it was.
            click(child<QPushButton>(window, "cmdLogoImage"));
            QCOMPARE(logo->text(), chosen);
            click(child<QPushButton>(window, "cmdSave"));
        });
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(stored(h, QStringLiteral("image_path_logo")).toString(), chosen);
    }

    void nullColumnsLeaveTheirBoxesEmpty() {
        MainWindowHarness h;
        h.program.sql(QStringLiteral("INSERT INTO tblbusoptions (uselogin,busname) "
                                     "VALUES (NULL,'Acme')"));
        QVERIFY(h.start());
        openOptions(h, [](QWidget* window) {
            QVERIFY(!child<QCheckBox>(window, "chkLogin")->isChecked());
            QCOMPARE(child<QLineEdit>(window, "txtBusName")->text(), QStringLiteral("Acme"));
            for (const char* name : {"txtUsername", "txtPassword", "txtURL", "txtLogo"})
                QVERIFY2(child<QLineEdit>(window, name)->text().isEmpty(), name);
            // The limits count characters, as on the main window.
            QCOMPARE(boxes::characterLimit(child<QLineEdit>(window, "txtBusName")), 50);
            QCOMPARE(boxes::characterLimit(child<QLineEdit>(window, "txtLogo")), 254);
            QVERIFY(child<QPlainTextEdit>(window, "txtAddress")->toPlainText().isEmpty());
            click(child<QPushButton>(window, "cmdCancel"));
        });
        QVERIFY(h.prompt.verifyAllShown());
    }

    // Only what the user changed is written: a stored LF stays an LF.
    void whatWasSavedHeadsTheNextInvoiceAndGuardsTheNextStart() {
        MainWindowHarness h;
        addOptions(h);
        h.program.sql(QStringLiteral("UPDATE tblbusoptions SET busaddress='1 Shop Rd\nHalifax'"));
        QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
        h.prompt.expectMessage(kNotice, QStringLiteral("Confirmation"), Prompt::Yes,
                               Prompt::Buttons::YesNo);
        openOptions(h, [](QWidget* window) {
            click(child<QCheckBox>(window, "chkLogin"));
            typeText(window, "txtUsername", QStringLiteral("boss"));
            typeText(window, "txtPassword", QStringLiteral("Secret"));
            typeText(window, "txtBusName", QStringLiteral("Ames & Sons"));
            click(child<QPushButton>(window, "cmdSave"));
        });
        QCOMPARE(stored(h, QStringLiteral("busaddress")).toString(),
                 QStringLiteral("1 Shop Rd\nHalifax"));

        QString heading;
        const WhenShown preview(QStringLiteral("frmInvoice"), [&heading](QWidget* window) {
            heading = child<QPlainTextEdit>(window, "rtfText")->toPlainText().section(u'\n', 0, 0);
        });
        click(h.get<QPushButton>("cmdiInvoiceEmail"));
        QCOMPARE(heading, QStringLiteral("Ames & Sons"));

        h.window->close();
        h.expectLogin(QStringLiteral("boss"), QStringLiteral("Secret"));
        QVERIFY(h.start());
        QVERIFY(h.prompt.verifyAllShown());
    }

    // Another copy of the program wrote the options while this window was
    // open: nothing is written over it, and what was typed stays.
    void aChangeByAnotherCopyIsNotOverwritten_data() {
        QTest::addColumn<bool>("rowAtOpening");
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("a column changed")
            << true << "UPDATE tblbusoptions SET bus_phone='555-0199'";
        QTest::newRow("the first row added")
            << false << "INSERT INTO tblbusoptions (busname,bus_phone) VALUES ('Other','555-0199')";
    }
    void aChangeByAnotherCopyIsNotOverwritten() {
        QFETCH(bool, rowAtOpening);
        QFETCH(QString, meanwhile);
        MainWindowHarness h;
        if (rowAtOpening)
            addOptions(h);
        else
            h.prompt.expectMessage(kNoOptions, QStringLiteral("Data Error"));
        QVERIFY(h.start());
        h.prompt.expectMessage(QStringLiteral("These options were changed by another user since "
                                              "they were shown. Close this window and open it "
                                              "again to see the change."),
                               QStringLiteral("Data Error"));
        openOptions(h, [&](QWidget* window) {
            fillBusiness(window);
            typeText(window, "txtSlogan", QStringLiteral("Mine"));
            h.program.sql(meanwhile);
            click(child<QPushButton>(window, "cmdSave"));
            QVERIFY(window->isVisible());
            QCOMPARE(child<QLineEdit>(window, "txtSlogan")->text(), QStringLiteral("Mine"));
        });
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(h.count(QStringLiteral("tblbusoptions")), 1);
        QCOMPARE(stored(h, QStringLiteral("bus_phone")).toString(), QStringLiteral("555-0199"));
        QVERIFY(stored(h, QStringLiteral("bus_slogan")).toString() != u"Mine");
    }
};

QTEST_MAIN(OptionsTest)
#include "test_options.moc"
