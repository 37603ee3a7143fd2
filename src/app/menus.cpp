// The menus of the main window. Each item's handler calls the module that does
// the work; the window itself only passes on what that module needs.
#include "app/frmMain.h"
#include "data/file/compact.h"
#include "export/exports.h"
#include "help/frmAbout.h"
#include "help/help.h"
#include "options/frmOptions.h"
#include "reports/reports.h"
#include "ui_frmMain.h"

#include <QApplication>
#include <QListWidget>
#include <QProgressDialog>

#include <memory>

namespace quillory {

void frmMain::connectMenus() {
    connect(ui->mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);
    connect(ui->mnuOptionsData, &QAction::triggered, this, &frmMain::mnuOptionsData_Click);
    connect(ui->mnuOptionsInfo, &QAction::triggered, this, &frmMain::mnuOptionsInfo_Click);
    connect(ui->mnuRepCustSum, &QAction::triggered, this, &frmMain::mnuRepCustSum_Click);
    connect(ui->mnuRepSelCustOpenInv, &QAction::triggered, this,
            &frmMain::mnuRepSelCustOpenInv_Click);
    connect(ui->mnuRepAnnualRep, &QAction::triggered, this, &frmMain::mnuRepAnnualRep_Click);
    connect(ui->mnuExpInvoicePdf, &QAction::triggered, this, &frmMain::mnuExpInvoicePdf_Click);
    connect(ui->mnuExpInvoiceEmail, &QAction::triggered, this, &frmMain::mnuExpInvoiceEmail_Click);
    connect(ui->mnuExpTotalsPdf, &QAction::triggered, this, &frmMain::mnuExpTotalsPdf_Click);
    connect(ui->mnuExpSummaryPdf, &QAction::triggered, this, &frmMain::mnuExpSummaryPdf_Click);
    connect(ui->mnuExpCustomersCsv, &QAction::triggered, this, &frmMain::mnuExpCustomersCsv_Click);
    connect(ui->mnuExpProjectsCsv, &QAction::triggered, this, &frmMain::mnuExpProjectsCsv_Click);
    connect(ui->mnuExpInvoicesCsv, &QAction::triggered, this, &frmMain::mnuExpInvoicesCsv_Click);
    connect(ui->mnuHelpManual, &QAction::triggered, this, &frmMain::mnuHelpManual_Click);
    connect(ui->mnuHelpWebsite, &QAction::triggered, this, &frmMain::mnuHelpWebsite_Click);
    connect(ui->mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

// --- File ------------------------------------------------------------------------

void frmMain::mnuFileExit_Click() {
    close();
}

// --- Options: compaction ---------------------------------------------------------

void frmMain::mnuOptionsData_Click() {
    // A large database takes seconds: a busy cursor and the step under way.
    std::unique_ptr<QProgressDialog> dialog;
    const auto progress = [this, &dialog](std::optional<compaction::Step> step) {
        if (!step) {
            if (dialog)
                QApplication::restoreOverrideCursor();
            dialog.reset();
            return;
        }
        if (!dialog) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
            dialog = std::make_unique<QProgressDialog>(this);
            dialog->setObjectName(QStringLiteral("dlgCompactProgress"));
            dialog->setWindowTitle(QStringLiteral("Compact Database"));
            dialog->setCancelButton(nullptr);
            dialog->setWindowModality(Qt::ApplicationModal);
            dialog->setMinimumDuration(0);
            dialog->setRange(0, compaction::kStepCount);
        }
        dialog->setLabelText(compaction::stepText(*step));
        dialog->setValue(static_cast<int>(*step));
    };
    if (!compaction::compactDatabaseInUse(m_db, progress))
        close();
}

// --- Options: business information -----------------------------------------------

void frmMain::mnuOptionsInfo_Click() {
    frmOptions::showModal(this, m_db);
}

// --- Reports ---------------------------------------------------------------------

void frmMain::mnuRepCustSum_Click() {
    reports::PrintCustomerSummaryReport(m_db);
}

void frmMain::mnuRepSelCustOpenInv_Click() {
    reports::PrintCustomerOpenInvoicesReport(m_db, selectedCustomerId());
}

void frmMain::mnuRepAnnualRep_Click() {
    reports::PrintInvoiceTotalsReport(m_db);
}

// --- Export ----------------------------------------------------------------------

std::optional<int> frmMain::selectedInvoiceId() const {
    const QListWidgetItem* item = ui->lstInvoices->currentItem();
    if (!item || !item->isSelected())
        return std::nullopt;
    bool ok = false;
    const int id = item->text().toInt(&ok);
    return ok ? std::optional<int>(id) : std::nullopt;
}

void frmMain::mnuExpInvoicePdf_Click() {
    exports::saveInvoicePdf(m_db, selectedCustomerId(), selectedInvoiceId());
}

void frmMain::mnuExpInvoiceEmail_Click() {
    exports::emailInvoice(this, m_db, selectedCustomerId(), selectedInvoiceId());
}

void frmMain::mnuExpTotalsPdf_Click() {
    exports::saveInvoiceTotalsPdf(m_db);
}

void frmMain::mnuExpSummaryPdf_Click() {
    exports::saveCustomerSummaryPdf(m_db);
}

void frmMain::mnuExpCustomersCsv_Click() {
    exports::saveTableCsv(m_db, csvtables::Table::Customers);
}

void frmMain::mnuExpProjectsCsv_Click() {
    exports::saveTableCsv(m_db, csvtables::Table::Projects);
}

void frmMain::mnuExpInvoicesCsv_Click() {
    exports::saveTableCsv(m_db, csvtables::Table::Invoices);
}

// --- Help ------------------------------------------------------------------------

void frmMain::mnuHelpManual_Click() {
    help::openManual();
}

void frmMain::mnuHelpWebsite_Click() {
    help::ShellOpen(help::website());
}

void frmMain::mnuHelpAbout_Click() {
    frmAbout::showFor(this);
}

} // namespace quillory
