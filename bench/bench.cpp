// quillory-bench: fills a program directory with a large database, then times
// the main window's load sequence, the customer view and the refresh.
//
// Usage: quillory-bench [--db DIR] [--customers N] [--per-customer K]
//                       [--views V] [--keep]
//
// Every figure is printed on a line of its own as "name: value unit".

#include "app/frmMain.h"
#include "data/database.h"
#include "data/environment.h"
#include "data/schema.h"
#include "data/signature.h"
#include "errors/prompt.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using quillory::Prompt;

// --- Options ------------------------------------------------------------------

struct Options {
    QString dir; // program directory; empty: a fresh temporary one
    qint64 customers = 100000;
    qint64 perCustomer = 10;
    int views = 20;
    bool keep = false; // keep a temporary directory after the run
};

void usage() {
    std::fprintf(stderr,
                 "usage: quillory-bench [--db DIR] [--customers N] [--per-customer K]\n"
                 "                      [--views V] [--keep]\n"
                 "  --db DIR          program directory to use; an existing records.mdb in it\n"
                 "                    is reused as it is, otherwise one is made and filled\n"
                 "  --customers N     customers to make (default 100000)\n"
                 "  --per-customer K  projects, and so invoices, per customer (default 10)\n"
                 "  --views V         customers to view one after the other (default 20)\n"
                 "  --keep            keep the temporary program directory\n");
}

std::optional<Options> parseOptions(const QStringList& args) {
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        const QString& arg = args.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args.at(++i);
        };
        const auto number = [&](qint64 minimum) -> std::optional<qint64> {
            const std::optional<QString> text = value();
            if (!text)
                return std::nullopt;
            bool ok = false;
            const qint64 n = text->toLongLong(&ok);
            if (!ok || n < minimum)
                return std::nullopt;
            return n;
        };
        if (arg == QLatin1String("--db")) {
            const std::optional<QString> dir = value();
            if (!dir)
                return std::nullopt;
            options.dir = *dir;
        } else if (arg == QLatin1String("--customers")) {
            const std::optional<qint64> n = number(1);
            // Customer ids are 32-bit, as are project ids (customers * K).
            if (!n || *n > 100000000)
                return std::nullopt;
            options.customers = *n;
        } else if (arg == QLatin1String("--per-customer")) {
            const std::optional<qint64> n = number(0);
            if (!n || *n > 1000)
                return std::nullopt;
            options.perCustomer = *n;
        } else if (arg == QLatin1String("--views")) {
            const std::optional<qint64> n = number(1);
            if (!n || *n > 100000)
                return std::nullopt;
            options.views = static_cast<int>(*n);
        } else if (arg == QLatin1String("--keep")) {
            options.keep = true;
        } else {
            return std::nullopt;
        }
    }
    if (options.customers * options.perCustomer > 2000000000)
        return std::nullopt;
    return options;
}

// --- Output -------------------------------------------------------------------

void figure(const char* name, double value, const char* unit, int decimals = 1) {
    std::printf("%s: %.*f %s\n", name, decimals, value, unit);
    std::fflush(stdout);
}

void count(const char* name, qint64 value, const char* unit) {
    std::printf("%s: %lld %s\n", name, static_cast<long long>(value), unit);
    std::fflush(stdout);
}

double msSince(const QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

double mib(qint64 bytes) {
    return bytes / (1024.0 * 1024.0);
}

// The largest resident set read so far (VmHWM can lag behind VmRSS).
qint64 highestSeen = 0;

qint64 currentMemoryBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            const qint64 bytes = line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
            highestSeen = std::max(highestSeen, bytes);
            return bytes;
        }
    }
    return 0;
}

// The peak resident set of the process: the larger of VmHWM and ru_maxrss
// (both in KiB on Linux; the kernel updates them lazily, so take both).
qint64 peakMemoryBytes() {
    qint64 peak = 0;
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                peak = line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
        }
    }
    rusage usage = {};
    if (getrusage(RUSAGE_SELF, &usage) == 0)
        peak = std::max(peak, static_cast<qint64>(usage.ru_maxrss) * 1024);
    currentMemoryBytes();
    return std::max(peak, highestSeen);
}

double median(std::vector<double> values) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// --- The prompt -----------------------------------------------------------------

// Answers every box without showing it, and counts them: none is expected
// while the benchmark runs.
class CountingPrompt : public Prompt {
public:
    Answer message(const QString& text, Buttons buttons, Icon, const QString& title) override {
        note(title, text);
        switch (buttons) {
        case Buttons::Ok:
        case Buttons::OkCancel:
            return Ok;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return Yes;
        }
        return Ok;
    }

    std::optional<QString> input(const QString& prompt, const QString& title, const QString&,
                                 bool) override {
        note(title, prompt);
        return QString();
    }

    int boxes() const { return m_boxes; }

private:
    void note(const QString& title, const QString& text) {
        ++m_boxes;
        std::printf("warning: a box appeared: [%s] %s\n", qPrintable(title),
                    qPrintable(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral(" "))));
        std::fflush(stdout);
    }

    int m_boxes = 0;
};

// --- Made-up records ------------------------------------------------------------

// A small, fixed pseudo-random sequence, so that every run writes the same rows.
class Random {
public:
    explicit Random(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next() {
        std::uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }
    template <typename T, size_t N> const T& pick(const std::array<T, N>& items) {
        return items[below(static_cast<int>(N))];
    }

private:
    std::uint64_t m_state;
};

const std::array<const char*, 40> kFirstNames = {
    "James",  "Mary",   "Robert", "Patricia", "John",    "Jennifer", "Michael", "Linda",
    "David",  "Susan",  "Daniel", "Karen",    "Paul",    "Nancy",    "Mark",    "Lisa",
    "Steven", "Sandra", "Andrew", "Donna",    "Kevin",   "Carol",    "Brian",   "Michelle",
    "George", "Emily",  "Ronald", "Amanda",   "Anthony", "Melissa",  "Jason",   "Rebecca",
    "Ryan",   "Laura",  "Gary",   "Sharon",   "Nicole",  "Eric",     "Helen",   "Sophie"};

const std::array<const char*, 48> kLastNames = {
    "Smith",    "Johnson", "Williams", "Brown",    "Jones",       "Garcia",   "Miller",
    "Davis",    "Martin",  "Tremblay", "Gagnon",   "Roy",         "Cote",     "Bouchard",
    "Gauthier", "Morin",   "Lavoie",   "Fortin",   "Wilson",      "Anderson", "Taylor",
    "Thomas",   "Moore",   "Jackson",  "White",    "Harris",      "Clark",    "Lewis",
    "Robinson", "Walker",  "Young",    "Allen",    "King",        "Wright",   "Scott",
    "Green",    "Baker",   "Adams",    "Nelson",   "Hill",        "Campbell", "Mitchell",
    "Roberts",  "Carter",  "Phillips", "O'Connor", "Smith-Jones", "MacDonald"};

const std::array<const char*, 24> kStreets = {
    "Main", "Oak",     "Maple",    "Cedar",      "Elm",      "Pine",      "King",   "Queen",
    "Park", "Church",  "Victoria", "Wellington", "Bay",      "Lakeshore", "River",  "Hill",
    "Mill", "Station", "Bridge",   "Water",      "Highland", "Orchard",   "Spruce", "Birch"};

const std::array<const char*, 6> kStreetKinds = {"Street", "Avenue",   "Road",
                                                 "Drive",  "Crescent", "Lane"};

struct Place {
    const char* city;
    const char* prov;
    const char* country;
    const char* area;
};
const std::array<Place, 12> kPlaces = {{{"Toronto", "ON", "Canada", "416"},
                                        {"Ottawa", "ON", "Canada", "613"},
                                        {"Montreal", "QC", "Canada", "514"},
                                        {"Quebec City", "QC", "Canada", "418"},
                                        {"Vancouver", "BC", "Canada", "604"},
                                        {"Calgary", "AB", "Canada", "403"},
                                        {"Halifax", "NS", "Canada", "902"},
                                        {"Winnipeg", "MB", "Canada", "204"},
                                        {"Buffalo", "NY", "USA", "716"},
                                        {"Seattle", "WA", "USA", "206"},
                                        {"Portland", "ME", "USA", "207"},
                                        {"Burlington", "VT", "USA", "802"}}};

const std::array<const char*, 8> kDomains = {"example.com",      "mail.example.net",  "example.org",
                                             "post.example.ca",  "inbox.example.com", "example.net",
                                             "corp.example.org", "example.ca"};

const std::array<const char*, 8> kCustomerNotes = {
    "Prefers e-mail.",
    "Call before 5 pm.\r\nInvoices go to the office address.",
    "Referred by a neighbour.",
    "Pays by cheque.",
    "",
    "Long-standing customer; annual maintenance contract.",
    "Gate code 1234.\r\nDog in the yard.",
    "Net 30."};

const std::array<const char*, 20> kServices = {
    "Website redesign",    "Network setup",        "Server maintenance",   "Data recovery",
    "Laptop repair",       "Printer installation", "Backup configuration", "Email migration",
    "Security audit",      "Database tuning",      "Office move",          "Software training",
    "Virus removal",       "Firewall upgrade",     "Wi-Fi survey",         "Phone system setup",
    "Accounting software", "Cloud migration",      "Hardware upgrade",     "Monthly support"};

const std::array<const char*, 6> kStatuses = {"Active",    "On Hold",   "Pending",
                                              "Suspended", "Completed", "Other"};

QString latin(const char* text) {
    return QString::fromLatin1(text);
}

QString formatted(const char* format, ...) __attribute__((format(printf, 1, 2)));
QString formatted(const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return QString::fromLatin1(buffer, std::clamp(n, 0, static_cast<int>(sizeof buffer) - 1));
}

// A date-time between 2015 and 2024, as the database keeps it.
QString dateText(Random& random) {
    return formatted("%04d-%02d-%02d %02d:%02d:%02d", 2015 + random.below(10), 1 + random.below(12),
                     1 + random.below(28), 8 + random.below(10), random.below(60),
                     random.below(60));
}

QString phoneText(Random& random, const char* area) {
    return formatted("(%s) %03d-%04d", area, 200 + random.below(800), random.below(10000));
}

QString lowered(const char* text) {
    QString s = latin(text).toLower();
    s.remove(u'\'');
    return s;
}

// --- Filling the database -------------------------------------------------------

struct FillCounts {
    qint64 customers = 0;
    qint64 projects = 0;
    qint64 invoices = 0;
};

bool prepare(QSqlQuery& query, const QString& sql) {
    if (query.prepare(sql))
        return true;
    std::fprintf(stderr, "quillory-bench: %s: %s\n", qPrintable(sql),
                 qPrintable(query.lastError().text()));
    return false;
}

bool run(QSqlQuery& query) {
    if (query.exec())
        return true;
    std::fprintf(stderr, "quillory-bench: %s: %s\n", qPrintable(query.lastQuery()),
                 qPrintable(query.lastError().text()));
    return false;
}

// Writes the rows straight into the file, in one transaction.
bool fillDatabase(const QString& path, const Options& options, FillCounts& counts) {
    if (quillory::SetDatabaseSignature(path, 2) == quillory::SignatureResult::Failed)
        return false;
    const QString name = QStringLiteral("quillory-bench-fill");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            std::fprintf(stderr, "quillory-bench: cannot open %s: %s\n", qPrintable(path),
                         qPrintable(db.lastError().text()));
            ok = false;
        }
        QSqlQuery pragma(db);
        ok = ok && pragma.exec(QStringLiteral("PRAGMA synchronous=OFF")) &&
             pragma.exec(QStringLiteral("PRAGMA cache_size=-65536"));
        ok = ok && db.transaction();

        QSqlQuery customer(db);
        QSqlQuery project(db);
        QSqlQuery invoice(db);
        ok = ok &&
             prepare(customer,
                     QStringLiteral("INSERT INTO tblcustomer (id,fname,lname,street,city,prov,"
                                    "country,pcode,email1,email2,phone,cellphone,othercontact,"
                                    "notes) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)")) &&
             prepare(project,
                     QStringLiteral("INSERT INTO tblservices (id,customerid,summary,status,"
                                    "billinghours,billingrate,services_provided,details,notes,"
                                    "DateCreated,invoicegenerated) VALUES "
                                    "(?,?,?,?,?,?,?,?,?,?,?)")) &&
             prepare(invoice,
                     QStringLiteral("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,"
                                    "amountpaid,paymentdates,DateCreated,Status) VALUES "
                                    "(?,?,?,?,?,?,?,?)"));

        Random random(20240611);
        const QString na = QStringLiteral("NA");
        const QString empty = QStringLiteral("");
        qint64 projectId = 0; // project ids start at 0
        qint64 invoiceId = 1;
        for (qint64 id = 1; ok && id <= options.customers; ++id) {
            const char* first = random.pick(kFirstNames);
            const char* last = random.pick(kLastNames);
            const Place& place = random.pick(kPlaces);
            const char* domain = random.pick(kDomains);
            const QString pcode =
                std::strcmp(place.country, "Canada") == 0
                    ? formatted("%c%d%c %d%c%d", 'A' + random.below(26), random.below(10),
                                'A' + random.below(26), random.below(10), 'A' + random.below(26),
                                random.below(10))
                    : formatted("%05d", random.below(100000));
            const QString email1 =
                lowered(first) + u'.' + lowered(last) + QString::number(id) + u'@' + latin(domain);
            const bool second = random.below(3) == 0;
            customer.bindValue(0, id);
            customer.bindValue(1, latin(first));
            customer.bindValue(2, latin(last));
            customer.bindValue(3, formatted("%d %s %s", 1 + random.below(9999),
                                            random.pick(kStreets), random.pick(kStreetKinds)));
            customer.bindValue(4, latin(place.city));
            customer.bindValue(5, latin(place.prov));
            customer.bindValue(6, latin(place.country));
            customer.bindValue(7, pcode);
            customer.bindValue(8, email1);
            customer.bindValue(9, second ? lowered(first) + QString::number(id) +
                                               QStringLiteral("@example.com")
                                         : empty);
            customer.bindValue(10, phoneText(random, place.area));
            customer.bindValue(11, random.below(2) ? phoneText(random, place.area) : empty);
            customer.bindValue(12, random.below(4) == 0 ? QStringLiteral("Assistant: ") +
                                                              latin(random.pick(kFirstNames))
                                                        : empty);
            customer.bindValue(13, latin(random.pick(kCustomerNotes)));
            ok = run(customer);
            ++counts.customers;

            for (qint64 k = 0; ok && k < options.perCustomer; ++k, ++projectId, ++invoiceId) {
                // A service name with the project's number makes the summary
                // unique within the customer.
                const char* service = kServices[static_cast<size_t>(k) % kServices.size()];
                const QString summary =
                    latin(service) + QStringLiteral(" #") + QString::number(k + 1);
                const double hours = 0.25 * (1 + random.below(160)); // up to 40 h
                const double rate = 2.5 * (18 + random.below(43));   // 45 .. 150
                const QString created = dateText(random);
                project.bindValue(0, projectId);
                project.bindValue(1, id);
                project.bindValue(2, summary);
                project.bindValue(3, latin(random.pick(kStatuses)));
                project.bindValue(4, hours);
                project.bindValue(5, rate);
                project.bindValue(6, latin(service) + QStringLiteral(" for ") + latin(first) +
                                         u' ' + latin(last));
                project.bindValue(7, formatted("On site %d visit(s); %d item(s) of equipment.",
                                               1 + random.below(5), random.below(12)));
                project.bindValue(8, random.below(3) == 0 ? QStringLiteral("Follow up next month.")
                                                          : empty);
                project.bindValue(9, created);
                project.bindValue(10, 1);
                ok = run(project);
                ++counts.projects;

                // hours * rate is a whole number of cents here, so the stored
                // ten-thousandths are exact.
                const qint64 due = std::llround(hours * rate * 10000.0);
                const int status = random.below(3) == 0 ? 0 : 1; // 1: paid in full
                const qint64 paid = status ? due : (random.below(2) ? 0 : due / 2);
                invoice.bindValue(0, invoiceId);
                invoice.bindValue(1, projectId);
                invoice.bindValue(2, id);
                invoice.bindValue(3, due);
                invoice.bindValue(4, paid);
                invoice.bindValue(5, na);
                invoice.bindValue(6, created);
                invoice.bindValue(7, status);
                ok = ok && run(invoice);
                ++counts.invoices;
            }
        }
        if (ok && !db.commit()) {
            std::fprintf(stderr, "quillory-bench: commit failed: %s\n",
                         qPrintable(db.lastError().text()));
            ok = false;
        }
        if (!ok)
            db.rollback();
        customer.finish();
        project.finish();
        invoice.finish();
        pragma.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (quillory::SetDatabaseSignature(path, 1) == quillory::SignatureResult::Failed)
        return false;
    return ok;
}

// --- Driving the window ---------------------------------------------------------

// Lets the window handle what it left for the event loop (layout, painting).
void settle() {
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

qint64 scalar(quillory::Database& db, const QString& sql) {
    quillory::Recordset rs;
    if (!rs.open(sql, db.cnMain) || rs.eof())
        return -1;
    return rs.field(0).toLongLong();
}

// The id at the end of a list entry ("Smith-Jones-17" is 17).
QString entryId(const QString& entry) {
    return entry.section(u'-', -1);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    CountingPrompt prompt;
    Prompt::install(&prompt);

    QApplication app(argc, argv);
    const std::optional<Options> parsed = parseOptions(QCoreApplication::arguments());
    if (!parsed) {
        usage();
        return 2;
    }
    const Options options = *parsed;

    // The program directory.
    std::optional<QTemporaryDir> temporary;
    QString dir = options.dir;
    if (dir.isEmpty()) {
        temporary.emplace(QDir::temp().filePath(QStringLiteral("quillory-bench-XXXXXX")));
        if (!temporary->isValid()) {
            std::fprintf(stderr, "quillory-bench: cannot make a temporary directory\n");
            return 1;
        }
        temporary->setAutoRemove(!options.keep);
        dir = temporary->path();
    } else if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "quillory-bench: cannot make %s\n", qPrintable(dir));
        return 1;
    }
    dir = QFileInfo(dir).absoluteFilePath();
    quillory::environment::setProgramDirectory(dir);
    std::printf("program_directory: %s\n", qPrintable(dir));

    // The database.
    const QString path = quillory::environment::programFile(QStringLiteral("records.mdb"));
    if (QFile::exists(path)) {
        std::printf("note: reusing %s as it is\n", qPrintable(path));
    } else {
        quillory::Error error;
        if (!quillory::createDatabaseFile(path, &error)) {
            std::fprintf(stderr, "quillory-bench: %s\n", qPrintable(error.description));
            return 1;
        }
        FillCounts filled;
        QElapsedTimer timer;
        timer.start();
        const bool ok = fillDatabase(path, options, filled);
        const double seconds = timer.nsecsElapsed() / 1e9;
        if (!ok) {
            std::fprintf(stderr, "quillory-bench: filling the database failed\n");
            return 1;
        }
        figure("fill_database", seconds, "s", 2);
    }
    std::fflush(stdout);

    // The window. Creating it opens the database.
    quillory::Database db;
    int failures = 0;
    {
        QElapsedTimer timer;
        timer.start();
        quillory::frmMain window(db);
        if (!window.initialized()) {
            std::fprintf(stderr, "quillory-bench: the window could not open the database\n");
            return 1;
        }
        figure("open_database", msSince(timer), "ms");
        if (QFileInfo(db.databasePath()) != QFileInfo(path))
            std::printf("warning: the window uses %s (named by NetworkPath.sfe)\n",
                        qPrintable(db.databasePath()));

        auto* list = window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
        auto* idBox = window.findChild<QLineEdit*>(QStringLiteral("txtCustId"));
        auto* projects = window.findChild<QListWidget*>(QStringLiteral("lstProjects"));
        auto* invoices = window.findChild<QListWidget*>(QStringLiteral("lstInvoices"));
        if (!list || !idBox || !projects || !invoices) {
            std::fprintf(stderr, "quillory-bench: the window lacks its customer controls\n");
            return 1;
        }
        timer.restart();
        const bool loaded = window.Form_Load();
        const double loadMs = msSince(timer);
        figure("load_sequence", loadMs, "ms");
        if (!loaded) {
            std::fprintf(stderr, "quillory-bench: the load sequence refused the login\n");
            return 1;
        }
        timer.restart();
        settle();
        // What Form_Load left to the event loop: the list's item layout and
        // the first paint. The list is on screen after both.
        const double loadSettleMs = msSince(timer);
        figure("load_settle", loadSettleMs, "ms");
        figure("load_until_shown", loadMs + loadSettleMs, "ms");

        count("list_entries", list->count(), "rows");

        // Views of customers around the middle of the list, each a different one.
        const int entries = list->count();
        const int views = std::min(options.views, entries);
        const int stride = std::max(1, entries / std::max(1, views * 4));
        std::vector<int> rows;
        for (int i = 0; i < views; ++i) {
            int row = entries / 2 + (i - views / 2) * stride;
            row = std::clamp(row, 0, entries - 1);
            if (std::find(rows.begin(), rows.end(), row) == rows.end())
                rows.push_back(row);
        }
        std::vector<double> viewTimes;
        std::vector<double> settleTimes;
        for (const int row : rows) {
            timer.restart();
            list->setCurrentRow(row);
            viewTimes.push_back(msSince(timer));
            timer.restart();
            settle();
            settleTimes.push_back(msSince(timer));
            // The view must have shown the chosen customer and its rows.
            const QString wanted = entryId(list->item(row)->text());
            if (idBox->text() != wanted ||
                (options.perCustomer > 0 && (projects->count() == 0 || invoices->count() == 0))) {
                ++failures;
                std::printf("warning: row %d showed customer '%s' with %d projects and %d "
                            "invoices, expected customer %s\n",
                            row, qPrintable(idBox->text()), projects->count(), invoices->count(),
                            qPrintable(wanted));
            }
        }
        count("customer_views", static_cast<qint64>(viewTimes.size()), "views");
        if (!viewTimes.empty()) {
            figure("customer_view_first", viewTimes.front(), "ms", 2);
            figure("customer_view_median", median(viewTimes), "ms", 2);
            figure("customer_view_max", *std::max_element(viewTimes.begin(), viewTimes.end()), "ms",
                   2);
            figure("customer_view_settle_median", median(settleTimes), "ms", 2);
        }

        timer.restart();
        window.cmdCustRefresh_Click();
        const double refreshMs = msSince(timer);
        figure("refresh", refreshMs, "ms");
        timer.restart();
        settle();
        const double refreshSettleMs = msSince(timer);
        figure("refresh_settle", refreshSettleMs, "ms");
        figure("refresh_until_shown", refreshMs + refreshSettleMs, "ms");
        if (list->count() != entries) {
            ++failures;
            std::printf("warning: the refreshed list holds %d entries, not %d\n", list->count(),
                        entries);
        }
        figure("memory_after_load", mib(currentMemoryBytes()), "MiB");

        // The rows in the file, counted after the timings so as not to warm
        // the connection's cache before them.
        count("customers", scalar(db, QStringLiteral("SELECT count(*) FROM tblcustomer")), "rows");
        count("projects", scalar(db, QStringLiteral("SELECT count(*) FROM tblservices")), "rows");
        count("invoices", scalar(db, QStringLiteral("SELECT count(*) FROM tblinvoice")), "rows");

        window.close();
    }
    figure("database_size", mib(QFileInfo(path).size()), "MiB");
    figure("peak_memory", mib(peakMemoryBytes()), "MiB");
    count("boxes_shown", prompt.boxes(), "boxes");
    if (prompt.boxes() > 0)
        std::printf("warning: %d box(es) appeared; none was expected\n", prompt.boxes());
    Prompt::install(nullptr);
    if (temporary && options.keep)
        std::printf("note: kept %s\n", qPrintable(dir));
    return failures == 0 && prompt.boxes() == 0 ? 0 : 1;
}
