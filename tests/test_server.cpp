// The program on a database server: the tables it makes on an empty database
// and the differing ones it refuses, the password it asks for, the name the
// server's session list shows it by, and a connection lost in the middle of
// the work.
#include "data/database.h"
#include "data/server/serveraddress.h"
#include "invoiceharness.h"

#include <QFile>
#include <QProcess>
#include <QSqlError>

using namespace quillory;
using namespace quillory::test;

namespace {

using Buttons = Prompt::Buttons;

const QString kPasswordRole = QStringLiteral("quillory_pw");
const QString kPassword = QStringLiteral("secret-pw");
const QString kLostTitle = QStringLiteral("Database Server");

// The URI of a database on the test server as another role.
QString uriAs(const QString& database, const QString& role) {
    QString uri = testserver::uriOf(database);
    return uri.replace(QStringLiteral("user=quillory"), QStringLiteral("user=") + role);
}

// A server of this test's own, which it may stop and start again: the
// script that started the shared one, on a folder of its own inside the
// shared one's, so that stopping the shared one stops it too should this
// test die first.
class PrivateServer {
public:
    PrivateServer()
        : m_dir(qEnvironmentVariable("QUILLORY_TEST_SERVER_DIR") +
                QStringLiteral("/private-XXXXXX")) {}
    bool start() {
        QProcess script;
        script.start(qEnvironmentVariable("QUILLORY_TEST_SERVER_SCRIPT"),
                     {QStringLiteral("start"), m_dir.path()});
        if (!script.waitForFinished(120000) || script.exitCode() != 0) {
            qWarning("%s", script.readAllStandardError().constData());
            return false;
        }
        const QString output = QString::fromUtf8(script.readAllStandardOutput());
        for (const QString& line : output.split(u'\n')) {
            const QString prefix = QStringLiteral("export QUILLORY_TEST_SERVER='");
            if (line.startsWith(prefix))
                m_uri = line.mid(prefix.size()).chopped(1);
        }
        return !m_uri.isEmpty();
    }
    bool stop() {
        QProcess script;
        script.start(qEnvironmentVariable("QUILLORY_TEST_SERVER_SCRIPT"),
                     {QStringLiteral("stop"), m_dir.path()});
        return script.waitForFinished(120000) && script.exitCode() == 0;
    }
    ~PrivateServer() { stop(); }
    const QString& uri() const { return m_uri; }

private:
    QTemporaryDir m_dir;
    QString m_uri;
};

// Proceed, answered Yes, and the amount typed into the payment box.
void typeAmount(MainWindowHarness& h, const QString& typed) {
    h.prompt.expectMessage(QStringLiteral("Proceed and apply a payment on this invoice?"),
                           QStringLiteral("Confirmation"), Prompt::Yes, Buttons::YesNo);
    click(h.get<QPushButton>("cmdiProceed"));
    typeInto(h.get<QLineEdit>("txtiPayment"), typed);
}

void expectFirstQuestion(MainWindowHarness& h) {
    h.prompt.expectMessage(QStringLiteral("Apply the payment of: 45.72 to this invoice?"),
                           QStringLiteral("Confirm"), Prompt::Yes, Buttons::YesNo);
}

void expectLastQuestion(MainWindowHarness& h) {
    h.prompt.expectMessage(QStringLiteral("Apply the payment of: $45.72 to this invoice?\r\n\r\n"
                                          "This will make the invoice balance $54.28"),
                           QStringLiteral("Confirm"), Prompt::Yes, Buttons::YesNo);
}

} // namespace

class ServerTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { pinEnglishUs(); }
    void init() {
        if (!testserver::isConfigured())
            QSKIP("No test server: scripts/test.sh starts one (QUILLORY_TEST_SERVER)");
        noteStoreOfRow(int(Store::Server));
        qunsetenv("PGPASSWORD");
        qputenv("PGPASSFILE", "/nonexistent/pgpass");
    }

    // --- The tables ------------------------------------------------------------------

    // Each row: what was done to the database after the program made its
    // tables there (nothing: an empty database), and what the refusal says
    // (nothing: it opens).
    void anEmptyDatabaseGetsTheTablesAndADifferentOneIsRefused_data() {
        QTest::addColumn<QStringList>("changes");
        QTest::addColumn<QString>("difference");
        QTest::newRow("an empty database") << QStringList() << "";
        QTest::newRow("the program's own tables, with rows")
            << QStringList{"INSERT INTO tblcustomer (id,lname) VALUES (1,'Ames')"} << "";
        QTest::newRow("money kept as a decimal")
            << QStringList{"ALTER TABLE tblinvoice ALTER COLUMN amountdue TYPE numeric"}
            << "tblinvoice.amountdue is numeric, not bigint";
        QTest::newRow("a column missing")
            << QStringList{"ALTER TABLE tblcustomer DROP COLUMN notes"}
            << "tblcustomer has no column notes";
        QTest::newRow("a column the program does not know")
            << QStringList{"ALTER TABLE tblbusoptions ADD COLUMN extra text"}
            << "tblbusoptions has a column extra that the program does not know";
        QTest::newRow("a table missing")
            << QStringList{"DROP TABLE tblservices"} << "there is no table tblservices";
        QTest::newRow("another program's table only")
            << QStringList{"DROP TABLE tblcustomer, tblservices, tblinvoice, tblbusoptions",
                           "CREATE TABLE ledger (id integer)"}
            << "";
    }
    void anEmptyDatabaseGetsTheTablesAndADifferentOneIsRefused() {
        QFETCH(QStringList, changes);
        QFETCH(QString, difference);
        TempProgram program(false);
        const QString database = testserver::createDatabase();
        QVERIFY(!database.isEmpty());
        const QString uri = testserver::uriOf(database);
        if (!changes.isEmpty()) {
            Connection first;
            QVERIFY2(first.open(uri), qPrintable(first.lastError().description));
            first.close();
            for (const QString& change : changes)
                scalarOnServer(uri, change);
        }
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         (uri + QStringLiteral("\r\n")).toUtf8()));
        ScriptedPrompt prompt;
        {
            Database db;
            if (difference.isEmpty()) {
                QVERIFY(db.OpenDatabase());
                QVERIFY(db.isServer());
                QCOMPARE(db.databasePath(), uri);
                // The tables and indexes of the schema (three keys, three of
                // its own), which the check takes for the program's own.
                QCOMPARE(scalarOnServer(uri, QStringLiteral("SELECT count(*) FROM pg_indexes "
                                                            "WHERE schemaname='public' AND "
                                                            "tablename LIKE 'tbl%'"))
                             .toInt(),
                         6);
                QCOMPARE(
                    scalarOnServer(uri, QStringLiteral("SELECT count(*) FROM tblcustomer")).toInt(),
                    changes.size() == 1 ? 1 : 0);
                // Nothing of the file's: no database file, no header, no lock.
                QVERIFY(!QFile::exists(program.databasePath()));
            } else {
                prompt.expectMessageTitled(QStringLiteral("ERROR"));
                prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
                QVERIFY(!db.OpenDatabase());
                QVERIFY(prompt.verifyAllShown());
                const QString said = prompt.shown().first().text;
                QVERIFY2(said.contains(difference) && said.contains(database), qPrintable(said));
            }
        }
        testserver::dropDatabase(database);
    }

    // --- The password ----------------------------------------------------------------

    // Each row: the answers given to the password box (nothing: Cancel), and
    // whether the program then opens the database.
    void aPasswordIsAskedForInAMaskedBoxAndKeptOnlyInMemory_data() {
        QTest::addColumn<QList<std::optional<QString>>>("answers");
        QTest::addColumn<bool>("opens");
        QTest::newRow("the right one") << QList<std::optional<QString>>{kPassword} << true;
        QTest::newRow("nothing typed, then the right one")
            << QList<std::optional<QString>>{QString(), kPassword} << true;
        QTest::newRow("cancelled") << QList<std::optional<QString>>{std::nullopt} << false;
        QTest::newRow("a wrong one")
            << QList<std::optional<QString>>{QStringLiteral("guess")} << false;
    }
    void aPasswordIsAskedForInAMaskedBoxAndKeptOnlyInMemory() {
        QFETCH(QList<std::optional<QString>>, answers);
        QFETCH(bool, opens);
        TempProgram program(false);
        const QString database = testserver::createDatabase();
        QVERIFY(!database.isEmpty());
        QVERIFY(testserver::administer(QStringLiteral("ALTER DATABASE ") + database +
                                       QStringLiteral(" OWNER TO ") + kPasswordRole));
        const QString uri = uriAs(database, kPasswordRole);
        QVERIFY(writeAll(program.file(QStringLiteral("NetworkPath.sfe")),
                         (uri + QStringLiteral("\r\n")).toUtf8()));
        ScriptedPrompt prompt;
        const QString asked = QStringLiteral("The database server asks for the password of ") +
                              kPasswordRole + QStringLiteral(" on ") +
                              qEnvironmentVariable("QUILLORY_TEST_SERVER_DIR") + u':';
        for (const std::optional<QString>& answer : answers)
            prompt.expectInput(asked, QStringLiteral("Database Server Password"), answer, true);
        const bool wrong = answers.last() && answers.last() != kPassword;
        if (!opens) {
            if (wrong)
                prompt.expectMessageTitled(QStringLiteral("ERROR"));
            prompt.expectMessage(kInitFailed, QStringLiteral("Quillory"));
        }
        {
            Database db;
            QCOMPARE(db.OpenDatabase(), opens);
            QVERIFY(prompt.verifyAllShown());
            if (wrong)
                QVERIFY2(prompt.shown().at(answers.size()).text.contains(kPasswordRole),
                         qPrintable(prompt.shown().at(answers.size()).text));
            if (opens) {
                // Connecting again (as after compaction) asks nothing more.
                db.CloseDatabase();
                QVERIFY(db.OpenDatabase());
                QVERIFY(prompt.verifyAllShown());
            }
        }
        // Written nowhere: not beside the program, not in its log.
        for (const QString& name : QDir(program.dir()).entryList(QDir::Files))
            QVERIFY2(!readAll(program.file(name)).contains(kPassword.toUtf8()), qPrintable(name));
        testserver::dropDatabase(database);
    }

    // --- A lost connection -----------------------------------------------------------

    // A payment whose connection is lost: by the server ending the session
    // before the payment reads the invoice (before any question), by the server stopping (and
    // starting again), or inside the payment's write. One box names the
    // server; nothing is written, what was typed stays; the next payment
    // connects again and is applied.
    void aLostConnectionIsReportedOnceAndTheNextActionConnectsAgain_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("inTheWrite");
        QTest::newRow("the server ends the session") << "terminate" << false;
        QTest::newRow("the server stops and starts again") << "stop" << false;
        QTest::newRow("the session ends inside the write") << "trigger" << true;
    }
    void aLostConnectionIsReportedOnceAndTheNextActionConnectsAgain() {
        QFETCH(QString, how);
        QFETCH(bool, inTheWrite);
        const QByteArray shared = qgetenv("QUILLORY_TEST_SERVER");
        std::unique_ptr<PrivateServer> own;
        if (how == u"stop") {
            own = std::make_unique<PrivateServer>();
            QVERIFY(own->start());
            qputenv("QUILLORY_TEST_SERVER", own->uri().toUtf8());
        }
        const auto restore = qScopeGuard([&] { qputenv("QUILLORY_TEST_SERVER", shared); });
        {
            MainWindowHarness h;
            QVERIFY(!h.program.serverDatabase().isEmpty());
            if (how == u"trigger")
                h.program.sql(
                    QStringLiteral("CREATE FUNCTION cut() RETURNS trigger LANGUAGE plpgsql AS "
                                   "$$BEGIN PERFORM pg_terminate_backend(pg_backend_pid()); "
                                   "RETURN NEW; END$$"));
            if (how == u"trigger")
                h.program.sql(QStringLiteral("CREATE TRIGGER cut AFTER UPDATE ON tblinvoice FOR "
                                             "EACH ROW EXECUTE FUNCTION cut()"));
            QVERIFY(startWithInvoice(h, 1, 1000000, 0, 0));
            // The server's session list shows the program's connection by
            // the program's name.
            const QString sessions = QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE "
                                                    "application_name='Quillory' AND datname=?");
            QCOMPARE(h.program.scalar(sessions, {h.program.serverDatabase()}).toInt(), 1);

            typeAmount(h, QStringLiteral("45.72"));
            if (how == u"terminate")
                QCOMPARE(h.program
                             .scalar(QStringLiteral("SELECT count(pg_terminate_backend(pid)) FROM "
                                                    "pg_stat_activity WHERE "
                                                    "application_name='Quillory' AND datname=?"),
                                     {h.program.serverDatabase()})
                             .toInt(),
                         1);
            if (how == u"stop")
                QVERIFY(own->stop());
            // The payment reads the stored invoice before its first question:
            // a connection lost before the payment is met there, and no
            // question is asked.
            if (inTheWrite) {
                expectFirstQuestion(h);
                expectLastQuestion(h);
            }
            h.prompt.expectMessageTitled(kLostTitle);
            click(h.get<QPushButton>("cmdiPayment"));
            QVERIFY(h.prompt.verifyAllShown());
            const ShownBox lost = h.prompt.shown().last();
            QCOMPARE(lost.icon, Prompt::Icon::Exclamation);
            QVERIFY2(lost.text.contains(h.program.serverDatabase()) && lost.text.contains(u'/') &&
                         lost.text.contains(QStringLiteral("lost")),
                     qPrintable(lost.text));
            QVERIFY(!lost.text.contains(QStringLiteral("password")));
            // What was typed is still there, for the next try.
            QVERIFY(h.get<QWidget>("fraiMoney")->isVisible());
            QCOMPARE(h.get<QLineEdit>("txtiPayment")->text(), QStringLiteral("45.72"));

            if (how == u"stop")
                QVERIFY(own->start());
            if (how == u"trigger")
                h.program.sql(QStringLiteral("DROP TRIGGER cut ON tblinvoice"));
            // Nothing of the payment was written.
            const QString invoice =
                QStringLiteral("SELECT amountpaid || ' ' || paymentdates FROM tblinvoice");
            QCOMPARE(h.program.scalar(invoice).toString(), QStringLiteral("0 NA"));

            // The event loop turns before the user's next action; that
            // action connects again.
            QCoreApplication::processEvents();
            h.prompt.clear();
            expectFirstQuestion(h);
            expectLastQuestion(h);
            h.prompt.expectMessage(
                QStringLiteral("Print a copy of the current invoice with payment applied?"),
                QStringLiteral("Print"), Prompt::No, Buttons::YesNo, Prompt::Icon::Question);
            click(h.get<QPushButton>("cmdiPayment"));
            QVERIFY(h.prompt.verifyAllShown());
            QCOMPARE(h.program.scalar(invoice).toString(),
                     QStringLiteral("457200 NA\r\n12/6/2026 9:05:07 AM($45.72)"));
            // The loss is in the error log, once.
            QCOMPARE(readAll(h.program.file(QStringLiteral("ErrLog.err"))).count("\r\n"), 1);
        }
    }
};

QTEST_MAIN(ServerTest)
#include "test_server.moc"
