#include "reports/reports.h"

#include "core/environment.h"
#include "core/formats.h"
#include "errors/prompt.h"
#include "printing/pdfcomposer.h"
#include "printing/printfonts.h"
#include "reports/reportstore.h"
#include "widgets/printing.h"

#include <QApplication>

#include <algorithm>

namespace quillory::reports {

namespace {

const QString kFontName = QStringLiteral("Sans Serif");
constexpr double kTitleSize = 14;
constexpr double kBodySize = 11;
constexpr double kTitleX = 2.62;
// Room kept free between a text column and the next one.
constexpr double kColumnGap = 0.08;

QString amount(const std::optional<Money>& value) {
    return value ? formats::currency(*value) : QString();
}

// The amounts of one report in the currency format, each value formatted
// once: sums and balances repeat (a zero balance on many lines), and ICU
// takes a microsecond an amount.
class AmountTexts {
public:
    QString operator()(const std::optional<Money>& value) {
        if (!value)
            return {};
        const auto found = m_texts.constFind(value->units());
        if (found != m_texts.constEnd())
            return *found;
        const QString text = formats::currency(*value);
        if (m_texts.size() < kMostKept)
            m_texts.insert(value->units(), text);
        return text;
    }

private:
    static constexpr qsizetype kMostKept = 200000;
    QHash<std::int64_t, QString> m_texts;
};

QString printedOn() {
    return QStringLiteral("Printed On: ") + formats::generalDate(environment::now());
}

// Text in a column that ends where the next column begins.
void cell(PrintLayout& layout, double x, double nextX, const QString& text) {
    layout.setCurrentX(x);
    layout.printStaying(fitted(layout, text, nextX - x - kColumnGap));
}

void amountCell(PrintLayout& layout, AmountTexts& amounts, double x,
                const std::optional<Money>& value, bool endLine = false) {
    layout.setCurrentX(x);
    layout.print(amounts(value), endLine);
}

// Steps 2 to 5 of both customer lists: the title, the notice and the headings.
void customerListHeading(PrintLayout& layout, const QString& title, const QStringList& headings,
                         const QList<double>& positions) {
    layout.setFontName(kFontName);
    layout.setFontSize(kTitleSize);
    layout.setBold(false);
    layout.setCurrentX(kTitleX);
    layout.print(title);
    layout.printLineBreak();
    layout.setFontSize(kBodySize);
    layout.setCurrentX(kTitleX);
    layout.print(QStringLiteral("CONFIDENTIAL INFORMATION"));
    layout.printLineBreak();
    for (qsizetype i = 0; i < headings.size(); ++i) {
        layout.setCurrentX(positions.at(i));
        layout.print(headings.at(i), i + 1 == headings.size());
    }
}

LayoutResult failed(const Connection& cn) {
    return {LayoutResult::Failed, cn.lastError()};
}

void showFailure(const Error& error) {
    showMessage(QString::number(error.number) + QStringLiteral("\r\n") + error.description);
}

// Prints one report on a thread of its own, with a read-only connection of
// its own: the layout is made in full before anything goes to the spooler,
// so that a failure on the way discards the whole job; a refused job is a
// failure too. Messages are shown once the job has ended.
void printReport(Connection& main, const QString& title, const ReportLayOut& layOut) {
    LayoutResult laidOut;
    printing::JobResult job;
    const auto print = [&](printing::JobControl& control) {
        const std::optional<printing::Destination> destination =
            printing::spooler().destination(&laidOut.error);
        if (!destination) {
            laidOut.outcome = LayoutResult::Failed;
            return;
        }
        Connection cn;
        if (!cn.openReadOnly(main)) {
            laidOut = failed(cn);
            return;
        }
        ReportPdf made =
            composeReportPdf(cn, layOut, title, destination->page, &control.cancelFlag());
        laidOut = made.laidOut;
        job.cancelled = made.cancelled;
        job.error = made.error;
        if (made.ready())
            job = printing::submitJob(*destination, title, made.pdf, control);
    };
    printing::runJob(QApplication::activeWindow(), printing::printWording(title), print);
    if (job.cancelled)
        return;
    if (laidOut.outcome == LayoutResult::NoCustomers)
        showMessage(QStringLiteral("No customer records to summarize and print."),
                    Prompt::Buttons::Ok, Prompt::Icon::None, QStringLiteral("Data Error"));
    else if (laidOut.outcome == LayoutResult::Failed)
        showFailure(laidOut.error);
    else if (job.error.isError())
        showFailure(job.error);
}

} // namespace

QString fitted(const PrintLayout& layout, const QString& text, double width) {
    // Control characters (a line break in a name) print as blanks. Most texts
    // have none and are kept as they are, without a copy.
    QString clean = text;
    const auto control = [](QChar c) { // the characters of category Cc
        return c.unicode() < 0x20 || (c.unicode() >= 0x7f && c.unicode() <= 0x9f);
    };
    if (std::any_of(text.cbegin(), text.cend(), control))
        std::replace_if(clean.begin(), clean.end(), control, QChar(u' '));
    const FontMeasure& measure = layout.measure();
    const PrintFont& font = layout.font();
    if (measure.textWidth(font, clean) <= width)
        return clean;
    // The longest beginning that fits with the ellipsis after it.
    const QString ellipsis(QChar(0x2026));
    const double room = width - measure.textWidth(font, ellipsis);
    qsizetype low = 0;
    qsizetype high = clean.size();
    while (low < high) {
        const qsizetype mid = (low + high + 1) / 2;
        if (measure.textWidth(font, clean.left(mid)) <= room)
            low = mid;
        else
            high = mid - 1;
    }
    // Never end on half of a surrogate pair.
    if (low > 0 && clean.at(low - 1).isHighSurrogate())
        --low;
    return clean.left(low) + ellipsis;
}

LayoutResult layOutInvoiceTotals(Connection& cn, PrintLayout& layout) {
    customerListHeading(layout, QStringLiteral("Invoice Totals"),
                        {QStringLiteral("First"), QStringLiteral("Last"), QStringLiteral("Owing"),
                         QStringLiteral("Paid"), QStringLiteral("Balance")},
                        {0, 2, 4, 5, 6});
    bool any = false;
    AmountTexts amounts;
    reportstore::Sums totals;
    const bool ok = reportstore::forEachCustomer(
        cn,
        [&](const reportstore::CustomerLine& c) {
            any = true;
            if (layout.cancelled())
                return;
            cell(layout, 0, 2, c.fname);
            cell(layout, 2, 4, c.lname);
            amountCell(layout, amounts, 4, c.sums.due);
            amountCell(layout, amounts, 5, c.sums.paid);
            amountCell(layout, amounts, 6, c.sums.balance(), true);
        },
        &totals);
    if (!ok)
        return failed(cn);
    if (!any)
        return {LayoutResult::NoCustomers, {}};
    layout.printLineBreak();
    layout.printLineBreak();
    layout.print(QStringLiteral("TOTAL DUE: ") + amount(totals.due));
    layout.printLineBreak();
    layout.setBold(true);
    layout.print(QStringLiteral("TOTAL PAID: ") + amount(totals.paid));
    layout.setBold(false);
    layout.printLineBreak();
    layout.print(printedOn());
    return {};
}

LayoutResult layOutCustomerSummary(Connection& cn, PrintLayout& layout) {
    customerListHeading(layout, QStringLiteral("Customer Summary List"),
                        {QStringLiteral("First"), QStringLiteral("Last"), QStringLiteral("Email"),
                         QStringLiteral("Balance")},
                        {0, 2, 4, 6});
    bool any = false;
    AmountTexts amounts;
    const bool ok = reportstore::forEachCustomer(cn, [&](const reportstore::CustomerLine& c) {
        any = true;
        if (layout.cancelled())
            return;
        cell(layout, 0, 2, c.fname);
        cell(layout, 2, 4, c.lname);
        cell(layout, 4, 6, c.email1);
        amountCell(layout, amounts, 6, c.sums.balance(), true);
    });
    if (!ok)
        return failed(cn);
    if (!any)
        return {LayoutResult::NoCustomers, {}};
    layout.printLineBreak();
    layout.print(printedOn());
    return {};
}

LayoutResult layOutCustomerOpenInvoices(Connection& cn, PrintLayout& layout, int customerId) {
    layout.setFontName(kFontName);
    layout.setFontSize(kTitleSize);
    layout.printLineBreak();
    layout.setBold(false);
    layout.setCurrentX(kTitleX);
    layout.print(QStringLiteral("Open Invoices for Customer: ") + QString::number(customerId));
    layout.printLineBreak();
    layout.printLineBreak();
    layout.setFontSize(kBodySize);
    layout.print(QStringLiteral("CONFIDENTIAL INFORMATION"));
    layout.printLineBreak();
    layout.printLineBreak();
    const std::optional<reportstore::Sums> sums = reportstore::invoiceSums(cn, customerId);
    if (!sums)
        return failed(cn);
    layout.print(QStringLiteral("Account Balance: ") + amount(sums->balance()));
    layout.printLineBreak();
    const std::optional<qint64> open = reportstore::openInvoiceCount(cn, customerId);
    if (!open)
        return failed(cn);
    layout.print(QStringLiteral("Open Invoices: ") + QString::number(*open));
    layout.printLineBreak();
    layout.printLineBreak();
    layout.print(printedOn());
    return {};
}

ReportPdf composeReportPdf(Connection& cn, const ReportLayOut& layOut, const QString& title,
                           const printing::PageSetup& page, const std::atomic_bool* cancelled) {
    const auto stopped = [cancelled] { return cancelled && cancelled->load(); };
    ReportPdf made;
    // Pages are composed on a second thread as the layout finishes them.
    printing::PdfComposerThread composer(page, title, cancelled);
    printing::PrintFonts fonts;
    PrintLayout layout(fonts, page.printable());
    layout.setCancelFlag(cancelled);
    layout.setPageSink([&composer](PrintedPage&& done, const QVector<PrintFont>& pageFonts) {
        composer.addPage(std::move(done), pageFonts);
    });
    made.laidOut = layOut(cn, layout);
    if (made.laidOut.outcome != LayoutResult::Ready || stopped()) {
        composer.abandon();
        layout.killDoc();
        made.cancelled = stopped();
        return made;
    }
    layout.endDoc(title);
    made.pdf = composer.finish(&made.error);
    if (stopped()) {
        made.cancelled = true;
        made.pdf.clear();
    }
    return made;
}

void PrintInvoiceTotalsReport(Database& db) {
    printReport(db.cnMain, QStringLiteral("Invoice Totals"), layOutInvoiceTotals);
}

void PrintCustomerSummaryReport(Database& db) {
    printReport(db.cnMain, QStringLiteral("Customer Summary List"), layOutCustomerSummary);
}

void PrintCustomerOpenInvoicesReport(Database& db, std::optional<int> id) {
    if (!id)
        return;
    printReport(db.cnMain, QStringLiteral("Open Invoices for Customer ") + QString::number(*id),
                [id](Connection& cn, PrintLayout& layout) {
                    return layOutCustomerOpenInvoices(cn, layout, *id);
                });
}

} // namespace quillory::reports
