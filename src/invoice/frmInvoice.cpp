#include "invoice/frmInvoice.h"

#include "errors/prompt.h"
#include "invoice/invoiceprint.h"
#include "ui_frmInvoice.h"
#include "widgets/printing.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QPrinter>
#include <QScreen>

namespace quillory {

namespace {

// The text area ends this far above the window's bottom edge (85 twips).
constexpr qreal kBottomGap = 85.0 / 15.0;
constexpr qreal kTabStopPixels = 48.0;

} // namespace

frmInvoice::frmInvoice(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), ui(std::make_unique<Ui::frmInvoice>()) {
    ui->setupUi(this);
    ui->rtfText->setFont(invoiceprint::documentFont());
    ui->rtfText->setTabStopDistance(kTabStopPixels);
    connect(ui->cmdPrint, &QPushButton::clicked, this, &frmInvoice::cmdPrint_Click);
    connect(ui->cmdCopyText, &QPushButton::clicked, this, &frmInvoice::cmdCopyText_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmInvoice::cmdCancel_Click);
}

frmInvoice::~frmInvoice() = default;

void frmInvoice::fill(const QString& logoPath, const QString& text) {
    m_text = text;
    m_logo = QImage();
    QRect logo = ui->imgLogo->geometry();
    ui->imgLogo->clear();
    if (logoPath.isEmpty() || logoPath == u"NONE") {
        logo.setHeight(0);
    } else if (m_logo.load(logoPath)) {
        ui->imgLogo->setPixmap(QPixmap::fromImage(m_logo));
        logo.setSize(m_logo.size());
    }
    ui->imgLogo->setGeometry(logo);
    ui->imgLogo->setVisible(logo.height() > 0);

    const int top = logo.y() + logo.height();
    const int height = qMax(0, qRound(this->height() - top - kBottomGap));
    ui->rtfText->setGeometry(ui->rtfText->x(), top, ui->rtfText->width(), height);
    // The buttons stay above the logo and the text.
    for (QWidget* button : {ui->cmdCancel, ui->cmdCopyText, ui->cmdPrint})
        button->raise();
    ui->rtfText->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void frmInvoice::showEvent(QShowEvent* event) {
    if (!m_loaded) {
        m_loaded = true;
        Form_Load();
    }
    QDialog::showEvent(event);
}

void frmInvoice::Form_Load() {
    const QScreen* screen = this->screen();
    if (!screen)
        return;
    const QRect area = screen->geometry();
    move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
}

void frmInvoice::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmInvoice::cmdCopyText_Click() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    auto* plain = new QMimeData;
    plain->setText(m_text);
    clipboard->setMimeData(plain);
    // Confirmed only when the clipboard now holds the text itself.
    const QMimeData* held = clipboard->mimeData();
    if (!held || held->text() != m_text) {
        showMessage(QStringLiteral("The invoice text could not be put on the clipboard.  Please "
                                   "try again."),
                    Prompt::Buttons::Ok, Prompt::Icon::Exclamation, QStringLiteral("Notice"));
        return;
    }
    showMessage(QStringLiteral("Invoice text has been copied to your clipboard."),
                Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Notice"));
    close();
}

void frmInvoice::cmdPrint_Click() {
    if (showMessage(QStringLiteral("Send the print job now?"), Prompt::Buttons::OkCancel,
                    Prompt::Icon::Information, QStringLiteral("Confirm")) != Prompt::Ok)
        return;
    // The document is printed whole, from its text, so the buttons never
    // reach the paper.
    const std::unique_ptr<QPrinter> printer = printing::defaultPrinter();
    if (!printer || !invoiceprint::printDocument(*printer, m_logo, m_text, ui->rtfText->font())) {
        showMessage(QStringLiteral("The invoice could not be printed.  Please check that a "
                                   "printer is set up and ready, then try again."),
                    Prompt::Buttons::Ok, Prompt::Icon::Exclamation, QStringLiteral("Print"));
        return;
    }
    close();
}

void frmInvoice::cmdCancel_Click() {
    close();
}

} // namespace quillory
