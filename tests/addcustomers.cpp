// A second copy of the program for the process tests: opens the database of a
// program directory as the program does (a file, or the server that
// NetworkPath.sfe names), works on it and closes it again. Run twice at once,
// it shows whether two copies hand out one id twice, lose a payment or write
// over each other's save.
//
//   test_addcustomers_helper <program directory> <tag> <count>
//
// Action n (from 1 to count) takes turns: it adds the customer "First"
// "<tag><n>", applies a payment (1.00 for the tag Alpha, 0.01 for any other)
// to one of the invoices 1 to 5 of customer 1, or saves one of the customers
// 1 to 5 with " <tag><n>" added to its notes. Payments and saves are guarded
// as the windows' are: when another copy changed the row meanwhile, the row is
// read again and the action tried again, as a user would after the message.
// Each action done is printed on stdout: "customer <id> <tag><n>",
// "payment <invoice> <cents>" or "save <customer> <tag><n>". Any box the
// program would have shown is printed on stderr instead, and makes the exit
// code non-zero.
#include "core/environment.h"
#include "customers/customerstore.h"
#include "data/database.h"
#include "errors/prompt.h"
#include "invoice/invoicestore.h"
#include "invoice/payments.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTextStream>

#include <cstdio>

using namespace quillory;

namespace {

constexpr int kShared = 5;        // invoices 1..5 and customers 1..5
constexpr int kMostTries = 10000; // a guarded write always wins in the end

// Nobody is there to answer: every box is a failure of the run.
class ReportingPrompt : public Prompt {
public:
    Answer message(const QString& text, Buttons, Icon, const QString& title) override {
        std::fprintf(stderr, "Message box \"%s\": %s\n", qPrintable(title), qPrintable(text));
        m_failed = true;
        return Ok;
    }
    std::optional<QString> input(const QString& prompt, const QString& title, const QString&,
                                 bool) override {
        std::fprintf(stderr, "Input box \"%s\": %s\n", qPrintable(title), qPrintable(prompt));
        m_failed = true;
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString& title, const QString&) override {
        std::fprintf(stderr, "File dialog \"%s\"\n", qPrintable(title));
        m_failed = true;
        return std::nullopt;
    }
    bool failed() const { return m_failed; }

private:
    bool m_failed = false;
};

// A payment as the Invoices tab applies it, on the invoice as read now.
bool pay(Database& db, int invoiceId, Money amount, const QString& typed) {
    for (int tries = 0; tries < kMostTries; ++tries) {
        const std::optional<invoicestore::Row> read = invoicestore::invoiceRow(db, invoiceId, 1);
        if (!read)
            return false;
        const std::optional<Money> due =
            Money::fromStored(read->value(QStringLiteral("amountdue")));
        const std::optional<Money> paid =
            Money::fromStored(read->value(QStringLiteral("amountpaid")));
        const std::optional<Money> after = paid ? payments::paidAfter(*paid, amount) : std::nullopt;
        if (!due || !after)
            return false;
        const invoicestore::Payment payment{
            *after,
            payments::historyAfter(read->value(QStringLiteral("paymentdates")), environment::now(),
                                   typed),
            payments::statusAfter(*due, *after)};
        switch (invoicestore::applyPayment(db, invoiceId, *read, payment)) {
        case invoicestore::PaymentResult::Applied:
            return true;
        case invoicestore::PaymentResult::ChangedMeanwhile:
            continue;
        case invoicestore::PaymentResult::Failed:
            return false;
        }
    }
    return false;
}

// A save of the customer's notes as the Customers tab saves them.
bool save(Database& db, int customerId, const QString& token) {
    const int notes = int(customerstore::kColumns.indexOf(QStringLiteral("notes")));
    for (int tries = 0; tries < kMostTries; ++tries) {
        const std::optional<QVariantList> row = customerstore::customerRow(db, customerId);
        if (!row)
            return false;
        const QVariant shown = row->at(notes);
        switch (customerstore::updateCustomer(
            db, customerId, {{QStringLiteral("notes"), shown}},
            {{QStringLiteral("notes"), shown.toString() + u' ' + token}})) {
        case customerstore::UpdateResult::Updated:
            return true;
        case customerstore::UpdateResult::ChangedMeanwhile:
            continue;
        case customerstore::UpdateResult::NotFound:
        case customerstore::UpdateResult::Failed:
            return false;
        }
    }
    return false;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    bool countOk = false;
    const int count = args.size() == 4 ? args.at(3).toInt(&countOk) : 0;
    if (!countOk || count < 0) {
        std::fprintf(stderr, "usage: %s <program directory> <tag> <count>\n", argv[0]);
        return 2;
    }
    const QString tag = args.at(2);
    const int cents = tag == u"Alpha" ? 100 : 1;
    const Money amount = Money::fromUnits(cents * 100);
    const QString typed = cents == 100 ? QStringLiteral("1.00") : QStringLiteral("0.01");

    ReportingPrompt prompt;
    Prompt::install(&prompt);
    environment::setProgramDirectory(args.at(1));

    int exitCode = 0;
    {
        Database db;
        if (!db.OpenDatabase()) {
            Prompt::install(nullptr);
            return 3;
        }
        QTextStream out(stdout);
        for (int n = 1; n <= count && exitCode == 0; ++n) {
            const QString name = tag + QString::number(n);
            const int shared = (n / 3) % kShared + 1;
            switch (n % 3) {
            case 0: {
                const std::optional<int> id = customerstore::insertCustomer(
                    db, {QStringLiteral("First"), name, QStringLiteral("1 Main Street"),
                         QStringLiteral("Halifax"), QStringLiteral("NS"), QStringLiteral("CA"),
                         QStringLiteral("B3H 1A1"), QStringLiteral("first@example.com"),
                         QStringLiteral("NA"), QStringLiteral("NA"), QStringLiteral("NA"),
                         QStringLiteral("NA"), QStringLiteral("NA")});
                if (!id)
                    exitCode = 4;
                else
                    out << "customer " << *id << ' ' << name << '\n';
                break;
            }
            case 1:
                if (!pay(db, shared, amount, typed))
                    exitCode = 4;
                else
                    out << "payment " << shared << ' ' << cents << '\n';
                break;
            default:
                if (!save(db, shared, name))
                    exitCode = 4;
                else
                    out << "save " << shared << ' ' << name << '\n';
                break;
            }
            // As between two actions of a user.
            QCoreApplication::processEvents();
        }
        out.flush();
        db.CloseDatabase();
    }
    Prompt::install(nullptr);
    if (exitCode == 0 && prompt.failed())
        exitCode = 5;
    return exitCode;
}
