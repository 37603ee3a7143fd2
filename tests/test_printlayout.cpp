// The layout engine the reports print through: its printer rules, pages
// handed over as they are finished, the composer on a second thread, and the
// paper a locale uses.
#include "core/formats.h"
#include "fixedmeasure.h"
#include "printing/pdfcomposer.h"
#include "printing/spooler.h"
#include "reports/reports.h"
#include "testsupport.h"

#include <QTest>

#include <atomic>

using namespace quillory;
using namespace quillory::reports;
using namespace quillory::test;

class PrintLayoutTest : public QObject {
    Q_OBJECT

private slots:
    void init() { pinEnglishUs(); }

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

    // Pages handed over as soon as they are finished, to be composed while
    // the layout goes on, are the pages of the whole job: none lost, none
    // twice, a page of blank lines between two others kept, blank lines at
    // the end making no page. Each row: what is printed, a line each, "" a
    // blank line; a page holds three lines.
    void pagesHandedOverAsTheyAreFinishedAreTheWholeJob_data() {
        QTest::addColumn<QStringList>("printed");
        QTest::newRow("one page") << QStringList{"a", "b"};
        QTest::newRow("three pages") << QStringList{"a", "b", "c", "d", "e", "f", "g"};
        QTest::newRow("a blank page between") << QStringList{"a", "b", "c", "", "", "", "d"};
        QTest::newRow("blank lines at the end") << QStringList{"a", "b", "c", "d", "", "", "", ""};
    }
    void pagesHandedOverAsTheyAreFinishedAreTheWholeJob() {
        QFETCH(QStringList, printed);
        FixedMeasure m;
        const QSizeF threeLines(8, 3.5 * FixedMeasure::lh(12));
        const auto print = [&printed](PrintLayout& layout) {
            layout.setFontSize(12);
            for (const QString& line : printed)
                layout.print(line);
        };
        PrintLayout whole(m, threeLines);
        print(whole);
        const PrintedDocument expected = whole.endDoc();

        PrintLayout handing(m, threeLines);
        PrintedDocument handed;
        handing.setPageSink([&handed](PrintedPage&& page, const QVector<PrintFont>& fonts) {
            handed.pages.append(std::move(page));
            handed.fonts = fonts;
        });
        print(handing);
        QVERIFY(handing.endDoc().pages.isEmpty());
        QCOMPARE(handed.pages.size(), expected.pages.size());
        for (int page = 0; page < expected.pages.size(); ++page)
            QCOMPARE(lines(handed, page), lines(expected, page));
        QCOMPARE(handed.fonts, expected.fonts);
    }

    // The composer of the second thread gives the pages in order once
    // finished, and nothing when cancelled or abandoned on the way.
    void composingOnASecondThread_data() {
        QTest::addColumn<QString>("ending");
        QTest::newRow("finished") << "finished";
        QTest::newRow("cancelled") << "cancelled";
        QTest::newRow("abandoned") << "abandoned";
    }
    void composingOnASecondThread() {
        QFETCH(QString, ending);
        std::atomic_bool cancelled{false};
        printing::PdfComposerThread composer(printing::PageSetup{}, QStringLiteral("Pages"),
                                             &cancelled);
        const QVector<PrintFont> fonts{PrintFont{QStringLiteral("Sans Serif"), 11, false}};
        for (int i = 1; i <= 3; ++i) {
            PrintedPage page;
            page.runs.append(TextRun{1, 1, QStringLiteral("page %1").arg(i), 0});
            composer.addPage(std::move(page), fonts);
            if (i == 2 && ending == "cancelled")
                cancelled = true;
            if (i == 2 && ending == "abandoned")
                composer.abandon();
        }
        Error error;
        const QByteArray pdf = composer.finish(&error);
        QVERIFY(!error.isError());
        if (ending != "finished") {
            QVERIFY(pdf.isEmpty());
            return;
        }
        TempProgram program(false);
        const QString path = program.file(QStringLiteral("pages.pdf"));
        QVERIFY(test::writeAll(path, pdf));
        QCOMPARE(test::pdfPages(path), 3);
        const QStringList pages = test::pdfText(path).split(u'\f');
        for (int i = 1; i <= 3; ++i)
            QCOMPARE(pages.at(i - 1).trimmed(), QStringLiteral("page %1").arg(i));
    }

    // The paper when the queue does not tell its own: Letter where the
    // formats' locale uses it, A4 elsewhere.
    void thePaperFollowsTheLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QSizeF>("paper");
        QTest::newRow("United States") << "en_US" << QSizeF(8.5, 11);
        QTest::newRow("Canada, in French") << "fr_CA" << QSizeF(8.5, 11);
        QTest::newRow("France") << "fr_FR" << QSizeF(8.27, 11.69);
        QTest::newRow("United Kingdom") << "en_GB" << QSizeF(8.27, 11.69);
    }
    void thePaperFollowsTheLocale() {
        QFETCH(QString, locale);
        QFETCH(QSizeF, paper);
        formats::setLocaleName(locale);
        const printing::PageSetup page = printing::localePageSetup();
        test::pinEnglishUs();
        QCOMPARE(page.paper, paper);
        QCOMPARE(page.printable(), QSizeF(paper.width() - 0.5, paper.height() - 0.5));
    }
};

QTEST_MAIN(PrintLayoutTest)
#include "test_printlayout.moc"
