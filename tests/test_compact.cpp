// Compact and repair from the Options menu: the answer No, a compaction that
// works (smaller file, every row kept, the same file, the backup, no
// temporary file, the marker after exit), a link to a shared database, the
// backups of several compactions and databases, a failure at each step,
// another copy of the program on the database, a database that is gone, and
// an ordinary user compacting a database the office shares.
#include "compactionboxes.h"
#include "data/file/compact.h"
#include "data/file/schema.h"
#include "data/file/signature.h"
#include "mainwindowharness.h"
#include "ordinaryuser.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

using namespace quillory;
using test::kCompleted;
using test::kPermissionBox;
using test::MainWindowHarness;
using test::readAll;

namespace {

// Leaves room to win back in a database: many rows written and deleted again.
void addRoom(const QString& databasePath) {
    test::scalarOn(databasePath,
                   "WITH RECURSIVE n(i) AS (SELECT 10 UNION ALL SELECT i+1 FROM n WHERE i<3000) "
                   "INSERT INTO tblcustomer (id,lname,notes) SELECT i,'Gone',"
                   "hex(randomblob(300)) FROM n");
    test::scalarOn(databasePath, "DELETE FROM tblcustomer WHERE lname='Gone'");
}

struct stat statOf(const QString& path) {
    struct stat info = {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

// The files of a database's backup folder.
QStringList backupFiles(const QString& databasePath) {
    return QDir(backupplace::folderFor(databasePath)).entryList(QDir::Files | QDir::Hidden);
}

// A window on a database with three customers and room to win back.
struct Books : MainWindowHarness {
    Books() {
        addCustomer(1, "Smith");
        addCustomer(2, "Jones");
        addCustomer(3, "O'Hara");
        addInvoice(1, 1, 1234567, 0, 0);
        addRoom(program.databasePath());
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
        QDir(backupplace::userFolder()).removeRecursively();
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
        QVERIFY(!QFile::exists(backupplace::userFolder()));
        QVERIFY(h.db.cnMain.isOpen());
    }

    void aCompactionKeepsEveryRowInASmallerFileAndLeavesTheBackup() {
        Books h;
        QFile::setPermissions(h.program.databasePath(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        const QString rows = h.rows();
        QVERIFY(h.start());
        const QString path = h.db.databasePath();
        const QByteArray before = readAll(path);
        const ino_t inode = statOf(path).st_ino;
        h.expectQuestion();
        h.prompt.expectMessage(kCompleted, "Notice");
        h.run();
        QVERIFY(h.prompt.verifyAllShown());

        QVERIFY(QFileInfo(path).size() < before.size() / 2);
        QCOMPARE(statOf(path).st_ino, inode);
        QCOMPARE(QFileInfo(path).permissions() & 0x0fff,
                 QFile::ReadUser | QFile::WriteUser | QFile::ReadGroup);
        // The backup, readable by this user alone, and nothing else.
        QCOMPARE(readAll(compaction::backupPath(path)), before);
        QCOMPARE(backupFiles(path), QStringList{"backup.mdb"});
        QCOMPARE(statOf(compaction::backupPath(path)).st_mode & 07777, 0600u);
        QCOMPARE(statOf(backupplace::folderFor(path)).st_mode & 07777, 0700u);
        QCOMPARE(statOf(backupplace::userFolder()).st_mode & 07777, 0700u);
        // The window goes on working on the compacted file.
        QVERIFY(h.db.cnMain.isOpen());
        QVERIFY(h.selectCustomer("O'Hara-3"));
        QCOMPARE(h.get<QLineEdit>("txtCustLast")->text(), QStringLiteral("O'Hara"));
        // Leaving the program hides the header of the new file.
        h.window->close();
        QCOMPARE(test::header(h.program.databasePath()), signature::kMarker);
        QCOMPARE(h.rows(), rows);
    }

    // A link stays a link to the same file, which holds the compacted data.
    void theDatabaseNamedInNetworkPathIsTheOneCompacted_data() {
        QTest::addColumn<bool>("link");
        QTest::newRow("its path") << false;
        QTest::newRow("a symbolic link to it") << true;
    }
    void theDatabaseNamedInNetworkPathIsTheOneCompacted() {
        QFETCH(bool, link);
        Books h;
        const QString shared = h.program.file("shared/books.mdb");
        const QString named = link ? h.program.file("books-link.mdb") : shared;
        QVERIFY(QDir().mkpath(h.program.file("shared")));
        QVERIFY(QFile::rename(h.program.databasePath(), shared));
        QVERIFY(!link || QFile::link(shared, named));
        QVERIFY(test::writeAll(h.program.file("NetworkPath.sfe"), named.toUtf8() + "\r\n"));
        QVERIFY(h.start());
        QCOMPARE(h.db.databasePath(), named);
        const QByteArray before = readAll(shared);
        const ino_t inode = statOf(shared).st_ino;
        h.expectQuestion();
        h.prompt.expectMessage(kCompleted, "Notice");
        h.run();
        QVERIFY(h.prompt.verifyAllShown());
        QCOMPARE(readAll(compaction::backupPath(named)), before);
        QCOMPARE(QFileInfo(named).isSymLink(), link);
        QCOMPARE(statOf(shared).st_ino, inode);
        QVERIFY(QFileInfo(shared).size() < before.size() / 2);
        QVERIFY(h.db.cnMain.execute("INSERT INTO tblcustomer (id,lname) VALUES (4,'Later')"));
        h.window->close();
        QCOMPARE(test::header(shared), signature::kMarker);
        QCOMPARE(test::scalarOn(shared, "SELECT group_concat(lname) FROM tblcustomer WHERE id>2"),
                 QVariant("O'Hara,Later"));
    }

    // Each compaction keeps the database as it was as backup.mdb and the two
    // before it as backup.1.mdb and backup.2.mdb; another database compacted
    // with the same temporary folder keeps its own.
    void eachDatabaseKeepsItsOwnLastThreeBackups() {
        Books h;
        QVERIFY(h.start());
        const QString path = h.db.databasePath();
        for (int id = 4; id <= 7; ++id) {
            h.expectQuestion();
            h.prompt.expectMessage(kCompleted, "Notice");
            h.run();
            QVERIFY(
                h.db.cnMain.execute("INSERT INTO tblcustomer (id,lname) VALUES (?,'Later')", {id}));
        }
        QVERIFY(h.prompt.verifyAllShown());
        const auto newestId = [](const QString& copy) {
            return test::scalarOn(copy, "SELECT max(id) FROM tblcustomer WHERE id<10").toInt();
        };
        QCOMPARE(newestId(compaction::backupPath(path)), 6);
        QCOMPARE(newestId(compaction::olderBackupPath(path, 1)), 5);
        QCOMPARE(newestId(compaction::olderBackupPath(path, 2)), 4);
        QCOMPARE(backupFiles(path), QStringList({"backup.1.mdb", "backup.2.mdb", "backup.mdb"}));

        QTemporaryDir elsewhere;
        const QString other = elsewhere.filePath("records.mdb");
        QVERIFY(createDatabaseFile(other));
        test::scalarOn(other, "INSERT INTO tblcustomer (id,lname) VALUES (1,'Other')");
        QCOMPARE(writeSignature(other, 2), SignatureResult::Written);
        QCOMPARE(compaction::CompactDatabase(other, true).outcome, compaction::Result::Compacted);
        QCOMPARE(test::scalarOn(compaction::backupPath(other), "SELECT lname FROM tblcustomer"),
                 QVariant("Other"));
        QCOMPARE(newestId(compaction::backupPath(path)), 6);
        QCOMPARE(backupFiles(other), QStringList{"backup.mdb"});
    }

    // Before the rebuild the database stays as it was; after it the rows are
    // as they were, or the user is told where the backup copy is. The box
    // comes once the work has ended: no progress display, no busy cursor,
    // and the file free for another copy of the program to start on.
    void aFailureAtAnyStepLeavesTheRowsAsTheyWere_data() {
        QTest::addColumn<compaction::Step>("step");
        QTest::addColumn<QString>("harm"); // done before the step instead of a failure
        QTest::addColumn<bool>("rebuilt");
        QTest::addColumn<bool>("backedUp");
        QTest::newRow("lock") << compaction::Step::Lock << "" << false << false;
        QTest::newRow("backup") << compaction::Step::Backup << "" << false << false;
        QTest::newRow("compact") << compaction::Step::Compact << "" << false << true;
        QTest::newRow("check") << compaction::Step::Check << "" << true << true;
        QTest::newRow("a row lost") << compaction::Step::Check << "row lost" << true << true;
        QTest::newRow("a page damaged after the backup")
            << compaction::Step::Compact << "page damaged" << false << true;
        // backup.1.mdb cannot become backup.2.mdb: the new copy goes, the
        // copy before stays the newest.
        QTest::newRow("the older copies' names taken by folders")
            << compaction::Step::Backup << "names taken" << false << true;
    }
    void aFailureAtAnyStepLeavesTheRowsAsTheyWere() {
        QFETCH(compaction::Step, step);
        QFETCH(QString, harm);
        QFETCH(bool, rebuilt);
        QFETCH(bool, backedUp);
        Books h;
        QVERIFY(h.start());
        const QString path = h.db.databasePath();
        const QByteArray before = readAll(path);
        const QString rows = h.rows();
        const bool damaged = harm == u"row lost" || harm == u"page damaged";
        compaction::setFailureInjection([&](compaction::Step now) {
            if (now != step)
                return Error::none();
            if (harm == u"row lost")
                test::scalarOn(path, "DELETE FROM tblcustomer WHERE id=2");
            else if (harm == u"page damaged")
                test::damageTable(path, "tblinvoice");
            else if (harm == u"names taken")
                return backupplace::makeFolderFor(path).isEmpty() &&
                               test::writeAll(compaction::backupPath(path), "earlier") &&
                               QDir().mkpath(compaction::olderBackupPath(path, 1) + "/kept") &&
                               QDir().mkpath(compaction::olderBackupPath(path, 2) + "/kept")
                           ? Error::none()
                           : Error{errnum::Unspecified, "cannot set up"};
            else
                return Error{errnum::Unspecified, "disk on fire"};
            return Error::none();
        });
        h.expectQuestion();
        if (damaged)
            h.prompt.expectMessageTitled("Damaged Database");
        else if (harm == u"names taken")
            h.prompt.expectMessageTitled("ERROR");
        else
            h.prompt.expectMessage(
                "An error has occurred.  Please contact the\r\nprogram vendor with "
                "the following information if this problem persists.\r\n"
                "-2147467259:\r\ndisk on fire",
                "ERROR", Prompt::Ok, Prompt::Buttons::Ok, Prompt::Icon::Exclamation);
        bool ended = false;
        h.prompt.whileShown([&] {
            ended = !h.window->findChild<QWidget*>("dlgCompactProgress") &&
                    !QApplication::overrideCursor() && test::useLocksOn(path).isEmpty();
        });
        h.run();
        QVERIFY(h.prompt.verifyAllShown()); // and no word of completion
        QVERIFY(ended);
        if (!rebuilt && harm != u"page damaged")
            QCOMPARE(readAll(path), before);
        else if (!damaged)
            QCOMPARE(h.rows(), rows);
        QCOMPARE(QFile::exists(compaction::backupPath(path)), backedUp);
        QCOMPARE(backupFiles(path), backedUp ? QStringList{"backup.mdb"} : QStringList());
        if (harm == u"names taken") {
            QCOMPARE(readAll(compaction::backupPath(path)), QByteArray("earlier"));
            QVERIFY(
                h.prompt.shown().constLast().text.contains(compaction::olderBackupPath(path, 1)));
        }
        QVERIFY(h.db.cnMain.isOpen());
        QVERIFY(QFile(h.program.file("ErrLog.err")).size() > 0);
        // Damage: the box says where the copy from before is, and nothing
        // more is written to the database.
        QCOMPARE(h.db.cnMain.isDamaged(), damaged);
        if (damaged) {
            QVERIFY(h.prompt.shown().constLast().text.contains(compaction::backupPath(path)));
            QCOMPARE(
                test::scalarOn(compaction::backupPath(path), "SELECT count(*) FROM tblcustomer"),
                QVariant(3));
        }
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
        QVERIFY(!QFile::exists(compaction::backupPath(h.program.databasePath())));
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
        QVERIFY(!QFile::exists(backupplace::userFolder()));
    }

    // Run as an ordinary user of the group that shares the database: the
    // file stays the office's (owner, group, mode, extended attributes), the
    // backup copies are the user's own, and another user's copies in the
    // temporary folder change nothing.
    void anOrdinaryUserCompactsADatabaseTheOfficeShares_data() {
        QTest::addColumn<int>("tmpMode");
        QTest::addColumn<bool>("othersFirst");
        QTest::addColumn<QString>("lastBox");
        QTest::newRow("a group-shared folder") << 01777 << false << "Notice";
        QTest::newRow("another user's copies in the temporary folder") << 01777 << true << "Notice";
        QTest::newRow("a temporary folder the user may not write")
            << 0755 << false << "Brandlewickery Maintenance Error!";
    }
    void anOrdinaryUserCompactsADatabaseTheOfficeShares() {
        QFETCH(int, tmpMode);
        QFETCH(bool, othersFirst);
        QFETCH(QString, lastBox);
        const std::optional<test::OrdinaryUser> user = test::ordinaryUser();
        if (!user)
            QSKIP("Needs root, to make an ordinary user and give it files");
        // <top>/office/books.mdb, named in <top>/program/NetworkPath.sfe
        const QString top = m_temp.filePath("top");
        const QString path = top + "/office/books.mdb";
        const QString tmp = top + "/tmp";
        QDir(top).removeRecursively();
        QVERIFY(QDir().mkpath(top + "/office") && QDir().mkpath(top + "/program") &&
                QDir().mkpath(tmp));
        QVERIFY(createDatabaseFile(path));
        test::scalarOn(path, "INSERT INTO tblcustomer (id,lname) VALUES (1,'Shared')");
        QVERIFY(test::writeAll(top + "/program/NetworkPath.sfe", path.toUtf8() + "\r\n"));
        const auto set = [](const QString& file, uid_t owner, gid_t group, mode_t mode) {
            const QByteArray name = QFile::encodeName(file);
            return ::chown(name.constData(), owner, group) == 0 &&
                   ::chmod(name.constData(), mode) == 0;
        };
        QVERIFY(set(m_temp.path(), 0, 0, 0755) && set(top, 0, 0, 0755) &&
                set(tmp, 0, 0, mode_t(tmpMode)) && set(top + "/office", 0, user->office, 02770) &&
                set(path, 0, user->office, 0660));
        QVERIFY(::setxattr(QFile::encodeName(path).constData(), "user.office", "kept", 4, 0) == 0);
        if (othersFirst) {
            // Root's copies, and the files an older version left for all.
            qputenv("TMPDIR", QFile::encodeName(tmp));
            QCOMPARE(writeSignature(path, 2), SignatureResult::Written);
            QCOMPARE(compaction::CompactDatabase(path, true).outcome,
                     compaction::Result::Compacted);
            QVERIFY(test::writeAll(tmp + "/backup.mdb", "root's"));
            qputenv("TMPDIR", QFile::encodeName(m_temp.path()));
        }
        addRoom(path);
        const QByteArray before = readAll(path);
        const struct stat was = statOf(path);

        QStringList boxes;
        QCOMPARE(test::runAs(*user, top + "/program", "compact", tmp, &boxes), 0);
        QCOMPARE(boxes.size(), 2);
        QCOMPARE(boxes.constLast().section(u'\t', 0, 0), lastBox);
        const struct stat is = statOf(path);
        QCOMPARE(is.st_ino, was.st_ino);
        QCOMPARE(is.st_uid, 0u);
        QCOMPARE(is.st_gid, user->office);
        QCOMPARE(is.st_mode, was.st_mode);
        char attribute[8] = {};
        ::getxattr(QFile::encodeName(path).constData(), "user.office", attribute, 7);
        QCOMPARE(QByteArray(attribute), QByteArray("kept"));
        if (lastBox != u"Notice") {
            QCOMPARE(readAll(path), before);
            return;
        }
        QVERIFY(is.st_size < was.st_size / 2);
        const QString mine = tmp + QStringLiteral("/quillory-%1").arg(user->uid);
        const QString copy = mine + u'/' + QFileInfo(backupplace::folderFor(path)).fileName() +
                             QStringLiteral("/backup.mdb");
        QCOMPARE(readAll(copy).mid(15), before.mid(15));
        QCOMPARE(statOf(copy).st_uid, user->uid);
        QCOMPARE(statOf(copy).st_mode & 07777, 0600u);
        QCOMPARE(statOf(mine).st_mode & 07777, 0700u);
    }
};

QTEST_MAIN(CompactTest)
#include "test_compact.moc"
