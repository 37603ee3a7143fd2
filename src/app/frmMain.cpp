#include "app/frmMain.h"

#include "customers/customers.h"
#include "customers/customerstab.h"
#include "errors/handleerror.h"
#include "errors/prompt.h"
#include "invoice/invoicestab.h"
#include "options/loginsettings.h"
#include "projects/projectstab.h"
#include "ui_frmMain.h"
#include "widgets/boxes.h"
#include "widgets/fittinglabel.h"
#include "widgets/frames.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStyle>

namespace quillory {

frmMain::frmMain(Database& db, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::frmMain>()), m_db(db) {
    ui->setupUi(this);
    boxes::limitCharacters(this);
    boxes::nameByCaptions(this);
    frames::drawLineThroughCaptions(this);
    ui->cmdCustRefresh->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    m_customers = std::make_unique<CustomersTab>(*this, this);
    m_projects = std::make_unique<ProjectsTab>(*this, this);
    m_invoices = std::make_unique<InvoicesTab>(*this, this);
    connectMenus();

    m_initialized = m_db.OpenDatabase();
}

frmMain::~frmMain() {
    Form_Unload();
}

// --- Start-up and shutdown ----------------------------------------------------

bool frmMain::runLogin() {
    const LoginSettings login = readLoginSettings(m_db.cnMain);
    // Settings that cannot be read have nothing to check the answers
    // against: nobody gets in, and the reason goes to the error log.
    if (!login.readable) {
        HandleError(login.error);
        return false;
    }
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
    boxes::setComboPrompt(ui->cboStatus, QStringLiteral("Select Status"));
    SetProjectEditMode(true);
    // Filled after the view states, which enable the list: an empty list
    // stays disabled, with the focus on New.
    m_customers->fillCustomerList();
    ui->lblTotal->setText(QStringLiteral("Total Owing: "));
    ui->lblOpenDays->setText(QStringLiteral("Days open: "));
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
            // A fitting label's size follows its text at the screen's own
            // font size already; only its place is scaled.
            if (qobject_cast<FittingLabel*>(w))
                w->move(scaled(w->geometry()).topLeft());
            else
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

void frmMain::SetCustomerEditMode(bool view) {
    ui->txtCustId->setReadOnly(true);
    for (QWidget* box : m_customers->editBoxes())
        boxes::setLocked(box, view);
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
    // Picking another project while one is being entered would replace what
    // was typed, and the Save would then land on the project picked. The
    // frame's own state leaves the list's and the filter's as they were.
    ui->fraProjects->setEnabled(view);
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

// --- The selected customer ---------------------------------------------------

QString frmMain::selectedCustomerEntry() const {
    const QListWidgetItem* item = ui->lstCustomer->currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

std::optional<int> frmMain::selectedCustomerId() const {
    return customers::selectedCustomerId(selectedCustomerEntry());
}

void frmMain::showTab(MainTab tab) {
    ui->tabMain->setCurrentIndex(static_cast<int>(tab));
}

void frmMain::cmdCustRefresh_Click() {
    m_customers->cmdCustRefresh_Click();
}

void frmMain::lstCustomer_Click() {
    m_customers->lstCustomer_Click();
}

} // namespace quillory
