#include "options/frmOptions.h"

#include "errors/prompt.h"
#include "ui_frmOptions.h"
#include "widgets/boxes.h"
#include "widgets/frames.h"

#include <QKeyEvent>
#include <QStyle>

namespace quillory {

namespace {

using Buttons = Prompt::Buttons;
using Icon = Prompt::Icon;

const QString kDataError = QStringLiteral("Data Error");
constexpr int kIconPixels = 24;

void changedMeanwhile() {
    showMessage(QStringLiteral("These options were changed by another user since they were shown. "
                               "Close this window and open it again to see the change."),
                Buttons::Ok, Icon::None, kDataError);
}

} // namespace

frmOptions::frmOptions(QWidget* owner, Database& db)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                         Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      ui(std::make_unique<Ui::frmOptions>()), m_db(db) {
    ui->setupUi(this);
    boxes::limitCharacters(this);
    boxes::nameByCaptions(this);
    frames::drawLineThroughCaptions(this);
    setWindowIcon(QIcon(style()->standardIcon(QStyle::SP_FileDialogInfoView).pixmap(kIconPixels)));
    connect(ui->cmdLogoImage, &QPushButton::clicked, this, &frmOptions::cmdLogoImage_Click);
    connect(ui->cmdSave, &QPushButton::clicked, this, &frmOptions::cmdSave_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmOptions::cmdCancel_Click);
}

frmOptions::~frmOptions() = default;

void frmOptions::showModal(QWidget* owner, Database& db) {
    // Gone when closed, also when its owner goes first.
    auto* window = new frmOptions(owner, db);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->Form_Load();
    window->exec();
}

QList<QWidget*> frmOptions::columnBoxes() const {
    return {ui->txtUsername, ui->txtPassword, ui->txtBusName, ui->txtAddress, ui->txtURL,
            ui->txtSlogan,   ui->txtPhone,    ui->txtEmail,   ui->txtLogo};
}

QVariantMap frmOptions::windowValues() const {
    QVariantMap values;
    values.insert(optionsstore::kColumns.at(0), ui->chkLogin->isChecked() ? 1 : 0);
    const QList<QWidget*> boxList = columnBoxes();
    for (int i = 0; i < boxList.size(); ++i)
        values.insert(optionsstore::kColumns.at(i + 1), boxes::text(boxList.at(i)));
    return values;
}

void frmOptions::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmOptions::Form_Load() {
    if (parentWidget())
        move(parentWidget()->window()->pos());
    // Every box is set, a Null column to the empty text, so that nothing
    // stays from before.
    ui->chkLogin->setChecked(false);
    for (QWidget* box : columnBoxes())
        boxes::setText(box, QString());
    m_read = optionsstore::readOptions(m_db);
    if (m_read && !m_read->row) {
        showMessage(QStringLiteral("No options have been set.  Please enter your settings."),
                    Buttons::Ok, Icon::None, kDataError);
    } else if (m_read) {
        const QVariantMap& row = *m_read->row;
        ui->chkLogin->setChecked(row.value(optionsstore::kColumns.at(0)).toInt() == 1);
        const QList<QWidget*> boxList = columnBoxes();
        for (int i = 0; i < boxList.size(); ++i)
            boxes::setText(boxList.at(i), row.value(optionsstore::kColumns.at(i + 1)).toString());
    }
    m_loadedValues = windowValues();
}

void frmOptions::cmdLogoImage_Click() {
    const std::optional<QString> chosen =
        askOpenFile(QStringLiteral("Open"),
                    QStringLiteral("JPG (*.jpg);;GIF (*.gif);;JPEG (*.jpeg);;Bitmap (*.bmp)"));
    if (!chosen || chosen->isEmpty())
        return;
    ui->txtLogo->setText(*chosen);
}

void frmOptions::cmdSave_Click() {
    if (ui->chkLogin->isChecked()) {
        if (ui->txtUsername->text().isEmpty() || ui->txtPassword->text().isEmpty()) {
            showMessage(QStringLiteral("You must enter a username and password."));
            return;
        }
        if (showMessage(QStringLiteral("NOTICE:\r\nUsername and password are not recoverable "
                                       "should you forget your login information.\r\nContinue "
                                       "saving and do use login?"),
                        Buttons::YesNo, Icon::None, QStringLiteral("Confirmation")) != Prompt::Yes)
            return;
    }
    // Only an empty text counts as empty; blanks are saved as typed.
    const QList<QWidget*> business = {ui->txtBusName, ui->txtAddress, ui->txtURL,
                                      ui->txtSlogan,  ui->txtPhone,   ui->txtEmail};
    for (QWidget* box : business) {
        if (boxes::text(box).isEmpty()) {
            box->setFocus();
            showMessage(QStringLiteral("Please complete all fields."), Buttons::Ok, Icon::None,
                        kDataError);
            return;
        }
    }
    if (ui->txtLogo->text().isEmpty())
        ui->txtLogo->setText(QStringLiteral("NONE"));

    if (!m_read) {
        // The options could not be read when the window opened (that was
        // reported). Try again: an empty table takes the new row; a row the
        // window never showed is not written over.
        m_read = optionsstore::readOptions(m_db);
        if (!m_read)
            return;
        if (m_read->row) {
            m_read.reset();
            changedMeanwhile();
            return;
        }
    }
    // A new row takes every column; an existing one only what the user
    // changed, so that untouched columns are never rewritten.
    const QVariantMap now = windowValues();
    QVariantMap changes;
    for (auto it = now.cbegin(); it != now.cend(); ++it)
        if (!m_read->row || m_loadedValues.value(it.key()) != it.value())
            changes.insert(it.key(), it.value());

    switch (optionsstore::saveOptions(m_db, *m_read, changes)) {
    case optionsstore::SaveResult::Saved:
        close();
        return;
    case optionsstore::SaveResult::ChangedMeanwhile:
        changedMeanwhile();
        return;
    case optionsstore::SaveResult::Failed:
        return;
    }
}

void frmOptions::cmdCancel_Click() {
    close();
}

} // namespace quillory
