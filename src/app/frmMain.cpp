#include "app/frmMain.h"

#include "app/customers.h"
#include "data/customerstore.h"
#include "data/loginsettings.h"
#include "errors/prompt.h"
#include "ui_frmMain.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>

namespace quillory {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kDataError = QStringLiteral("Data Error");

// Multi-line texts are kept with CR LF line breaks; the edit boxes use LF.
QString boxText(const QWidget* box) {
    if (const auto* line = qobject_cast<const QLineEdit*>(box))
        return line->text();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(box))
        return plain->toPlainText().replace(u'\n', kCrLf);
    return {};
}

void setBoxText(QWidget* box, const QString& text) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setText(text);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
        plain->setPlainText(QString(text).replace(kCrLf, QStringLiteral("\n")));
}

void setLocked(QWidget* box, bool locked) {
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setReadOnly(locked);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(box))
        plain->setReadOnly(locked);
}

// An editable combo box shows `text` without it being one of its items.
void setComboPrompt(QComboBox* combo, const QString& text) {
    combo->setCurrentIndex(-1);
    combo->setEditText(text);
}

} // namespace

frmMain::frmMain(Database& db, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::frmMain>()), m_db(db) {
    ui->setupUi(this);
    ui->cmdCustRefresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Every entry is one line: Qt need not measure each of them.
    ui->lstCustomer->setUniformItemSizes(true);

    connect(ui->cmdCustRefresh, &QPushButton::clicked, this, &frmMain::cmdCustRefresh_Click);
    connect(ui->lstCustomer, &QListWidget::itemSelectionChanged, this, &frmMain::lstCustomer_Click);
    connect(ui->cmdCustNew, &QPushButton::clicked, this, &frmMain::cmdCustNew_Click);
    connect(ui->cmdCustEdit, &QPushButton::clicked, this, &frmMain::cmdCustEdit_Click);
    connect(ui->cmdCustSave, &QPushButton::clicked, this, &frmMain::cmdCustSave_Click);
    connect(ui->cmdCustCancel, &QPushButton::clicked, this, &frmMain::cmdCustCancel_Click);
    connect(ui->cmdCustDelete, &QPushButton::clicked, this, &frmMain::cmdCustDelete_Click);
    connect(ui->mnuFileExit, &QAction::triggered, this, &frmMain::mnuFileExit_Click);

    m_initialized = m_db.OpenDatabase();
}

frmMain::~frmMain() {
    Form_Unload();
}

// --- Start-up and shutdown ----------------------------------------------------

bool frmMain::runLogin() {
    const LoginSettings login = readLoginSettings(m_db.cnMain);
    if (!login.asks)
        return true;
    const QString user = askInput(QStringLiteral("Enter username:"), QStringLiteral("Username:"))
                             .value_or(QString());
    if (!login.matches(login.userName, user))
        return false;
    const QString password =
        askInput(QStringLiteral("Enter password:"), QStringLiteral("Password:"), true)
            .value_or(QString());
    return login.matches(login.password, password);
}

bool frmMain::Form_Load() {
    if (!runLogin()) {
        close();
        Form_Unload();
        return false;
    }
    show();
    ClearAllTextBoxes();
    SetCustomerEditMode(true);
    ui->tabMain->setCurrentIndex(0);
    ui->cboStatus->clear();
    ui->cboStatus->addItems({QStringLiteral("Active"), QStringLiteral("On Hold"),
                             QStringLiteral("Pending"), QStringLiteral("Suspended"),
                             QStringLiteral("Completed"), QStringLiteral("Other")});
    setComboPrompt(ui->cboStatus, QStringLiteral("Select Status"));
    SetProjectEditMode(true);
    // Filled after the view states, which enable the list: an empty list
    // stays disabled, with the focus on New.
    fillCustomerList();
    ui->lblTotal->setText(QStringLiteral("Total Owing: "));
    ui->lblOpenDays->setText(QStringLiteral("Days open: "));
    ui->lblTotal->adjustSize();
    ui->lblOpenDays->adjustSize();
    return true;
}

void frmMain::Form_Unload() {
    if (m_unloaded)
        return;
    m_unloaded = true;
    m_db.CloseDatabase();
}

void frmMain::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_centred)
        return;
    m_centred = true;
    placeControls();
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

// The form gives every control its place at 96 dots per inch, and places the
// controls of a tab relative to the tab control itself (tab strip included).
// Here they are scaled to the screen's logical DPI and moved onto the pages.
void frmMain::placeControls() {
    const qreal factor = logicalDpiX() / 96.0;
    QList<QWidget*> pages;
    for (int i = 0; i < ui->tabMain->count(); ++i)
        pages.append(ui->tabMain->widget(i));
    if (!qFuzzyCompare(factor, 1.0)) {
        const auto scaled = [factor](const QRect& r) {
            return QRect(qRound(r.x() * factor), qRound(r.y() * factor), qRound(r.width() * factor),
                         qRound(r.height() * factor));
        };
        ui->centralwidget->setFixedSize(ui->centralwidget->minimumSize() * factor);
        for (QWidget* w : ui->centralwidget->findChildren<QWidget*>()) {
            if (pages.contains(w) || w->parentWidget() == nullptr ||
                w->parentWidget()->layout() != nullptr || !w->objectName().size() ||
                w->objectName().startsWith(QStringLiteral("qt_")))
                continue;
            w->setGeometry(scaled(w->geometry()));
        }
    }
    for (QWidget* page : pages) {
        const QPoint offset = page->mapTo(ui->tabMain, QPoint(0, 0));
        for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            child->move(child->pos() - offset);
    }
}

// --- Control states -----------------------------------------------------------

QList<QWidget*> frmMain::customerEditBoxes() const {
    return {ui->txtCustFirst,  ui->txtCustLast,    ui->txtCustStreet, ui->txtCustCity,
            ui->txtCustProv,   ui->txtCustCountry, ui->txtCustPcode,  ui->txtCustEmail1,
            ui->txtCustEmail2, ui->txtCustPhone,   ui->txtCustCell,   ui->txtCustContactNotes,
            ui->txtCustMemo};
}

QStringList frmMain::customerEditTexts() const {
    QStringList texts;
    for (const QWidget* box : customerEditBoxes())
        texts.append(boxText(box));
    return texts;
}

void frmMain::SetCustomerEditMode(bool view) {
    ui->txtCustId->setReadOnly(true);
    for (QWidget* box : customerEditBoxes())
        setLocked(box, view);
    ui->cmdCustNew->setEnabled(view);
    ui->cmdCustEdit->setEnabled(view);
    ui->cmdCustCancel->setEnabled(!view);
    ui->cmdCustSave->setEnabled(!view);
    ui->cmdCustDelete->setVisible(!view);
    ui->tabMain->setTabEnabled(1, view);
    ui->tabMain->setTabEnabled(2, view);
    ui->cmdCustRefresh->setEnabled(view);
    ui->lstCustomer->setEnabled(view);
    ui->lblcTotals->clear();
}

void frmMain::SetProjectEditMode(bool view) {
    ui->tabMain->setTabEnabled(0, view);
    ui->tabMain->setTabEnabled(2, view);
    ui->cmdCustRefresh->setEnabled(view);
    ui->lstCustomer->setEnabled(view);
    ui->cmdpNew->setEnabled(view);
    ui->cmdpEdit->setEnabled(view);
    ui->cmdpCancel->setEnabled(!view);
    ui->cmdpSave->setEnabled(!view);
    ui->cmdpGenInvoice->setEnabled(!view);
    ui->fraProject->setEnabled(!view);
}

void frmMain::ClearAllTextBoxes() {
    for (QLineEdit* line : findChildren<QLineEdit*>()) {
        // The edit field inside a combo box belongs to the combo box.
        if (!qobject_cast<QComboBox*>(line->parentWidget()))
            line->clear();
    }
    for (QPlainTextEdit* plain : findChildren<QPlainTextEdit*>())
        plain->clear();
}

// --- Customer list and view ---------------------------------------------------

QString frmMain::selectedCustomerEntry() const {
    const QListWidgetItem* item = ui->lstCustomer->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void frmMain::fillCustomerList() {
    const std::optional<QStringList> entries = customerstore::customerEntries(m_db);
    QListWidget* list = ui->lstCustomer;
    if (!entries || entries->isEmpty()) {
        list->clear();
        list->setEnabled(false);
        ui->cmdCustNew->setFocus();
        return;
    }
    const QSignalBlocker quiet(list);
    list->clear();
    list->addItems(*entries);
    list->setCurrentRow(-1);
    list->setEnabled(true);
    list->setFocus();
}

void frmMain::cmdCustRefresh_Click() {
    ClearAllTextBoxes();
    fillCustomerList();
    setComboPrompt(ui->cboStatus, QStringLiteral("Select Status"));
    ui->fraProject->setEnabled(false);
    ui->lstProjects->clear();
    ui->cboProjectFilter->clear();
    setComboPrompt(ui->cboProjectFilter, QStringLiteral("Select Filter"));
    ui->fraiPayment->setEnabled(false);
    ui->lblOpenDays->clear();
    ui->lblTotal->clear();
    ui->lblcTotals->clear();
    ui->lstInvoices->clear();
}

void frmMain::lstCustomer_Click() {
    const QString entry = selectedCustomerEntry();
    if (entry.isEmpty())
        return;
    ClearAllTextBoxes();
    const std::optional<int> id = customers::selectedCustomerId(entry);
    if (!id)
        return;
    const std::optional<QVariantList> row = customerstore::customerRow(m_db, *id);
    if (!row)
        return;
    const QList<QWidget*> boxes = QList<QWidget*>{ui->txtCustId} + customerEditBoxes();
    for (int i = 0; i < boxes.size() && i < row->size(); ++i)
        setBoxText(boxes.at(i), row->at(i).toString());
    SetCustomerEditMode(true);

    const QStringList projects = customerstore::projectEntries(m_db, *id);
    if (projects.isEmpty()) {
        ui->lstProjects->clear();
        ui->lstProjects->setEnabled(false);
        ui->cboProjectFilter->setEnabled(false);
    } else {
        ui->lstProjects->clear();
        ui->lstProjects->addItems(projects);
        ui->cboProjectFilter->clear();
        ui->cboProjectFilter->addItems(customerstore::projectStatuses(m_db, *id) +
                                       QStringList{QStringLiteral("ALL")});
        setComboPrompt(ui->cboProjectFilter, QStringLiteral("Select Filter"));
        ui->lstProjects->setEnabled(true);
        ui->cboProjectFilter->setEnabled(true);
    }
    setComboPrompt(ui->cboStatus, QStringLiteral("Select Status"));
    ui->fraProject->setEnabled(false);

    const QStringList invoices = customerstore::invoiceEntries(m_db, *id);
    ui->lstInvoices->clear();
    ui->lstInvoices->setEnabled(!invoices.isEmpty());
    ui->lstInvoices->addItems(invoices);

    ui->fraiPayment->setEnabled(false);
    ui->lblOpenDays->clear();
    ui->lblTotal->clear();
    ui->lblcTotals->setText(customers::totalsCaption(customerstore::customerTotals(m_db, *id)));
}

// --- Customer editing ---------------------------------------------------------

void frmMain::cmdCustNew_Click() {
    ClearAllTextBoxes();
    SetCustomerEditMode(false);
    ui->txtCustFirst->setFocus();
}

void frmMain::cmdCustEdit_Click() {
    if (selectedCustomerEntry().isEmpty()) {
        showMessage(QStringLiteral("Please select a customer from the list before editing."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, kDataError);
        return;
    }
    SetCustomerEditMode(false);
    ui->txtCustFirst->setFocus();
}

void frmMain::cmdCustSave_Click() {
    const QList<QWidget*> boxes = customerEditBoxes();
    const QStringList typed = customerEditTexts();
    QStringList texts = typed;
    const std::optional<int> missing = customers::applySaveRules(texts);
    for (int i = 0; i < boxes.size(); ++i)
        if (texts.at(i) != typed.at(i))
            setBoxText(boxes.at(i), texts.at(i));
    if (missing) {
        boxes.at(*missing)->setFocus();
        showMessage(QStringLiteral("Please enter information about this customer."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, kDataError);
        return;
    }
    if (ui->txtCustId->text().isEmpty()) {
        // A failed write has been reported; the edit state and the typed
        // values stay so that nothing is lost.
        if (!customerstore::insertCustomer(m_db, texts))
            return;
    } else {
        const std::optional<int> id = customers::selectedCustomerId(selectedCustomerEntry());
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
    ClearAllTextBoxes();
    SetCustomerEditMode(true);
    ui->lstCustomer->setFocus();
}

void frmMain::cmdCustCancel_Click() {
    Form_Load();
}

void frmMain::cmdCustDelete_Click() {
    const std::optional<int> id = customers::selectedCustomerId(selectedCustomerEntry());
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
    SetCustomerEditMode(true);
    cmdCustRefresh_Click();
    showMessage(QStringLiteral("Customer Records removed from database successfully."), Buttons::Ok,
                Icon::None, QStringLiteral("Notice"));
}

void frmMain::mnuFileExit_Click() {
    close();
}

} // namespace quillory
