// The main window's form as drawn: where the controls stand, their captions
// whole and clear of each other, the yellow labels fitting their texts, and
// every entry control reached by its caption.
#include "mainwindowharness.h"
#include "widgets/boxes.h"
#include "widgets/fittinglabel.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>

using namespace quillory;
using test::MainWindowHarness;

namespace {

// Where a label draws its text, in its parent's coordinates.
QRect textRect(const QLabel* label) {
    QString text = label->text();
    if (label->buddy())
        text.replace(QStringLiteral("&&"), QStringLiteral("&"));
    int flags = int(label->alignment());
    if (label->wordWrap())
        flags |= Qt::TextWordWrap;
    const int m = label->margin();
    const QRect room = label->contentsRect().adjusted(m, m, -m, -m);
    const QFontMetrics metrics = label->fontMetrics();
    QRect drawn = metrics.boundingRect(room, flags, text);
    // The lines' leading is blank space; only the glyphs may not touch.
    const int leading = metrics.lineSpacing() - metrics.height();
    drawn.adjust(0, leading / 2, 0, -(leading - leading / 2));
    return drawn.translated(label->pos());
}

// A rectangle drawn around a group of controls, rather than a control.
bool isShape(const QWidget* w) {
    return w->metaObject() == &QFrame::staticMetaObject;
}

// What is wrong with a caption, or nothing: it is in the form's font, and its
// text must show whole inside the label and its parent, keep a pixel from every other
// control, and lie wholly inside or wholly outside each drawn rectangle.
QString captionFault(const QLabel* label) {
    const QFontInfo font(label->font());
    const QFontInfo form(label->window()->font());
    if (font.family() != form.family() || font.pointSizeF() != form.pointSizeF())
        return QStringLiteral("is not in the form's font");
    const QRect text = textRect(label);
    if (!label->geometry().contains(text))
        return QStringLiteral("is cut");
    if (!label->parentWidget()->rect().adjusted(1, 1, -1, -1).contains(text))
        return QStringLiteral("leaves its frame");
    for (const QWidget* other :
         label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == label || other->isWindow())
            continue;
        const QRect area = other->geometry();
        if (isShape(other)) {
            const bool inside = area.adjusted(2, 2, -2, -2).contains(text);
            if (!inside && area.adjusted(-1, -1, 1, 1).intersects(text))
                return QStringLiteral("crosses ") + other->objectName();
        } else if (area.adjusted(-1, -1, 1, 1).intersects(text) ||
                   (!qobject_cast<const QLabel*>(other) && area.intersects(label->geometry()))) {
            return QStringLiteral("touches ") + other->objectName();
        }
    }
    return {};
}

} // namespace

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
            const QString fault = captionFault(label);
            QVERIFY2(fault.isEmpty(), qPrintable(label->objectName() + u' ' + fault + u' ' +
                                                 QStringLiteral("(\"%1\")").arg(label->text())));
        }
        QCOMPARE(captions, 39);
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

    void everyBoxListAndComboIsReachedByItsCaption() {
        MainWindowHarness h;
        QVERIFY(h.start());
        QSet<QWidget*> buddies;
        for (QLabel* label : h.window->findChildren<QLabel*>())
            if (label->buddy())
                buddies.insert(label->buddy());
        QWidgetList entryControls;
        for (QWidget* w : h.window->findChildren<QWidget*>()) {
            const bool entry = qobject_cast<QLineEdit*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
                               qobject_cast<QListWidget*>(w) || qobject_cast<QComboBox*>(w);
            // The edit field inside a combo box is the combo box's own; the
            // project list is captioned by its frame.
            if (entry && !qobject_cast<QComboBox*>(w->parentWidget()) &&
                w->objectName() != QStringLiteral("lstProjects"))
                entryControls.append(w);
        }
        QVERIFY(entryControls.size() > 30);
        for (QWidget* w : entryControls)
            QVERIFY2(buddies.contains(w), qPrintable(w->objectName()));
    }
};

QTEST_MAIN(MainFormTest)
#include "test_mainform.moc"
