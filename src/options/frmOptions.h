#pragma once

#include "options/optionsstore.h"

#include <QDialog>
#include <QVariantMap>

#include <memory>

namespace Ui {
class frmOptions;
}

namespace quillory {

class Database;

// The business options window: the heading of every invoice, the logo, and
// the start-up login, kept in the one row of the options table.
class frmOptions : public QDialog {
    Q_OBJECT

public:
    frmOptions(QWidget* owner, Database& db);
    ~frmOptions() override;

    // Shows a freshly loaded window modally over `owner`; returns when it
    // has been closed.
    static void showModal(QWidget* owner, Database& db);

    void Form_Load();
    void cmdLogoImage_Click();
    void cmdSave_Click();
    void cmdCancel_Click();

protected:
    // Enter and Esc have no effect of their own here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The boxes in the order of their columns, user name to logo.
    QList<QWidget*> columnBoxes() const;
    // Column -> what the window would write for it now.
    QVariantMap windowValues() const;

    std::unique_ptr<Ui::frmOptions> ui;
    Database& m_db;
    std::optional<optionsstore::Options> m_read; // the row as loaded
    QVariantMap m_loadedValues;                  // windowValues() right after loading
};

} // namespace quillory
