// The printed reports as laid out: the layout engine's printer rules, and
// what each report puts where on which page.
#include "mainwindowharness.h"
#include "reports/reportpainter.h"
#include "reports/reports.h"
#include "widgets/printing.h"

#include <QAction>
#include <QFile>
#include <QPrinter>

using namespace quillory;
using namespace quillory::reports;
using test::MainWindowHarness;
using test::TempProgram;

namespace {

// Metrics that make every position a small sum: a line is 1.25 times the
// point size, every character 0.1 inch wide (0.11 in bold).
class FixedMeasure : public FontMeasure {
public:
    double lineHeight(const PrintFont& font) const override { return lh(font.pointSize); }
    double textWidth(const PrintFont& font, const QString& text) const override {
        return text.size() * (font.bold ? 0.11 : 0.1);
    }
    static double lh(double points) { return points / 72.0 * 1.25; }
};

const QSizeF kPage(8.0, 10.0);

// A page as "x:text" per line, lines from the top; y values separately.
QList<QStringList> lines(const PrintedDocument& doc, int page) {
    QList<QStringList> out;
    double lastY = -1;
    for (const TextRun& run : doc.pages.at(page).runs) {
        if (out.isEmpty() || !qFuzzyCompare(run.y + 1, lastY + 1)) {
            out.append(QStringList());
            lastY = run.y;
        }
        out.last().append(QString::number(run.x) + u':' + run.text);
    }
    return out;
}

const TextRun* find(const PrintedDocument& doc, const QString& text, int* page = nullptr) {
    for (int p = 0; p < doc.pages.size(); ++p)
        for (const TextRun& run : doc.pages.at(p).runs)
            if (run.text == text) {
                if (page)
                    *page = p;
                return &run;
            }
    return nullptr;
}

bool near(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

// A database of the test's own (on the running row's store) with a
// connection on it.
struct Books {
    TempProgram program{test::currentStore()};
    Connection cn;
    Books() {
        if (program.store() == test::Store::File)
            SetDatabaseSignature(program.databasePath(), 2);
        if (!cn.open(program.location()))
            qFatal("Cannot open the test database");
    }
    void customer(int id, const QString& fname, const QString& lname,
                  const QString& email = QStringLiteral("a@example.com")) {
        sql("INSERT INTO tblcustomer (id,fname,lname,email1) VALUES (?,?,?,?)",
            {id, fname, lname, email});
    }
    // Amounts in ten-thousandths, as stored.
    void invoice(int id, int customerId, qint64 due, qint64 paid, int status) {
        sql("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,amountpaid,Status) "
            "VALUES (?,0,?,?,?,?)",
            {id, customerId, due, paid, status});
    }
    void sql(const char* statement, const QVariantList& params = {}) {
        if (!cn.execute(QString::fromLatin1(statement), params))
            qFatal("%s", qPrintable(cn.lastError().description));
    }
    // Three customers, entered out of id order: one with a closed and an open
    // invoice (150.505 owing in all, which rounds up to $150.51), one without
    // invoices, one who paid 20 more than was due; and an invoice of 10 whose
    // customer is gone, which only the grand total counts.
    void standard() {
        customer(3, "Cy", "Over", "cy@example.com");
        customer(1, "Ann", "Smith", "ann@example.com");
        customer(2, "Bob", "Jones", "bob@example.com");
        invoice(1, 1, 1000000, 1000000, 1);
        invoice(2, 1, 505050, 0, 0);
        invoice(3, 3, 800000, 1000000, 1);
        invoice(4, 99, 100000, 0, 0);
    }
};

const QString kPrintedOn = QStringLiteral("Printed On: 12/6/2026 9:05:07 AM");

} // namespace

class ReportsTest : public QObject {
    Q_OBJECT

private slots:
    // The report queries run on a database file and on a server database.
    void initTestCase_data() { test::addStoreRows(); }
    void init() {
        FETCH_STORE();
        test::pinEnglishUs();
    }
    void cleanup() { printing::setPrinterFactory({}); }

    // --- The printer rules -------------------------------------------------------

    void printStaysOnTheLineOrEndsIt() {
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        layout.setFontSize(10);
        layout.setCurrentX(1);
        layout.printStaying(QStringLiteral("ab"));
        QVERIFY(near(layout.currentX(), 1.2));
        layout.printStaying(QStringLiteral("cd")); // right after "ab"
        layout.print(QStringLiteral("e"));         // ends the line
        QCOMPARE(layout.currentX(), 0.0);
        QVERIFY(near(layout.currentY(), FixedMeasure::lh(10)));
        layout.printLineBreak(); // two lines down
        QVERIFY(near(layout.currentY(), 3 * FixedMeasure::lh(10)));
        layout.setCurrentX(2);
        layout.print(QStringLiteral("one\r\ntwo")); // the second line starts at the left edge
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(lines(doc, 0),
                 (QList<QStringList>{{"1:ab", "1.2:cd", "1.4:e"}, {"2:one"}, {"0:two"}}));
        QVERIFY(near(doc.pages[0].runs.at(4).y, 4 * FixedMeasure::lh(10)));
    }

    void aLinePastTheBottomStartsANewPage() {
        FixedMeasure m;
        const double lh = FixedMeasure::lh(12);
        PrintLayout layout(m, QSizeF(8, 3.5 * lh)); // room for three lines
        layout.setFontSize(12);
        for (int i = 1; i <= 4; ++i) {
            layout.setCurrentX(0);
            layout.printStaying(QStringLiteral("a%1").arg(i));
            layout.setCurrentX(3);
            layout.print(QStringLiteral("b%1").arg(i));
        }
        layout.printLineBreak(); // blank lines at the end make no page of their own
        layout.printLineBreak();
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(doc.pages.size(), 2);
        QCOMPARE(lines(doc, 1), (QList<QStringList>{{"0:a4", "3:b4"}}));
        QCOMPARE(doc.pages[1].runs[0].y, 0.0);
        QCOMPARE(doc.pages[1].runs[1].y, 0.0);
    }

    // Each change of font name, size or boldness moves the next lines by the
    // new font's height, not by the height of the font printed before.
    void eachFontChangeGivesItsOwnLineHeight_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<double>("factor"); // the new height over the old one
        QTest::newRow("name") << "name" << 3.0;
        QTest::newRow("size") << "size" << 2.0;
        QTest::newRow("bold") << "bold" << 2.0;
    }
    void eachFontChangeGivesItsOwnLineHeight() {
        QFETCH(QString, change);
        QFETCH(double, factor);
        // Bold lines twice as high, "Tall" ones three times.
        class Heights : public FixedMeasure {
        public:
            double lineHeight(const PrintFont& font) const override {
                return lh(font.pointSize) * (font.bold ? 2 : 1) * (font.family == "Tall" ? 3 : 1);
            }
        } m;
        PrintLayout layout(m, kPage);
        layout.setFontSize(10);
        layout.print(QStringLiteral("before"));
        if (change == "name")
            layout.setFontName(QStringLiteral("Tall"));
        else if (change == "size")
            layout.setFontSize(20);
        else
            layout.setBold(true);
        layout.print(QStringLiteral("changed"));
        layout.print(QStringLiteral("again"));
        QVERIFY(near(layout.currentY(), FixedMeasure::lh(10) * (1 + 2 * factor)));
    }

    void killDocDiscardsTheJobAndEndDocStartsAfresh() {
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        layout.setFontSize(12);
        layout.print(QStringLiteral("discarded"));
        layout.killDoc();
        QVERIFY(layout.endDoc().isEmpty());
        layout.setFontSize(12);
        layout.print(QStringLiteral("kept"));
        const PrintedDocument doc = layout.endDoc(QStringLiteral("Job"));
        QCOMPARE(lines(doc, 0), (QList<QStringList>{{"0:kept"}}));
        QCOMPARE(doc.pages[0].runs[0].y, 0.0);
        QCOMPARE(doc.title, QStringLiteral("Job"));
    }

    void aTextTooLongForItsColumnEndsInAnEllipsis_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("printed");
        QTest::newRow("fits") << "abcdefghij"
                              << "abcdefghij";
        QTest::newRow("cut") << "abcdefghijk" << QStringLiteral("abcdefghi\u2026");
        QTest::newRow("line break inside") << "ab\r\ncd"
                                           << "ab  cd";
        QTest::newRow("tab, delete and a C1 control")
            << QStringLiteral("a\tb\u007fc\u0085d") << "a b c d";
        QTest::newRow("no half emoji")
            << QStringLiteral("abcdefgh\U0001F600x") << QStringLiteral("abcdefgh\u2026");
    }
    void aTextTooLongForItsColumnEndsInAnEllipsis() {
        QFETCH(QString, text);
        QFETCH(QString, printed);
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(fitted(layout, text, 1.0), printed);
    }

    // --- What each report puts where ----------------------------------------------

    void invoiceTotalsListsEachCustomerAndTheGrandTotals() {
        Books b;
        b.standard();
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutInvoiceTotals(b.cn, layout).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(doc.pages.size(), 1);
        QCOMPARE(lines(doc, 0),
                 (QList<QStringList>{{"2.62:Invoice Totals"},
                                     {"2.62:CONFIDENTIAL INFORMATION"},
                                     {"0:First", "2:Last", "4:Owing", "5:Paid", "6:Balance"},
                                     {"0:Ann", "2:Smith", "4:$150.51", "5:$100.00", "6:$50.51"},
                                     {"0:Bob", "2:Jones"},
                                     {"0:Cy", "2:Over", "4:$80.00", "5:$100.00", "6:($20.00)"},
                                     {"0:TOTAL DUE: $240.51"},
                                     {"0:TOTAL PAID: $200.00"},
                                     {"0:" + kPrintedOn}}));
        // A line break is two lines of the font it is printed in.
        const double lh14 = FixedMeasure::lh(14);
        const double lh11 = FixedMeasure::lh(11);
        const double heading = 3 * lh14 + 3 * lh11;
        QVERIFY(near(find(doc, "CONFIDENTIAL INFORMATION")->y, 3 * lh14));
        QVERIFY(near(find(doc, "First")->y, heading));
        QVERIFY(near(find(doc, "Cy")->y, heading + 3 * lh11));
        QVERIFY(near(find(doc, "TOTAL DUE: $240.51")->y, heading + 8 * lh11));
        QVERIFY(near(find(doc, "TOTAL PAID: $200.00")->y, heading + 11 * lh11));
        QVERIFY(near(find(doc, kPrintedOn)->y, heading + 14 * lh11));
        // Only the paid total is bold; only the title is 14 points.
        for (const TextRun& run : doc.pages[0].runs) {
            const PrintFont& font = doc.fonts.at(run.font);
            QCOMPARE(font.family, QStringLiteral("Sans Serif"));
            QCOMPARE(font.bold, run.text.startsWith("TOTAL PAID: "));
            QCOMPARE(font.pointSize, run.text == "Invoice Totals" ? 14.0 : 11.0);
        }
    }

    void customerSummaryListsEmailAndBalance() {
        Books b;
        b.standard();
        b.customer(4, "Di", "Long", "a.very.long.address@example.com");
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutCustomerSummary(b.cn, layout).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(lines(doc, 0),
                 (QList<QStringList>{{"2.62:Customer Summary List"},
                                     {"2.62:CONFIDENTIAL INFORMATION"},
                                     {"0:First", "2:Last", "4:Email", "6:Balance"},
                                     {"0:Ann", "2:Smith", "4:ann@example.com", "6:$50.51"},
                                     {"0:Bob", "2:Jones", "4:bob@example.com"},
                                     {"0:Cy", "2:Over", "4:cy@example.com", "6:($20.00)"},
                                     {"0:Di", "2:Long", "4:a.very.long.addres\u2026"},
                                     {"0:" + kPrintedOn}}));
        QVERIFY(near(find(doc, kPrintedOn)->y, find(doc, "Di")->y + 3 * FixedMeasure::lh(11)));
    }

    void moreCustomersThanAPageHoldsGoOnWithoutANewHeading() {
        Books b;
        for (int i = 1; i <= 60; ++i)
            b.customer(i, QStringLiteral("F%1").arg(i), QStringLiteral("L%1").arg(i));
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutInvoiceTotals(b.cn, layout).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        QCOMPARE(doc.pages.size(), 2);
        const QList<QStringList> first = lines(doc, 0);
        const QList<QStringList> second = lines(doc, 1);
        // Rows fill the first page down to its bottom and go on at the top of
        // the next, each customer once, in id order.
        const int onFirst = static_cast<int>(first.size()) - 3;
        const double lastY = doc.pages[0].runs.constLast().y;
        QVERIFY(lastY + FixedMeasure::lh(11) <= kPage.height());
        QVERIFY(lastY + 2 * FixedMeasure::lh(11) > kPage.height());
        QCOMPARE(second.first(), (QStringList{QStringLiteral("0:F%1").arg(onFirst + 1),
                                              QStringLiteral("2:L%1").arg(onFirst + 1)}));
        QCOMPARE(doc.pages[1].runs.first().y, 0.0);
        for (const QStringList& line : second)
            QVERIFY(!line.contains("0:First"));
        QCOMPARE(second.at(60 - onFirst - 1).first(), QStringLiteral("0:F60"));
        QCOMPARE(second.constLast(), QStringList{"0:" + kPrintedOn});
    }

    void anEmptyCustomerTableGivesNothingToPrint() {
        Books b;
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutInvoiceTotals(b.cn, layout).outcome, LayoutResult::NoCustomers);
        layout.killDoc();
        QCOMPARE(layOutCustomerSummary(b.cn, layout).outcome, LayoutResult::NoCustomers);
    }

    void openInvoicesGivesTheIdTheBalanceAndTheOpenCount_data() {
        QTest::addColumn<int>("customer");
        QTest::addColumn<QString>("balance");
        QTest::addColumn<QString>("open");
        // Customer 12: one open invoice among two closed ones.
        QTest::newRow("with invoices") << 12 << "Account Balance: $20.25"
                                       << "Open Invoices: 1";
        QTest::newRow("without invoices") << 13 << "Account Balance: "
                                          << "Open Invoices: 0";
    }
    void openInvoicesGivesTheIdTheBalanceAndTheOpenCount() {
        QFETCH(int, customer);
        QFETCH(QString, balance);
        QFETCH(QString, open);
        Books b;
        b.customer(12, "Ann", "Smith");
        b.customer(13, "Bob", "Jones");
        b.customer(14, "Cy", "Other");
        b.invoice(1, 12, 1000000, 1000000, 1);
        b.invoice(2, 12, 500000, 500000, 1);
        b.invoice(3, 12, 302500, 100000, 0);
        b.invoice(4, 14, 990000, 0, 0);
        FixedMeasure m;
        PrintLayout layout(m, kPage);
        QCOMPARE(layOutCustomerOpenInvoices(b.cn, layout, customer).outcome, LayoutResult::Ready);
        const PrintedDocument doc = layout.endDoc();
        const QString title = QStringLiteral("Open Invoices for Customer: %1").arg(customer);
        QCOMPARE(lines(doc, 0), (QList<QStringList>{{"2.62:" + title},
                                                    {"0:CONFIDENTIAL INFORMATION"},
                                                    {"0:" + balance},
                                                    {"0:" + open},
                                                    {"0:" + kPrintedOn}}));
        const double lh14 = FixedMeasure::lh(14);
        const double lh11 = FixedMeasure::lh(11);
        QVERIFY(near(find(doc, title)->y, 2 * lh14));
        QVERIFY(near(find(doc, "CONFIDENTIAL INFORMATION")->y, 7 * lh14));
        QVERIFY(near(find(doc, balance)->y, 7 * lh14 + 5 * lh11));
        QVERIFY(near(find(doc, open)->y, 7 * lh14 + 8 * lh11));
        QVERIFY(near(find(doc, kPrintedOn)->y, 7 * lh14 + 13 * lh11));
    }
};

QTEST_MAIN(ReportsTest)
#include "test_reports.moc"
