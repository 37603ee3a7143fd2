#pragma once

#include <QObject>

namespace Ui {
class frmMain;
}

namespace quillory {

class Database;
class frmMain;

// The handlers of the "Invoices" tab: the invoice view, Proceed and Apply
// Payment, and the two buttons that show the invoice document.
class InvoicesTab : public QObject {
    Q_OBJECT

public:
    explicit InvoicesTab(frmMain& window);

private:
    frmMain& m_window;
    Ui::frmMain& ui;
    Database& m_db;
};

} // namespace quillory
