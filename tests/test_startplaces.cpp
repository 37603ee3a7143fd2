// Where a start finds its files and its database, and what it says when it
// cannot go on: the user's own folders for an installed copy, a database
// named on the command line, a database on a network share, and the cause of
// a failed start named with the path to look at.
#include "core/environment.h"
#include "data/database.h"
#include "data/file/networkshare.h"
#include "data/file/schema.h"
#include "data/file/signature.h"
#include "errors/handleerror.h"
#include "ordinaryuser.h"
#include "scoped.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <unistd.h>

using namespace quillory;
using test::EnvironmentVariable;
using test::header;
using test::kFileNotFoundText;
using test::kInitFailed;
using test::modeOf;
using test::readAll;
using test::writeAll;

namespace {

// The names a test row uses for its folders, put in place.
QString placed(QString text, const QTemporaryDir& tmp) {
    return text.replace(QStringLiteral("{tmp}"), tmp.path())
        .replace(QStringLiteral("{home}"), tmp.filePath(QStringLiteral("home")))
        .replace(QStringLiteral("{usr}"), tmp.filePath(QStringLiteral("usr")));
}

} // namespace

class TestStartPlaces : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { test::pinEnglishUs(); }

    // --- Where the files are kept -------------------------------------------------

    // A copy that keeps its files beside itself ignores the user's folders; an
    // installed one takes each file's folder from its own variable, and the
    // home folder's default where the variable is unset, empty or relative.
    // The log's folder is made, open to the user alone, with its first line.
    void whereEachFileIsKept_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("configHome");
        QTest::addColumn<QString>("dataHome");
        QTest::addColumn<QString>("stateHome");
        QTest::addColumn<QString>("networkPath");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("errorLog");
        QTest::addColumn<QString>("manual");
        QTest::newRow("beside the program, whatever the variables say")
            << false << "{tmp}/c"
            << "{tmp}/d"
            << "{tmp}/s"
            << "{usr}/bin/NetworkPath.sfe"
            << "{usr}/bin/records.mdb"
            << "{usr}/bin/ErrLog.err"
            << "{usr}/bin/guide.pdf";
        QTest::newRow("installed: each file in its variable's folder")
            << true << "{tmp}/c"
            << "{tmp}/d"
            << "{tmp}/s"
            << "{tmp}/c/quillory/NetworkPath.sfe"
            << "{tmp}/d/quillory/records.mdb"
            << "{tmp}/s/quillory/ErrLog.err"
            << "{usr}/share/doc/quillory/guide.pdf";
        QTest::newRow("installed: unset variables give the home folder's")
            << true << "<unset>"
            << "<unset>"
            << "<unset>"
            << "{home}/.config/quillory/NetworkPath.sfe"
            << "{home}/.local/share/quillory/records.mdb"
            << "{home}/.local/state/quillory/ErrLog.err"
            << "{usr}/share/doc/quillory/guide.pdf";
        QTest::newRow("installed: empty and relative variables count as unset")
            << true << ""
            << "d"
            << "./s"
            << "{home}/.config/quillory/NetworkPath.sfe"
            << "{home}/.local/share/quillory/records.mdb"
            << "{home}/.local/state/quillory/ErrLog.err"
            << "{usr}/share/doc/quillory/guide.pdf";
        QTest::newRow("installed: one variable set, the others not")
            << true << "<unset>"
            << "{tmp}/d/"
            << "<unset>"
            << "{home}/.config/quillory/NetworkPath.sfe"
            << "{tmp}/d/quillory/records.mdb"
            << "{home}/.local/state/quillory/ErrLog.err"
            << "{usr}/share/doc/quillory/guide.pdf";
    }
    void whereEachFileIsKept() {
        QFETCH(bool, installed);
        QFETCH(QString, configHome);
        QFETCH(QString, dataHome);
        QFETCH(QString, stateHome);
        QFETCH(QString, networkPath);
        QFETCH(QString, database);
        QFETCH(QString, errorLog);
        QFETCH(QString, manual);
        QTemporaryDir tmp;
        test::TempProgram program(false);
        environment::setProgramDirectory(placed(QStringLiteral("{usr}/bin"), tmp));
        QVERIFY(QDir().mkpath(environment::programDirectory()));
        environment::setInstalled(installed);
        const EnvironmentVariable home("HOME", placed(QStringLiteral("{home}"), tmp));
        const EnvironmentVariable config("XDG_CONFIG_HOME", placed(configHome, tmp));
        const EnvironmentVariable data("XDG_DATA_HOME", placed(dataHome, tmp));
        const EnvironmentVariable state("XDG_STATE_HOME", placed(stateHome, tmp));

        QCOMPARE(environment::networkPathFile(), placed(networkPath, tmp));
        QCOMPARE(environment::defaultDatabasePath(), placed(database, tmp));
        QCOMPARE(environment::errorLogPath(), placed(errorLog, tmp));
        QCOMPARE(environment::manualPath(), placed(manual, tmp));

        appendToErrorLog(errnum::NoCurrentRecord, QStringLiteral("logged"));
        environment::setInstalled(std::nullopt);
        QVERIFY(readAll(placed(errorLog, tmp)).endsWith(",3021,\"logged\"\r\n"));
        if (installed)
            QCOMPARE(modeOf(QFileInfo(placed(errorLog, tmp)).path()), 0700);
    }

    // Which database a start opens, and what it leaves in NetworkPath.sfe: a
    // first start of an installed copy makes its database in the user's data
    // folder; a database named on the command line is used for that run
    // alone, NetworkPath.sfe neither read nor written.
    void aStartFindsItsDatabase_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QString>("networkPathBefore"); // "<none>": no file
        QTest::addColumn<QString>("commandLine");       // "<none>": no --database
        QTest::addColumn<QString>("opened");            // "<fails>": the start fails
        QTest::addColumn<QString>("networkPathAfter");
        QTest::addColumn<QStringList>("dataFolder"); // its files afterwards
        QTest::newRow("installed, first start: an empty database in the data folder")
            << true << "<none>"
            << "<none>"
            << "{data}/records.mdb"
            << "{data}/records.mdb\r\n"
            << QStringList{"records.mdb"};
        QTest::newRow("installed, a relative path: from the data folder")
            << true << "office.mdb\r\n"
            << "<none>"
            << "{data}/office.mdb"
            << "office.mdb\r\n"
            << QStringList{"office.mdb"};
        QTest::newRow("installed, a path on the command line, first start")
            << true << "<none>"
            << "{shared}/books.mdb"
            << "{shared}/books.mdb"
            << "<none>" << QStringList{};
        QTest::newRow("installed, a relative path on the command line: from the current folder")
            << true << "{data}/records.mdb\r\n"
            << "books.mdb"
            << "{shared}/books.mdb"
            << "{data}/records.mdb\r\n"
            << QStringList{"records.mdb"};
        QTest::newRow("beside the program, a path on the command line")
            << false << "{program}/records.mdb\r\n"
            << "{shared}/books.mdb"
            << "{shared}/books.mdb"
            << "{program}/records.mdb\r\n"
            << QStringList{"NetworkPath.sfe"};
        QTest::newRow("installed, a missing database on the command line creates nothing")
            << true << "<none>"
            << "{shared}/gone.mdb"
            << "<fails>"
            << "<none>" << QStringList{};
    }
    void aStartFindsItsDatabase() {
        QFETCH(bool, installed);
        QFETCH(QString, networkPathBefore);
        QFETCH(QString, commandLine);
        QFETCH(QString, opened);
        QFETCH(QString, networkPathAfter);
        QFETCH(QStringList, dataFolder);
        test::TempProgram program(false);
        const test::UserFolders folders;
        environment::setInstalled(installed);
        QTemporaryDir shared;
        const auto place = [&](QString text) {
            return text.replace(QStringLiteral("{data}"), environment::dataDirectory())
                .replace(QStringLiteral("{program}"), program.dir())
                .replace(QStringLiteral("{shared}"), shared.path());
        };
        // What a row names is there, unless the start is to make it or find
        // it missing.
        if (networkPathBefore != QStringLiteral("<none>")) {
            QVERIFY(environment::makeUserDirectory(environment::configDirectory()));
            QVERIFY(environment::makeUserDirectory(environment::dataDirectory()));
            for (const QString& name : dataFolder)
                if (name.endsWith(QStringLiteral(".mdb")))
                    QVERIFY(createDatabaseFile(environment::dataDirectory() + u'/' + name));
            QVERIFY(writeAll(environment::networkPathFile(), place(networkPathBefore).toUtf8()));
        }
        if (opened.startsWith(QStringLiteral("{shared}")))
            QVERIFY(createDatabaseFile(place(opened)));
        if (commandLine != QStringLiteral("<none>"))
            environment::setDatabaseOverride(
                environment::NamedDatabase{place(commandLine), shared.path()});

        test::ScriptedPrompt prompt;
        if (opened == QStringLiteral("<fails>")) {
            prompt.expectMessageTitled(QStringLiteral("File not found"));
            prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
        }
        {
            Database db;
            const bool started = db.OpenDatabase();
            environment::setDatabaseOverride(std::nullopt);
            QCOMPARE(started, opened != QStringLiteral("<fails>"));
            if (started) {
                QCOMPARE(db.databasePath(), place(opened));
                QCOMPARE(header(db.databasePath()), signature::kPlain);
                QVERIFY(db.cnMain.execute(
                    QStringLiteral("INSERT INTO tblcustomer (id, lname) VALUES (1, 'Here')")));
            }
        }
        QVERIFY(prompt.verifyAllShown());
        if (opened != QStringLiteral("<fails>")) {
            QCOMPARE(header(place(opened)), signature::kMarker);
            QCOMPARE(test::scalarOn(place(opened), QStringLiteral("SELECT lname FROM tblcustomer"))
                         .toString(),
                     QStringLiteral("Here"));
        }
        if (networkPathAfter == QStringLiteral("<none>"))
            QVERIFY(!QFile::exists(environment::networkPathFile()));
        else
            QCOMPARE(readAll(environment::networkPathFile()), place(networkPathAfter).toUtf8());
        QCOMPARE(QDir(environment::dataDirectory()).entryList(QDir::Files | QDir::Hidden),
                 dataFolder);
        // The folders the program made are open to the user alone, and an
        // installed copy leaves nothing beside itself.
        if (!dataFolder.isEmpty())
            QCOMPARE(modeOf(environment::dataDirectory()), 0700);
        if (installed && networkPathAfter != QStringLiteral("<none>"))
            QCOMPARE(modeOf(environment::configDirectory()), 0700);
        if (installed)
            QCOMPARE(QDir(program.dir()).entryList(QDir::Files | QDir::Hidden), QStringList{});
    }

    // --- A start on a network share, and one that fails ---------------------------

    // A database file on a network share is named for what it is, once, in
    // the error log, with no box; the program goes on. The file system's type
    // comes from the seam (a test cannot mount a share); fileSystemTypeOf
    // reads the real one.
    void aDatabaseOnANetworkShareIsNotedOnceInTheLog_data() {
        QTest::addColumn<qint64>("type");
        QTest::addColumn<QString>("share");
        QTest::newRow("NFS") << qint64(0x6969) << "NFS";
        QTest::newRow("SMB") << qint64(0x517B) << "SMB";
        QTest::newRow("CIFS") << qint64(0xFF534D42) << "SMB";
        QTest::newRow("SMB2") << qint64(0xFE534D42) << "SMB";
        QTest::newRow("ext4") << qint64(0xEF53) << "";
        QTest::newRow("tmpfs") << qint64(0x01021994) << "";
        QTest::newRow("FUSE, which does not say") << qint64(0x65735546) << "";
        QTest::newRow("unreadable") << qint64(-1) << "";
        // The real file system of the test's folder: a local disk or memory.
        QTest::newRow("the real one") << qint64(-2) << "";
    }
    void aDatabaseOnANetworkShareIsNotedOnceInTheLog() {
        QFETCH(qint64, type);
        QFETCH(QString, share);
        if (type >= 0)
            QCOMPARE(networkshare::networkFileSystem(type), share);
        test::TempProgram program;
        test::ScriptedPrompt prompt;
        if (type == -2) {
            const std::optional<qint64> real =
                networkshare::fileSystemTypeOf(program.databasePath());
            QVERIFY(real && *real != 0);
            QCOMPARE(networkshare::networkFileSystem(*real), QString());
            QVERIFY(!networkshare::fileSystemTypeOf(program.file(QStringLiteral("none/x.mdb"))));
        } else {
            networkshare::setTypeSource([type](const QString&) -> std::optional<qint64> {
                if (type == -1)
                    return std::nullopt;
                return type;
            });
        }
        const auto restore = qScopeGuard([] { networkshare::setTypeSource({}); });
        for (int start = 0; start < 2; ++start) {
            Database db;
            QVERIFY(db.OpenDatabase());
            db.CloseDatabase();
        }
        QVERIFY(prompt.verifyAllShown());
        const QString log = QString::fromUtf8(readAll(program.file(QStringLiteral("ErrLog.err"))));
        if (share.isEmpty()) {
            QVERIFY2(log.isEmpty(), qPrintable(log));
            return;
        }
        QCOMPARE(log.count(QStringLiteral("\r\n")), 1);
        QVERIFY2(log.contains(program.databasePath() + QStringLiteral(" is on a network share (") +
                              share + u')') &&
                     log.contains(QStringLiteral("a database server is recommended")),
                 qPrintable(log));
    }

    // A start that cannot go on says why, with the path to look at, and no
    // advice to restore a backup copy over a good database.
    void aFailedStartNamesItsCause_data() {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("box"); // title, TAB, text; %db, %sfe, %dir for the paths
        const QString notFound = "File not found\t" + kFileNotFoundText + "53:\r\n";
        QTest::newRow("an empty NetworkPath.sfe")
            << "empty" << notFound + "%sfe names no database: its first line holds no path.";
        QTest::newRow("a folder named in NetworkPath.sfe")
            << "folder"
            << notFound + "%dir/shared is a folder, not the database file (named in %sfe).";
        QTest::newRow("a database held by another program")
            << "held"
            << "Database In Use\tThe database is in use by another program:\r\n%db\r\n\r\n"
               "Wait until that program is done with it, then try again.";
        QTest::newRow("a database the user may only read")
            << "user: file"
            << "Permission Needed\t%db cannot be written; ask for write permission.";
        QTest::newRow("a folder the user may not write")
            << "user: folder"
            << "Permission Needed\tThe folder %dir cannot be written; ask for write permission. "
               "The program keeps the journal of records.mdb there while it saves changes.";
    }
    void aFailedStartNamesItsCause() {
        QFETCH(QString, setup);
        QFETCH(QString, box);
        test::TempProgram program;
        const QString db = program.databasePath();
        const QString sfe = program.file(QStringLiteral("NetworkPath.sfe"));
        const QByteArray dir = QFile::encodeName(program.dir());
        QVERIFY(writeAll(sfe, networkPathLine(db)));
        const std::optional<test::OrdinaryUser> user =
            setup.startsWith(u"user") ? test::ordinaryUser() : std::nullopt;
        if (setup.startsWith(u"user") && !user)
            QSKIP("Needs root, to make an ordinary user and give it files");
        QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        const auto release = qScopeGuard([&holder] {
            holder.close();
            holder = QSqlDatabase();
            QSqlDatabase::removeDatabase(QLatin1String(QSqlDatabase::defaultConnection));
        });
        if (setup == u"empty") {
            QVERIFY(writeAll(sfe, "\r\n"));
        } else if (setup == u"folder") {
            QVERIFY(QDir().mkpath(program.file(QStringLiteral("shared"))));
            QVERIFY(writeAll(sfe, networkPathLine(program.file(QStringLiteral("shared")))));
        } else if (setup == u"held") {
            QCOMPARE(writeSignature(db, 2), SignatureResult::Written);
            holder.setDatabaseName(db);
            QVERIFY(holder.open() && QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));
        } else {
            // The user owns either the folder or the file, never both.
            const bool file = setup == u"user: file";
            QVERIFY(::chown(file ? dir.constData() : QFile::encodeName(db).constData(), user->uid,
                            user->gid) == 0);
            QVERIFY(::chmod(dir.constData(), 0755) == 0);
        }
        const QByteArray before = readAll(db);

        QStringList boxes;
        if (user) {
            QCOMPARE(
                test::runAs(*user, program.dir(), QStringLiteral("open"), program.dir(), &boxes),
                3);
        } else {
            test::ScriptedPrompt prompt;
            prompt.expectMessageTitled(box.section(u'\t', 0, 0));
            prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
            Database database;
            QVERIFY(!database.OpenDatabase());
            QVERIFY(prompt.verifyAllShown());
            for (const test::ShownBox& shown : prompt.shown())
                boxes.append(shown.title + u'\t' + shown.text);
        }
        box.replace(QStringLiteral("%sfe"), sfe)
            .replace(QStringLiteral("%db"), db)
            .replace(QStringLiteral("%dir"), program.dir());
        QCOMPARE(boxes, QStringList({box, QStringLiteral("Quillory\t") + kInitFailed}));
        QCOMPARE(readAll(db), before);
    }
};

QTEST_MAIN(TestStartPlaces)
#include "test_startplaces.moc"
