#include "invoice/buildinvoicetext.h"

#include "errors/prompt.h"
#include "invoice/frmInvoice.h"
#include "invoice/invoicestore.h"
#include "invoice/invoicetext.h"
#include "options/optionsstore.h"

namespace quillory {

namespace {

void dataError(const QString& text) {
    showMessage(text, Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Data Error"));
}

} // namespace

std::optional<invoicetext::Rows> readInvoiceRows(Database& db, int invoiceId, int customerId) {
    // A failed read has been reported; there is nothing to show.
    const std::optional<optionsstore::Options> options = optionsstore::readOptions(db);
    if (!options)
        return std::nullopt;
    if (!options->row) {
        dataError(QStringLiteral("Please set the options using the OPTIONS MENU before "
                                 "generating an invoice."));
        return std::nullopt;
    }
    invoicetext::Rows rows;
    for (auto it = options->row->cbegin(); it != options->row->cend(); ++it)
        rows.options.insert(it.key().toLower(), it.value());

    const std::optional<invoicestore::Row> customer =
        invoicestore::documentCustomer(db, customerId);
    if (!customer) {
        dataError(QStringLiteral("Error reading invoice record.  Please retry."));
        return std::nullopt;
    }
    const std::optional<invoicestore::Row> invoice =
        invoicestore::documentInvoice(db, invoiceId, customerId);
    if (!invoice) {
        dataError(QStringLiteral("Error reading invoice record.  Please retry."));
        return std::nullopt;
    }
    const std::optional<invoicestore::Row> project =
        invoicestore::documentProject(db, invoice->value(QStringLiteral("servicesid")));
    if (!project) {
        dataError(QStringLiteral("Error fetching project services record.  Please retry."));
        return std::nullopt;
    }
    rows.customer = *customer;
    rows.invoice = *invoice;
    rows.project = *project;
    return rows;
}

void BuildInvoiceText(QWidget* owner, Database& db, int invoiceId, int customerId) {
    const std::optional<invoicetext::Rows> rows = readInvoiceRows(db, invoiceId, customerId);
    if (!rows)
        return;
    // One preview at a time, made afresh for each document and gone when
    // closed (also when its owner goes first).
    auto* preview = new frmInvoice(owner);
    preview->setAttribute(Qt::WA_DeleteOnClose);
    preview->setPrintTitle(QStringLiteral("Invoice ") + QString::number(invoiceId));
    preview->fill(rows->options.value(QStringLiteral("image_path_logo")).toString(),
                  invoicetext::composeInvoiceText(*rows));
    preview->exec();
}

} // namespace quillory
