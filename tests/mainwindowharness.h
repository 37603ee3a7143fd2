#pragma once

#include "app/frmMain.h"
#include "clicking.h"
#include "data/database.h"
#include "testsupport.h"

#include <QListWidget>
#include <QTest>

#include <memory>

namespace quillory::test {

// A main window on a database of its own (on the running row's store, see
// addStoreRows), with every box scripted. Members are torn down in reverse:
// the window (closing the database) first, the program directory last.
struct MainWindowHarness {
    TempProgram program{currentStore()};
    ScriptedPrompt prompt;
    Database db;
    std::unique_ptr<frmMain> window;

    MainWindowHarness() { pinEnglishUs(); }

    // Creates the window (opening the database) and runs its load sequence.
    bool start() {
        window = std::make_unique<frmMain>(db);
        return window->initialized() && window->Form_Load();
    }

    // Stores the business options row with these login settings.
    void setLogin(int useLogin, const QString& user, const QString& password) {
        program.sql(QStringLiteral("INSERT INTO tblbusoptions (uselogin,UserName,Password) "
                                   "VALUES (?,?,?)"),
                    {useLogin, user, password});
    }

    // Expects the login's two boxes and answers them; a password of nothing
    // expects the user-name box alone.
    void expectLogin(const QString& user, const std::optional<QString>& password = {}) {
        prompt.expectInput(QStringLiteral("Enter username:"), QStringLiteral("Username:"), user);
        if (password)
            prompt.expectInput(QStringLiteral("Enter password:"), QStringLiteral("Password:"),
                               *password, true);
    }

    template <class T> T* get(const char* name) const {
        T* w = window->findChild<T*>(QString::fromLatin1(name));
        if (!w)
            qFatal("No control named %s", name);
        return w;
    }

    // Clicks the entry with this text in a list, as a user does (see
    // test::clickEntry). False when there is no such entry.
    bool clickEntry(const char* listName, const QString& entry) {
        return test::clickEntry(get<QListWidget>(listName), entry) != nullptr;
    }

    // Clicks the customer list entry with this text.
    bool selectCustomer(const QString& entry) { return clickEntry("lstCustomer", entry); }

    void addCustomer(int id, const QString& lname, const QString& fname = QStringLiteral("Ann")) {
        program.sql(QStringLiteral("INSERT INTO tblcustomer (id,fname,lname,street,city,prov,"
                                   "country,pcode,email1,email2,phone,cellphone,othercontact,"
                                   "notes) VALUES (?,?,?,'1 Main St','Halifax','NS','CA','B3H',"
                                   "'a@example.com','NA','NA','NA','NA','NA')"),
                    {id, fname, lname});
    }

    void addProject(int id, int customerId, const QString& summary, const QString& status) {
        program.sql(QStringLiteral("INSERT INTO tblservices (id,customerid,summary,status,"
                                   "billinghours,billingrate,DateCreated,invoicegenerated) "
                                   "VALUES (?,?,?,?,1.5,40,'2026-12-01 10:00:00',0)"),
                    {id, customerId, summary, status});
    }

    // Amounts are given in ten-thousandths, as stored.
    void addInvoice(int id, int customerId, qint64 due, qint64 paid, int status) {
        program.sql(QStringLiteral("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,"
                                   "amountpaid,paymentdates,DateCreated,Status) "
                                   "VALUES (?,0,?,?,?,'NA','2026-12-01 10:00:00',?)"),
                    {id, customerId, due, paid, status});
    }

    int count(const QString& table) {
        return program.scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
    }
};

} // namespace quillory::test
