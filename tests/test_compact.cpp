// Compact and repair from the Options menu: the answer No, a compaction that
// works (smaller file, every row kept, the backup, no temporary file, the
// marker after exit), a second one, a failure at each step, another copy of
// the program on the database, and a database that is gone.
#include "data/compact.h"
#include "data/signature.h"
#include "mainwindowharness.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

using namespace quillory;
using test::MainWindowHarness;
using test::readAll;

namespace {

const QString kCompleted = QStringLiteral("Database compression and repair completed.");

const QString kPermissionBox =
    QStringLiteral("Either the database did not close correctly for maintenance, or you do not "
                   "have the needed file permissions to repair the database.  Ensure that you "
                   "have create, delete, modify, and execute rights to the directory you "
                   "installed Brandlewickery.");

// A window on a database with three customers and room to win back: many
// rows were written and deleted again.
struct Books : MainWindowHarness {
    Books() {
        addCustomer(1, "Smith");
        addCustomer(2, "Jones");
        addCustomer(3, "O'Hara");
        addInvoice(1, 1, 1234567, 0, 0);
        program.sql("WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i+1 FROM n WHERE i<3000) "
                    "INSERT INTO tblcustomer (id,lname,notes) SELECT i,'Gone',"
                    "hex(randomblob(300)) FROM n");
        program.sql("DELETE FROM tblcustomer WHERE lname='Gone'");
    }
    // Expects the question and answers it; the boxes that follow are
    // expected after this, then run() chooses the menu item.
    void expectQuestion(Prompt::Answer answer = Prompt::Yes) {
        prompt.expectMessage("Compress and repair the database?", "Confirmation Required", answer,
                             Prompt::Buttons::YesNo);
    }
    void run() { get<QAction>("mnuOptionsData")->trigger(); }
    // Every row that matters, as one text.
    QString rows() {
        return program
            .scalar("SELECT group_concat(id||lname, ',') || '/' || "
                    "(SELECT group_concat(id||':'||amountdue) FROM tblinvoice) FROM tblcustomer")
            .toString();
    }
};

} // namespace

class CompactTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp; // the user's temporary directory in these tests

private slots:
    void init() {
        qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
        QFile::remove(compaction::backupPath());
    }
    void cleanup() { compaction::setFailureInjection({}); }

    void answeringNoChangesNothing() {
        Books h;
        QVERIFY(h.start());
        const QByteArray before = readAll(h.program.databasePath());
        h.expectQuestion(Prompt::No);
        h.run();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(h.program.databasePath()), before);
        QVERIFY(!QFile::exists(compaction::backupPath()));
        QVERIFY(h.db.cnMain.isOpen());
    }

    void aCompactionKeepsEveryRowInASmallerFileAndLeavesTheBackup() {
        Books h;
        QFile::setPermissions(h.program.databasePath(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QString rows = h.rows();
        QVERIFY(h.start());
        const QByteArray before = readAll(h.program.databasePath());
        h.expectQuestion();
        h.prompt.expectMessage(kCompleted, "Notice");
        h.run();
        QVERIFY(h.prompt.verifyAllShown());

        QVERIFY(QFileInfo(h.program.databasePath()).size() < before.size() / 2);
        QCOMPARE(QFileInfo(h.program.databasePath()).permissions() & 0x0fff,
                 QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
        QCOMPARE(readAll(compaction::backupPath()), before);
        QVERIFY(!QFile::exists(compaction::compactedPath()));
        // The window goes on working on the compacted file.
        QVERIFY(h.db.cnMain.isOpen());
        QVERIFY(h.selectCustomer("O'Hara-3"));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("O'Hara"));
        // Leaving the program hides the header of the new file.
        h.window->close();
        QCOMPARE(test::header(h.program.databasePath()), signature::kMarker);
        QCOMPARE(h.rows(), rows);
    }

    void theDatabaseNamedInNetworkPathIsTheOneCompacted() {
        Books h;
        const QString shared = h.program.file("shared/books.mdb");
        QVERIFY(QDir().mkpath(h.program.file("shared")));
        QVERIFY(QFile::rename(h.program.databasePath(), shared));
        QVERIFY(test::writeAll(h.program.file("NetworkPath.sfe"), shared.toUtf8() + "\r\n"));
        QVERIFY(h.start());
        QCOMPARE(h.db.databasePath(), shared);
        const QByteArray before = readAll(shared);
        h.expectQuestion();
        h.prompt.expectMessage(kCompleted, "Notice");
        h.run();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(compaction::backupPath()), before);
        QVERIFY(QFileInfo(shared).size() < before.size() / 2);
        QCOMPARE(test::scalarOn(shared, "SELECT lname FROM tblcustomer WHERE id=3"),
                 QVariant("O'Hara"));
    }

    void aSecondCompactionReplacesTheBackup() {
        Books h;
        QVERIFY(h.start());
        h.expectQuestion();
        h.prompt.expectMessage(kCompleted, "Notice");
        h.run();
        QVERIFY(h.db.cnMain.execute("INSERT INTO tblcustomer (id,lname) VALUES (4,'Later')"));
        h.expectQuestion();
        h.prompt.expectMessage(kCompleted, "Notice");
        h.run();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(
            test::scalarOn(compaction::backupPath(), "SELECT lname FROM tblcustomer WHERE id=4"),
            QVariant("Later"));
    }

    void aFailureAtAnyStepLeavesTheDatabaseAsItWas_data() {
        QTest::addColumn<compaction::Step>("step");
        QTest::newRow("lock") << compaction::Step::Lock;
        QTest::newRow("backup") << compaction::Step::Backup;
        QTest::newRow("compact") << compaction::Step::Compact;
        QTest::newRow("check") << compaction::Step::Check;
        QTest::newRow("replace") << compaction::Step::Replace;
    }
    void aFailureAtAnyStepLeavesTheDatabaseAsItWas() {
        QFETCH(compaction::Step, step);
        Books h;
        QVERIFY(h.start());
        const QByteArray before = readAll(h.program.databasePath());
        compaction::setFailureInjection([step](compaction::Step now) {
            return now == step ? Error{errnum::Unspecified, "disk on fire"} : Error::none();
        });
        h.expectQuestion();
        h.prompt.expectMessage("An error has occurred.  Please contact the\r\nprogram vendor with "
                               "the following information if this problem persists.\r\n"
                               "-2147467259:\r\ndisk on fire",
                               "ERROR", Prompt::Ok, Prompt::Buttons::Ok, Prompt::Icon::Exclamation);
        h.run();
        QVERIFY(h.prompt.verifyAllShown()); // and no word of completion
        QCOMPARE(readAll(h.program.databasePath()), before);
        QVERIFY(!QFile::exists(compaction::compactedPath()));
        QVERIFY(h.db.cnMain.isOpen());
        QVERIFY(QFile(h.program.file("ErrLog.err")).size() > 0);
    }

    void aTemporaryDirectoryThatCannotTakeFilesFailsBeforeTouchingTheDatabase() {
        Books h;
        QVERIFY(h.start());
        const QByteArray before = readAll(h.program.databasePath());
        // A file where the directory should be: nothing can be written there.
        QVERIFY(test::writeAll(m_temp.filePath("not a folder"), "x"));
        qputenv("TMPDIR", QFile::encodeName(m_temp.filePath("not a folder")));
        h.expectQuestion();
        h.prompt.expectMessageTitled("ERROR");
        h.run();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(h.program.databasePath()), before);
        QVERIFY(h.db.cnMain.isOpen());
    }

    // Replacing the file under another copy would lose that copy's writes.
    void anotherCopyOnTheDatabaseIsRefusedWithThePermissionBox() {
        Books h;
        QVERIFY(h.start());
        Database other;
        QVERIFY(other.OpenDatabase());
        const QByteArray before = readAll(h.program.databasePath());
        h.expectQuestion();
        h.prompt.expectMessage(kPermissionBox, "Brandlewickery Maintenance Error!", Prompt::Ok,
                               Prompt::Buttons::Ok, Prompt::Icon::Critical);
        h.run();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(h.program.databasePath()), before);
        QVERIFY(!QFile::exists(compaction::backupPath()));
        QVERIFY(h.db.cnMain.isOpen());
        QVERIFY(other.cnMain.execute("INSERT INTO tblcustomer (id,lname) VALUES (5,'Other')"));
        QCOMPARE(h.program.scalar("SELECT lname FROM tblcustomer WHERE id=5"), QVariant("Other"));
    }

    void aDatabaseThatIsGoneIsNotCompactedAndEndsTheProgram() {
        QCOMPARE(compaction::CompactDatabase(m_temp.filePath("none.mdb"), true).outcome,
                 compaction::Result::NoDatabase);
        Books h;
        QVERIFY(h.start());
        QVERIFY(QFile::remove(h.program.databasePath()));
        h.expectQuestion();
        h.prompt.expectMessageTitled("File not found");
        h.prompt.expectMessage("An error was encountered while initializing the database.",
                               "Quillory");
        h.run();
        QVERIFY(h.prompt.verifyAllShown());
        QVERIFY(!h.window->isVisible());
        QVERIFY(!QFile::exists(compaction::backupPath()));
        QVERIFY(!QFile::exists(compaction::compactedPath()));
    }
};

QTEST_MAIN(CompactTest)
#include "test_compact.moc"
