// The projects tab: the project view and the filter of customers around the
// middle of the list, then invoice generation, each on the full database.
// The projects and invoices the run adds are removed again at the end.
#include "app/frmMain.h"
#include "benchsupport.h"
#include "core/environment.h"
#include "data/database.h"
#include "projects/projectstore.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

// Answers the two confirmations of Generate Invoice; any other box counts
// against the run.
class ConfirmingPrompt : public quillory::Prompt {
public:
    explicit ConfirmingPrompt(CountingPrompt& others) : m_others(others) {}
    Answer message(const QString& text, Buttons buttons, Icon icon, const QString& title) override {
        if (title == u"Confirmation")
            return Ok;
        return m_others.message(text, buttons, icon, title);
    }
    std::optional<QString> input(const QString& prompt, const QString& title,
                                 const QString& defaultText, bool masked) override {
        return m_others.input(prompt, title, defaultText, masked);
    }
    std::optional<QString> openFile(const QString& title, const QString& filters) override {
        return m_others.openFile(title, filters);
    }

private:
    CountingPrompt& m_others;
};

// The rows of customers around the middle of the list, each a different one.
std::vector<int> middleRows(int entries, int wanted) {
    const int views = std::min(wanted, entries);
    const int stride = std::max(1, entries / std::max(1, views * 4)) + 1;
    std::vector<int> rows;
    for (int i = 0; i < views; ++i) {
        const int row = std::clamp(entries / 2 + (i - views / 2) * stride, 0, entries - 1);
        if (std::find(rows.begin(), rows.end(), row) == rows.end())
            rows.push_back(row);
    }
    return rows;
}

void printTimes(const char* name, const std::vector<double>& times) {
    if (times.empty())
        return;
    const std::string base(name);
    figure((base + "_median").c_str(), median(times), "ms", 2);
    figure((base + "_max").c_str(), *std::max_element(times.begin(), times.end()), "ms", 2);
}

} // namespace

void benchProjects(Context& context, CountingPrompt& prompt) {
    quillory::frmMain& window = context.window;
    auto* customers = window.findChild<QListWidget*>(QStringLiteral("lstCustomer"));
    auto* projects = window.findChild<QListWidget*>(QStringLiteral("lstProjects"));
    auto* filter = window.findChild<QComboBox*>(QStringLiteral("cboProjectFilter"));
    auto* idBox = window.findChild<QLineEdit*>(QStringLiteral("txtpID"));
    auto* edit = window.findChild<QPushButton*>(QStringLiteral("cmdpEdit"));
    auto* generate = window.findChild<QPushButton*>(QStringLiteral("cmdpGenInvoice"));
    auto* invoices = window.findChild<QListWidget*>(QStringLiteral("lstInvoices"));
    if (!customers || !projects || !filter || !idBox || !edit || !generate || !invoices) {
        std::printf("warning: the window lacks its project controls\n");
        ++context.failures;
        return;
    }
    const auto fail = [&context](const char* what, const QString& detail) {
        ++context.failures;
        std::printf("warning: %s %s\n", what, qPrintable(detail));
    };

    // The project view of every project, and each filter entry, of customers
    // around the middle.
    std::vector<double> viewTimes;
    std::vector<double> filterTimes;
    QElapsedTimer timer;
    const std::vector<int> rows = middleRows(customers->count(), context.options.views);
    for (const int row : rows) {
        customers->setCurrentRow(row);
        settle();
        for (int i = 0; i < projects->count(); ++i) {
            beginAction("project_view");
            timer.start();
            projects->setCurrentRow(i);
            viewTimes.push_back(msSince(timer));
            endAction();
            if (idBox->text().isEmpty())
                fail("the project view showed nothing for", projects->item(i)->text());
        }
        for (int i = 0; i < filter->count(); ++i) {
            beginAction("project_filter");
            timer.start();
            filter->setCurrentIndex(i);
            emit filter->activated(i);
            filterTimes.push_back(msSince(timer));
            endAction();
            if (projects->count() == 0)
                fail("the filter listed nothing for", filter->itemText(i));
        }
    }
    count("project_views", static_cast<qint64>(viewTimes.size()), "views");
    printTimes("project_view", viewTimes);
    count("project_filters", static_cast<qint64>(filterTimes.size()), "filters");
    printTimes("project_filter", filterTimes);

    // Generation: a new project of a customer around the middle, shown and
    // edited, then Generate Invoice as a whole (both confirmations answered,
    // the customer view reloaded), and the store's write transaction alone.
    std::vector<double> insertTimes;
    std::vector<double> storeTimes;
    std::vector<double> clickTimes;
    QList<int> addedProjects;
    QList<int> addedInvoices;
    ConfirmingPrompt confirming(prompt);
    for (const int row : middleRows(customers->count(), 5)) {
        const int customerId = entryId(customers->item(row)->text()).toInt();
        for (const bool throughWindow : {false, true}) {
            const QString summary = QStringLiteral("Bench generation %1").arg(throughWindow);
            quillory::projectstore::NewProject project{customerId,
                                                       37.3f,
                                                       85.15f,
                                                       summary,
                                                       QStringLiteral("Bench"),
                                                       QStringLiteral("Bench"),
                                                       QString(),
                                                       QStringLiteral("On Hold")};
            timer.start();
            const quillory::projectstore::WriteResult added = quillory::projectstore::insertProject(
                context.db, project, quillory::environment::now());
            insertTimes.push_back(msSince(timer));
            if (added.outcome != quillory::projectstore::Outcome::Done) {
                fail("adding a project failed for customer", QString::number(customerId));
                continue;
            }
            addedProjects.append(added.id);
            if (!throughWindow) {
                const std::optional<QVariantMap> shown =
                    quillory::projectstore::findProject(context.db, customerId, summary);
                timer.start();
                const quillory::projectstore::WriteResult invoice =
                    quillory::projectstore::generateInvoice(
                        context.db, {added.id, customerId, summary}, shown.value_or(QVariantMap()),
                        quillory::environment::now());
                storeTimes.push_back(msSince(timer));
                if (invoice.outcome == quillory::projectstore::Outcome::Done)
                    addedInvoices.append(invoice.id);
                else
                    fail("generating failed for project", QString::number(added.id));
                continue;
            }
            customers->setCurrentRow(row);
            window.lstCustomer_Click();
            const QList<QListWidgetItem*> entries =
                projects->findItems(summary + u'\t', Qt::MatchStartsWith);
            if (entries.isEmpty()) {
                fail("the new project is not listed:", summary);
                continue;
            }
            projects->setCurrentItem(entries.first());
            edit->click();
            quillory::Prompt::install(&confirming);
            beginAction("invoice_generation_click", customerId);
            timer.start();
            generate->click();
            clickTimes.push_back(msSince(timer));
            endAction();
            quillory::Prompt::install(&prompt);
            const QString newest = invoices->count() > 0 ? invoices->item(0)->text() : QString();
            if (newest.isEmpty() ||
                scalar(context.db, QStringLiteral("SELECT servicesid FROM tblinvoice WHERE id=") +
                                       newest) != added.id)
                fail("Generate Invoice did not add the invoice of project",
                     QString::number(added.id));
            else
                addedInvoices.append(newest.toInt());
        }
    }
    count("invoice_generations", static_cast<qint64>(storeTimes.size() + clickTimes.size()),
          "invoices");
    printTimes("project_insert", insertTimes);
    printTimes("invoice_generation_store", storeTimes);
    printTimes("invoice_generation_click", clickTimes);

    quillory::Connection& cn = context.db.cnMain;
    for (const int id : addedInvoices)
        cn.execute(QStringLiteral("DELETE FROM tblinvoice WHERE id=") + QString::number(id));
    for (const int id : addedProjects)
        cn.execute(QStringLiteral("DELETE FROM tblservices WHERE id=") + QString::number(id));
}

} // namespace bench
