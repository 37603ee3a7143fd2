#include "projects/projectstab.h"

#include "core/environment.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"
#include "ui_frmMain.h"
#include "widgets/boxes.h"
#include "widgets/listpicking.h"
#include "widgets/tabhost.h"

namespace quillory {

using projects::Field;
using projects::ProjectTexts;
using projectstore::Outcome;
using Buttons = Prompt::Buttons;
using Icon = Prompt::Icon;

namespace {
const QString kDataError = QStringLiteral("Data Error");
const QString kNotice = QStringLiteral("Notice");
const QString kConfirmation = QStringLiteral("Confirmation");
} // namespace

ProjectsTab::ProjectsTab(TabHost& host, QObject* owner)
    : QObject(owner), m_host(host), ui(host.form()), m_db(host.database()) {
    // A text typed into a combo box is a value, not a new entry of its list.
    ui.cboProjectFilter->setInsertPolicy(QComboBox::NoInsert);
    ui.cboStatus->setInsertPolicy(QComboBox::NoInsert);

    connect(ui.cboProjectFilter, &QComboBox::activated, this, &ProjectsTab::cboProjectFilter_Click);
    new EntryPicker(ui.lstProjects, [this] { lstProjects_Click(); });
    connect(ui.cmdpNew, &QPushButton::clicked, this, &ProjectsTab::cmdpNew_Click);
    connect(ui.cmdpEdit, &QPushButton::clicked, this, &ProjectsTab::cmdpEdit_Click);
    connect(ui.cmdpCancel, &QPushButton::clicked, this, &ProjectsTab::cmdpCancel_Click);
    connect(ui.cmdpSave, &QPushButton::clicked, this, &ProjectsTab::cmdpSave_Click);
    connect(ui.cmdpGenInvoice, &QPushButton::clicked, this, &ProjectsTab::cmdpGenInvoice_Click);
}

ProjectTexts ProjectsTab::typedTexts() const {
    ProjectTexts t;
    t.id = ui.txtpID->text();
    t.customerId = ui.txtpCustID->text();
    t.hours = ui.txtpBillingHours->text();
    t.rate = ui.txtpRate->text();
    t.summary = ui.txtpSummary->text();
    t.services = boxes::text(ui.txtpServices);
    t.details = boxes::text(ui.txtpDetails);
    t.notes = boxes::text(ui.txtpNotes);
    t.created = ui.txtpCreated->text();
    t.status = ui.cboStatus->currentText();
    return t;
}

void ProjectsTab::showTexts(const ProjectTexts& t) {
    ui.txtpID->setText(t.id);
    ui.txtpCustID->setText(t.customerId);
    ui.txtpBillingHours->setText(t.hours);
    ui.txtpRate->setText(t.rate);
    ui.txtpSummary->setText(t.summary);
    boxes::setText(ui.txtpServices, t.services);
    boxes::setText(ui.txtpDetails, t.details);
    boxes::setText(ui.txtpNotes, t.notes);
    ui.txtpCreated->setText(t.created);
    boxes::setComboPrompt(ui.cboStatus, t.status);
}

QWidget* ProjectsTab::box(Field field) const {
    switch (field) {
    case Field::Hours:
        return ui.txtpBillingHours;
    case Field::Rate:
        return ui.txtpRate;
    case Field::Summary:
        return ui.txtpSummary;
    case Field::Services:
        return ui.txtpServices;
    case Field::Details:
        return ui.txtpDetails;
    case Field::Notes:
        return ui.txtpNotes;
    case Field::Status:
        break;
    }
    return ui.cboStatus;
}

std::optional<projectstore::ProjectKey> ProjectsTab::shownKey(const ProjectTexts& typed) const {
    if (!m_loaded || typed.id.isEmpty() || typed.id != m_shown.id ||
        typed.customerId != m_shown.customerId)
        return std::nullopt;
    return projectstore::ProjectKey{m_loaded->value(projectstore::column::id).toInt(),
                                    m_shown.customerId.toInt(),
                                    m_loaded->value(projectstore::column::summary).toString()};
}

bool ProjectsTab::refused(Outcome outcome, const QString& notFound) {
    switch (outcome) {
    case Outcome::Done:
        return false;
    case Outcome::Duplicate:
        showMessage(QStringLiteral("Please adjust your Summary text.  It matches a current entry "
                                   "in your database."),
                    Buttons::Ok, Icon::None, kDataError);
        ui.txtpSummary->setFocus();
        break;
    case Outcome::NotFound:
        showMessage(notFound, Buttons::Ok, Icon::None, kDataError);
        break;
    case Outcome::ChangedMeanwhile:
        showMessage(QStringLiteral("This project was changed by another user since it was shown. "
                                   "Select it again to see the change."),
                    Buttons::Ok, Icon::None, kDataError);
        break;
    case Outcome::AlreadyInvoiced:
        showMessage(QStringLiteral("An invoice has already been generated for this project "
                                   "record.  You can only create one invoice per project.  Please "
                                   "either use Manual Invoice, or create a new project."),
                    Buttons::Ok, Icon::None, kNotice);
        break;
    case Outcome::Failed:
        // Reported where it failed.
        break;
    }
    return true;
}

bool ProjectsTab::confirmFigures(const ProjectTexts& typed) {
    // The box shows the very amount that would be billed.
    const std::optional<Money> total = projects::totalCost(typed.hours, typed.rate);
    if (!total) {
        HandleError(errnum::Overflow, QStringLiteral("Overflow"));
        return false;
    }
    return showMessage(projects::figuresText(typed.hours, typed.rate, *total), Buttons::OkCancel,
                       Icon::Information, kConfirmation) == Prompt::Ok;
}

// --- The filter and the project view -------------------------------------------

void ProjectsTab::cboProjectFilter_Click() {
    const std::optional<int> customerId = m_host.selectedCustomerId();
    if (!customerId)
        return;
    const QString picked = ui.cboProjectFilter->currentText();
    const std::optional<QStringList> entries = projectstore::projectEntries(
        m_db, *customerId, picked == u"ALL" ? std::nullopt : std::optional<QString>(picked));
    if (!entries || entries->isEmpty())
        return;
    const QSignalBlocker quiet(ui.lstProjects);
    ui.lstProjects->clear();
    ui.lstProjects->addItems(*entries);
}

void ProjectsTab::lstProjects_Click() {
    const int customerId = m_host.selectedCustomerId().value_or(0);
    const QListWidgetItem* item = ui.lstProjects->currentItem();
    const QString entry = item && item->isSelected() ? item->text() : QString();
    const std::optional<QVariantMap> row =
        projectstore::findProject(m_db, customerId, projects::projectKey(entry));
    if (!row) {
        showMessage(QStringLiteral("Project record not found."), Buttons::Ok, Icon::None,
                    kDataError);
        return;
    }
    showTexts(projects::shownTexts(*row, customerId));
    m_loaded = row;
    // Read back, so that "changed" later means changed by the user.
    m_shown = typedTexts();
}

// --- New, Edit, Cancel, Save -----------------------------------------------------

void ProjectsTab::cmdpNew_Click() {
    const std::optional<int> customerId = m_host.selectedCustomerId();
    if (!customerId)
        return;
    m_host.SetProjectEditMode(false);
    m_host.ClearAllTextBoxes();
    m_loaded.reset();
    ui.txtpCustID->setText(QString::number(*customerId));
    ui.txtpSummary->setEnabled(true);
    ui.txtpSummary->setReadOnly(false);
    ui.txtpSummary->setFocus();
}

void ProjectsTab::cmdpEdit_Click() {
    const QListWidgetItem* item = ui.lstProjects->currentItem();
    // Editing needs a shown project: after Save or Cancel emptied the boxes,
    // the highlighted entry must be picked again.
    if (m_host.selectedCustomerEntry().isEmpty() || !item || !item->isSelected() ||
        ui.txtpID->text().isEmpty())
        return;
    m_host.SetProjectEditMode(false);
    // Save finds the project by its summary, which therefore stays.
    ui.txtpSummary->setEnabled(false);
}

void ProjectsTab::cmdpCancel_Click() {
    m_host.SetProjectEditMode(true);
    m_host.ClearAllTextBoxes();
}

void ProjectsTab::cmdpSave_Click() {
    const std::optional<int> customerId = m_host.selectedCustomerId();
    if (!customerId)
        return;
    const ProjectTexts typed = typedTexts();
    if (const std::optional<projects::Refusal> refusal = projects::checkProject(typed)) {
        QWidget* target = box(refusal->field);
        if (refusal->focusFirst)
            target->setFocus();
        showMessage(refusal->message, Buttons::Ok, Icon::None, kDataError);
        if (!refusal->focusFirst)
            target->setFocus();
        return;
    }
    if (!confirmFigures(typed))
        return;
    if (showMessage(QStringLiteral("Please confirm this project's status as: ") + typed.status,
                    Buttons::YesNo, Icon::None, kConfirmation) != Prompt::Yes)
        return;

    const QDateTime now = environment::now();
    const QString notFound = QStringLiteral("Project record not found.");
    if (typed.id.isEmpty()) {
        ui.txtpCustID->setText(QString::number(*customerId));
        const projectstore::NewProject project{*customerId,
                                               *projects::readFigure(typed.hours),
                                               *projects::readFigure(typed.rate),
                                               typed.summary,
                                               typed.services,
                                               typed.details,
                                               typed.notes,
                                               typed.status};
        if (refused(projectstore::insertProject(m_db, project, now).outcome, notFound))
            return;
    } else {
        const std::optional<projectstore::ProjectKey> key = shownKey(typed);
        const QVariantMap changes = projects::changedColumns(m_shown, typed);
        const Outcome outcome =
            key ? projectstore::updateProject(
                      m_db, *key, projects::loadedValues(*m_loaded, changes), changes, now)
                : Outcome::NotFound;
        if (refused(outcome, notFound))
            return;
    }
    m_host.SetProjectEditMode(true);
    m_host.ClearAllTextBoxes();
    m_loaded.reset();
}

// --- Generate Invoice ----------------------------------------------------------------

void ProjectsTab::cmdpGenInvoice_Click() {
    const ProjectTexts typed = typedTexts();
    const std::optional<projectstore::ProjectKey> key = shownKey(typed);
    // Only what is stored is billed: a project not saved yet, or figures
    // typed since, must be saved first.
    if (typed.id.isEmpty() || typed.customerId.isEmpty() || !key || typed != m_shown) {
        showMessage(QStringLiteral("You must save your project before creating an invoice."),
                    Buttons::Ok, Icon::None, kNotice);
        return;
    }
    const QString notFound = QStringLiteral("Project record not found.  Please cancel and "
                                            "re-open this record to try again.");
    switch (projectstore::invoiceMark(m_db, key->id, key->customerId)) {
    case projectstore::InvoiceMark::NotFound:
        refused(Outcome::NotFound, notFound);
        return;
    case projectstore::InvoiceMark::Invoiced:
        refused(Outcome::AlreadyInvoiced, notFound);
        return;
    case projectstore::InvoiceMark::Open:
        break;
    }
    // A stored figure that does not read cannot be billed.
    if (const std::optional<projects::Refusal> refusal = projects::checkProject(typed);
        refusal && (refusal->field == Field::Hours || refusal->field == Field::Rate)) {
        showMessage(refusal->message, Buttons::Ok, Icon::None, kDataError);
        box(refusal->field)->setFocus();
        return;
    }
    if (!confirmFigures(typed))
        return;
    if (showMessage(QStringLiteral("Please confirm that you wish to create a new invoice?"),
                    Buttons::OkCancel, Icon::None, kConfirmation) != Prompt::Ok)
        return;
    if (refused(projectstore::generateInvoice(m_db, *key, *m_loaded, environment::now()).outcome,
                notFound))
        return;

    m_host.SetProjectEditMode(true);
    m_host.ClearAllTextBoxes();
    m_loaded.reset();
    m_host.showTab(MainTab::Invoices);
    m_host.lstCustomer_Click();
    ui.lstInvoices->setFocus();
}

} // namespace quillory
