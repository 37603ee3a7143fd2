// The kill test's driver: the program's real main window on a program
// directory, worked by a random user (mouse clicks and typing, every box
// answered as a user who means it would), until it is killed.
//
//   quillory-killdriver <program directory> <seed> <actions>
//
// After <actions> actions it closes the window as File > Exit does and ends.
// It tells its parent on stdout, one line each, written whole:
//   ready                    the window is up
//   begin <action> [<id>]    a user action starts
//   row <table:id> <json>    a row as the action left it, read back
//   gone <customer id>       the customer and its projects and invoices
//   done                     the program reported the action done
//   refused                  the program refused it and wrote nothing
//   closed                   the window was closed and the database with it
// A box the user did not expect is told on stderr.
#include "app/frmMain.h"
#include "clicking.h"
#include "core/environment.h"
#include "core/money.h"
#include "errors/prompt.h"
#include "killrows.h"
#include "testsupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <cstdio>
#include <random>
#include <unistd.h>

using namespace quillory;

namespace {

// Writes one whole line to the parent at once, so that a kill never leaves
// half a line that reads as a whole one.
void tell(const QString& line) {
    const QByteArray bytes = (line + u'\n').toUtf8();
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, bytes.constData() + written,
                                  static_cast<size_t>(bytes.size() - written));
        if (n <= 0)
            std::_Exit(4);
        written += n;
    }
}

// Answers every question as a user who means the action does (Yes, OK), and
// No to the offer to print; keeps the titles and texts seen.
class UserPrompt : public Prompt {
public:
    QStringList seen;

    Answer message(const QString& text, Buttons buttons, Icon, const QString& title) override {
        seen.append(title + QStringLiteral(": ") + text);
        if (title == u"Print")
            return No;
        return buttons == Buttons::Ok || buttons == Buttons::OkCancel ? Ok : Yes;
    }
    std::optional<QString> input(const QString& prompt, const QString& title, const QString&,
                                 bool) override {
        seen.append(title + QStringLiteral(": ") + prompt);
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString& title, const QString&) override {
        seen.append(title);
        return std::nullopt;
    }
};

class User {
public:
    User(frmMain& window, Database& db, UserPrompt& prompt, std::uint32_t seed)
        : m_window(window), m_db(db), m_prompt(prompt), m_random(seed), m_seed(seed) {}

    // One action picked at random, as far as the data allows it.
    void act() {
        m_prompt.seen.clear();
        switch (pick(10)) {
        case 0:
        case 1:
            addCustomer();
            break;
        case 2:
            editCustomer();
            break;
        case 3:
            deleteCustomer();
            break;
        case 4:
        case 5:
            addProject();
            break;
        case 6:
            editProject();
            break;
        case 7:
        case 8:
            generateInvoice();
            break;
        default:
            payment();
            break;
        }
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(m_random); }

    template <class T> T* get(const char* name) {
        T* w = m_window.findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("No control named %s", name);
        return w;
    }

    void press(const char* button) { QTest::mouseClick(get<QPushButton>(button), Qt::LeftButton); }

    void showTab(int index) {
        QTabBar* bar = get<QTabWidget>("tabMain")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    void type(QWidget* box, const QString& text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClicks(box, text);
    }
    void type(const char* box, const QString& text) { type(get<QWidget>(box), text); }

    bool clickEntry(const char* listName, const QString& entry) {
        auto* list = get<QListWidget>(listName);
        QListWidgetItem* clicked = test::clickEntry(list, entry);
        return clicked && list->currentItem() == clicked;
    }

    // A value of the database picked at random by a query; nothing when
    // there is none.
    std::optional<QVariantList> anyRow(const QString& sql) {
        std::optional<QVariantList> row;
        m_db.cnMain.forEachRow(sql + QStringLiteral(" ORDER BY random() LIMIT 1"), {},
                               [&row](const QSqlQuery& query) {
                                   QVariantList values;
                                   for (int i = 0; i < 3; ++i)
                                       values.append(query.value(i));
                                   row = values;
                               });
        return row;
    }

    // A name no other run gives: the seed is the trial's own.
    QString name(const char* prefix) {
        return QString::fromLatin1(prefix) + QString::number(m_seed) + u'x' +
               QString::number(++m_names);
    }

    QString figure() {
        const int whole = 1 + pick(120);
        const char* const fractions[] = {"", ".5", ".25", ".75", ".1"};
        return QString::number(whole) + QString::fromLatin1(fractions[pick(5)]);
    }

    // The program showed a box that only comes when something went wrong.
    bool troubled() const {
        for (const QString& box : m_prompt.seen) {
            for (const char* title :
                 {"Data Error", "ERROR", "Data Access Error", "Damaged", "Error deleting record",
                  "File not found", "Database In Use", "Permission Needed"}) {
                if (box.startsWith(QLatin1String(title))) {
                    std::fprintf(stderr, "unexpected box %s\n", qPrintable(box));
                    return true;
                }
            }
        }
        return false;
    }

    void tellRow(const QString& table, const QString& where, const QVariantList& params) {
        m_db.cnMain.forEachRow(QStringLiteral("SELECT * FROM ") + table +
                                   QStringLiteral(" WHERE ") + where,
                               params, [&table](const QSqlQuery& row) {
                                   tell(QStringLiteral("row ") +
                                        killtest::rowKey(table, row.value(QStringLiteral("id"))) +
                                        u' ' + killtest::rowText(row));
                               });
    }

    bool selectCustomer(const QVariant& id) {
        showTab(0);
        const auto entries =
            get<QListWidget>("lstCustomer")
                ->findItems(QStringLiteral("-") + id.toString(), Qt::MatchEndsWith);
        return !entries.isEmpty() && clickEntry("lstCustomer", entries.first()->text());
    }

    // Ends an action: told done only when the program said so and showed no
    // box of trouble. A refused one is undone on screen, as a user would.
    void finish(bool done) {
        if (done && !troubled()) {
            tell(QStringLiteral("done"));
            return;
        }
        tell(QStringLiteral("refused"));
        for (const char* cancel : {"cmdCustCancel", "cmdpCancel"})
            if (get<QPushButton>(cancel)->isEnabled())
                press(cancel);
    }

    void addCustomer() {
        showTab(0);
        const QString last = name("K");
        tell(QStringLiteral("begin add-customer"));
        press("cmdCustNew");
        type("txtCustFirst", QStringLiteral("Ann"));
        type("txtCustLast", last);
        type("txtCustStreet", QStringLiteral("1 Main St"));
        type("txtCustCity", QStringLiteral("Halifax"));
        type("txtCustProv", QStringLiteral("NS"));
        type("txtCustPcode", QStringLiteral("B3H 1A1"));
        type("txtCustEmail1", last + QStringLiteral("@example.com"));
        press("cmdCustSave");
        const bool saved = get<QPushButton>("cmdCustNew")->isEnabled();
        if (saved)
            tellRow(QStringLiteral("tblcustomer"), QStringLiteral("lname=?"), {last});
        finish(saved);
    }

    void editCustomer() {
        const std::optional<QVariantList> row =
            anyRow(QStringLiteral("SELECT id FROM tblcustomer"));
        if (!row || !selectCustomer(row->at(0)))
            return;
        tell(QStringLiteral("begin edit-customer ") + row->at(0).toString());
        press("cmdCustEdit");
        type("txtCustCity", name("City"));
        press("cmdCustSave");
        const bool saved = get<QPushButton>("cmdCustNew")->isEnabled();
        if (saved)
            tellRow(QStringLiteral("tblcustomer"), QStringLiteral("id=?"), {row->at(0)});
        finish(saved);
    }

    void deleteCustomer() {
        const std::optional<QVariantList> row =
            anyRow(QStringLiteral("SELECT id FROM tblcustomer"));
        if (!row || !selectCustomer(row->at(0)))
            return;
        tell(QStringLiteral("begin delete-customer ") + row->at(0).toString());
        press("cmdCustEdit");
        press("cmdCustDelete");
        const bool deleted =
            m_prompt.seen.contains(QStringLiteral("Notice: Customer Records removed from database "
                                                  "successfully."));
        if (deleted)
            tell(QStringLiteral("gone ") + row->at(0).toString());
        finish(deleted);
    }

    void addProject() {
        const std::optional<QVariantList> row =
            anyRow(QStringLiteral("SELECT id FROM tblcustomer"));
        if (!row || !selectCustomer(row->at(0)))
            return;
        showTab(1);
        const QString summary = name("Job");
        tell(QStringLiteral("begin add-project ") + row->at(0).toString());
        press("cmdpNew");
        type("txtpBillingHours", figure());
        type("txtpRate", figure());
        type("txtpSummary", summary);
        type("txtpServices", QStringLiteral("Framing"));
        type("txtpDetails", QStringLiteral("South side"));
        type("txtpNotes", QStringLiteral("Call first"));
        const char* const statuses[] = {"Active", "On Hold", "Pending"};
        type(get<QComboBox>("cboStatus")->lineEdit(), QString::fromLatin1(statuses[pick(3)]));
        press("cmdpSave");
        const bool saved = get<QPushButton>("cmdpNew")->isEnabled();
        if (saved)
            tellRow(QStringLiteral("tblservices"), QStringLiteral("customerid=? AND summary=?"),
                    {row->at(0), summary});
        finish(saved);
    }

    // Picks a project of the given kind and shows it; its id, or nothing.
    std::optional<QVariant> showProject(const QString& where) {
        const std::optional<QVariantList> row = anyRow(
            QStringLiteral("SELECT customerid, summary, status FROM tblservices WHERE ") + where);
        if (!row || !selectCustomer(row->at(0)))
            return std::nullopt;
        showTab(1);
        if (!clickEntry("lstProjects", row->at(1).toString() + u'\t' + row->at(2).toString()))
            return std::nullopt;
        return get<QLineEdit>("txtpID")->text();
    }

    void editProject() {
        const std::optional<QVariant> id = showProject(QStringLiteral("1"));
        if (!id)
            return;
        tell(QStringLiteral("begin edit-project ") + id->toString());
        press("cmdpEdit");
        type("txtpNotes", name("Note"));
        press("cmdpSave");
        const bool saved = get<QPushButton>("cmdpNew")->isEnabled();
        if (saved)
            tellRow(QStringLiteral("tblservices"), QStringLiteral("id=?"), {*id});
        finish(saved);
    }

    void generateInvoice() {
        const std::optional<QVariant> id = showProject(QStringLiteral("invoicegenerated=0"));
        if (!id)
            return;
        tell(QStringLiteral("begin generate ") + id->toString());
        press("cmdpEdit");
        press("cmdpGenInvoice");
        const bool generated = get<QTabWidget>("tabMain")->currentIndex() == 2;
        if (generated) {
            tellRow(QStringLiteral("tblservices"), QStringLiteral("id=?"), {*id});
            tellRow(QStringLiteral("tblinvoice"), QStringLiteral("servicesid=?"), {*id});
        }
        finish(generated);
    }

    void payment() {
        const std::optional<QVariantList> row =
            anyRow(QStringLiteral("SELECT customerid, id, amountdue-amountpaid FROM tblinvoice "
                                  "WHERE Status=0 AND amountdue>amountpaid"));
        if (!row || !selectCustomer(row->at(0)))
            return;
        showTab(2);
        if (!clickEntry("lstInvoices", row->at(1).toString()))
            return;
        // Part of what is owing, in cents, or all of it.
        const Money owing = Money::fromUnits(row->at(2).toLongLong());
        const qint64 cents = owing.units() / 100;
        const QString amount =
            pick(4) == 0 || cents < 2
                ? owing.toPlainString()
                : Money::fromUnits(100 * (1 + pick(int(std::min<qint64>(cents - 1, 1000000)))))
                      .toPlainString();
        tell(QStringLiteral("begin payment ") + row->at(1).toString());
        press("cmdiProceed");
        type("txtiPayment", amount);
        press("cmdiPayment");
        const bool applied = !m_prompt.seen.isEmpty() &&
                             m_prompt.seen.constLast().startsWith(QStringLiteral("Print: "));
        if (applied)
            tellRow(QStringLiteral("tblinvoice"), QStringLiteral("id=?"), {row->at(1)});
        finish(applied);
    }

    frmMain& m_window;
    Database& m_db;
    UserPrompt& m_prompt;
    std::mt19937 m_random;
    std::uint32_t m_seed;
    int m_names = 0;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: quillory-killdriver <program directory> <seed> <actions>\n");
        return 2;
    }
    test::pinEnglishUs();
    environment::setProgramDirectory(args.at(1));
    UserPrompt prompt;
    Prompt::install(&prompt);

    Database db;
    frmMain window(db);
    if (!window.initialized() || !window.Form_Load()) {
        std::fprintf(stderr, "the window did not start: %s\n", qPrintable(prompt.seen.join("; ")));
        return 3;
    }
    tell(QStringLiteral("ready"));
    User user(window, db, prompt, args.at(2).toUInt());
    const int actions = args.at(3).toInt();
    for (int i = 0; i < actions; ++i)
        user.act();
    window.close();
    tell(QStringLiteral("closed"));
    Prompt::install(nullptr);
    return 0;
}
