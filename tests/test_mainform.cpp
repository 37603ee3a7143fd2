// The main window's form as drawn: where the controls stand, their captions
// whole and clear of each other, the yellow labels fitting their texts, and
// every control named by its caption, and Tab leaving every box.
#include "formchecks.h"
#include "invoiceharness.h"
#include "widgets/boxes.h"
#include "widgets/fittinglabel.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>

using namespace quillory;
using namespace quillory::test;

using QStringMap = QMap<QString, QString>;
Q_DECLARE_METATYPE(QStringMap)

class MainFormTest : public QObject {
    Q_OBJECT

private slots:
    void theFormPlacesControlsWhereTheyBelong() {
        MainWindowHarness h;
        QVERIFY(h.start());
        QCOMPARE(h.get<QWidget>("centralwidget")->size(), QSize(715, 465));
        QCOMPARE(h.get<QWidget>("lstCustomer")->geometry(), QRect(8, 24, 121, 433));
        QCOMPARE(h.get<QWidget>("tabMain")->geometry(), QRect(136, 0, 579, 465));
        // Controls of a tab are placed relative to the tab control itself.
        auto* tab = h.get<QWidget>("tabMain");
        auto* first = h.get<QWidget>("txtCustFirst");
        QCOMPARE(first->mapTo(tab, QPoint(0, 0)), QPoint(80, 64));
        QCOMPARE(first->size(), QSize(185, 21));
        QCOMPARE(h.get<QWidget>("txtCustMemo")->mapTo(tab, QPoint(0, 0)), QPoint(80, 280));
        QCOMPARE(h.get<QLabel>("lblDesc_2")->buddy(), first);
        QCOMPARE(h.get<QLabel>("lblDesc_0")->buddy(), h.get<QWidget>("lstCustomer"));
        QCOMPARE(boxes::characterLimit(h.get<QLineEdit>("txtCustFirst")), 50);
        QCOMPARE(boxes::characterLimit(h.get<QLineEdit>("txtCustEmail1")), 99);
        QCOMPARE(boxes::characterLimit(h.get<QLineEdit>("txtpSummary")), 50);
        QCOMPARE(boxes::characterLimit(h.get<QLineEdit>("txtiPayment")), 50);
        QCOMPARE(boxes::characterLimit(h.get<QLineEdit>("txtpBillingHours")), 32767);
        // Every menu with its items in order, a separator as "-"; Export is
        // the program's own, between Reports and Help.
        QStringList menus;
        for (const QAction* menu : h.get<QMenuBar>("menubar")->actions()) {
            QStringList items{menu->menu()->objectName() + u' ' + menu->text()};
            for (const QAction* item : menu->menu()->actions())
                items.append(item->isSeparator() ? QStringLiteral("-")
                                                 : item->objectName() + u' ' + item->text());
            menus.append(items.join(QStringLiteral(" | ")));
        }
        QCOMPARE(menus,
                 QStringList({"mnuFile &File | mnuFileExit E&xit",
                              "mnuOptions &Options | mnuOptionsData Compact &Database | "
                              "mnuOptionsInfo Set &Business Information",
                              "mnuRep &Reports | mnuRepCustSum Customer Summary List (Email, Act "
                              "Balance) | mnuRepSelCustOpenInv Selected Customer - Open Invoices | "
                              "- | mnuRepAnnualRep Invoice Totals (To Date)",
                              "mnuExport &Export | mnuExpInvoicePdf Invoice as &PDF… | "
                              "mnuExpInvoiceEmail &E-mail Invoice… | - | "
                              "mnuExpTotalsPdf Invoice &Totals as PDF… | "
                              "mnuExpSummaryPdf Customer &Summary List as PDF… | - | "
                              "mnuExpCustomersCsv &Customers as CSV… | "
                              "mnuExpProjectsCsv P&rojects as CSV… | "
                              "mnuExpInvoicesCsv &Invoices and Payments as CSV…",
                              "mnuHelp &Help | mnuHelpManual &Manual | mnuHelpWebsite &Website | "
                              "mnuHelpAbout &About"}));
        QVERIFY(h.get<QAction>("mnuRepSep")->isSeparator());
    }

    // Every caption of the three tabs shows whole at the form's font, where
    // the form puts it, and keeps clear of the other controls.
    void everyCaptionShowsWholeAndClearOfOtherControls() {
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addInvoice(1, 1, 1234567891234, 0, 0);
        h.addProject(0, 1, QStringLiteral("Roof"), QStringLiteral("Active"));
        QVERIFY(h.start());
        QCOMPARE(QFontInfo(h.window->font()).family(), QStringLiteral("Carlito"));
        QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
        h.get<FittingLabel>("lblTotal")->setText(QStringLiteral("Total Owing: $123,456,789.12"));
        h.get<FittingLabel>("lblOpenDays")->setText(QStringLiteral("Days open: 12345"));
        int captions = 0;
        for (const QLabel* label : h.window->findChildren<QLabel*>()) {
            if (label->text().isEmpty())
                continue;
            ++captions;
            // "Services Provided:" is wider than the room the form leaves
            // left of its box; it takes two lines there.
            const QString fault = captionFault(label, {QStringLiteral("lblDesc_18")});
            QVERIFY2(fault.isEmpty(), qPrintable(label->objectName() + u' ' + fault + u' ' +
                                                 QStringLiteral("(\"%1\")").arg(label->text())));
        }
        QCOMPARE(captions, 39);
        // No control crosses the border or the caption of its frame, the
        // payment frame's inner one included while it is hidden.
        const QStringList faults = frameFaults(h.window.get());
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral("; "))));
        for (const QPushButton* button : h.window->findChildren<QPushButton*>())
            QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) + 6 <= button->width(),
                     qPrintable(button->objectName()));
    }

    // The yellow labels of the invoice tab take the size of their caption
    // each time it changes, with room around the text, and none when empty.
    void theYellowLabelsFitEachCaption_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::newRow("total") << "lblTotal"
                               << "Total Owing: $1,234,567.00";
        QTest::newRow("total, short") << "lblTotal"
                                      << "Total Owing: $0.00";
        QTest::newRow("days") << "lblOpenDays"
                              << "Days open: 1";
        QTest::newRow("days, long") << "lblOpenDays"
                                    << "Days open: 123456";
        QTest::newRow("empty") << "lblTotal"
                               << "";
    }
    void theYellowLabelsFitEachCaption() {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        MainWindowHarness h;
        QVERIFY(h.start());
        auto* label = h.get<FittingLabel>(qPrintable(name));
        h.get<QTabWidget>("tabMain")->setCurrentIndex(2);
        label->setText(QStringLiteral("A much longer caption than any of the others here"));
        label->setText(caption);
        if (caption.isEmpty()) {
            QCOMPARE(label->size(), QSize(0, 0));
            return;
        }
        const QRect text = textRect(label).translated(-label->pos());
        QVERIFY2(
            label->rect().adjusted(2, 1, -2, -1).contains(text),
            qPrintable(QStringLiteral("text %1 in label %2")
                           .arg(QVariant(text).toString(), QVariant(label->rect()).toString())));
        QVERIFY(label->width() <= text.width() + 8);
        QVERIFY(label->height() <= text.height() + 6);
    }

    // A screen reader names each control by its caption: a box, list or
    // combo by the label that leads to it (never by its frame's caption), a
    // button or label by its own text, and the few without a caption by a
    // name of their own. Each row is a window, with those few.
    void everyControlIsNamedByItsCaption_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringMap>("uncaptioned");
        QTest::newRow("main window") << "frmMain"
                                     << QStringMap{{"cmdCustRefresh", "Refresh"},
                                                   {"lstProjects", "Projects"},
                                                   {"lblTotal", "Total Owing"},
                                                   {"lblOpenDays", "Days Open"}};
        QTest::newRow("options") << "frmOptions"
                                 << QStringMap{{"cmdLogoImage", "Choose Logo Image"}};
        QTest::newRow("invoice preview")
            << "frmInvoice" << QStringMap{{"rtfText", "Invoice Text"}, {"imgLogo", "Logo"}};
    }
    void everyControlIsNamedByItsCaption() {
        QFETCH(QString, window);
        QFETCH(QStringMap, uncaptioned);
        MainWindowHarness h;
        addOptions(h);
        QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
        int checked = 0;
        const auto check = [&](QWidget* form) {
            QHash<const QWidget*, const QLabel*> captionOf;
            for (const QLabel* label : form->findChildren<QLabel*>())
                if (label->buddy())
                    captionOf.insert(label->buddy(), label);
            // A caption's "&" marks its access key; "&&" shows as "&".
            const auto stripped = [](QString text) {
                return text.replace(QRegularExpression(QStringLiteral("&(.)")),
                                    QStringLiteral("\\1"));
            };
            for (QWidget* w : form->findChildren<QWidget*>()) {
                const bool entry = qobject_cast<QLineEdit*>(w) ||
                                   qobject_cast<QPlainTextEdit*>(w) ||
                                   qobject_cast<QListWidget*>(w) || qobject_cast<QComboBox*>(w);
                const auto* button = qobject_cast<QAbstractButton*>(w);
                const auto* label = qobject_cast<QLabel*>(w);
                // The edit field inside a combo box is the combo box's own, and
                // the scroll buttons of the tab bar its own.
                if ((!entry && !button && !label) || w->objectName().startsWith(u"qt_") ||
                    qobject_cast<QComboBox*>(w->parentWidget()) ||
                    qobject_cast<QTabBar*>(w->parentWidget()))
                    continue;
                const QString name = w->objectName();
                QString expected;
                if (uncaptioned.contains(name))
                    expected = uncaptioned.value(name);
                else if (captionOf.contains(w))
                    expected = stripped(captionOf.value(w)->text());
                else if (button)
                    expected = stripped(button->text());
                else if (label)
                    expected = label->buddy() ? stripped(label->text()) : label->text();
                QVERIFY2(!expected.isEmpty() || label,
                         qPrintable(name + QStringLiteral(" has no caption")));
                QCOMPARE(spokenName(w), expected);
                ++checked;
            }
        };
        if (window == u"frmMain") {
            // The customer shown afresh: the invoice labels are empty.
            QVERIFY(h.selectCustomer(QStringLiteral("Ames-1")));
            check(h.window.get());
        } else {
            const WhenShown shown(window, check);
            if (window == u"frmOptions")
                h.get<QAction>("mnuOptionsInfo")->trigger();
            else
                click(h.get<QPushButton>("cmdiInvoiceEmail"));
            QCOMPARE(shown.times(), 1);
        }
        QVERIFY(checked > uncaptioned.size());
        QVERIFY(h.prompt.verifyAllShown());
    }

    // Tab leaves a box of several lines for the next control, as it leaves
    // any other box, rather than typing a TAB into the text.
    void tabLeavesABoxOfSeveralLines_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("next");
        QTest::newRow("Notes") << "txtCustContactNotes"
                               << "txtCustMemo";
        QTest::newRow("Account Memo") << "txtCustMemo"
                                      << "cmdCustDelete";
    }
    void tabLeavesABoxOfSeveralLines() {
        QFETCH(QString, box);
        QFETCH(QString, next);
        MainWindowHarness h;
        QVERIFY(h.start());
        h.get<QPushButton>("cmdCustNew")->click();
        auto* edit = h.get<QPlainTextEdit>(qPrintable(box));
        QTest::mouseClick(edit->viewport(), Qt::LeftButton);
        QTest::keyClicks(edit, QStringLiteral("ab"));
        QTest::keyClick(edit, Qt::Key_Tab);
        QCOMPARE(h.window->focusWidget(), h.get<QWidget>(qPrintable(next)));
        QCOMPARE(edit->toPlainText(), QStringLiteral("ab"));
    }
};

QTEST_MAIN(MainFormTest)
#include "test_mainform.moc"
