// Build tool: renders the program's real windows offscreen over a small
// sample database and saves them as the manual's pictures, so that the
// manual shows the program as it is built. Usage: quillory-screenshots DIR
#include "app/frmMain.h"
#include "core/environment.h"
#include "core/formats.h"
#include "data/connection.h"
#include "data/database.h"
#include "data/file/schema.h"
#include "data/file/signature.h"
#include "errors/prompt.h"
#include "help/frmAbout.h"
#include "reports/reportpainter.h"
#include "reports/reports.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <functional>

using namespace quillory;

namespace {

// No box is expected while the pictures are taken; any that comes is
// answered OK (or No) and reported, since the picture may then show the
// window in a state the manual does not describe.
class NoBoxes : public Prompt {
public:
    int shown = 0;
    Answer message(const QString& text, Buttons buttons, Icon, const QString& title) override {
        std::fprintf(stderr, "quillory-screenshots: unexpected box [%s] %s\n", qPrintable(title),
                     qPrintable(text));
        ++shown;
        return buttons == Buttons::YesNo ? No : Ok;
    }
    std::optional<QString> input(const QString& prompt, const QString&, const QString&,
                                 bool) override {
        std::fprintf(stderr, "quillory-screenshots: unexpected input box %s\n", qPrintable(prompt));
        ++shown;
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString&, const QString&) override {
        ++shown;
        return std::nullopt;
    }
};

bool fillSample(const QString& path) {
    SetDatabaseSignature(path, 2);
    Connection cn;
    if (!cn.open(path))
        return false;
    const auto run = [&cn](const char* sql, const QVariantList& values) {
        if (!cn.execute(QString::fromLatin1(sql), values))
            std::fprintf(stderr, "quillory-screenshots: %s\n",
                         qPrintable(cn.lastError().description));
    };
    struct Customer {
        int id;
        const char *first, *last, *street, *city, *prov, *pcode, *email, *phone;
    };
    const Customer customers[] = {
        {1, "Maria", "Alvarez", "12 Harbour Rd", "Halifax", "NS", "B3H 1A1",
         "maria@alvarezdesign.ca", "902-555-0142"},
        {2, "Liam", "Brennan", "480 King St W", "Toronto", "ON", "M5V 1L9",
         "liam.brennan@example.com", "416-555-0199"},
        {3, "Wei", "Chen", "77 Rue Sainte-Anne", "Quebec", "QC", "G1R 3X4", "wei.chen@example.com",
         "418-555-0110"},
        {4, "Claire", "Dubois", "5 Spring Garden", "Halifax", "NS", "B3J 3R4",
         "claire@duboisbakery.ca", "902-555-0177"},
        {5, "Nils", "Eriksen", "310 Main St", "Winnipeg", "MB", "R3C 1A3", "nils@eriksenmarine.com",
         "204-555-0123"},
        {6, "Priya", "Fernandes", "9 Water St", "St. John's", "NL", "A1C 1A1",
         "priya.fernandes@example.com", "709-555-0165"},
    };
    for (const Customer& c : customers)
        run("INSERT INTO tblcustomer (id,fname,lname,street,city,prov,country,pcode,email1,"
            "email2,phone,cellphone,othercontact,notes) VALUES (?,?,?,?,?,?,'CA',?,?,'NA',?,"
            "'NA','NA',?)",
            {c.id, c.first, c.last, c.street, c.city, c.prov, c.pcode, c.email, c.phone,
             c.id == 1 ? QStringLiteral("Prefers invoices by e-mail.") : QStringLiteral("NA")});
    struct Project {
        int id, customer;
        const char *summary, *status;
        double hours, rate;
        int invoiced;
    };
    const Project projects[] = {
        {0, 1, "Website redesign", "Completed", 42.5, 85, 1},
        {1, 1, "Logo refresh", "Completed", 12, 85, 1},
        {2, 1, "Spring newsletter", "Active", 6, 70, 0},
        {3, 2, "Bookkeeping setup", "Completed", 20, 60, 1},
        {4, 3, "Shop photography", "On Hold", 8, 95, 0},
        {5, 4, "Menu boards", "Completed", 15, 55, 1},
        {6, 5, "Boat show booth", "Completed", 30, 75, 1},
    };
    for (const Project& p : projects)
        run("INSERT INTO tblservices (id,customerid,summary,status,billinghours,billingrate,"
            "services_provided,details,notes,DateCreated,invoicegenerated) "
            "VALUES (?,?,?,?,?,?,'Design and layout','Two rounds of changes','NA',"
            "'2026-11-20 14:30:00',?)",
            {p.id, p.customer, p.summary, p.status, p.hours, p.rate, p.invoiced});
    struct Invoice {
        int id, project, customer;
        qint64 due, paid;
        const char* history;
        int status;
    };
    const Invoice invoices[] = {
        {1, 0, 1, 36125000, 36125000, "NA\r\n11/28/2026 10:12:40 AM($3612.50)", 1},
        {2, 1, 1, 10200000, 5000000, "NA\r\n12/2/2026 3:05:11 PM($500)", 0},
        {3, 3, 2, 12000000, 0, "NA", 0},
        {4, 5, 4, 8250000, 8250000, "NA\r\n11/30/2026 9:41:02 AM($825.00)", 1},
        {5, 6, 5, 22500000, 24000000, "NA\r\n12/1/2026 11:20:00 AM($2400)", 1},
    };
    for (const Invoice& i : invoices)
        run("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,amountpaid,paymentdates,"
            "DateCreated,Status) VALUES (?,?,?,?,?,?,'2026-11-25 16:00:00',?)",
            {i.id, i.project, i.customer, i.due, i.paid, i.history, i.status});
    run("INSERT INTO tblbusoptions (uselogin,UserName,Password,busname,busaddress,busurl,"
        "bus_slogan,bus_phone,bus_email,image_path_logo) VALUES (0,'','',?,?,?,?,?,?,'NONE')",
        {QStringLiteral("Harbourside Studio"),
         QStringLiteral("200 Lower Water St\r\nHalifax, NS  B3J 1R7"),
         QStringLiteral("www.harbourside.example"), QStringLiteral("Design that works."),
         QStringLiteral("902-555-0100"), QStringLiteral("hello@harbourside.example")});
    return true;
}

bool save(QWidget* widget, const QString& dir, const char* name) {
    QApplication::processEvents();
    const QString path = QDir(dir).filePath(QString::fromLatin1(name));
    if (!widget->grab().save(path)) {
        std::fprintf(stderr, "quillory-screenshots: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Takes the picture of the modal window that `open` shows, then closes it
// with its button named `closeButton`.
bool saveModal(const std::function<void()>& open, const QString& dir, const char* name,
               const char* closeButton) {
    bool ok = false;
    QTimer::singleShot(0, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        ok = save(modal, dir, name);
        if (auto* button = modal->findChild<QPushButton*>(QString::fromLatin1(closeButton)))
            button->click();
        else
            modal->close();
    });
    open();
    if (!ok)
        std::fprintf(stderr, "quillory-screenshots: no window for %s\n", name);
    return ok;
}

// Clicks a list entry or a tab as a user would.
void clickEntry(QListWidget* list, int row) {
    if (!list || row >= list->count())
        return;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(row)).center());
}

void clickTab(QTabWidget* tabs, int index) {
    QTabBar* bar = tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
}

// The first page of a report as it prints, on a white sheet at 96 dpi.
bool saveReportPage(Database& db, const QString& dir, const char* name,
                    reports::LayoutResult (*layOut)(Connection&, reports::PrintLayout&)) {
    constexpr double dpi = 96;
    constexpr double margin = 0.5;
    QImage sheet(qRound(8.5 * dpi), qRound(11 * dpi), QImage::Format_RGB32);
    sheet.setDotsPerMeterX(qRound(dpi / 0.0254));
    sheet.setDotsPerMeterY(qRound(dpi / 0.0254));
    sheet.fill(Qt::white);
    const reports::QtFontMeasure measure(&sheet);
    reports::PrintLayout layout(measure, QSizeF(8.5 - 2 * margin, 11 - 2 * margin));
    if (layOut(db.cnMain, layout).outcome != reports::LayoutResult::Ready)
        return false;
    const reports::PrintedDocument document = layout.endDoc();
    QPainter painter(&sheet);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.translate(margin * dpi, margin * dpi);
    reports::paintPage(painter, document, 0, dpi);
    painter.end();
    return sheet.save(QDir(dir).filePath(QString::fromLatin1(name)));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillory-screenshots DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(out)) {
        std::fprintf(stderr, "quillory-screenshots: cannot make %s\n", argv[1]);
        return 1;
    }
    NoBoxes prompt;
    Prompt::install(&prompt);
    formats::setLocaleName(QStringLiteral("en_US"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    QTemporaryDir program;
    environment::setProgramDirectory(program.path());
    environment::setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7)); });
    const QString path = environment::defaultDatabasePath();
    if (!createDatabaseFile(path) || !fillSample(path)) {
        std::fprintf(stderr, "quillory-screenshots: cannot make the sample database\n");
        return 1;
    }

    bool ok = true;
    {
        Database db;
        frmMain window(db);
        if (!window.initialized() || !window.Form_Load())
            return 1;
        window.move(0, 0);
        auto* customers = window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
        auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabMain"));
        clickEntry(customers, 0);
        ok = save(&window, out, "main-customers.png") && ok;

        clickTab(tabs, 1);
        clickEntry(window.findChild<QListWidget*>(QStringLiteral("lstProjects")), 0);
        ok = save(&window, out, "main-projects.png") && ok;

        clickTab(tabs, 2);
        auto* invoices = window.findChild<QListWidget*>(QStringLiteral("lstInvoices"));
        clickEntry(invoices, invoices ? invoices->count() - 1 : 0);
        ok = save(&window, out, "main-invoices.png") && ok;

        ok = saveModal([&] { window.mnuOptionsInfo_Click(); }, out, "options.png", "cmdCancel") &&
             ok;
        ok = saveModal(
                 [&] {
                     window.findChild<QPushButton*>(QStringLiteral("cmdiInvoiceEmail"))->click();
                 },
                 out, "preview.png", "cmdCancel") &&
             ok;

        frmAbout* about = frmAbout::showFor(&window);
        ok = save(about, out, "about.png") && ok;
        about->close();

        ok = saveReportPage(db, out, "report-totals.png", &reports::layOutInvoiceTotals) && ok;
        ok = saveReportPage(db, out, "report-summary.png", &reports::layOutCustomerSummary) && ok;
        window.close();
    }
    Prompt::install(nullptr);
    environment::setProgramDirectory(QString());
    if (prompt.shown > 0)
        std::fprintf(stderr, "quillory-screenshots: warning: %d box(es) appeared\n", prompt.shown);
    return ok ? 0 : 1;
}
