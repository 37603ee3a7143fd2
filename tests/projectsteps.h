#pragma once

#include "mainwindowharness.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

namespace quillory::test {

// What a user does on the "Projects and Services" tab, with the mouse and
// the keyboard, and the boxes that answer it.
struct ProjectSteps {
    MainWindowHarness& h;

    void showTab(int index) {
        QTabBar* bar = h.get<QTabWidget>("tabMain")->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
    }

    void press(const char* button) {
        QTest::mouseClick(h.get<QPushButton>(button), Qt::LeftButton);
    }

    // Selects what a box holds and types over it (Return between lines).
    void type(QWidget* box, const QString& text) {
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty()) {
            QTest::keyClick(box, Qt::Key_Backspace);
            return;
        }
        const QStringList lines = text.split(u'\n');
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (i > 0)
                QTest::keyClick(box, Qt::Key_Return);
            QTest::keyClicks(box, lines.at(i));
        }
    }
    void type(const char* box, const QString& text) { type(h.get<QWidget>(box), text); }
    void typeStatus(const QString& text) { type(h.get<QComboBox>("cboStatus")->lineEdit(), text); }

    // Arrows through the filter's entries, as far as `entry`.
    bool pickFilter(const QString& entry) {
        auto* filter = h.get<QComboBox>("cboProjectFilter");
        const int target = filter->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (target < 0 || !filter->isEnabled())
            return false;
        while (filter->currentIndex() < target)
            QTest::keyClick(filter, Qt::Key_Down);
        while (filter->currentIndex() > target)
            QTest::keyClick(filter, Qt::Key_Up);
        return true;
    }

    // Clicks the customer, shows the tab and clicks the project.
    bool open(const QString& customer, const QString& project) {
        if (!h.selectCustomer(customer))
            return false;
        showTab(1);
        return h.clickEntry("lstProjects", project);
    }

    QString text(const char* box) const {
        if (auto* line = qobject_cast<QLineEdit*>(h.get<QWidget>(box)))
            return line->text();
        return h.get<QPlainTextEdit>(box)->toPlainText();
    }
    QString status() const { return h.get<QComboBox>("cboStatus")->currentText(); }
    bool editing() const { return h.get<QPushButton>("cmdpSave")->isEnabled(); }

    // Fills every box of a new project.
    void fill(const QString& hours, const QString& rate, const QString& summary,
              const QString& status) {
        type("txtpBillingHours", hours);
        type("txtpRate", rate);
        type("txtpSummary", summary);
        type("txtpServices", QStringLiteral("Framing"));
        type("txtpDetails", QStringLiteral("South side"));
        type("txtpNotes", QStringLiteral("Call first"));
        typeStatus(status);
    }

    void expectFigures(const QString& hours, const QString& rate, const QString& total,
                       Prompt::Answer answer = Prompt::Ok) {
        h.prompt.expectMessage(QStringLiteral("Please confirm the following project "
                                              "information:\r\nBilling Hours: ") +
                                   hours + QStringLiteral("\r\nBilling Rate:  ") + rate +
                                   QStringLiteral("\r\nTotal Cost:    ") + total,
                               QStringLiteral("Confirmation"), answer, Prompt::Buttons::OkCancel,
                               Prompt::Icon::Information);
    }
    void expectStatus(const QString& status, Prompt::Answer answer = Prompt::Yes) {
        h.prompt.expectMessage(QStringLiteral("Please confirm this project's status as: ") + status,
                               QStringLiteral("Confirmation"), answer, Prompt::Buttons::YesNo);
    }
    void expectInvoiceQuestion(Prompt::Answer answer = Prompt::Ok) {
        h.prompt.expectMessage(QStringLiteral("Please confirm that you wish to create a new "
                                              "invoice?"),
                               QStringLiteral("Confirmation"), answer, Prompt::Buttons::OkCancel);
    }

    // A project row as another copy of the program, or an older one, left it.
    void addProject(int id, int customerId, const QString& summary, const QVariant& status,
                    const QVariant& hours, const QVariant& rate, int invoiced = 0) {
        h.program.sql(QStringLiteral("INSERT INTO tblservices (id,customerid,summary,status,"
                                     "billinghours,billingrate,services_provided,details,notes,"
                                     "DateCreated,invoicegenerated) VALUES (?,?,?,?,?,?,'Framing',"
                                     "'South side','Call first','2026-12-01 10:00:00',?)"),
                      {id, customerId, summary, status, hours, rate, invoiced});
    }
    QVariant project(const QString& column, int id) const {
        return h.program.scalar(QStringLiteral("SELECT ") + column +
                                    QStringLiteral(" FROM tblservices WHERE id=?"),
                                {id});
    }
};

} // namespace quillory::test
