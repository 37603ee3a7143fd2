// The invoice view and payments: invoices of customers around the middle of
// the list shown one after another, then a payment of 0.01 applied through
// the window to an open invoice of several customers.
#include "app/frmMain.h"
#include "benchsupport.h"
#include "data/database.h"
#include "data/transaction.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

// Answers the payment's questions as a user who pays and prints nothing
// would; any other box counts as a failure.
class PaymentPrompt : public quillory::Prompt {
public:
    Answer message(const QString& text, Buttons, Icon, const QString& title) override {
        if (title == u"Confirm" || title == u"Confirmation")
            return Yes;
        if (title == u"Print")
            return No;
        ++unexpected;
        std::printf("warning: unexpected box \"%s\": %s\n", qPrintable(title), qPrintable(text));
        return Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&, bool) override {
        ++unexpected;
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString&, const QString&) override {
        ++unexpected;
        return std::nullopt;
    }
    int unexpected = 0;
};

int rowOf(const QListWidget* list, const QString& text) {
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->text() == text)
            return i;
    return -1;
}

} // namespace

void benchInvoices(Context& context) {
    quillory::frmMain& window = context.window;
    auto* customers = window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
    auto* invoices = window.findChild<QListWidget*>(QStringLiteral("lstInvoices"));
    auto* due = window.findChild<QLineEdit*>(QStringLiteral("txtiDue"));
    auto* amount = window.findChild<QLineEdit*>(QStringLiteral("txtiPayment"));
    auto* apply = window.findChild<QPushButton*>(QStringLiteral("cmdiPayment"));
    auto* total = window.findChild<QLabel*>(QStringLiteral("lblTotal"));
    if (!customers || !invoices || !due || !amount || !apply || !total) {
        std::printf("warning: the window lacks its invoice controls\n");
        ++context.failures;
        return;
    }
    const int entries = customers->count();
    const int views = std::min(context.options.views, entries);
    if (views == 0 || context.options.perCustomer == 0)
        return;

    // The invoice view: every invoice of customers around the middle.
    QElapsedTimer timer;
    std::vector<double> viewTimes;
    for (int i = 0; i < views && static_cast<int>(viewTimes.size()) < views; ++i) {
        customers->setCurrentRow(std::clamp(entries / 2 + i * 97, 0, entries - 1));
        for (int row = 0; row < invoices->count(); ++row) {
            beginAction("invoice_view");
            timer.start();
            invoices->setCurrentRow(row);
            viewTimes.push_back(msSince(timer));
            endAction();
            if (due->text().isEmpty()) {
                ++context.failures;
                std::printf("warning: invoice %s showed no amount\n",
                            qPrintable(invoices->item(row)->text()));
            }
        }
    }
    count("invoice_views", static_cast<qint64>(viewTimes.size()), "views");
    figure("invoice_view_median", median(viewTimes), "ms", 2);
    figure("invoice_view_max", *std::max_element(viewTimes.begin(), viewTimes.end()), "ms", 2);

    // Payments: Apply Payment through to the reloaded customer view.
    quillory::Prompt& previous = quillory::Prompt::current();
    PaymentPrompt prompt;
    quillory::Prompt::install(&prompt);
    std::vector<double> paymentTimes;
    for (int i = 0; i < views; ++i) {
        const int row = std::clamp(entries / 2 - (i + 1) * 89, 0, entries - 1);
        const QString customerId = entryId(customers->item(row)->text());
        const qint64 invoiceId = scalar(
            context.db, QStringLiteral("SELECT id FROM tblinvoice WHERE customerid=") + customerId +
                            QStringLiteral(" AND Status=0 AND amountdue-amountpaid>=100 LIMIT 1"));
        if (invoiceId < 0)
            continue;
        customers->setCurrentRow(row);
        invoices->setCurrentRow(rowOf(invoices, QString::number(invoiceId)));
        const QString before = total->text();
        amount->setText(QStringLiteral("0.01"));
        beginAction("payment", customerId.toLongLong());
        timer.start();
        apply->click();
        paymentTimes.push_back(msSince(timer));
        endAction();
        // Applied: the customer view was reloaded, which empties the amount.
        if (!amount->text().isEmpty() || before.isEmpty()) {
            ++context.failures;
            std::printf("warning: the payment on invoice %lld was not applied\n", invoiceId);
        }
        settle();
    }
    quillory::Prompt::install(&previous);
    context.failures += prompt.unexpected;
    count("payments", static_cast<qint64>(paymentTimes.size()), "payments");
    if (paymentTimes.empty())
        return;
    figure("payment_median", median(paymentTimes), "ms", 2);
    figure("payment_max", *std::max_element(paymentTimes.begin(), paymentTimes.end()), "ms", 2);

    // What the disk alone takes for one durable write transaction, to set
    // the payment's figure against: a status flipped, and flipped back by
    // the next round (an even number of rounds leaves it as it was).
    std::vector<double> commitTimes;
    for (int i = 0; i < 2 * views; ++i) {
        timer.start();
        quillory::Transaction transaction(context.db.cnMain);
        const bool ok = transaction.isActive() &&
                        context.db.cnMain.execute(
                            QStringLiteral("UPDATE tblinvoice SET Status=1-Status WHERE id=1")) &&
                        transaction.commit();
        commitTimes.push_back(msSince(timer));
        if (!ok) {
            ++context.failures;
            std::printf("warning: the bare write transaction failed\n");
            break;
        }
    }
    figure("write_commit_median", median(commitTimes), "ms", 2);
}

} // namespace bench
