#include "customers/customerstab.h"

#include "customers/customers.h"
#include "customers/customerstore.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"
#include "ui_frmMain.h"
#include "widgets/boxes.h"
#include "widgets/listpicking.h"
#include "widgets/tabhost.h"

namespace quillory {

namespace {
const QString kDataError = QStringLiteral("Data Error");
}

CustomersTab::CustomersTab(TabHost& host, QObject* owner)
    : QObject(owner), m_host(host), ui(host.form()), m_db(host.database()) {
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
    m_shown.reset();
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
    m_host.ClearAllTextBoxes();
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
    const QString entry = m_host.selectedCustomerEntry();
    if (entry.isEmpty())
        return;
    m_host.ClearAllTextBoxes();
    m_shown.reset();
    const std::optional<int> id = customers::selectedCustomerId(entry);
    if (!id)
        return;
    const std::optional<QVariantList> row = customerstore::customerRow(m_db, *id);
    if (!row)
        return;
    const QList<QWidget*> shown = QList<QWidget*>{ui.txtCustId} + editBoxes();
    for (int i = 0; i < shown.size() && i < row->size(); ++i)
        boxes::setText(shown.at(i), row->at(i).toString());
    m_shown = Shown{*id, *row, editTexts(), customerstore::holdings(m_db.cnMain, *id)};
    m_host.SetCustomerEditMode(true);

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
    m_host.ClearAllTextBoxes();
    m_host.SetCustomerEditMode(false);
    ui.txtCustFirst->setFocus();
}

void CustomersTab::cmdCustEdit_Click() {
    // A highlighted entry whose customer is not shown (after a Save emptied
    // the boxes) is no customer to edit: an empty edit would save a copy.
    if (m_host.selectedCustomerEntry().isEmpty() || !m_shown ||
        ui.txtCustId->text() != QString::number(m_shown->id)) {
        showMessage(QStringLiteral("Please select a customer from the list before editing."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, kDataError);
        return;
    }
    m_host.SetCustomerEditMode(false);
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
        using customerstore::UpdateResult;
        UpdateResult result = UpdateResult::NotFound;
        if (m_shown) {
            const customers::SaveDelta delta =
                customers::saveDelta(m_shown->loaded, m_shown->boxTexts, texts);
            result = customerstore::updateCustomer(m_db, m_shown->id, delta.shown, delta.changes);
        }
        switch (result) {
        case UpdateResult::Updated:
            break;
        case UpdateResult::NotFound:
            showMessage(QStringLiteral("Customer record not found."), Prompt::Buttons::Ok,
                        Prompt::Icon::None, kDataError);
            return;
        case UpdateResult::ChangedMeanwhile:
            showChangedByAnotherUser();
            return;
        case UpdateResult::Failed:
            return;
        }
    }
    m_shown.reset();
    m_host.ClearAllTextBoxes();
    m_host.SetCustomerEditMode(true);
    ui.lstCustomer->setFocus();
}

void CustomersTab::showChangedByAnotherUser() {
    showMessage(QStringLiteral("This customer was changed by another user since it was shown. "
                               "Select it again to see the change."),
                Prompt::Buttons::Ok, Prompt::Icon::None, kDataError);
}

void CustomersTab::cmdCustCancel_Click() {
    m_host.Form_Load();
}

void CustomersTab::cmdCustDelete_Click() {
    const std::optional<int> selected = m_host.selectedCustomerId();
    if (m_host.selectedCustomerEntry().isEmpty() || !selected)
        return;
    const int id = *selected;
    // What is deleted must still be what the view showed. A customer the
    // view did not show in full (after a Save emptied the boxes) is taken as
    // it stands now, before the questions.
    std::optional<QVariantList> loaded;
    std::optional<customerstore::Holdings> held;
    if (m_shown && m_shown->id == id && m_shown->holdings) {
        loaded = m_shown->loaded;
        held = m_shown->holdings;
    } else {
        loaded = customerstore::customerRow(m_db, id);
        if (!loaded) {
            showChangedByAnotherUser();
            return;
        }
        held = customerstore::holdings(m_db.cnMain, id);
        if (!held) {
            HandleError(m_db.cnMain.lastError());
            return;
        }
    }
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
    switch (customerstore::deleteCustomer(m_db, id, customers::shownNames(*loaded), *held)) {
    case customerstore::DeleteResult::Deleted:
        break;
    case customerstore::DeleteResult::ChangedMeanwhile:
        showChangedByAnotherUser();
        return;
    case customerstore::DeleteResult::Failed:
        return;
    }
    m_host.SetCustomerEditMode(true);
    cmdCustRefresh_Click();
    showMessage(QStringLiteral("Customer Records removed from database successfully."), Buttons::Ok,
                Icon::None, QStringLiteral("Notice"));
}

} // namespace quillory
