// The customer list and view: views of customers around the middle of the
// list, saves of some of them, then the refresh.
#include "app/frmMain.h"
#include "benchsupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

namespace bench {

void benchCustomers(Context& context) {
    quillory::frmMain& window = context.window;
    auto* list = window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
    auto* idBox = window.findChild<QLineEdit*>(QStringLiteral("txtCustId"));
    auto* projects = window.findChild<QListWidget*>(QStringLiteral("lstProjects"));
    auto* invoices = window.findChild<QListWidget*>(QStringLiteral("lstInvoices"));
    if (!list || !idBox || !projects || !invoices) {
        std::printf("warning: the window lacks its customer controls\n");
        ++context.failures;
        return;
    }

    // Views of customers around the middle of the list, each a different one.
    const int entries = list->count();
    const int views = std::min(context.options.views, entries);
    const int stride = std::max(1, entries / std::max(1, views * 4));
    std::vector<int> rows;
    for (int i = 0; i < views; ++i) {
        int row = entries / 2 + (i - views / 2) * stride;
        row = std::clamp(row, 0, entries - 1);
        if (std::find(rows.begin(), rows.end(), row) == rows.end())
            rows.push_back(row);
    }
    QElapsedTimer timer;
    std::vector<double> viewTimes;
    std::vector<double> settleTimes;
    for (const int row : rows) {
        beginAction("customer_view");
        timer.start();
        list->setCurrentRow(row);
        viewTimes.push_back(msSince(timer));
        endAction();
        timer.restart();
        settle();
        settleTimes.push_back(msSince(timer));
        // The view must have shown the chosen customer and its rows.
        const QString wanted = entryId(list->item(row)->text());
        if (idBox->text() != wanted || (context.options.perCustomer > 0 &&
                                        (projects->count() == 0 || invoices->count() == 0))) {
            ++context.failures;
            std::printf("warning: row %d showed customer '%s' with %d projects and %d "
                        "invoices, expected customer %s\n",
                        row, qPrintable(idBox->text()), projects->count(), invoices->count(),
                        qPrintable(wanted));
        }
    }
    count("customer_views", static_cast<qint64>(viewTimes.size()), "views");
    if (!viewTimes.empty()) {
        figure("customer_view_first", viewTimes.front(), "ms", 2);
        figure("customer_view_median", median(viewTimes), "ms", 2);
        figure("customer_view_max", *std::max_element(viewTimes.begin(), viewTimes.end()), "ms", 2);
        figure("customer_view_settle_median", median(settleTimes), "ms", 2);
    }

    // Saves: a customer shown, Edit, a new phone number typed, Save (which
    // writes only that column, guarded against another copy's change).
    auto* edit = window.findChild<QPushButton*>(QStringLiteral("cmdCustEdit"));
    auto* save = window.findChild<QPushButton*>(QStringLiteral("cmdCustSave"));
    auto* phone = window.findChild<QLineEdit*>(QStringLiteral("txtCustPhone"));
    std::vector<double> saveTimes;
    for (size_t i = 0; edit && save && phone && i < rows.size() && i < 10; ++i) {
        list->setCurrentRow(rows[i]);
        settle();
        const QString id = idBox->text();
        edit->click();
        phone->setText(QStringLiteral("(613) 555-%1").arg(1000 + i));
        beginAction("customer_save", id.toLongLong());
        timer.restart();
        save->click();
        saveTimes.push_back(msSince(timer));
        endAction();
        settle();
        if (!idBox->text().isEmpty() ||
            scalar(context.db, QStringLiteral("SELECT count(*) FROM tblcustomer WHERE id=") + id +
                                   QStringLiteral(" AND phone='(613) 555-") +
                                   QString::number(1000 + i) + u'\'') != 1) {
            ++context.failures;
            std::printf("warning: the save of customer %s did not write its phone number\n",
                        qPrintable(id));
        }
    }
    count("customer_saves", static_cast<qint64>(saveTimes.size()), "saves");
    if (!saveTimes.empty()) {
        figure("customer_save_median", median(saveTimes), "ms", 2);
        figure("customer_save_max", *std::max_element(saveTimes.begin(), saveTimes.end()), "ms", 2);
    }

    beginAction("refresh");
    timer.restart();
    window.cmdCustRefresh_Click();
    const double refreshMs = msSince(timer);
    endAction();
    figure("refresh", refreshMs, "ms");
    timer.restart();
    settle();
    const double refreshSettleMs = msSince(timer);
    figure("refresh_settle", refreshSettleMs, "ms");
    figure("refresh_until_shown", refreshMs + refreshSettleMs, "ms");
    if (list->count() != entries) {
        ++context.failures;
        std::printf("warning: the refreshed list holds %d entries, not %d\n", list->count(),
                    entries);
    }
}

} // namespace bench
