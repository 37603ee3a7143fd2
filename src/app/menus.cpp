// The menus of the main window. Each item's handler calls the module that does
// the work; the window itself only passes on what that module needs.
#include "app/frmMain.h"
#include "reports/reports.h"
#include "ui_frmMain.h"

namespace quillory {

void frmMain::connectMenus() {
    connect(ui->mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);
    connect(ui->mnuOptionsData, &QAction::triggered, this, &frmMain::mnuOptionsData_Click);
    connect(ui->mnuOptionsInfo, &QAction::triggered, this, &frmMain::mnuOptionsInfo_Click);
    connect(ui->mnuRepCustSum, &QAction::triggered, this, &frmMain::mnuRepCustSum_Click);
    connect(ui->mnuRepSelCustOpenInv, &QAction::triggered, this,
            &frmMain::mnuRepSelCustOpenInv_Click);
    connect(ui->mnuRepAnnualRep, &QAction::triggered, this, &frmMain::mnuRepAnnualRep_Click);
    connect(ui->mnuHelpManual, &QAction::triggered, this, &frmMain::mnuHelpManual_Click);
    connect(ui->mnuHelpWebsite, &QAction::triggered, this, &frmMain::mnuHelpWebsite_Click);
    connect(ui->mnuHelpAbout, &QAction::triggered, this, &frmMain::mnuHelpAbout_Click);
}

// --- File ------------------------------------------------------------------------

void frmMain::mnuFileExit_Click() {
    close();
}

// --- Options: compaction ---------------------------------------------------------

void frmMain::mnuOptionsData_Click() {}

// --- Options: business information -----------------------------------------------

void frmMain::mnuOptionsInfo_Click() {}

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

// --- Help ------------------------------------------------------------------------

void frmMain::mnuHelpManual_Click() {}

void frmMain::mnuHelpWebsite_Click() {}

void frmMain::mnuHelpAbout_Click() {}

} // namespace quillory
