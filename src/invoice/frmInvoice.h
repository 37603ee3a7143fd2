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
    // be read as a picture leaves the logo's empty band.
    void fill(const QString& logoPath, const QString& text);
    const QString& documentText() const { return m_text; }
    // The title of the print job, as the queue shows it ("Invoice 9").
    void setPrintTitle(const QString& title) { m_printTitle = title; }

    void cmdCopyText_Click();
    void cmdPrint_Click();
    void cmdCancel_Click();

protected:
    void showEvent(QShowEvent* event) override;
    // Enter and Esc have no effect of their own here.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();

    std::unique_ptr<Ui::frmInvoice> ui;
    QString m_text;
    QString m_printTitle = QStringLiteral("Invoice");
    QImage m_logo;
    bool m_loaded = false;
};

} // namespace quillory
