// Finding, opening and closing the database: NetworkPath.sfe, the header
// marker, copies of the program sharing one file, and the refresh of a
// recordset with its error boxes.
#include "data/database.h"
#include "data/environment.h"
#include "data/schema.h"
#include "data/signature.h"
#include "errors/error.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace quillory;
using test::header;
using test::readAll;
using test::useLocksOn;
using test::writeAll;

namespace {

using Buttons = Prompt::Buttons;
using Icon = Prompt::Icon;

const QString kInitFailed =
    QStringLiteral("An error was encountered while initializing the database.");
const QString kRefreshFailed = QStringLiteral(
    "Error refreshing data.  \r\nA problem was encountered while accessing the database.");
const QString kFileNotFoundText = QStringLiteral(
    "File does not exist in the correct directory!\r\nPlease verify that the file exists.\r\n");
const QString kMaintenanceText = QStringLiteral(
    "An error occurred during database maintenance routines.  If problems persist the next "
    "time you open this software, please check the Help System for guidance and support on "
    "restoring a backup copy.");

// Lets the process write no byte into any file while it lives, as a full
// disk does: a write fails with EFBIG instead of raising SIGXFSZ.
class NoRoomToWrite {
public:
    NoRoomToWrite() {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_limit);
        rlimit none = m_limit;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~NoRoomToWrite() {
        setrlimit(RLIMIT_FSIZE, &m_limit);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_limit = {};
    void (*m_handler)(int) = nullptr;
};

} // namespace

class TestDatabase : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::pinEnglishUs(); }

    // --- Reading NetworkPath.sfe --------------------------------------------------

    void theFirstFieldOfNetworkPath_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("plain path")
            << QByteArray("/srv/data/records.mdb") << "/srv/data/records.mdb";
        QTest::newRow("CR LF ending")
            << QByteArray("/srv/data/records.mdb\r\n") << "/srv/data/records.mdb";
        QTest::newRow("LF ending")
            << QByteArray("/srv/data/records.mdb\nsecond line\n") << "/srv/data/records.mdb";
        QTest::newRow("only the first line")
            << QByteArray("/a/records.mdb\r\n/b/records.mdb\r\n") << "/a/records.mdb";
        QTest::newRow("leading blanks skipped")
            << QByteArray("   \t /srv/data/records.mdb\r\n") << "/srv/data/records.mdb";
        QTest::newRow("quoted path with a comma")
            << QByteArray("\"/srv/Smith, Jones/records.mdb\"\r\n")
            << "/srv/Smith, Jones/records.mdb";
        QTest::newRow("quoted after blanks")
            << QByteArray("  \"/srv/a,b/records.mdb\",next\r\n") << "/srv/a,b/records.mdb";
        QTest::newRow("unquoted path with a comma")
            << QByteArray("/srv/Smith, Jones/records.mdb\r\n") << "/srv/Smith";
        QTest::newRow("blanks inside kept")
            << QByteArray("/srv/my data/records.mdb\r\n") << "/srv/my data/records.mdb";
        QTest::newRow("non-Latin letters")
            << QString::fromUtf8("/srv/\u65e5\u672c/records.mdb\r\n").toUtf8()
            << QString::fromUtf8("/srv/\u65e5\u672c/records.mdb");
        QTest::newRow("empty file") << QByteArray() << "";
        QTest::newRow("empty line") << QByteArray("\r\n/srv/records.mdb\r\n") << "";
        QTest::newRow("doubled quote inside quotes")
            << QByteArray("\"/srv/The \"\"Best\"\" Co/records.mdb\"\r\n")
            << "/srv/The \"Best\" Co/records.mdb";
        QTest::newRow("an open quote ends with the line")
            << QByteArray("\"/srv/a\r\nb\"\r\n") << "/srv/a";
        QTest::newRow("no more of a line than a path can be")
            << QByteArray(10'000'000, 'a') << QString(16 * 1024, u'a');
    }
    void theFirstFieldOfNetworkPath() {
        QFETCH(QByteArray, text);
        QFETCH(QString, field);
        QCOMPARE(readFirstField(text), field);
    }

    // What the program writes reads back as the same path; a plain path is
    // written as it stands.
    void aWrittenPathReadsBackWhole_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("quoted");
        QTest::newRow("plain") << "/opt/quillory/records.mdb" << false;
        QTest::newRow("blanks inside") << "/opt/my programs/records.mdb" << false;
        QTest::newRow("a comma") << "/opt/Smith, Co/quillory/records.mdb" << true;
        QTest::newRow("a quote") << "/opt/The \"Best\" Co/records.mdb" << true;
        QTest::newRow("a comma and a quote") << "/opt/\"A\", B/records.mdb" << true;
        QTest::newRow("a leading blank") << " opt/records.mdb" << true;
        QTest::newRow("a trailing blank") << "/opt/x /records.mdb " << false;
        QTest::newRow("non-Latin letters")
            << QString::fromUtf8("/opt/\u65e5\u672c, \u00e9/r.mdb") << true;
    }
    void aWrittenPathReadsBackWhole() {
        QFETCH(QString, path);
        QFETCH(bool, quoted);
        const QByteArray line = networkPathLine(path);
        QVERIFY(line.endsWith("\r\n"));
        QCOMPARE(line.startsWith('"'), quoted);
        if (!quoted)
            QCOMPARE(line, (path + QStringLiteral("\r\n")).toUtf8());
        QCOMPARE(readFirstField(line), path);
    }

    // --- Opening --------------------------------------------------------------------

    void aFirstStartWritesNetworkPathAndOpensTheProgramDatabase() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        const QString sfe = program.file(QStringLiteral("NetworkPath.sfe"));
        QVERIFY(!QFile::exists(sfe));
        Database db;
        QVERIFY(db.OpenDatabase());
        QCOMPARE(readAll(sfe), (program.dir() + QStringLiteral("/records.mdb\r\n")).toUtf8());
        QVERIFY(db.strDataPath.isEmpty());
        QCOMPARE(QFileInfo(db.databasePath()).canonicalFilePath(),
                 QFileInfo(program.databasePath()).canonicalFilePath());
        QVERIFY(db.cnMain.isOpen());
        QVERIFY(db.rsMain.isOpen());
        QVERIFY(db.rsMain.eof());
        QCOMPARE(db.rsMain.fieldCount(), 14);
        db.CloseDatabase();
        QVERIFY(!db.cnMain.isOpen());
        QVERIFY(!db.rsMain.isOpen());

        // The next start reads the file it wrote.
        Database again;
        QVERIFY(again.OpenDatabase());
        QCOMPARE(again.strDataPath, program.dir() + QStringLiteral("/records.mdb"));
        QVERIFY(prompt.verifyAllShown());
        QVERIFY(!QFile::exists(program.file(QStringLiteral("ErrLog.err"))));
    }

    void aProgramFolderWithACommaStartsAgainAndAgain() {
        test::TempProgram program(true, QStringLiteral("Smith, Co"));
        test::ScriptedPrompt prompt;
        for (int start = 1; start <= 2; ++start) {
            Database db;
            QVERIFY2(db.OpenDatabase(), qPrintable(QStringLiteral("start %1").arg(start)));
            QCOMPARE(db.databasePath(), program.databasePath());
            db.CloseDatabase();
        }
        QCOMPARE(readAll(program.file(QStringLiteral("NetworkPath.sfe"))),
                 (u'"' + program.databasePath() + QStringLiteral("\"\r\n")).toUtf8());
        QVERIFY(prompt.verifyAllShown());
    }

    // A full disk at the first start: nothing half written stays behind, the
    // failure is reported, and the next start writes the file.
    void aNetworkPathThatCannotBeWrittenIsReportedAndLeavesNoFile() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        prompt.expectMessageTitled(QStringLiteral("ERROR"));
        prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
        {
            const NoRoomToWrite full;
            Database db;
            QVERIFY(!db.OpenDatabase());
        }
        QVERIFY(prompt.verifyAllShown());
        QVERIFY2(prompt.shown().first().text.contains(QStringLiteral("\r\n61:\r\nCannot write ")),
                 qPrintable(prompt.shown().first().text));
        QStringList files = QDir(program.dir()).entryList(QDir::Files | QDir::Hidden);
        files.removeAll(QStringLiteral("ErrLog.err"));
        QCOMPARE(files, QStringList{QStringLiteral("records.mdb")});
        QCOMPARE(header(program.databasePath()), signature::kMarker);

        Database db;
        QVERIFY(db.OpenDatabase());
        QCOMPARE(readAll(program.file(QStringLiteral("NetworkPath.sfe"))),
                 networkPathLine(program.databasePath()));
    }

    // Started from another folder holding a database of the same relative
    // name, the program still opens the one beside itself.
    void aRelativeNetworkPathIsTakenFromTheProgramDirectory() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        QTemporaryDir elsewhere;
        for (const QString& base : {program.dir(), elsewhere.path()}) {
            QVERIFY(QDir(base).mkpath(QStringLiteral("data")));
            QVERIFY(createDatabaseFile(base + QStringLiteral("/data/office.mdb")));
        }
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")), "data/office.mdb\r\n"));
        const QString current = QDir::currentPath();
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        Database db;
        const bool opened = db.OpenDatabase();
        QDir::setCurrent(current);
        QVERIFY(opened);
        QCOMPARE(db.strDataPath, QStringLiteral("data/office.mdb"));
        QCOMPARE(db.databasePath(), program.dir() + QStringLiteral("/data/office.mdb"));
        QCOMPARE(header(db.databasePath()), signature::kPlain);
        QCOMPARE(header(elsewhere.filePath(QStringLiteral("data/office.mdb"))), signature::kMarker);
        QVERIFY(prompt.verifyAllShown());
    }

    void aNetworkPathWithAnEndlessFirstLineFailsAtOnce() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         QByteArray(10'000'000, '/') + "\r\n"));
        prompt.expectMessageTitled(QStringLiteral("File not found"));
        prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
        Database db;
        QVERIFY(!db.OpenDatabase());
        QVERIFY(prompt.verifyAllShown());
        QVERIFY(prompt.shown().first().text.size() < 1000);
    }

    void aNetworkPathNamingAnotherDatabaseUsesItAndLeavesTheProgramDirectoryAlone() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        QTemporaryDir shared;
        // A share whose name holds blanks and characters that mean something
        // in a file URL.
        const QString folder = shared.filePath(QStringLiteral("Office #2 50%20 ?é"));
        QVERIFY(QDir().mkpath(folder));
        const QString elsewhere = folder + QStringLiteral("/office.mdb");
        QVERIFY(createDatabaseFile(elsewhere));
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         (elsewhere + QStringLiteral("\r\n")).toUtf8()));

        Database db;
        QVERIFY(db.OpenDatabase());
        QCOMPARE(db.strDataPath, elsewhere);
        QCOMPARE(db.databasePath(), elsewhere);
        QCOMPARE(header(elsewhere), signature::kPlain);
        QVERIFY(!QFile::exists(program.databasePath()));
        QVERIFY(db.cnMain.execute(
            QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'Shared')")));
        db.CloseDatabase();

        QCOMPARE(header(elsewhere), signature::kMarker);
        QVERIFY(!QFile::exists(program.databasePath()));
        QCOMPARE(QDir(program.dir()).entryList(QDir::Files),
                 QStringList{QStringLiteral("NetworkPath.sfe")});
        // The row went into the named database.
        QCOMPARE(SetDatabaseSignature(elsewhere, 2), SignatureResult::Written);
        Connection cn;
        QVERIFY(cn.open(elsewhere));
        Recordset rs;
        QVERIFY(rs.open(QStringLiteral("SELECT lname FROM tblcustomer WHERE id=1"), cn));
        QCOMPARE(rs.field(0).toString(), QStringLiteral("Shared"));
        QVERIFY(prompt.verifyAllShown());
    }

    void aProgramDatabaseBesideANetworkPathIsNotTouched() {
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        const QByteArray before = readAll(program.databasePath());
        QTemporaryDir shared;
        const QString elsewhere = shared.filePath(QStringLiteral("records.mdb"));
        QVERIFY(createDatabaseFile(elsewhere));
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         (elsewhere + QStringLiteral("\r\n")).toUtf8()));
        {
            Database db;
            QVERIFY(db.OpenDatabase());
            QCOMPARE(readAll(program.databasePath()), before);
            db.CloseDatabase();
        }
        QCOMPARE(readAll(program.databasePath()), before);
        QVERIFY(prompt.verifyAllShown());
    }

    void aQuotedNetworkPathWithACommaOpensThatDatabase() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        QTemporaryDir shared;
        const QString dir = shared.filePath(QStringLiteral("Smith, Jones"));
        QVERIFY(QDir().mkpath(dir));
        const QString path = dir + QStringLiteral("/records.mdb");
        QVERIFY(createDatabaseFile(path));
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         (u'"' + path + QStringLiteral("\"\r\n")).toUtf8()));
        Database db;
        QVERIFY(db.OpenDatabase());
        QCOMPARE(db.databasePath(), path);
        QCOMPARE(header(path), signature::kPlain);
        QVERIFY(prompt.verifyAllShown());
    }

    void anUnquotedNetworkPathWithACommaUsesThePartBeforeIt() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        QTemporaryDir shared;
        const QString path = shared.filePath(QStringLiteral("records.mdb"));
        QVERIFY(createDatabaseFile(path));
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         (path + QStringLiteral(",old copy\r\n")).toUtf8()));
        Database db;
        QVERIFY(db.OpenDatabase());
        QCOMPARE(db.strDataPath, path);
        QVERIFY(prompt.verifyAllShown());
    }

    void aNetworkPathNamingAMissingFileFailsAndCreatesNothing() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        QTemporaryDir shared;
        const QString missing = shared.filePath(QStringLiteral("gone/records.mdb"));
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         (missing + QStringLiteral("\r\n")).toUtf8()));
        prompt.expectMessageTitled(QStringLiteral("File not found"));
        prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));

        Database db;
        QVERIFY(!db.OpenDatabase());
        QVERIFY(prompt.verifyAllShown());
        QCOMPARE(prompt.shown().size(), 2);
        const test::ShownBox box = prompt.shown().first();
        QVERIFY2(box.text.startsWith(kFileNotFoundText + QStringLiteral("53:\r\n")),
                 qPrintable(box.text));
        QVERIFY2(box.text.contains(missing), qPrintable(box.text));
        QCOMPARE(box.icon, Icon::Exclamation);
        QCOMPARE(box.buttons, Buttons::Ok);

        QVERIFY(!db.cnMain.isOpen());
        QVERIFY(!db.rsMain.isOpen());
        QVERIFY(!QFile::exists(missing));
        QVERIFY(!QFile::exists(QFileInfo(missing).path()));
        QVERIFY(!QFile::exists(program.databasePath()));
        // Error 53 is shown, not logged.
        QVERIFY(!QFile::exists(program.file(QStringLiteral("ErrLog.err"))));
        db.CloseDatabase();
        QVERIFY(!QFile::exists(missing));
    }

    void aFirstStartWithoutTheDatabaseWritesNetworkPathAndFails() {
        test::TempProgram program(false);
        test::ScriptedPrompt prompt;
        prompt.expectMessageTitled(QStringLiteral("File not found"));
        prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
        Database db;
        QVERIFY(!db.OpenDatabase());
        QVERIFY(prompt.verifyAllShown());
        QCOMPARE(readAll(program.file(QStringLiteral("NetworkPath.sfe"))),
                 (program.dir() + QStringLiteral("/records.mdb\r\n")).toUtf8());
        QVERIFY(!QFile::exists(program.databasePath()));
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
        QCOMPARE(SetDatabaseSignature(path, 1), SignatureResult::Missing);
        QCOMPARE(SetDatabaseSignature(path, 2), SignatureResult::Missing);
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
