#pragma once

#include "data/database.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class frmMain;
}

namespace quillory {

// The main window: the customer list, the three tabs and the menus. Its
// handlers read the controls, call the data and computation functions, and
// set the controls; the window itself holds no SQL and no arithmetic.
class frmMain : public QMainWindow {
    Q_OBJECT

public:
    // Creating the window opens the database; initialized() tells whether
    // that worked (when not, the failure has been reported).
    explicit frmMain(Database& db, QWidget* parent = nullptr);
    ~frmMain() override;

    bool initialized() const { return m_initialized; }

    // The load sequence: the login, then the lists and control states. False
    // when the login was refused, in which case the window has been unloaded.
    bool Form_Load();
    // Closes the database; runs once, however the window is closed.
    void Form_Unload();

    void SetCustomerEditMode(bool view);
    void SetProjectEditMode(bool view);
    void ClearAllTextBoxes();

    void cmdCustRefresh_Click();
    void lstCustomer_Click();
    void cmdCustNew_Click();
    void cmdCustEdit_Click();
    void cmdCustSave_Click();
    void cmdCustCancel_Click();
    void cmdCustDelete_Click();
    void mnuFileExit_Click();

    // The selected customer list entry, or the empty text.
    QString selectedCustomerEntry() const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    bool runLogin();
    void fillCustomerList();
    void placeControls();
    QList<QWidget*> customerEditBoxes() const;
    QStringList customerEditTexts() const;

    std::unique_ptr<Ui::frmMain> ui;
    Database& m_db;
    bool m_initialized = false;
    bool m_unloaded = false;
    bool m_centred = false;
};

} // namespace quillory
