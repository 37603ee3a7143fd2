#include "filldb.h"

#include "data/file/signature.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace bench {

namespace {

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

} // namespace

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

} // namespace bench
