#pragma once

#include <QObject>
#include <QString>

#include <optional>

namespace Ui {
class frmMain;
}

namespace quillory {

class Database;
class TabHost;

// The handlers of the "Invoices" tab: the invoice view, Proceed and Apply
// Payment, and the two buttons that show the invoice document.
class InvoicesTab : public QObject {
    Q_OBJECT

public:
    // `host` is the main window, which owns the controller.
    InvoicesTab(TabHost& host, QObject* owner);

    void lstInvoices_Click();
    void cmdiProceed_Click();
    void cmdiPayment_Click();
    void cmdiInvoiceEmail_Click();
    void cmdiPrintInvoice_Click();

private:
    // The selected invoice entry (the invoice id), or the empty text.
    QString selectedInvoiceEntry() const;
    // The selected invoice's id; 0, which no invoice has, when there is none.
    int selectedInvoiceId() const;

    TabHost& m_host;
    Ui::frmMain& ui;
    Database& m_db;
};

} // namespace quillory
