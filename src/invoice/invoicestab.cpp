#include "invoice/invoicestab.h"

#include "core/environment.h"
#include "errors/prompt.h"
#include "invoice/buildinvoicetext.h"
#include "invoice/invoicestore.h"
#include "invoice/invoiceview.h"
#include "invoice/payments.h"
#include "ui_frmMain.h"
#include "widgets/boxes.h"
#include "widgets/listpicking.h"
#include "widgets/tabhost.h"

namespace quillory {

namespace {

using Buttons = Prompt::Buttons;
using Icon = Prompt::Icon;

const QString kDataError = QStringLiteral("Data Error");
const QString kConfirm = QStringLiteral("Confirm");

void invoiceNotFound() {
    showMessage(QStringLiteral("Invoice record not found.  Please refresh the customer list and "
                               "try again."),
                Buttons::Ok, Icon::None, kDataError);
}

// Also for an amount too large to add to what was paid.
void notNumeric() {
    showMessage(QStringLiteral("You must enter a numeric payment amount first. (Such as 45.72)"),
                Buttons::Ok, Icon::None, kDataError);
}

} // namespace

InvoicesTab::InvoicesTab(TabHost& host, QObject* owner)
    : QObject(owner), m_host(host), ui(host.form()), m_db(host.database()) {
    new EntryPicker(ui.lstInvoices, [this] { lstInvoices_Click(); });
    connect(ui.cmdiProceed, &QPushButton::clicked, this, &InvoicesTab::cmdiProceed_Click);
    connect(ui.cmdiPayment, &QPushButton::clicked, this, &InvoicesTab::cmdiPayment_Click);
    connect(ui.cmdiInvoiceEmail, &QPushButton::clicked, this, &InvoicesTab::cmdiInvoiceEmail_Click);
    connect(ui.cmdiPrintInvoice, &QPushButton::clicked, this, &InvoicesTab::cmdiPrintInvoice_Click);
}

QString InvoicesTab::selectedInvoiceEntry() const {
    const QListWidgetItem* item = ui.lstInvoices->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

int InvoicesTab::selectedInvoiceId() const {
    bool ok = false;
    const int id = selectedInvoiceEntry().toInt(&ok);
    return ok ? id : 0;
}

// --- The invoice view ---------------------------------------------------------

void InvoicesTab::lstInvoices_Click() {
    if (m_host.selectedCustomerEntry().isEmpty() || selectedInvoiceEntry().isEmpty())
        return;
    const std::optional<int> customerId = m_host.selectedCustomerId();
    const std::optional<invoicestore::Row> invoice =
        customerId ? invoicestore::invoiceRow(m_db, selectedInvoiceId(), *customerId)
                   : std::nullopt;
    if (!invoice) {
        // A lost server connection has been reported: the invoice is not gone.
        if (!m_db.cnMain.isConnectionLost())
            invoiceNotFound();
        return;
    }
    const invoiceview::Texts texts = invoiceview::viewTexts(*invoice, environment::now());
    boxes::setText(ui.txtiProjID, texts.projectId);
    boxes::setText(ui.txtiCustID, texts.customerId);
    boxes::setText(ui.txtiDue, texts.amountDue);
    boxes::setText(ui.txtiPaid, texts.amountPaid);
    boxes::setText(ui.txtiPaymentDates, texts.paymentDates);
    boxes::setText(ui.txtiDate, texts.created);
    boxes::setText(ui.txtiStatus, texts.status);
    ui.lblTotal->setText(texts.total);
    ui.lblOpenDays->setText(texts.openDays);
    ui.fraiPayment->setEnabled(true);
}

// --- Payments -----------------------------------------------------------------

void InvoicesTab::cmdiProceed_Click() {
    if (selectedInvoiceEntry().isEmpty())
        return;
    if (showMessage(QStringLiteral("Proceed and apply a payment on this invoice?"), Buttons::YesNo,
                    Icon::None, QStringLiteral("Confirmation")) == Prompt::No)
        return;
    ui.fraiMoney->setVisible(true);
    ui.txtiPayment->setFocus();
}

void InvoicesTab::cmdiPayment_Click() {
    // Every stop below keeps the typed amount and the payment frame, so that
    // the user can correct it and apply it again.
    const QString typed = ui.txtiPayment->text();
    const std::optional<Money> payment = payments::readPayment(typed);
    if (!payment) {
        notNumeric();
        return;
    }
    const std::optional<int> customerId = m_host.selectedCustomerId();
    const int invoiceId = selectedInvoiceId();
    // The invoice as stored now, not as its boxes show it: whether it is
    // closed, and whether the amount can go on it at all, are decided on
    // that, before any question.
    const std::optional<invoicestore::Row> stored =
        customerId ? invoicestore::invoiceRow(m_db, invoiceId, *customerId) : std::nullopt;
    if (!stored) {
        // A lost server connection has been reported already.
        if (!m_db.cnMain.isConnectionLost())
            invoiceNotFound();
        return;
    }
    const std::optional<Money> storedDue =
        Money::fromStored(stored->value(QStringLiteral("amountdue")));
    const std::optional<Money> storedPaid =
        Money::fromStored(stored->value(QStringLiteral("amountpaid")));
    if (storedDue && storedPaid && !payments::fitsAmounts(*storedDue, *storedPaid, *payment)) {
        notNumeric();
        return;
    }
    if (stored->value(QStringLiteral("status")).toString() == u"1" &&
        showMessage(QStringLiteral("Apply a payment to this CLOSED invoice?"), Buttons::YesNo,
                    Icon::None, kConfirm) == Prompt::No)
        return;
    if (showMessage(QStringLiteral("Apply the payment of: ") + typed +
                        QStringLiteral(" to this invoice?"),
                    Buttons::YesNo, Icon::None, kConfirm) == Prompt::No)
        return;

    // The balance is the stored one, read now, not the one shown earlier.
    const std::optional<invoicestore::Row> invoice =
        customerId ? invoicestore::invoiceRow(m_db, invoiceId, *customerId) : std::nullopt;
    if (!invoice) {
        if (!m_db.cnMain.isConnectionLost())
            invoiceNotFound();
        return;
    }
    const std::optional<Money> due = Money::fromStored(invoice->value(QStringLiteral("amountdue")));
    const std::optional<Money> paid =
        Money::fromStored(invoice->value(QStringLiteral("amountpaid")));
    const std::optional<Money> owing = invoiceview::balance(*invoice);
    if (!owing || *payment > *owing) {
        showMessage(payments::tooLargeText(owing), Buttons::Ok, Icon::None, kDataError);
        return;
    }
    const std::optional<Money> newPaid = payments::paidAfter(*paid, *payment);
    const std::optional<Money> owingAfter =
        newPaid ? payments::owingAfter(*due, *newPaid) : std::nullopt;
    if (!owingAfter) {
        notNumeric();
        return;
    }
    if (showMessage(payments::confirmText(typed, *owingAfter), Buttons::YesNo, Icon::None,
                    kConfirm) == Prompt::No)
        return;

    const invoicestore::Payment written{
        *newPaid,
        payments::historyAfter(invoice->value(QStringLiteral("paymentdates")), environment::now(),
                               typed),
        payments::statusAfter(*due, *newPaid)};
    switch (invoicestore::applyPayment(m_db, invoiceId, *invoice, written)) {
    case invoicestore::PaymentResult::Applied:
        break;
    case invoicestore::PaymentResult::ChangedMeanwhile:
        showMessage(QStringLiteral("This invoice was changed by another user while the payment "
                                   "was entered.  Nothing was applied.  Select the invoice again "
                                   "to see the change."),
                    Buttons::Ok, Icon::None, kDataError);
        return;
    case invoicestore::PaymentResult::Failed:
        return;
    }

    if (showMessage(QStringLiteral("Print a copy of the current invoice with payment applied?"),
                    Buttons::YesNo, Icon::Question, QStringLiteral("Print")) == Prompt::Yes)
        BuildInvoiceText(m_host.ownerWindow(), m_db, invoiceId, *customerId);
    ui.txtiPayment->clear();
    ui.fraiMoney->setVisible(false);
    m_host.lstCustomer_Click();
}

// --- The invoice document -------------------------------------------------------

void InvoicesTab::cmdiInvoiceEmail_Click() {
    const std::optional<int> customerId = m_host.selectedCustomerId();
    if (m_host.selectedCustomerEntry().isEmpty() || selectedInvoiceEntry().isEmpty())
        return;
    BuildInvoiceText(m_host.ownerWindow(), m_db, selectedInvoiceId(), customerId.value_or(0));
}

void InvoicesTab::cmdiPrintInvoice_Click() {
    const std::optional<int> customerId = m_host.selectedCustomerId();
    if (m_host.selectedCustomerEntry().isEmpty() || selectedInvoiceEntry().isEmpty())
        return;
    if (showMessage(QStringLiteral("Print a copy of the current invoice?"), Buttons::YesNo,
                    Icon::Question, QStringLiteral("Print")) != Prompt::Yes)
        return;
    BuildInvoiceText(m_host.ownerWindow(), m_db, selectedInvoiceId(), customerId.value_or(0));
}

} // namespace quillory
