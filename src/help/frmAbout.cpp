#include "help/frmAbout.h"

#include "errors/prompt.h"
#include "help/version.h"
#include "ui_frmAbout.h"

namespace quillory {

frmAbout::frmAbout(QWidget* owner) : QDialog(owner), ui(std::make_unique<Ui::frmAbout>()) {
    ui->setupUi(this);
    setAttribute(Qt::WA_DeleteOnClose);
    // Enter presses OK as the default button; Escape closes the box the same.
    connect(ui->cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(this, &QDialog::rejected, this, &frmAbout::cmdOK_Click);
    Form_Load();
}

frmAbout::~frmAbout() = default;

QString frmAbout::versionCaption(int major, int minor, int patch) {
    return QStringLiteral("Version %1.%2.%3").arg(major).arg(minor).arg(patch);
}

void frmAbout::Form_Load() {
    setWindowTitle(QStringLiteral("About ") + Prompt::applicationTitle());
    ui->lblVersion->setText(
        versionCaption(QUILLORY_VERSION_MAJOR, QUILLORY_VERSION_MINOR, QUILLORY_VERSION_PATCH));
    ui->lblTitle->setText(Prompt::applicationTitle());
    ui->lblDescription->setText(QStringLiteral(QUILLORY_DESCRIPTION));
}

frmAbout* frmAbout::showFor(QWidget* owner) {
    auto* about = new frmAbout(owner);
    about->setWindowModality(Qt::ApplicationModal);
    about->move(owner->window()->pos());
    about->show();
    return about;
}

void frmAbout::cmdOK_Click() {
    close();
}

} // namespace quillory
