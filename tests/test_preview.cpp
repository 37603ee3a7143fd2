// The invoice preview: the window, its logo, the copy for e-mail and the
// printed document.
#include "invoice/frmInvoice.h"
#include "invoice/invoiceprint.h"
#include "invoice/logo.h"
#include "invoiceharness.h"
#include "printqueue.h"
#include "widgets/clipboard.h"
#include "widgets/printing.h"

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QSemaphore>
#include <QSignalSpy>

#include <sys/stat.h>

using namespace quillory;
using test::pdfPages;
using test::pdfText;
using test::PrintQueues;
using test::QueuedJob;
using namespace quillory::test;

namespace {

// The document of invoice 1 as startWithInvoice() and addOptions() store it,
// line by line, each line ending in CR LF.
const QString kDocument =
    QStringLiteral("Acme Repairs\r\n"
                   "1 Shop Rd\r\nHalifax NS\t\tacme.example\r\n"
                   "555-0100\t\tacme@example.com\r\n"
                   "We fix it\r\n"
                   "\r\n"
                   "ISSUED TO:\r\n"
                   "Ann Ames\r\n"
                   "1 Main St, Halifax, NS, B3H, CA\r\n"
                   "a@example.com // NA\r\n"
                   "\r\n"
                   "INVOICE DETAILS: \t\tProject ID: 0\tInvoice ID: 1\tStatus: OPEN\r\n"
                   "Invoice Date: 12/1/2026 10:00:00 AM\r\n"
                   "\r\n"
                   "Project Description: \r\n"
                   "\r\n"
                   "\r\n"
                   "Payment History: NA\r\n"
                   "\r\n"
                   "Amount Due: 100\tAmount Paid: 25\r\n"
                   "\r\n"
                   "CURRENT BALANCE: 75\r\n");

// Opens the preview of invoice 1 with "Create Email Text" and runs `act` on
// it while it is on screen.
int openPreview(MainWindowHarness& h, const std::function<void(QWidget*)>& act) {
    const WhenShown preview(QStringLiteral("frmInvoice"), act);
    click(h.get<QPushButton>("cmdiInvoiceEmail"));
    return preview.times();
}

// Waits until the preview has read its logo, as a user sees it appear.
void waitForLogo(QWidget* window) {
    auto* preview = qobject_cast<frmInvoice*>(window);
    QVERIFY(preview);
    if (preview->logoPending())
        QVERIFY(QSignalSpy(preview, &frmInvoice::logoSettled).wait());
}

void expectPrintConfirmation(MainWindowHarness& h, Prompt::Answer answer) {
    h.prompt.expectMessage(QStringLiteral("Send the print job now?"), QStringLiteral("Confirm"),
                           answer, Prompt::Buttons::OkCancel, Prompt::Icon::Information);
}

// Every character 0.1 inch wide, every line 0.2 inch high.
class FixedMeasure : public printing::FontMeasure {
public:
    double lineHeight(const printing::PrintFont&) const override { return 0.2; }
    double textWidth(const printing::PrintFont&, const QString& text) const override {
        return 0.1 * static_cast<double>(text.size());
    }
};

// Each page as its lines, each line as "x:text" per run.
QList<QList<QStringList>> pagesOf(const printing::PrintedDocument& document) {
    QList<QList<QStringList>> pages;
    for (const printing::PrintedPage& page : document.pages) {
        QList<QStringList> lines;
        double y = -1;
        for (const printing::TextRun& run : page.runs) {
            if (lines.isEmpty() || run.y > y + 1e-9) {
                lines.append(QStringList());
                y = run.y;
            }
            lines.last().append(QString::number(run.x) + u':' + run.text);
        }
        pages.append(lines);
    }
    return pages;
}

} // namespace

class PreviewTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() {
        printing::setBeforeSubmit({});
        clipboard::setClipboard({});
    }

    void thePreviewIsABorderlessCentredModalWindowWithItsButtonsInOrder() {
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(startWithInvoice(h, 1, 1000000, 250000, 0));
        const int shown = openPreview(h, [&h](QWidget* window) {
            QCOMPARE(window->windowTitle(), QStringLiteral("Invoice Preview"));
            QVERIFY(window->windowFlags().testFlag(Qt::FramelessWindowHint));
            QVERIFY(window->isModal());
            QCOMPARE(window->parentWidget(), h.window.get());
            QCOMPARE(window->size(), QSize(667, 743));
            QCOMPARE(window->geometry().center(), window->screen()->geometry().center());
            const auto* cancel = child<QPushButton>(window, "cmdCancel");
            const auto* copy = child<QPushButton>(window, "cmdCopyText");
            const auto* print = child<QPushButton>(window, "cmdPrint");
            QVERIFY(cancel->x() < copy->x() && copy->x() < print->x());
            QCOMPARE(copy->text(), QStringLiteral("Copy for &Email"));
            // Esc and Enter do nothing of their own.
            QTest::keyClick(window, Qt::Key_Escape);
            QTest::keyClick(window, Qt::Key_Return);
            QVERIFY(window->isVisible());
            click(child<QPushButton>(window, "cmdCancel"));
            QVERIFY(!window || !window->isVisible());
        });
        QCOMPARE(shown, 1);
        QVERIFY(h.prompt.verifyAllShown());
    }

    // A copy the clipboard took is confirmed and closes the preview; one it
    // refused is said, and the preview stays open for another try.
    void copyLeavesExactlyTheDocumentOnTheClipboardAsPlainText_data() {
        QTest::addColumn<bool>("taken");
        QTest::newRow("the clipboard takes it") << true;
        QTest::newRow("the clipboard refuses it") << false;
    }
    void copyLeavesExactlyTheDocumentOnTheClipboardAsPlainText() {
        QFETCH(bool, taken);
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(startWithInvoice(h, 1, 1000000, 250000, 0));
        auto* before = new QMimeData;
        before->setHtml(QStringLiteral("<b>old</b>"));
        QGuiApplication::clipboard()->setMimeData(before);
        if (taken) {
            h.prompt.expectMessage(QStringLiteral("Invoice text has been copied to your "
                                                  "clipboard."),
                                   QStringLiteral("Notice"));
        } else {
            clipboard::setClipboard([](const QString&) { return false; });
            h.prompt.expectMessage(QStringLiteral("The invoice text could not be put on the "
                                                  "clipboard.  Please try again."),
                                   QStringLiteral("Notice"), Prompt::Ok, Prompt::Buttons::Ok,
                                   Prompt::Icon::Exclamation);
        }
        bool closed = false;
        openPreview(h, [&closed](QWidget* window) {
            const QPointer<QWidget> alive = window;
            click(child<QPushButton>(window, "cmdCopyText"));
            closed = !alive || !alive->isVisible();
        });
        QCOMPARE(closed, taken);
        QVERIFY(h.prompt.verifyAllShown());
        if (!taken)
            return;
        const QMimeData* held = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(held->formats(), QStringList{QStringLiteral("text/plain")});
        QCOMPARE(held->text().toUtf8(), kDocument.toUtf8());
    }

    // The whole document goes on paper, however long its payment history,
    // with the logo and without the window's buttons.
    void printingPutsTheWholeDocumentOnAsManyPagesAsItNeeds() {
        MainWindowHarness h;
        QImage logo(120, 40, QImage::Format_RGB32);
        logo.fill(Qt::darkBlue);
        const QString logoPath = h.program.file(QStringLiteral("logo.bmp"));
        QVERIFY(logo.save(logoPath));
        addOptions(h, logoPath);
        QStringList history{QStringLiteral("NA")};
        for (int i = 1; i <= 150; ++i)
            history.append(QStringLiteral("11/%1/2026 10:00:00 AM($0.01)").arg(i % 28 + 1));
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Completed"));
        h.addInvoice(1, 1, 1000000, 15000, 0);
        h.program.sql(QStringLiteral("UPDATE tblinvoice SET paymentdates=?"),
                      {history.join(QStringLiteral("\r\n"))});
        QVERIFY(h.start() && h.selectCustomer(QStringLiteral("Ames-1")));
        clickTab(h, 2);
        QVERIFY(h.clickEntry("lstInvoices", QStringLiteral("1")));

        const PrintQueues queues;
        expectPrintConfirmation(h, Prompt::Ok);
        bool closed = false;
        openPreview(h, [&closed](QWidget* window) {
            const QPointer<QWidget> alive = window;
            waitForLogo(window);
            click(child<QPushButton>(window, "cmdPrint"));
            closed = !alive || !alive->isVisible();
        });
        QVERIFY(closed);
        QVERIFY(h.prompt.verifyAllShown());

        const QList<QueuedJob> jobs = queues.newJobs();
        QCOMPARE(jobs.size(), 1);
        QCOMPARE(jobs[0].title, QStringLiteral("Invoice 1"));
        const QString pdf = PrintQueues::waitForPdf(jobs[0]);
        const QString text = pdfText(pdf);
        QVERIFY2(!text.isEmpty(), "pdftotext (poppler-utils) read nothing");
        for (const QString& piece :
             {QStringLiteral("Acme Repairs"), QStringLiteral("ISSUED TO:"),
              QStringLiteral("Payment History: NA"), QStringLiteral("11/2/2026 10:00:00 AM($0.01)"),
              QStringLiteral("11/11/2026 10:00:00 AM($0.01)"),
              QStringLiteral("CURRENT BALANCE: 98.5")})
            QVERIFY2(text.contains(piece), qPrintable(piece));
        QCOMPARE(text.count(QStringLiteral("($0.01)")), 150);
        // Pieces that a TAB separates stay on one line.
        QVERIFY(text.contains(QRegularExpression(QStringLiteral("Halifax NS +acme\\.example"))));
        QVERIFY(text.contains(
            QRegularExpression(QStringLiteral("Project ID: 0 +Invoice ID: 1 +Status: OPEN"))));
        for (const QString& caption :
             {QStringLiteral("Copy"), QStringLiteral("Print"), QStringLiteral("Cancel")})
            QVERIFY2(!text.contains(caption), qPrintable(caption));
        QVERIFY(pdfPages(pdf) > 1);
        QVERIFY(readAll(pdf).contains("/Subtype /Image"));
    }

    // Each row: the queue jobs go to, whether the user cancels the job on
    // its progress, and what the box then says (nothing for a cancel). A
    // cancelled confirmation comes first in every row.
    void aCancelledOrFailedPrintKeepsThePreviewOpen_data() {
        QTest::addColumn<QByteArray>("queue");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<QString>("reason");
        QTest::newRow("refused")
            << QByteArray(PrintQueues::kRefusing) << false
            << "Printer error: Destination \"quillory-reject\" is not "
               "accepting jobs. Paused for a paper jam. (server-error-not-accepting-jobs)";
        QTest::newRow("no such queue")
            << QByteArray("quillory-gone") << false
            << "Printer error: no default printer is set up: PRINTER environment variable names "
               "default destination that does not exist. (client-error-not-found)";
        QTest::newRow("cancelled on its progress")
            << QByteArray(PrintQueues::kPdf) << true << QString();
    }
    void aCancelledOrFailedPrintKeepsThePreviewOpen() {
        QFETCH(QByteArray, queue);
        QFETCH(bool, cancel);
        QFETCH(QString, reason);
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(startWithInvoice(h, 1, 1000000, 250000, 0));
        const PrintQueues queues(queue.constData());
        expectPrintConfirmation(h, Prompt::Cancel);
        expectPrintConfirmation(h, Prompt::Ok);
        if (!reason.isEmpty())
            h.prompt.expectMessage(QStringLiteral("The invoice could not be printed.  Please check "
                                                  "that a printer is set up and ready, then try "
                                                  "again.\r\n\r\n") +
                                       reason,
                                   QStringLiteral("Print"), Prompt::Ok, Prompt::Buttons::Ok,
                                   Prompt::Icon::Exclamation);
        QSemaphore cancelled;
        if (cancel)
            printing::setBeforeSubmit([&cancelled] { cancelled.acquire(); });
        const WhenShown progress(QStringLiteral("dlgPrintProgress"), [&cancelled](QWidget* dialog) {
            click(child<QPushButton>(dialog, "cmdCancelPrint"));
            cancelled.release();
        });
        openPreview(h, [](QWidget* window) {
            for (int attempt = 0; attempt < 2; ++attempt) {
                click(child<QPushButton>(window, "cmdPrint"));
                QVERIFY(window->isVisible());
                QVERIFY(child<QPushButton>(window, "cmdPrint")->isVisible());
            }
            click(child<QPushButton>(window, "cmdCancel"));
        });
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(progress.times(), cancel ? 1 : 0);
        QCOMPARE(queues.newJobs().size(), 0);
    }

    // The document on paper: tab stops every half inch, lines wrapped at a
    // word or, for a word wider than the page, anywhere, and never cut
    // between two pages. Each row: the text, and what each page holds.
    void theDocumentIsLaidOutForPaper_data() {
        using Pages = QList<QList<QStringList>>;
        QTest::addColumn<QString>("text");
        QTest::addColumn<Pages>("expected");
        QTest::newRow("tab stops every half inch") << "ab\tc\t\td\r\n"
                                                   << Pages{{{"0:ab", "0.5:c", "1.5:d"}}};
        QTest::newRow("a tab from a stop goes to the next") << "abcde\tx\r\n"
                                                            << Pages{{{"0:abcde", "1:x"}}};
        QTest::newRow("text after a tab at the edge starts a line")
            << "aaaaaaaaaaaaaaaaaaa\tx\r\n"
            << Pages{{{"0:aaaaaaaaaaaaaaaaaaa"}, {"0:x"}}};
        QTest::newRow("words wrap at the edge") << "aaaaaaaa bbbbbbbb cccc\r\n"
                                                << Pages{{{"0:aaaaaaaa bbbbbbbb "}, {"0:cccc"}}};
        QTest::newRow("a word wider than the page breaks anywhere")
            << "abcdefghijklmnopqrstuv\r\n"
            << Pages{{{"0:abcdefghijklmnopqrst"}, {"0:uv"}}};
        QTest::newRow("two lines a page, blank lines included")
            << "one\r\ntwo\r\n\r\nfour\r\nfive\r\n"
            << Pages{{{"0:one"}, {"0:two"}}, {{"0:four"}}, {{"0:five"}}};
    }
    void theDocumentIsLaidOutForPaper() {
        QFETCH(QString, text);
        QFETCH(QList<QList<QStringList>>, expected);
        FixedMeasure measure;
        printing::PageSetup page;
        page.paper = QSizeF(2.5, 0.95); // 2 inches by 0.45: two lines a page
        const printing::PrintedDocument document =
            invoiceprint::layOutInvoice(measure, page, QImage(), text, QStringLiteral("Invoice 7"));
        QCOMPARE(document.title, QStringLiteral("Invoice 7"));
        QCOMPARE(pagesOf(document), expected);
    }

    // Each row: the stored logo path, and where the text then begins.
    void theTextBeginsBelowTheLogo_data() {
        QTest::addColumn<QString>("logo");
        QTest::addColumn<int>("textTop");
        QTest::newRow("empty path") << "" << 0;
        QTest::newRow("NONE") << "NONE" << 0;
        QTest::newRow("a picture 30 pixels high") << "logo.bmp" << 30;
        QTest::newRow("a missing file leaves the empty band") << "missing.bmp" << 73;
        QTest::newRow("a link to the picture") << "link.bmp" << 30;
        // Read only from a regular file of a bounded size: a FIFO never holds
        // the window up.
        QTest::newRow("a FIFO") << "fifo.bmp" << 73;
        QTest::newRow("a folder") << "folder.bmp" << 73;
        QTest::newRow("a picture in a file beyond the size limit") << "huge.bmp" << 73;
    }
    void theTextBeginsBelowTheLogo() {
        QFETCH(QString, logo);
        QFETCH(int, textTop);
        MainWindowHarness h;
        QImage picture(50, 30, QImage::Format_RGB32);
        picture.fill(Qt::red);
        QVERIFY(picture.save(h.program.file(QStringLiteral("logo.bmp"))));
        QVERIFY(QFile::link(h.program.file(QStringLiteral("logo.bmp")),
                            h.program.file(QStringLiteral("link.bmp"))));
        QCOMPARE(::mkfifo(QFile::encodeName(h.program.file(QStringLiteral("fifo.bmp"))), 0600), 0);
        QVERIFY(QDir(h.program.dir()).mkdir(QStringLiteral("folder.bmp")));
        QVERIFY(QFile::copy(h.program.file(QStringLiteral("logo.bmp")),
                            h.program.file(QStringLiteral("huge.bmp"))));
        QVERIFY(QFile(h.program.file(QStringLiteral("huge.bmp"))).resize(logo::kMaxFileBytes + 1));
        addOptions(h, logo.isEmpty() || logo == u"NONE" ? logo : h.program.file(logo));
        QVERIFY(startWithInvoice(h, 1, 1000000, 250000, 0));
        QCOMPARE(openPreview(h,
                             [textTop](QWidget* window) {
                                 waitForLogo(window);
                                 const auto* text = child<QPlainTextEdit>(window, "rtfText");
                                 QCOMPARE(text->y(), textTop);
                                 // The text area ends 85 twips above the bottom.
                                 QCOMPARE(text->y() + text->height(), 743 - 6);
                                 QCOMPARE(child<QLabel>(window, "imgLogo")->isVisible(),
                                          textTop > 0);
                             }),
                 1);
        QVERIFY(h.prompt.verifyAllShown());
    }
};

QTEST_MAIN(PreviewTest)
#include "test_preview.moc"
