#pragma once

#include "customers/customerstore.h"

#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace Ui {
class frmMain;
}

namespace quillory {

class Database;
class TabHost;

// The handlers of the customer list and the "Customers" tab: refresh, the
// customer view, and New, Edit, Save, Cancel and Delete.
class CustomersTab : public QObject {
    Q_OBJECT

public:
    // `host` is the main window, which owns the controller.
    CustomersTab(TabHost& host, QObject* owner);

    // Fills the customer list from the database: enabled with the focus when
    // it holds entries, otherwise empty and disabled with New focused.
    void fillCustomerList();

    void cmdCustRefresh_Click();
    void lstCustomer_Click();
    void cmdCustNew_Click();
    void cmdCustEdit_Click();
    void cmdCustSave_Click();
    void cmdCustCancel_Click();
    void cmdCustDelete_Click();

    // The 13 boxes a user edits, first name to account memo, in save order.
    QList<QWidget*> editBoxes() const;

private:
    QStringList editTexts() const;
    void showChangedByAnotherUser();

    // The customer the view last showed: its id, its columns as loaded, the
    // boxes' texts as the view left them, and its projects and invoices.
    // Save writes what the user changed against these; Edit and Delete work
    // on this customer only. New keeps it: the customer stays selected.
    struct Shown {
        int id = 0;
        QVariantList loaded;
        QStringList boxTexts;
        std::optional<customerstore::Holdings> holdings;
    };
    std::optional<Shown> m_shown;

    TabHost& m_host;
    Ui::frmMain& ui;
    Database& m_db;
};

} // namespace quillory
