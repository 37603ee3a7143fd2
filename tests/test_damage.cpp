// A damaged database: one page of a table overwritten with garbage, as a disk
// fault leaves it, or an index that no longer matches its table. The damage
// is reported once, with where the last backup copy of that database is, and
// nothing is written to the file after it: not a save, not the marker at the
// end, not a compaction over the backup copy.
#include "customerediting.h"
#include "data/file/compact.h"
#include "data/recordset.h"
#include "data/rowguard.h"
#include "data/transaction.h"
#include "errors/handleerror.h"
#include "projectsteps.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace quillory;
using namespace quillory::test;

namespace {

const QString kDamaged = QStringLiteral("Damaged Database");
const QString kMalformed = QStringLiteral("database disk image is malformed");

// Runs statements on one connection of their own, outside the program's.
void runOn(const QString& databasePath, const QStringList& statements) {
    const bool marked = writeSignature(databasePath, 2) == SignatureResult::Written;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damaging"));
        db.setDatabaseName(databasePath);
        if (!db.open())
            qFatal("Cannot open %s", qPrintable(databasePath));
        for (const QString& statement : statements) {
            QSqlQuery query(db);
            if (!query.exec(statement))
                qFatal("%s failed", qPrintable(statement));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damaging"));
    if (marked)
        writeSignature(databasePath, 1);
}

// Moves project 4 to customer 2 behind the back of the index of projects by
// customer, which still files it under customer 1: every page stays whole,
// only the index and its table disagree.
void makeIndexStale(const QString& databasePath) {
    const QString entry =
        scalarOn(databasePath, QStringLiteral("SELECT quote(name)||','||quote(tbl_name)||','||"
                                              "rootpage||','||quote(sql) FROM sqlite_master "
                                              "WHERE name='tblservices_customerid'"))
            .toString();
    runOn(databasePath, {QStringLiteral("PRAGMA writable_schema=ON"),
                         QStringLiteral("DELETE FROM sqlite_master WHERE name="
                                        "'tblservices_customerid'")});
    runOn(databasePath, {QStringLiteral("UPDATE tblservices SET customerid=2 WHERE id=4")});
    runOn(databasePath,
          {QStringLiteral("PRAGMA writable_schema=ON"),
           QStringLiteral("INSERT INTO sqlite_master VALUES ('index',") + entry + u')'});
}

void expectDamageReport(ScriptedPrompt& prompt, const QString& databasePath) {
    prompt.expectMessage(
        damagedDatabaseText(kMalformed + QStringLiteral(" (") + databasePath + u')', databasePath),
        kDamaged, Prompt::Ok, Prompt::Buttons::Ok, Prompt::Icon::Critical);
}

void expectNotSaved(ScriptedPrompt& prompt, const QString& databasePath) {
    prompt.expectMessage(notSavedToDamagedDatabaseText(databasePath), kDamaged, Prompt::Ok,
                         Prompt::Buttons::Ok, Prompt::Icon::Exclamation);
}

// Whether another copy of the program could take the write lock now.
bool writeLockFree(const QString& databasePath) {
    bool free = false;
    {
        QSqlDatabase other =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-copy"));
        other.setDatabaseName(databasePath);
        if (other.open()) {
            QSqlQuery begin(other);
            free = begin.exec(QStringLiteral("BEGIN IMMEDIATE"));
            begin.exec(QStringLiteral("ROLLBACK"));
        }
        other.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other-copy"));
    return free;
}

int logLines(const TempProgram& program) {
    return int(readAll(program.file(QStringLiteral("ErrLog.err"))).count("\r\n"));
}

} // namespace

class DamageTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp; // the user's temporary directory, where backup.mdb is

private slots:
    void initTestCase() { pinEnglishUs(); }
    void init() {
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
        QDir(backupplace::userFolder()).removeRecursively();
    }

    // The customer list met first (its table damaged), or the start-up's
    // first read (the index of customer ids), which used to end the program.
    void aDamagedPageIsReportedOnceAndNothingIsWrittenAfterIt_data() {
        QTest::addColumn<QString>("damaged");
        QTest::addColumn<int>("listed");
        QTest::newRow("the customers' table") << "tblcustomer" << 0;
        QTest::newRow("the index of customer ids") << "sqlite_autoindex_tblcustomer_1" << 2;
    }
    void aDamagedPageIsReportedOnceAndNothingIsWrittenAfterIt() {
        QFETCH(QString, damaged);
        QFETCH(int, listed);
        MainWindowHarness h;
        h.addCustomer(1, QStringLiteral("Ames"));
        h.addCustomer(2, QStringLiteral("Bell"));
        damageTable(h.program.databasePath(), damaged);
        // The backup copy the box names, from the last compaction.
        const QString backupPath = compaction::backupPath(h.program.databasePath());
        QVERIFY(backupplace::makeFolderFor(h.program.databasePath()).isEmpty());
        QVERIFY(QFile::copy(h.program.databasePath(), backupPath));
        const QByteArray backup = readAll(backupPath);

        // The customer list cannot be read: one box, which says so, not the
        // refresh failure after it.
        expectDamageReport(h.prompt, h.program.databasePath());
        QVERIFY(h.start());
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(h.prompt.shown().constLast().text.contains(
            QStringLiteral("Options > Compact Database on ")));
        QVERIFY(h.prompt.shown().constLast().text.contains(backupPath));
        QCOMPARE(logLines(h.program), 1);
        QCOMPARE(h.get<QListWidget>("lstCustomer")->count(), listed);
        const QByteArray opened = readAll(h.program.databasePath());

        // New + Save, twice: each is refused and says why, the typed
        // customer stays on screen, and not one byte of the file changes.
        click(h, "cmdCustNew");
        typeRequired(h, QStringLiteral("Cole"));
        for (int attempt = 0; attempt < 2; ++attempt) {
            expectNotSaved(h.prompt, h.program.databasePath());
            click(h, "cmdCustSave");
            QVERIFY(h.prompt.verifyAllShown());
            QVERIFY(inEditState(h));
            QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("Cole"));
            QCOMPARE(readAll(h.program.databasePath()), opened);
        }

        // Compacting would replace the file and the backup copy: refused
        // before it asks.
        expectNotSaved(h.prompt, h.program.databasePath());
        h.get<QAction>("mnuOptionsData")->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(backupPath), backup);

        // Closing leaves the file as it was, without the marker.
        h.window.reset();
        QCOMPARE(readAll(h.program.databasePath()), opened);
        QVERIFY(!QFile::exists(h.program.databasePath() + QStringLiteral("-journal")));
        QCOMPARE(logLines(h.program), 1);
    }

    // The page is first met by the insert of a new invoice, after the project
    // was marked invoiced: the write is rolled back whole, and the report
    // waits until the write lock is let go.
    void damageMetInsideAWriteRollsItBackAndIsReportedOnce() {
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        p.addProject(4, 1, QStringLiteral("Roof"), QStringLiteral("On Hold"), 42.5, 20.75);
        damageTable(h.program.databasePath(), QStringLiteral("tblinvoice"));
        QVERIFY(h.start());
        QVERIFY(p.open(QStringLiteral("Ames-1"), QStringLiteral("Roof\tOn Hold")));
        p.press("cmdpEdit");
        const QByteArray before = readAll(h.program.databasePath());

        p.expectFigures(QStringLiteral("42.5"), QStringLiteral("20.75"), QStringLiteral("$881.88"));
        p.expectInvoiceQuestion();
        expectDamageReport(h.prompt, h.program.databasePath());
        bool freeWhileShown = false;
        h.prompt.whileShown([&] { freeWhileShown = writeLockFree(h.program.databasePath()); });
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(freeWhileShown);
        QVERIFY(p.editing());
        QCOMPARE(readAll(h.program.databasePath()), before);
        QCOMPARE(p.project(QStringLiteral("status||invoicegenerated"), 4).toString(),
                 QStringLiteral("On Hold0"));

        // A second try is refused before it writes anything.
        p.expectFigures(QStringLiteral("42.5"), QStringLiteral("20.75"), QStringLiteral("$881.88"));
        p.expectInvoiceQuestion();
        expectNotSaved(h.prompt, h.program.databasePath());
        p.press("cmdpGenInvoice");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(h.program.databasePath()), before);
        QCOMPARE(logLines(h.program), 1);
    }

    // Damage that nothing has read yet, even damage SQLite's quick check does
    // not see: compacting finds it in the copy before that becomes the
    // backup, so the last good copy stays, and the program writes nothing
    // more.
    void compactingAnUnnoticedDamagedDatabaseKeepsTheLastBackup_data() {
        QTest::addColumn<bool>("indexOnly");
        QTest::newRow("a page of a table") << false;
        QTest::newRow("an index that no longer matches its table") << true;
    }
    void compactingAnUnnoticedDamagedDatabaseKeepsTheLastBackup() {
        QFETCH(bool, indexOnly);
        MainWindowHarness h;
        ProjectSteps p{h};
        h.addCustomer(1, QStringLiteral("Ames"));
        p.addProject(4, 1, QStringLiteral("Roof"), QStringLiteral("On Hold"), 42.5, 20.75);
        const QString path = h.program.databasePath();
        const QByteArray good = readAll(path);
        QVERIFY(backupplace::makeFolderFor(path).isEmpty());
        QVERIFY(writeAll(compaction::backupPath(path), good));
        if (indexOnly)
            makeIndexStale(path);
        else
            damageTable(path, QStringLiteral("tblservices"));
        QVERIFY(h.start());
        const QByteArray opened = readAll(path);

        h.prompt.expectMessage(QStringLiteral("Compress and repair the database?"),
                               QStringLiteral("Confirmation Required"), Prompt::Yes,
                               Prompt::Buttons::YesNo);
        h.prompt.expectMessageTitled(kDamaged);
        h.get<QAction>("mnuOptionsData")->trigger();
        QVERIFY(h.prompt.verifyAllShown());
        const ShownBox& report = h.prompt.shown().constLast();
        QCOMPARE(report.icon, Prompt::Icon::Critical);
        QVERIFY(report.text.startsWith(QStringLiteral("The database is damaged")));
        QVERIFY(report.text.contains(compaction::backupPath(path)));
        QCOMPARE(readAll(compaction::backupPath(path)), good);
        QCOMPARE(QDir(backupplace::folderFor(path)).entryList(QDir::Files),
                 QStringList{QStringLiteral("backup.mdb")});
        QCOMPARE(readAll(path), opened);

        click(h, "cmdCustNew");
        typeRequired(h, QStringLiteral("Cole"));
        expectNotSaved(h.prompt, path);
        click(h, "cmdCustSave");
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(path), opened);
    }

    // Every way the program writes is refused once damage has been met, by
    // the connection itself, whoever asks.
    void everyKindOfWriteIsRefusedAfterTheDamage_data() {
        QTest::addColumn<QString>("write");
        QTest::newRow("a transaction") << "transaction";
        QTest::newRow("a statement") << "statement";
        QTest::newRow("a guarded update") << "guarded";
        QTest::newRow("a new row of a recordset") << "recordset";
    }
    void everyKindOfWriteIsRefusedAfterTheDamage() {
        QFETCH(QString, write);
        TempProgram program;
        ScriptedPrompt prompt;
        scalarOn(program.databasePath(),
                 QStringLiteral("INSERT INTO tblcustomer (id,lname) VALUES (1,'Ames')"));
        damageTable(program.databasePath(), QStringLiteral("tblinvoice"));
        Database db;
        QVERIFY(db.OpenDatabase());
        Connection& cn = db.cnMain;
        expectDamageReport(prompt, db.databasePath());
        QVERIFY(!cn.execute(QStringLiteral("SELECT * FROM tblinvoice")));
        QVERIFY(prompt.verifyAllShown());
        QCOMPARE(cn.lastError().number, errnum::DamageReported);
        QVERIFY(cn.isDamaged());
        const QByteArray before = readAll(program.databasePath());

        Error refused;
        if (write == u"transaction") {
            Transaction transaction(cn);
            QVERIFY(!transaction.isActive());
            refused = cn.lastError();
        } else if (write == u"statement") {
            QVERIFY(!cn.execute(QStringLiteral("UPDATE tblcustomer SET lname='Bell'")));
            refused = cn.lastError();
        } else if (write == u"guarded") {
            QCOMPARE(
                rowguard::writeIfUnchanged(cn, QStringLiteral("tblcustomer"), QStringLiteral("id"),
                                           1, {{QStringLiteral("lname"), QStringLiteral("Ames")}},
                                           {{QStringLiteral("lname"), QStringLiteral("Bell")}}),
                rowguard::Result::Failed);
            refused = cn.lastError();
        } else {
            Recordset rs;
            QVERIFY(rs.open(QStringLiteral("SELECT * FROM tblcustomer WHERE id=2"), cn));
            QVERIFY(rs.addNew() && rs.setField(QStringLiteral("id"), 2));
            QVERIFY(!rs.update());
            refused = rs.lastError();
        }
        QCOMPARE(refused.number, errnum::DamagedNotWritten);
        QCOMPARE(readAll(program.databasePath()), before);
        // Reads of what is whole still work.
        QVERIFY(cn.execute(QStringLiteral("SELECT lname FROM tblcustomer")));
    }
};

QTEST_MAIN(DamageTest)
#include "test_damage.moc"
