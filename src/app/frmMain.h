#pragma once

#include "data/database.h"
#include "widgets/tabhost.h"

#include <QMainWindow>

#include <memory>
#include <optional>

namespace Ui {
class frmMain;
}

namespace quillory {

class CustomersTab;
class ProjectsTab;
class InvoicesTab;

// The main window: the customer list, the three tabs and the menus. Each tab's
// handlers live in a controller of their own (CustomersTab, ProjectsTab,
// InvoicesTab); the window keeps start-up and shutdown, the two control
// states and the menus. Handlers read the controls, call the data and
// computation functions, and set the controls; no SQL and no arithmetic here.
class frmMain : public QMainWindow, public TabHost {
    Q_OBJECT

public:
    // Creating the window opens the database; initialized() tells whether
    // that worked (when not, the failure has been reported).
    explicit frmMain(Database& db, QWidget* parent = nullptr);
    ~frmMain() override;

    bool initialized() const { return m_initialized; }

    // The load sequence: the login, then the lists and control states. False
    // when the login was refused, in which case the window has been unloaded.
    bool Form_Load() override;
    // Closes the database; runs once, however the window is closed.
    void Form_Unload();

    void SetCustomerEditMode(bool view) override;
    void SetProjectEditMode(bool view) override;
    void ClearAllTextBoxes() override;

    // The selected customer list entry, or the empty text, and the customer
    // id it carries (nothing when no customer is selected).
    QString selectedCustomerEntry() const override;
    std::optional<int> selectedCustomerId() const override;

    // Handlers that other handlers run again to show changed data.
    void cmdCustRefresh_Click();
    void lstCustomer_Click() override;

    // The menus.
    void mnuFileExit_Click();
    void mnuOptionsData_Click();
    void mnuOptionsInfo_Click();
    void mnuRepCustSum_Click();
    void mnuRepSelCustOpenInv_Click();
    void mnuRepAnnualRep_Click();
    void mnuExpInvoicePdf_Click();
    void mnuExpInvoiceEmail_Click();
    void mnuExpTotalsPdf_Click();
    void mnuExpSummaryPdf_Click();
    void mnuExpCustomersCsv_Click();
    void mnuExpProjectsCsv_Click();
    void mnuExpInvoicesCsv_Click();
    void mnuHelpManual_Click();
    void mnuHelpWebsite_Click();
    void mnuHelpAbout_Click();

    // For the tab controllers: the form's controls and the data side.
    QWidget* ownerWindow() override { return this; }
    Ui::frmMain& form() override { return *ui; }
    Database& database() override { return m_db; }
    void showTab(MainTab tab) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool runLogin();
    void placeControls();
    void connectMenus();
    // The invoice selected on the Invoices tab, if any.
    std::optional<int> selectedInvoiceId() const;

    std::unique_ptr<Ui::frmMain> ui;
    Database& m_db;
    std::unique_ptr<CustomersTab> m_customers;
    std::unique_ptr<ProjectsTab> m_projects;
    std::unique_ptr<InvoicesTab> m_invoices;
    bool m_initialized = false;
    bool m_unloaded = false;
    bool m_centred = false;
};

} // namespace quillory
