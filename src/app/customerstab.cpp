#include "app/customerstab.h"

#include "app/boxes.h"
#include "app/customers.h"
#include "app/frmMain.h"
#include "app/listpicking.h"
#include "data/customerstore.h"
#include "errors/prompt.h"
#include "ui_frmMain.h"

namespace quillory {

namespace {
const QString kDataError = QStringLiteral("Data Error");
}

CustomersTab::CustomersTab(frmMain& window)
    : QObject(&window), m_window(window), ui(window.form()), m_db(window.database()) {
    // Every entry is one line: Qt need not measure each of them.
    ui.lstCustomer->setUniformItemSizes(true);

    connect(ui.cmdCustRefresh, &QPushButton::clicked, this, &CustomersTab::cmdCustRefresh_Click);
    new EntryPicker(ui.lstCustomer, [this] { lstCustomer_Click(); });
    connect(ui.cmdCustNew, &QPushButton::clicked, this, &CustomersTab::cmdCustNew_Click);
    connect(ui.cmdCustEdit, &QPushButton::clicked, this, &CustomersTab::cmdCustEdit_Click);
    connect(ui.cmdCustSave, &QPushButton::clicked, this, &CustomersTab::cmdCustSave_Click);
    connect(ui.cmdCustCancel, &QPushButton::clicked, this, &CustomersTab::cmdCustCancel_Click);
    connect(ui.cmdCustDelete, &QPushButton::clicked, this, &CustomersTab::cmdCustDelete_Click);
}

QList<QWidget*> CustomersTab::editBoxes() const {
    return {ui.txtCustFirst,  ui.txtCustLast,    ui.txtCustStreet, ui.txtCustCity,
            ui.txtCustProv,   ui.txtCustCountry, ui.txtCustPcode,  ui.txtCustEmail1,
            ui.txtCustEmail2, ui.txtCustPhone,   ui.txtCustCell,   ui.txtCustContactNotes,
            ui.txtCustMemo};
}

QStringList CustomersTab::editTexts() const {
    QStringList texts;
    for (const QWidget* box : editBoxes())
        texts.append(boxes::text(box));
    return texts;
}

// --- Customer list and view ---------------------------------------------------

void CustomersTab::fillCustomerList() {
    const std::optional<QStringList> entries = customerstore::customerEntries(m_db);
    QListWidget* list = ui.lstCustomer;
    if (!entries || entries->isEmpty()) {
        list->clear();
        list->setEnabled(false);
        ui.cmdCustNew->setFocus();
        return;
    }
    const QSignalBlocker quiet(list);
    list->clear();
    list->addItems(*entries);
    list->setCurrentRow(-1);
    list->setEnabled(true);
    list->setFocus();
}

void CustomersTab::cmdCustRefresh_Click() {
    m_window.ClearAllTextBoxes();
    fillCustomerList();
    boxes::setComboPrompt(ui.cboStatus, QStringLiteral("Select Status"));
    ui.fraProject->setEnabled(false);
    ui.lstProjects->clear();
    ui.cboProjectFilter->clear();
    boxes::setComboPrompt(ui.cboProjectFilter, QStringLiteral("Select Filter"));
    ui.fraiPayment->setEnabled(false);
    ui.lblOpenDays->clear();
    ui.lblTotal->clear();
    ui.lblcTotals->clear();
    ui.lstInvoices->clear();
}

void CustomersTab::lstCustomer_Click() {
    const QString entry = m_window.selectedCustomerEntry();
    if (entry.isEmpty())
        return;
    m_window.ClearAllTextBoxes();
    const std::optional<int> id = customers::selectedCustomerId(entry);
    if (!id)
        return;
    const std::optional<QVariantList> row = customerstore::customerRow(m_db, *id);
    if (!row)
        return;
    const QList<QWidget*> shown = QList<QWidget*>{ui.txtCustId} + editBoxes();
    for (int i = 0; i < shown.size() && i < row->size(); ++i)
        boxes::setText(shown.at(i), row->at(i).toString());
    m_window.SetCustomerEditMode(true);

    const QStringList projects = customerstore::projectEntries(m_db, *id);
    if (projects.isEmpty()) {
        ui.lstProjects->clear();
        ui.lstProjects->setEnabled(false);
        ui.cboProjectFilter->setEnabled(false);
    } else {
        ui.lstProjects->clear();
        ui.lstProjects->addItems(projects);
        ui.cboProjectFilter->clear();
        ui.cboProjectFilter->addItems(customerstore::projectStatuses(m_db, *id) +
                                      QStringList{QStringLiteral("ALL")});
        boxes::setComboPrompt(ui.cboProjectFilter, QStringLiteral("Select Filter"));
        ui.lstProjects->setEnabled(true);
        ui.cboProjectFilter->setEnabled(true);
    }
    boxes::setComboPrompt(ui.cboStatus, QStringLiteral("Select Status"));
    ui.fraProject->setEnabled(false);

    const QStringList invoices = customerstore::invoiceEntries(m_db, *id);
    ui.lstInvoices->clear();
    ui.lstInvoices->setEnabled(!invoices.isEmpty());
    ui.lstInvoices->addItems(invoices);

    ui.fraiPayment->setEnabled(false);
    ui.lblOpenDays->clear();
    ui.lblTotal->clear();
    ui.lblcTotals->setText(customers::totalsCaption(customerstore::customerTotals(m_db, *id)));
}

// --- Customer editing ---------------------------------------------------------

void CustomersTab::cmdCustNew_Click() {
    m_window.ClearAllTextBoxes();
    m_window.SetCustomerEditMode(false);
    ui.txtCustFirst->setFocus();
}

void CustomersTab::cmdCustEdit_Click() {
    if (m_window.selectedCustomerEntry().isEmpty()) {
        showMessage(QStringLiteral("Please select a customer from the list before editing."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, kDataError);
        return;
    }
    m_window.SetCustomerEditMode(false);
    ui.txtCustFirst->setFocus();
}

void CustomersTab::cmdCustSave_Click() {
    const QList<QWidget*> boxList = editBoxes();
    const QStringList typed = editTexts();
    QStringList texts = typed;
    const std::optional<int> missing = customers::applySaveRules(texts);
    for (int i = 0; i < boxList.size(); ++i)
        if (texts.at(i) != typed.at(i))
            boxes::setText(boxList.at(i), texts.at(i));
    if (missing) {
        boxList.at(*missing)->setFocus();
        showMessage(QStringLiteral("Please enter information about this customer."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, kDataError);
        return;
    }
    if (ui.txtCustId->text().isEmpty()) {
        // A failed write has been reported; the edit state and the typed
        // values stay so that nothing is lost.
        if (!customerstore::insertCustomer(m_db, texts))
            return;
    } else {
        const std::optional<int> id = m_window.selectedCustomerId();
        const customerstore::UpdateResult result =
            id ? customerstore::updateCustomer(m_db, *id, texts)
               : customerstore::UpdateResult::NotFound;
        if (result == customerstore::UpdateResult::NotFound) {
            showMessage(QStringLiteral("Customer record not found."), Prompt::Buttons::Ok,
                        Prompt::Icon::None, kDataError);
            return;
        }
        if (result == customerstore::UpdateResult::Failed)
            return;
    }
    m_window.ClearAllTextBoxes();
    m_window.SetCustomerEditMode(true);
    ui.lstCustomer->setFocus();
}

void CustomersTab::cmdCustCancel_Click() {
    m_window.Form_Load();
}

void CustomersTab::cmdCustDelete_Click() {
    const std::optional<int> id = m_window.selectedCustomerId();
    if (!id)
        return;
    using Buttons = Prompt::Buttons;
    using Icon = Prompt::Icon;
    if (showMessage(QStringLiteral("Delete the selected customer?"), Buttons::YesNo, Icon::None,
                    QStringLiteral("Delete?")) != Prompt::Yes)
        return;
    if (showMessage(QStringLiteral("This will delete all invoices and projects for this "
                                   "customer.  Proceed?"),
                    Buttons::YesNo, Icon::None, QStringLiteral("Confirm")) != Prompt::Yes)
        return;
    if (showMessage(QStringLiteral("Confirm delete selected customer?"), Buttons::YesNo, Icon::None,
                    QStringLiteral("Confirm")) != Prompt::Yes)
        return;
    // Nothing is removed unless all of it is; a failure has been reported and
    // leaves the edit state as it was.
    if (!customerstore::deleteCustomer(m_db, *id))
        return;
    m_window.SetCustomerEditMode(true);
    cmdCustRefresh_Click();
    showMessage(QStringLiteral("Customer Records removed from database successfully."), Buttons::Ok,
                Icon::None, QStringLiteral("Notice"));
}

} // namespace quillory
