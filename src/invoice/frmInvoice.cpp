#include "invoice/frmInvoice.h"

#include "errors/prompt.h"
#include "invoice/invoiceprint.h"
#include "invoice/logo.h"
#include "printing/printfonts.h"
#include "ui_frmInvoice.h"
#include "widgets/clipboard.h"
#include "widgets/printing.h"

#include <QEventLoop>
#include <QFutureWatcher>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace quillory {

namespace {

// The text area ends this far above the window's bottom edge (85 twips).
constexpr qreal kBottomGap = 85.0 / 15.0;
constexpr qreal kTabStopPixels = 48.0;

} // namespace

frmInvoice::frmInvoice(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint), ui(std::make_unique<Ui::frmInvoice>()) {
    ui->setupUi(this);
    m_designLogoSize = ui->imgLogo->size();
    const printing::PrintFont documentFont = invoiceprint::documentFont();
    QFont font(documentFont.family);
    font.setPointSizeF(documentFont.pointSize);
    ui->rtfText->setFont(font);
    ui->rtfText->setTabStopDistance(kTabStopPixels);
    connect(ui->cmdPrint, &QPushButton::clicked, this, &frmInvoice::cmdPrint_Click);
    connect(ui->cmdCopyText, &QPushButton::clicked, this, &frmInvoice::cmdCopyText_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmInvoice::cmdCancel_Click);
}

frmInvoice::~frmInvoice() = default;

void frmInvoice::fill(const QString& logoPath, const QString& text) {
    m_text = text;
    ui->rtfText->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    const bool none = !logo::named(logoPath);
    placeLogo(QImage(), none);
    if (none)
        return;
    // A file on a hung share, or a FIFO, must not hold up the window.
    m_logoPending = true;
    auto* watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher] {
        m_logoPending = false;
        placeLogo(watcher->result(), false);
        watcher->deleteLater();
        emit logoSettled();
    });
    watcher->setFuture(logo::readLogoLater(logoPath));
}

bool frmInvoice::waitForLogo() {
    if (!m_logoPending)
        return true;
    // Input waits meanwhile, so that nothing is pressed twice; the window
    // still paints.
    const QPointer<frmInvoice> alive(this);
    QEventLoop settled;
    connect(this, &frmInvoice::logoSettled, &settled, &QEventLoop::quit);
    QTimer::singleShot(logo::kWaitMs, &settled, &QEventLoop::quit);
    settled.exec(QEventLoop::ExcludeUserInputEvents);
    return !alive.isNull();
}

void frmInvoice::placeLogo(const QImage& picture, bool collapsed) {
    m_logo = picture;
    QRect logo(ui->imgLogo->pos(), m_designLogoSize);
    ui->imgLogo->clear();
    if (collapsed) {
        logo.setHeight(0);
    } else if (!picture.isNull()) {
        ui->imgLogo->setPixmap(QPixmap::fromImage(picture));
        logo.setSize(picture.size());
    }
    ui->imgLogo->setGeometry(logo);
    ui->imgLogo->setVisible(logo.height() > 0);

    const int top = logo.y() + logo.height();
    const int height = qMax(0, qRound(this->height() - top - kBottomGap));
    ui->rtfText->setGeometry(ui->rtfText->x(), top, ui->rtfText->width(), height);
    // The buttons stay above the logo and the text.
    for (QWidget* button : {ui->cmdCancel, ui->cmdCopyText, ui->cmdPrint})
        button->raise();
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
    // Confirmed only when the clipboard took the text; otherwise the window
    // stays open for another try.
    if (!clipboard::putText(m_text)) {
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
    if (!waitForLogo())
        return;
    // The document is printed whole, from its text, so the buttons never
    // reach the paper. The window stays open unless the spooler took the job.
    const QImage logo = m_logo;
    const QString text = m_text;
    const QString title = m_printTitle;
    printing::JobResult job;
    printing::runJob(this, printing::printWording(title), [&](printing::JobControl& control) {
        const std::optional<printing::Destination> destination =
            printing::spooler().destination(&job.error);
        if (!destination)
            return;
        printing::PrintFonts fonts;
        const printing::PrintedDocument document =
            invoiceprint::layOutInvoice(fonts, destination->page, logo, text, title);
        job = printing::composeAndSubmit(*destination, document, fonts, control);
    });
    if (job.cancelled)
        return;
    if (!job.printed()) {
        showMessage(QStringLiteral("The invoice could not be printed.  Please check that a "
                                   "printer is set up and ready, then try again.\r\n\r\n") +
                        job.error.description,
                    Prompt::Buttons::Ok, Prompt::Icon::Exclamation, QStringLiteral("Print"));
        return;
    }
    close();
}

void frmInvoice::cmdCancel_Click() {
    close();
}

} // namespace quillory
