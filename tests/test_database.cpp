// Opening and closing the database: the header marker, copies of the
// program sharing one file and their use lock, and the refresh of a
// recordset with its error boxes.
#include "core/environment.h"
#include "data/database.h"
#include "data/file/signature.h"
#include "errors/error.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <thread>

using namespace quillory;
using test::header;
using test::kInitFailed;
using test::readAll;
using test::useLocksOn;
using test::writeAll;

namespace {

using Buttons = Prompt::Buttons;
using Icon = Prompt::Icon;

const QString kRefreshFailed = QStringLiteral(
    "Error refreshing data.  \r\nA problem was encountered while accessing the database.");
const QString kMaintenanceText = QStringLiteral(
    "An error occurred during database maintenance routines.  If problems persist the next "
    "time you open this software, please check the Help System for guidance and support on "
    "restoring a backup copy.");

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::pinEnglishUs(); }

    // --- Opening --------------------------------------------------------------------

    // A second, read-only connection on the file the main one has open, on
    // a thread of its own, as a report reads: it sees what the main one
    // wrote, and refuses to write. Each row: a statement, and whether it
    // runs there.
    void aReadOnlyConnectionReadsTheMainOnesFileAndNeverWrites_data() {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<bool>("runs");
        QTest::newRow("read") << "SELECT lname FROM tblcustomer WHERE id=7" << true;
        QTest::newRow("insert") << "INSERT INTO tblcustomer (id,lname) VALUES (8,'New')" << false;
        QTest::newRow("update") << "UPDATE tblcustomer SET lname='Changed'" << false;
        QTest::newRow("drop") << "DROP TABLE tblinvoice" << false;
    }
    void aReadOnlyConnectionReadsTheMainOnesFileAndNeverWrites() {
        QFETCH(QString, statement);
        QFETCH(bool, runs);
        test::TempProgram program;
        SetDatabaseSignature(program.databasePath(), 2);
        Connection main;
        QVERIFY(main.open(program.databasePath()));
        QVERIFY(
            main.execute(QStringLiteral("INSERT INTO tblcustomer (id,lname) VALUES (7,'Ames')")));
        bool opened = false;
        bool ran = false;
        QString read;
        std::thread reader([&] {
            Connection cn;
            opened = cn.openReadOnly(main);
            ran = cn.forEachRow(statement, {},
                                [&read](const QSqlQuery& row) { read = row.value(0).toString(); });
        });
        reader.join();
        QVERIFY(opened);
        QCOMPARE(ran, runs);
        QCOMPARE(read, runs ? QStringLiteral("Ames") : QString());
        QCOMPARE(test::scalarOn(program.databasePath(),
                                QStringLiteral("SELECT group_concat(lname) FROM tblcustomer")),
                 QVariant(QStringLiteral("Ames")));
        QCOMPARE(test::scalarOn(program.databasePath(),
                                QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                               "name='tblinvoice'")),
                 QVariant(1));
    }

    void aFileThatIsNotADatabaseIsLeftUntouchedAndTheOpenFails() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        const QByteArray text("These are my notes, not a database at all.\r\nSecond line.\r\n");
        QVERIFY(writeAll(program.databasePath(), text));
        prompt.expectMessageTitled(QStringLiteral("ERROR"));
        prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));

        Database db;
        QVERIFY(!db.OpenDatabase());
        QVERIFY(prompt.verifyAllShown());
        QCOMPARE(prompt.shown().first().icon, Icon::Exclamation);
        QVERIFY(prompt.shown().first().text.startsWith(
            QStringLiteral("An error has occurred.  Please contact the\r\n")));
        db.CloseDatabase();
        QCOMPARE(readAll(program.databasePath()), text);
        // The failure was logged, and nothing else appeared beside the file.
        QCOMPARE(readAll(program.file(QStringLiteral("ErrLog.err"))).count("\r\n"), 1);
        QCOMPARE(QDir(program.dir()).entryList(QDir::Files).size(), 3);
    }

    // --- The header marker ----------------------------------------------------------

    void theHeaderIsRestoredWhileOpenAndMarkedAfterCloseWithNoOtherByteChanged() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        const QString path = program.databasePath();
        const QByteArray installed = readAll(path);
        QCOMPARE(installed.left(15), signature::kMarker);

        Database db;
        QVERIFY(db.OpenDatabase());
        const QByteArray open = readAll(path);
        QCOMPARE(open.left(15), signature::kPlain);
        QCOMPARE(open.size(), installed.size());
        QCOMPARE(open.mid(15), installed.mid(15));

        // A write while open changes the file; the marker must not disturb it.
        QVERIFY(db.cnMain.execute(
            QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'Lee')")));
        const QByteArray written = readAll(path);
        QCOMPARE(written.left(15), signature::kPlain);
        QVERIFY(written.mid(15) != installed.mid(15));

        db.CloseDatabase();
        const QByteArray closed = readAll(path);
        QCOMPARE(closed.left(15), signature::kMarker);
        QCOMPARE(closed.size(), written.size());
        QCOMPARE(closed.mid(15), written.mid(15));

        // Closing twice changes nothing more.
        db.CloseDatabase();
        QCOMPARE(readAll(path), closed);
        QVERIFY(prompt.verifyAllShown());
    }

    void signatureModesOtherThanOneAndTwoLeaveTheFileUnchanged() {
        test::TempProgram program;
        const QString path = program.databasePath();
        const QByteArray before = readAll(path);
        for (int mode : {0, 3, -1, 12}) {
            QCOMPARE(SetDatabaseSignature(path, mode), SignatureResult::NoMode);
            QCOMPARE(readAll(path), before);
        }
        QCOMPARE(SetDatabaseSignature(path, 1), SignatureResult::AlreadyThere);
        QCOMPARE(readAll(path), before);
        QCOMPARE(SetDatabaseSignature(path, 2), SignatureResult::Written);
        const QByteArray plain = readAll(path);
        QCOMPARE(plain.left(15), signature::kPlain);
        QCOMPARE(plain.mid(15), before.mid(15));
        for (int mode : {0, 3})
            QCOMPARE(SetDatabaseSignature(path, mode), SignatureResult::NoMode);
        QCOMPARE(readAll(path), plain);
        QCOMPARE(SetDatabaseSignature(path, 2), SignatureResult::AlreadyThere);
        QCOMPARE(SetDatabaseSignature(path, 1), SignatureResult::Written);
        QCOMPARE(readAll(path), before);
    }

    void theSignatureNeverCreatesOrOverwritesAForeignFile() {
        test::TempProgram program(false);
        const QString path = program.databasePath();
        for (int mode : {0, 1, 2, 3})
            QCOMPARE(SetDatabaseSignature(path, mode),
                     mode == 1 || mode == 2 ? SignatureResult::Missing : SignatureResult::NoMode);
        QVERIFY(!QFile::exists(path));

        const QByteArray text("Dear Sir or Madam, this is a letter.\r\n");
        QVERIFY(writeAll(path, text));
        QCOMPARE(SetDatabaseSignature(path, 2), SignatureResult::Foreign);
        QCOMPARE(SetDatabaseSignature(path, 1), SignatureResult::Foreign);
        QCOMPARE(readAll(path), text);

        const QByteArray shortFile("Brandle");
        QVERIFY(writeAll(path, shortFile));
        QCOMPARE(SetDatabaseSignature(path, 2), SignatureResult::Foreign);
        QCOMPARE(readAll(path), shortFile);
    }

    void aDatabaseFileThatCannotBeWrittenShowsTheMaintenanceMessage() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        // A directory in place of the file cannot be opened for writing, even
        // by an administrator.
        QVERIFY(QDir().mkpath(program.databasePath()));
        prompt.expectMessage(kMaintenanceText, QStringLiteral("Quillory"));
        QCOMPARE(SetDatabaseSignature(program.databasePath(), 1), SignatureResult::Failed);
        QVERIFY(prompt.verifyAllShown());
    }

    // --- Two copies of the program ----------------------------------------------------

    void onlyTheLastCopyToCloseWritesTheMarker() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        const QString path = program.databasePath();
        Database first;
        Database second;
        QVERIFY(first.OpenDatabase());
        QVERIFY(second.OpenDatabase());
        QCOMPARE(header(path), signature::kPlain);
        QVERIFY(first.cnMain.execute(
            QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'First')")));

        first.CloseDatabase();
        QCOMPARE(header(path), signature::kPlain);
        // The second copy still works on the file.
        Recordset rs;
        QVERIFY(second.RefreshRecordset(rs, QStringLiteral("select lname,id from tblcustomer")));
        QCOMPARE(rs.field(0).toString(), QStringLiteral("First"));
        QVERIFY(second.cnMain.execute(
            QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (2, 'Second')")));

        second.CloseDatabase();
        QCOMPARE(header(path), signature::kMarker);

        // And the next start finds both rows.
        Database third;
        QVERIFY(third.OpenDatabase());
        QVERIFY(third.RefreshRecordset(rs, QStringLiteral("SELECT COUNT(id) FROM tblcustomer")));
        QCOMPARE(rs.field(0).toInt(), 2);
        third.CloseDatabase();
        QCOMPARE(header(path), signature::kMarker);
        QVERIFY(prompt.verifyAllShown());
    }

    void theLastCopyWritesTheMarkerWhicheverOpenedFirst() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        const QString path = program.databasePath();
        Database first;
        QVERIFY(first.OpenDatabase());
        {
            Database second;
            QVERIFY(second.OpenDatabase());
            second.CloseDatabase();
            QCOMPARE(header(path), signature::kPlain);
        }
        QCOMPARE(header(path), signature::kPlain);
        first.CloseDatabase();
        QCOMPARE(header(path), signature::kMarker);
        QVERIFY(prompt.verifyAllShown());
    }

    // The lock itself, two copies' worth in one process.
    void twoLocksOnOneFileTellTheLastOneApart() {
        test::TempProgram program;
        const QString path = program.databasePath();
        DatabaseUseLock first;
        DatabaseUseLock second;
        QVERIFY(first.acquire(path));
        QVERIFY(second.acquire(path));
        QCOMPARE(useLocksOn(path), QStringList({"READ", "READ"}));
        QVERIFY(!first.releaseAndTryLast());
        first.release();
        QVERIFY(second.releaseAndTryLast());
        QCOMPARE(useLocksOn(path), QStringList{"WRITE"});
        second.release();
        QCOMPARE(useLocksOn(path), QStringList{});
    }

    // A copy that starts while the last one writes the marker waits for that
    // write, then finds the marker to restore.
    void aCopyStartingWhileTheMarkerIsWrittenWaitsForIt() {
        test::TempProgram program;
        const QString path = program.databasePath();
        QCOMPARE(writeSignature(path, 2), SignatureResult::Written);
        DatabaseUseLock closing;
        QVERIFY(closing.acquire(path));
        QVERIFY(closing.releaseAndTryLast());

        DatabaseUseLock starting;
        std::atomic<bool> started{false};
        std::thread starter([&] {
            starting.acquire(path);
            started = true;
        });
        // Waiting shows in the kernel's lock table.
        const bool waited = QTest::qWaitFor(
            [&] { return useLocksOn(path).contains(QStringLiteral("-> READ")); }, 20000);
        const bool startedEarly = started;
        const SignatureResult marked = writeSignature(path, 1);
        closing.release();
        starter.join();
        QVERIFY(waited);
        QVERIFY(!startedEarly);
        QCOMPARE(marked, SignatureResult::Written);
        QVERIFY(starting.isHeld());
        QCOMPARE(useLocksOn(path), QStringList{"READ"});
        QCOMPARE(header(path), signature::kMarker);
    }

    // A box at close (here: the marker cannot be written) shows only after
    // the lock is given up, so that a copy starting meanwhile does not wait.
    void theMaintenanceBoxAtCloseShowsWithoutHoldingTheLock() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        Database db;
        QVERIFY(db.OpenDatabase());
        const QString moved = program.file(QStringLiteral("moved.mdb"));
        QVERIFY(QFile::rename(program.databasePath(), moved));
        QVERIFY(QDir().mkpath(program.databasePath()));
        QStringList locksWhileShown{QStringLiteral("not shown")};
        prompt.expectMessage(kMaintenanceText, QStringLiteral("Quillory"));
        prompt.whileShown([&] { locksWhileShown = useLocksOn(moved); });
        db.CloseDatabase();
        QVERIFY(prompt.verifyAllShown());
        QCOMPARE(locksWhileShown, QStringList{});
    }

    // Where the file system refuses advisory locks, each copy starts anyway
    // and marks at close as the only copy would; the log tells it once.
    void aFileSystemRefusingLocksStillStartsAndMarksAtClose() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        const QString path = program.databasePath();
        DatabaseUseLock::simulateRefusingFileSystem(true);
        Database first;
        Database second;
        const bool opened = first.OpenDatabase() && second.OpenDatabase();
        DatabaseUseLock::simulateRefusingFileSystem(false);
        QVERIFY(opened);
        QCOMPARE(header(path), signature::kPlain);
        const QByteArray log = readAll(program.file(QStringLiteral("ErrLog.err")));
        QCOMPARE(log.count("\r\n"), 1);
        QVERIFY2(log.contains("refused the lock"), log.constData());
        first.CloseDatabase();
        QCOMPARE(header(path), signature::kMarker);
        second.CloseDatabase();
        QCOMPARE(header(path), signature::kMarker);
        QVERIFY(prompt.verifyAllShown());
    }

    void leavingWithoutClosingStillWritesTheMarker() {
        test::TempProgram program;
        {
            Database db;
            QVERIFY(db.OpenDatabase());
            QCOMPARE(header(program.databasePath()), signature::kPlain);
        }
        QCOMPARE(header(program.databasePath()), signature::kMarker);
    }

    // --- Closing -----------------------------------------------------------------------

    void closingLeavesTheUsersTemporaryAndHtmlFilesAlone() {
        // The program writes no such files itself, so none of them is its to
        // delete.
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        Database db;
        QVERIFY(db.OpenDatabase());
        const QStringList files = {QStringLiteral("invoice.html"), QStringLiteral("a.tmp"),
                                   QStringLiteral("Preview 12.html"), QStringLiteral("OLD.TMP")};
        for (const QString& name : files)
            QVERIFY(writeAll(program.file(name), "x"));
        db.CloseDatabase();
        for (const QString& name : files)
            QVERIFY2(QFile::exists(program.file(name)), qPrintable(name));
        QVERIFY(QFile::exists(program.databasePath()));
        QVERIFY(prompt.verifyAllShown());
    }

    void aFailedStartDeletesNoFiles() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        QVERIFY(writeAll(program.file(QStringLiteral("keep.tmp")), "x"));
        prompt.expectMessageTitled(QStringLiteral("File not found"));
        prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
        {
            Database db;
            QVERIFY(!db.OpenDatabase());
        }
        QVERIFY(QFile::exists(program.file(QStringLiteral("keep.tmp"))));
        QVERIFY(prompt.verifyAllShown());
    }

    // --- Refreshing a recordset ---------------------------------------------------------

    void aFailedRefreshShowsBothBoxesAndTheNextRefreshWorks() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        Database db;
        QVERIFY(db.OpenDatabase());
        QVERIFY(db.rsMain.isOpen());
        QVERIFY(db.cnMain.execute(
            QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'Lee')")));

        prompt.expectMessageTitled(QStringLiteral("ERROR"));
        prompt.expectMessage(kRefreshFailed, QStringLiteral("Data Access Error"));
        QVERIFY(!db.RefreshRecordset(db.rsMain, QStringLiteral("SELEC lname FROM tblcustomer")));
        QVERIFY(prompt.verifyAllShown());
        const test::ShownBox error = prompt.shown().first();
        QCOMPARE(error.icon, Icon::Exclamation);
        QVERIFY(
            error.text.startsWith(QStringLiteral("An error has occurred.  Please contact the")));
        QVERIFY(!db.rsMain.isOpen());
        QVERIFY(db.rsMain.field(0).isNull());
        QCOMPARE(db.rsMain.lastError().number, errnum::ObjectClosed);
        // The engine's failure went to the log.
        QCOMPARE(readAll(program.file(QStringLiteral("ErrLog.err"))).count("\r\n"), 1);

        QVERIFY(db.RefreshRecordset(db.rsMain, QStringLiteral("SELECT * FROM tblcustomer WHERE "
                                                              "id=1")));
        QVERIFY(db.rsMain.isOpen());
        QCOMPARE(db.rsMain.field(QStringLiteral("lname")).toString(), QStringLiteral("Lee"));
        QCOMPARE(prompt.shown().size(), 2);
    }

    void aRefreshOfAMissingTableFailsTheSameWay() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        Database db;
        QVERIFY(db.OpenDatabase());
        prompt.expectMessageTitled(QStringLiteral("ERROR"));
        prompt.expectMessage(kRefreshFailed, QStringLiteral("Data Access Error"));
        QVERIFY(!db.RefreshRecordset(db.rsMain, QStringLiteral("SELECT * FROM tblnothing")));
        QVERIFY(prompt.verifyAllShown());
        QVERIFY(!db.rsMain.isOpen());
    }

    void aRefreshAfterCloseIsSilentlyRefused() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        Database db;
        QVERIFY(db.OpenDatabase());
        db.CloseDatabase();
        // The closed connection gives error 3704, which the dispatcher keeps
        // to itself; only the refresh box shows.
        prompt.expectMessage(kRefreshFailed, QStringLiteral("Data Access Error"));
        QVERIFY(!db.RefreshRecordset(db.rsMain, QStringLiteral("SELECT * FROM tblcustomer")));
        QVERIFY(prompt.verifyAllShown());
        QVERIFY(!QFile::exists(program.file(QStringLiteral("ErrLog.err"))));
    }

    void aRefreshBindsItsValues() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        Database db;
        QVERIFY(db.OpenDatabase());
        QVERIFY(db.cnMain.execute(QStringLiteral("INSERT INTO tblservices (id, customerid, "
                                                 "summary) VALUES (0, 4, ?)"),
                                  {QStringLiteral("O'Brien's site")}));
        QVERIFY(db.RefreshRecordset(
            db.rsMain, QStringLiteral("SELECT * FROM tblservices WHERE summary=? AND customerid=?"),
            {QStringLiteral("O'Brien's site"), 4}));
        QCOMPARE(db.rsMain.recordCount(), 1);
        QVERIFY(db.RefreshRecordset(
            db.rsMain, QStringLiteral("SELECT * FROM tblservices WHERE summary=? AND customerid=?"),
            {QStringLiteral("x' OR '1'='1"), 4}));
        QVERIFY(db.rsMain.eof());
        QVERIFY(prompt.verifyAllShown());
    }
};

QTEST_MAIN(TestDatabase)
#include "test_database.moc"
