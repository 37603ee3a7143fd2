#include "export/exports.h"

#include "data/database.h"
#include "errors/prompt.h"
#include "export/exportpdf.h"
#include "export/mail.h"
#include "export/savefile.h"
#include "invoice/buildinvoicetext.h"
#include "invoice/invoicetext.h"
#include "widgets/printing.h"

#include <QApplication>

#include <atomic>
#include <functional>
#include <optional>

namespace quillory::exports {

namespace {

const QString kInvoicePdf = QStringLiteral("Invoice as PDF");
const QString kEmailInvoice = QStringLiteral("E-mail Invoice");

// What the progress dialog of an export says.
printing::JobWording exportWording(const QString& title) {
    return {QStringLiteral("Export"), QStringLiteral("Exporting %1...").arg(title)};
}

// Makes a PDF on a thread of its own while the window goes on answering,
// with the progress dialog of an export after half a second; nothing when
// the user cancelled.
using MakePdf = std::function<exportpdf::Result(const std::atomic_bool* cancelled)>;
std::optional<exportpdf::Result> makePdf(const QString& title, const MakePdf& make) {
    exportpdf::Result made;
    const bool finished = printing::runJob(
        QApplication::activeWindow(), exportWording(title),
        [&](printing::JobControl& control) { made = make(&control.cancelFlag()); });
    if (!finished || made.outcome == exportpdf::Result::Cancelled)
        return std::nullopt;
    return made;
}

void showFailure(const Error& error, const QString& title) {
    showMessage(QString::number(error.number) + QStringLiteral("\r\n") + error.description,
                Prompt::Buttons::Ok, Prompt::Icon::Exclamation, title);
}

// The selected invoice's document, its name ("Invoice 9") and the
// customer's first e-mail address; nothing when there is no selected
// invoice or a row is missing, which the user has been told.
struct InvoiceDocument {
    QString name;
    QString logoPath;
    QString text;
    QString email;
};

std::optional<InvoiceDocument> readInvoice(Database& db, std::optional<int> customerId,
                                           std::optional<int> invoiceId, const QString& title) {
    if (!customerId || !invoiceId) {
        showMessage(QStringLiteral("Please select an invoice on the Invoices tab first."),
                    Prompt::Buttons::Ok, Prompt::Icon::Information, title);
        return std::nullopt;
    }
    const std::optional<invoicetext::Rows> rows = readInvoiceRows(db, *invoiceId, *customerId);
    if (!rows)
        return std::nullopt;
    return InvoiceDocument{QStringLiteral("Invoice ") + QString::number(*invoiceId),
                           rows->options.value(QStringLiteral("image_path_logo")).toString(),
                           invoicetext::composeInvoiceText(*rows),
                           rows->customer.value(QStringLiteral("email1")).toString()};
}

// Makes a PDF once the user has said where it goes, and writes it there.
void savePdf(const QString& title, const QString& name, const MakePdf& make) {
    const std::optional<QString> path = savefile::choose(title, savefile::Kind::Pdf, name);
    if (!path)
        return;
    const std::optional<exportpdf::Result> pdf = makePdf(title, make);
    if (!pdf)
        return;
    const exportpdf::Result& made = *pdf;
    if (made.outcome == exportpdf::Result::NoCustomers) {
        showMessage(QStringLiteral("No customer records to summarize and export."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Data Error"));
        return;
    }
    if (made.outcome != exportpdf::Result::Ready) {
        showFailure(made.error, title);
        return;
    }
    savefile::write(*path, title, made.pdf);
}

struct TableFile {
    QString title;
    QString name;
};

TableFile tableFile(csvtables::Table table) {
    switch (table) {
    case csvtables::Table::Customers:
        return {QStringLiteral("Customers as CSV"), QStringLiteral("Customers.csv")};
    case csvtables::Table::Projects:
        return {QStringLiteral("Projects as CSV"), QStringLiteral("Projects.csv")};
    case csvtables::Table::Invoices:
        break;
    }
    return {QStringLiteral("Invoices and Payments as CSV"),
            QStringLiteral("Invoices and Payments.csv")};
}

} // namespace

void saveInvoicePdf(Database& db, std::optional<int> customerId, std::optional<int> invoiceId) {
    const std::optional<InvoiceDocument> invoice =
        readInvoice(db, customerId, invoiceId, kInvoicePdf);
    if (!invoice)
        return;
    savePdf(kInvoicePdf, invoice->name + QStringLiteral(".pdf"),
            [&invoice](const std::atomic_bool*) {
                return exportpdf::invoicePdf(invoice->name, invoice->logoPath, invoice->text);
            });
}

void emailInvoice(QObject* owner, Database& db, std::optional<int> customerId,
                  std::optional<int> invoiceId) {
    const std::optional<InvoiceDocument> invoice =
        readInvoice(db, customerId, invoiceId, kEmailInvoice);
    if (!invoice)
        return;
    const std::optional<exportpdf::Result> made =
        makePdf(kEmailInvoice, [&invoice](const std::atomic_bool*) {
            return exportpdf::invoicePdf(invoice->name, invoice->logoPath, invoice->text);
        });
    if (!made)
        return;
    if (made->outcome != exportpdf::Result::Ready) {
        showFailure(made->error, kEmailInvoice);
        return;
    }
    mail::HandOff::start(owner, made->pdf, invoice->name, mail::recipient(invoice->email));
}

void saveInvoiceTotalsPdf(Database& db) {
    savePdf(QStringLiteral("Invoice Totals as PDF"), QStringLiteral("Invoice Totals.pdf"),
            [&db](const std::atomic_bool* cancelled) {
                return exportpdf::invoiceTotalsPdf(db.cnMain, cancelled);
            });
}

void saveCustomerSummaryPdf(Database& db) {
    savePdf(QStringLiteral("Customer Summary List as PDF"),
            QStringLiteral("Customer Summary List.pdf"), [&db](const std::atomic_bool* cancelled) {
                return exportpdf::customerSummaryPdf(db.cnMain, cancelled);
            });
}

void saveTableCsv(Database& db, csvtables::Table table) {
    const TableFile file = tableFile(table);
    const std::optional<QString> path =
        savefile::choose(file.title, savefile::Kind::Csv, file.name);
    if (!path)
        return;
    Error readError;
    savefile::write(*path, file.title, [&](QIODevice& device) {
        // Read and written on a thread of its own, through a read-only
        // connection of that thread's own, while the window goes on answering.
        csvtables::Outcome outcome = csvtables::Outcome::ReadFailed;
        const bool finished = printing::runJob(
            QApplication::activeWindow(), exportWording(file.title),
            [&](printing::JobControl& control) {
                Connection cn;
                if (cn.openReadOnly(db.cnMain))
                    outcome = csvtables::writeTable(table, cn, device, &control.cancelFlag());
                if (outcome == csvtables::Outcome::ReadFailed)
                    readError = cn.lastError();
            });
        if (!finished)
            return savefile::Outcome::Abandoned;
        switch (outcome) {
        case csvtables::Outcome::Written:
            return savefile::Outcome::Saved;
        case csvtables::Outcome::ReadFailed:
        case csvtables::Outcome::Cancelled:
            return savefile::Outcome::Abandoned;
        case csvtables::Outcome::WriteFailed:
            break;
        }
        return savefile::Outcome::Failed;
    });
    if (readError.isError())
        showFailure(readError, file.title);
}

} // namespace quillory::exports
