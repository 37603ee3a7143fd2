#pragma once

#include <QDialog>
#include <QImage>

#include <memory>

namespace Ui {
class frmInvoice;
}

namespace quillory {

// The invoice preview: a borderless white window with the logo, the document
// text and three buttons that copy it for e-mail, print it, or close.
class frmInvoice : public QDialog {
    Q_OBJECT

public:
    explicit frmInvoice(QWidget* owner);
    ~frmInvoice() override;

    // Shows the logo named by `logoPath` and the text below it. An empty path
    // or "NONE" shows no logo and leaves no room for one; a file that cannot
    // be read as a picture leaves the logo's empty band. The logo is read off
    // the window's thread: the window shows the band meanwhile and takes
    // input, and logoSettled() tells when the logo is in place.
    void fill(const QString& logoPath, const QString& text);
    const QString& documentText() const { return m_text; }
    // The title of the print job, as the queue shows it ("Invoice 9").
    void setPrintTitle(const QString& title) { m_printTitle = title; }
    bool logoPending() const { return m_logoPending; }

    void cmdCopyText_Click();
    void cmdPrint_Click();
    void cmdCancel_Click();

signals:
    void logoSettled();

protected:
    void showEvent(QShowEvent* event) override;
    // Enter and Esc have no effect of their own here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    // Places the logo (or the empty band, or nothing) and the text below it.
    void placeLogo(const QImage& picture, bool collapsed);
    // Lets a logo still being read arrive, for a little while, before the
    // document is printed. False when the window was closed meanwhile.
    bool waitForLogo();

    std::unique_ptr<Ui::frmInvoice> ui;
    QString m_text;
    QString m_printTitle = QStringLiteral("Invoice");
    QImage m_logo;
    QSize m_designLogoSize;
    bool m_loaded = false;
    bool m_logoPending = false;
};

} // namespace quillory
