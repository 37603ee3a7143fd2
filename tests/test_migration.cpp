// Moving the books between a file and a server, either way: every row and
// every cent arrives (and comes back), and a move that is refused or fails
// leaves nothing on the target; the quillory-migrate command line.
#include "data/connection.h"
#include "data/database.h"
#include "data/file/signature.h"
#include "data/migration/migration.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>

using namespace quillory;
using namespace quillory::test;

namespace {

// Books whose every value tells a faithful copy from a plausible slip: 40
// invoices of 99.99 (3999.60, which a sum of doubles misses), amounts in the
// fourth decimal, Nulls beside empty texts, texts beyond Latin (and beyond
// the basic plane), an apostrophe, single-precision hours and rates, project
// id 0, and two business option rows whose order counts (the first is the one
// in use).
void fillBooks(TempProgram& p) {
    p.sql("INSERT INTO tblcustomer (id,fname,lname,street,city,prov,country,pcode,email1,email2,"
          "phone,cellphone,othercontact,notes) VALUES (1,?,'Smith','1 Main St','Québec','QC','CA',"
          "'G1A','a@example.com','','NA','NA','NA',?)",
          {QStringLiteral("Анна"), QStringLiteral("first line\r\nsecond — ✓ 😀")});
    p.sql("INSERT INTO tblcustomer (id,lname) VALUES (2,'Nulls')");
    p.sql("INSERT INTO tblcustomer (id,fname,lname) VALUES (99,'Seán',?)",
          {QStringLiteral("O'Hara")});
    // Each table's rows in one statement: the tests fill many of these books.
    QStringList rows;
    QVariantList values;
    for (int i = 0; i <= 40; ++i) {
        rows.append(QStringLiteral("(?,1,?,?,?,?,'2026-12-01 10:00:00',?)"));
        values << i << QStringLiteral("Job %1").arg(i)
               << (i % 2 ? QStringLiteral("on hold") : QStringLiteral("Completed")) << double(37.3f)
               << double(85.15f) << (i < 40 ? 1 : 0);
    }
    p.sql("INSERT INTO tblservices (id,customerid,summary,status,billinghours,billingrate,"
          "DateCreated,invoicegenerated) VALUES " +
              rows.join(u','),
          values);
    rows.clear();
    values.clear();
    for (int i = 1; i <= 40; ++i) {
        rows.append(QStringLiteral("(?,?,1,999900,?,'NA','2026-12-01 10:00:00',0)"));
        values << i << i - 1 << (i == 1 ? 123456 : i == 2 ? 1 : 0);
    }
    p.sql("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,amountpaid,paymentdates,"
          "DateCreated,Status) VALUES " +
              rows.join(u','),
          values);
    p.sql("INSERT INTO tblinvoice (id,servicesid,customerid,amountdue,amountpaid) "
          "VALUES (41,40,99,NULL,NULL)");
    p.sql("INSERT INTO tblbusoptions (uselogin,busname,busaddress) VALUES (0,'First','x\r\ny')");
    p.sql("INSERT INTO tblbusoptions (uselogin,busname) VALUES (1,'Second')");
}

const int kBookRows = 3 + 41 + 41 + 2;

bool isServer(const QString& location) {
    return location.startsWith(QStringLiteral("postgres"));
}

// Waits until the program's connections closed on a server database are gone
// from its session list, where they would count as copies still at work.
bool settled(const QString& location) {
    return !isServer(location) || testserver::waitUntilNoCopies(QUrl(location).path().mid(1));
}

// Every value of every row, one line a row, in a form both stores give alike
// (reals to the last bit), with the business options in their stored order.
QString dump(const QString& location) {
    const bool file = !isServer(location);
    const bool marked = file && SetDatabaseSignature(location, 2) == SignatureResult::Written;
    QStringList lines;
    {
        Connection cn;
        if (!cn.open(location))
            return QStringLiteral("cannot open: ") + cn.lastError().description;
        // Each query with its count of columns and the places of its reals.
        struct Query {
            QString sql;
            int columns;
            QList<int> reals;
        };
        const QList<Query> queries = {
            {"SELECT id,fname,lname,street,city,prov,country,pcode,email1,email2,phone,cellphone,"
             "othercontact,notes FROM tblcustomer ORDER BY id",
             14,
             {}},
            {"SELECT id,customerid,summary,status,billinghours,billingrate,services_provided,"
             "details,notes,DateCreated,invoicegenerated FROM tblservices ORDER BY id",
             11,
             {4, 5}},
            {"SELECT id,servicesid,customerid,amountdue,amountpaid,paymentdates,DateCreated,Status "
             "FROM tblinvoice ORDER BY id",
             8,
             {}},
            {"SELECT uselogin,UserName,Password,busname,busaddress,busurl,bus_slogan,bus_phone,"
             "bus_email,image_path_logo FROM tblbusoptions ORDER BY " +
                 cn.dialect().rowKey(),
             10,
             {}}};
        for (const Query& query : queries) {
            const bool read = cn.forEachRow(query.sql, {}, [&](const QSqlQuery& row) {
                QStringList values;
                for (int i = 0; i < query.columns; ++i) {
                    const QVariant v = row.value(i);
                    if (v.isNull())
                        values.append(QStringLiteral("<null>"));
                    else if (query.reals.contains(i))
                        values.append(QString::number(v.toDouble(), 'g', 17));
                    else
                        values.append(v.toString());
                }
                lines.append(values.join(u'|'));
            });
            if (!read)
                return QStringLiteral("cannot read: ") + cn.lastError().description;
        }
    }
    if (marked)
        SetDatabaseSignature(location, 1);
    if (!settled(location))
        return QStringLiteral("a closed connection stays on the server");
    return lines.join(u'\n');
}

QString figure(const migration::Result& result, const QString& table, const QString& name) {
    for (const migration::TableFigures& figures : result.target)
        if (figures.table == table)
            for (const auto& [sum, value] : figures.sums)
                if (sum == name)
                    return migration::shownValue(sum, value);
    return {};
}

qint64 rowsIn(const QString& location) {
    const bool file = !isServer(location);
    QString sql = QStringLiteral("SELECT (SELECT count(*) FROM tblcustomer)+(SELECT count(*) FROM "
                                 "tblservices)+(SELECT count(*) FROM tblinvoice)+(SELECT "
                                 "count(*) FROM tblbusoptions)");
    return (file ? scalarOn(location, sql) : scalarOnServer(location, sql)).toLongLong();
}

// A target whose trigger adds a ten-thousandth to every amount due on its
// way in: a copy that the figures must catch.
void skimAmounts(TempProgram& target) {
    if (target.store() == Store::File) {
        target.sql("CREATE TRIGGER skim AFTER INSERT ON tblinvoice BEGIN UPDATE tblinvoice SET "
                   "amountdue=amountdue+1 WHERE id=NEW.id; END");
        return;
    }
    target.sql("CREATE FUNCTION skim() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
               "NEW.amountdue := NEW.amountdue + 1; RETURN NEW; END$$");
    target.sql("CREATE TRIGGER skim BEFORE INSERT ON tblinvoice FOR EACH ROW EXECUTE FUNCTION "
               "skim()");
}

bool needsServer(Store a, Store b) {
    return a == Store::Server || b == Store::Server;
}

} // namespace

Q_DECLARE_METATYPE(Store)

class MigrationTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;

    // A file name of the running row's own.
    QString newFile(const QString& name) {
        return m_files.filePath(QString::fromLatin1(QTest::currentDataTag()) + u' ' + name);
    }

private slots:
    void initTestCase() { pinEnglishUs(); }

    // The books go from the first store to the second and on to the third:
    // every value arrives as it was, and the end is the beginning again.
    void theBooksMoveAndComeBackWithEveryRowAndCent_data() {
        QTest::addColumn<Store>("from");
        QTest::addColumn<Store>("via");
        QTest::newRow("file to server to file") << Store::File << Store::Server;
        QTest::newRow("server to file to server") << Store::Server << Store::File;
        QTest::newRow("file to file to file") << Store::File << Store::File;
    }
    void theBooksMoveAndComeBackWithEveryRowAndCent() {
        QFETCH(Store, from);
        QFETCH(Store, via);
        if (needsServer(from, via) && !testserver::isConfigured())
            QSKIP("No test server: scripts/test.sh starts one (QUILLORY_TEST_SERVER)");
        TempProgram source(from);
        fillBooks(source);
        const QString books = dump(source.location());
        QVERIFY2(books.contains(QStringLiteral("Анна")), qPrintable(books));

        // The middle: a server database the program has not seen yet, or a
        // file that does not exist yet.
        QString middle;
        QString middleDatabase;
        if (via == Store::Server) {
            middleDatabase = testserver::createDatabase();
            middle = testserver::uriOf(middleDatabase);
        } else {
            middle = newFile(QStringLiteral("middle.mdb"));
        }
        // While the rows are copied, a server source holds every copy's
        // writes: the move has the writers' lock there.
        int sourceHeld = -1;
        QList<migration::Progress> reports;
        const migration::Result there =
            migration::migrate(source.location(), middle, [&](const migration::Progress& p) {
                if (reports.isEmpty() && from == Store::Server)
                    sourceHeld =
                        scalarOnServer(source.location(),
                                       QStringLiteral("SELECT count(*) FROM pg_locks l JOIN "
                                                      "pg_database d ON d.oid = l.database WHERE "
                                                      "l.locktype = 'advisory' AND l.granted AND "
                                                      "d.datname = current_database()"))
                            .toInt();
                reports.append(p);
            });
        QVERIFY2(there.ok, qPrintable(there.error.description));
        QCOMPARE(sourceHeld, from == Store::Server ? 1 : -1);
        QVERIFY(settled(source.location()) && settled(middle));
        QCOMPARE(there.rows, kBookRows);
        QCOMPARE(figure(there, "tblinvoice", "amountdue"), QStringLiteral("3999.6000"));
        QCOMPARE(figure(there, "tblinvoice", "amountpaid"), QStringLiteral("12.3457"));
        QCOMPARE(figure(there, "tblinvoice", "nulls"), QStringLiteral("5"));
        QCOMPARE(there.source, there.target);
        QCOMPARE(dump(middle), books);
        // Each table's progress ends at its whole count.
        QStringList ends;
        for (const migration::Progress& p : reports)
            if (p.copied == p.total)
                ends.append(p.table + u'=' + QString::number(p.total));
        ends.removeDuplicates();
        QCOMPARE(ends, QStringList({"tblcustomer=3", "tblservices=41", "tblinvoice=41",
                                    "tblbusoptions=2"}));
        if (via == Store::File)
            QCOMPARE(header(middle), signature::kMarker);

        // And back, into a store of the first kind.
        QString back;
        QString backDatabase;
        if (from == Store::Server) {
            backDatabase = testserver::createDatabase();
            back = testserver::uriOf(backDatabase);
        } else {
            back = newFile(QStringLiteral("back.mdb"));
        }
        const migration::Result home = migration::migrate(middle, back);
        QVERIFY2(home.ok, qPrintable(home.error.description));
        QVERIFY(settled(middle) && settled(back));
        QCOMPARE(dump(back), books);

        // The program opens what arrived and finds the customer in it.
        Database db;
        const std::optional<Error> opened = db.openLocation(back);
        QVERIFY2(!opened, opened ? qPrintable(opened->description) : "");
        QVERIFY(db.rsMain.open("SELECT lname FROM tblcustomer WHERE id=99", db.cnMain));
        QCOMPARE(db.rsMain.field(0).toString(), QStringLiteral("O'Hara"));
        db.CloseDatabase();
        if (from == Store::File)
            QCOMPARE(header(back), signature::kMarker);
        for (const QString& database : {middleDatabase, backDatabase})
            if (!database.isEmpty())
                testserver::dropDatabase(database);
    }

    // Each refusal and each failure leaves the target as it was (a file made
    // for the move is gone again) and the source untouched.
    void aRefusedOrFailedMoveLeavesNothingOnTheTarget_data() {
        QTest::addColumn<Store>("from");
        QTest::addColumn<Store>("to");
        QTest::addColumn<QString>("setUp");
        QTest::addColumn<QString>("says");
        const Store F = Store::File;
        const Store S = Store::Server;
        QTest::newRow("a file target with rows") << S << F << "rows"
                                                 << "holds rows already";
        QTest::newRow("a server target with rows") << F << S << "rows"
                                                   << "holds rows already";
        QTest::newRow("a file source in use") << F << F << "source in use"
                                              << "in use";
        QTest::newRow("a server source in use") << S << F << "source in use"
                                                << "in use";
        QTest::newRow("a file target in use") << S << F << "target in use"
                                              << "in use";
        QTest::newRow("a server target in use") << F << S << "target in use"
                                                << "in use";
        QTest::newRow("a row the server refuses") << F << S << "text amount"
                                                  << "invalid input syntax for type bigint";
        QTest::newRow("a row a file refuses") << S << F << "refused"
                                              << "disk refused";
        QTest::newRow("a file that changes an amount")
            << F << F << "skim"
            << "amountdue sums to 3999.6000, the copy's to 3999.6040";
        QTest::newRow("a server that changes an amount")
            << F << S << "skim"
            << "amountdue sums to 3999.6000, the copy's to 3999.6040";
        QTest::newRow("a missing source file") << F << F << "missing"
                                               << "File not found";
        QTest::newRow("the source as its own target") << F << F << "same"
                                                      << "same database";
        QTest::newRow("a server source without the program's tables")
            << S << F << "bare source"
            << "holds none of the program's tables";
    }
    void aRefusedOrFailedMoveLeavesNothingOnTheTarget() {
        QFETCH(Store, from);
        QFETCH(Store, to);
        QFETCH(QString, setUp);
        QFETCH(QString, says);
        if (needsServer(from, to) && !testserver::isConfigured())
            QSKIP("No test server: scripts/test.sh starts one (QUILLORY_TEST_SERVER)");
        TempProgram source(from);
        fillBooks(source);
        if (setUp == u"text amount")
            source.sql("UPDATE tblinvoice SET amountdue='twelve' WHERE id=40");
        const QString books = dump(source.location());
        // The target: an existing, empty database of the program's.
        TempProgram target(to);
        const qint64 targetRows = rowsIn(target.location()) + (setUp == u"rows" ? 1 : 0);
        QVERIFY(settled(target.location()));
        // Copies of the program on either side, when the row asks for one.
        Database copy;
        if (setUp == u"rows")
            target.sql("INSERT INTO tblbusoptions (busname) VALUES ('Kept')");
        else if (setUp == u"refused")
            target.refuseWrites("refuse", "BEFORE INSERT", "tblinvoice");
        else if (setUp == u"skim")
            skimAmounts(target);
        else if (setUp == u"source in use")
            QVERIFY(!copy.openLocation(source.location()));
        else if (setUp == u"target in use")
            QVERIFY(!copy.openLocation(target.location()));
        QString from_ = source.location();
        QString to_ = target.location();
        if (setUp == u"missing") {
            from_ = newFile(QStringLiteral("none.mdb"));
            to_ = newFile(QStringLiteral("made.mdb"));
        } else if (setUp == u"same") {
            to_ = from_;
        } else if (setUp == u"bare source") {
            from_ = testserver::uriOf(testserver::createDatabase());
        }

        const migration::Result result = migration::migrate(from_, to_);
        QVERIFY(!result.ok);
        QVERIFY2(result.error.description.contains(says), qPrintable(result.error.description));
        copy.CloseDatabase();
        if (setUp == u"missing") {
            QVERIFY(!QFile::exists(to_));
        } else {
            QCOMPARE(rowsIn(target.location()), targetRows);
            QCOMPARE(dump(source.location()), books);
        }
        if (from == Store::File && setUp != u"missing")
            QCOMPARE(header(source.databasePath()), signature::kMarker);
        // A source is only read: one without the tables is left without them.
        if (setUp == u"bare source")
            QCOMPARE(scalarOnServer(from_, QStringLiteral("SELECT count(*) FROM pg_tables WHERE "
                                                          "schemaname = current_schema()"))
                         .toInt(),
                     0);
        if (to == Store::File)
            QCOMPARE(header(target.databasePath()), signature::kMarker);
    }

    // The command line: its usage, its refusals, and a move that prints what
    // it checked.
    void theCommandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: quillory-migrate";
        QTest::newRow("unknown option")
            << QStringList{"--fast", "a", "b"} << 64 << "Unknown option";
        QTest::newRow("one place") << QStringList{"a.mdb"} << 64 << "FROM and TO are both needed";
        QTest::newRow("three places") << QStringList{"a", "b", "c"} << 64 << "Only FROM and TO";
        QTest::newRow("a move") << QStringList{"BOOKS", "NEW"} << 0
                                << "tblinvoice: 41 rows; amountdue 3999.6000, amountpaid 12.3457";
        QTest::newRow("a refused move") << QStringList{"BOOKS", "BOOKS2"} << 1
                                        << "nothing was copied: The target holds rows already";
    }
    void theCommandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, says);
        TempProgram books;
        TempProgram other;
        if (arguments.contains(QStringLiteral("BOOKS")))
            fillBooks(books);
        if (arguments.contains(QStringLiteral("BOOKS2")))
            fillBooks(other);
        arguments.replaceInStrings(QStringLiteral("BOOKS2"), other.databasePath());
        arguments.replaceInStrings(QStringLiteral("BOOKS"), books.databasePath());
        arguments.replaceInStrings(QStringLiteral("NEW"), newFile(QStringLiteral("cli.mdb")));
        QFile::remove(newFile(QStringLiteral("cli.mdb")));
        QProcess tool;
        tool.start(qEnvironmentVariable("QUILLORY_BIN_DIR") + QStringLiteral("/quillory-migrate"),
                   arguments);
        QVERIFY(tool.waitForFinished(60000));
        const QString output =
            QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
        QCOMPARE(tool.exitCode(), status);
        QVERIFY2(output.contains(says), qPrintable(output));
    }
};

QTEST_MAIN(MigrationTest)
#include "test_migration.moc"
