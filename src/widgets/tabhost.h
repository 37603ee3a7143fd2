#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace Ui {
class frmMain;
}

namespace quillory {

class Database;

// The tabs of the main window.
enum class MainTab { Customers = 0, Projects = 1, Invoices = 2 };

// What the controller of a main-window tab asks of the window that holds it:
// the form's controls, the database, the selected customer, the two control
// states, and the handlers that show changed data again. The window
// implements it; the tabs know the window through nothing else.
class TabHost {
public:
    // The window, as the owner of the boxes and windows a tab opens.
    virtual QWidget* ownerWindow() = 0;
    virtual Ui::frmMain& form() = 0;
    virtual Database& database() = 0;

    // The selected customer list entry, or the empty text, and the customer
    // id it carries (nothing when no customer is selected).
    virtual QString selectedCustomerEntry() const = 0;
    virtual std::optional<int> selectedCustomerId() const = 0;

    virtual void SetCustomerEditMode(bool view) = 0;
    virtual void SetProjectEditMode(bool view) = 0;
    virtual void ClearAllTextBoxes() = 0;

    virtual void showTab(MainTab tab) = 0;
    // Shows the selected customer again: its fields, projects, invoices and
    // totals.
    virtual void lstCustomer_Click() = 0;
    // The load sequence again, the login included; false when it was refused
    // and the window has been unloaded.
    virtual bool Form_Load() = 0;

protected:
    ~TabHost() = default;
};

} // namespace quillory
