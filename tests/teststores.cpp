// The stores a test row runs on: the private test server that the test
// script starts, and the store of the row under way.
#include "testsupport.h"

#include "data/connection.h"
#include "data/server/serveraddress.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QUrl>

#include <atomic>

namespace quillory::test {

namespace testserver {

// Whether a statement failed because the session was gone (the server was
// stopped, or ended it).
bool sessionEnded(const QSqlError& error) {
    const QString state = error.nativeErrorCode();
    return state.isEmpty() || state.startsWith(QStringLiteral("08")) ||
           state.startsWith(QStringLiteral("57P"));
}

namespace {

const QString kAdministration = QStringLiteral("quillory-test-administration");

QString identifier(const QString& name) {
    return u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

// The connection (by its name) of a direct session on a server database,
// opened on first use and kept until the database is dropped.
QString directConnection(const QString& uri) {
    const QString name = QStringLiteral("quillory-test-direct ") + uri;
    if (QSqlDatabase::contains(name))
        return name;
    Error error;
    const std::optional<ServerAddress> address = ServerAddress::parse(uri, &error);
    if (!address)
        qFatal("The test server's address cannot be read: %s", qPrintable(error.description));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    // Not the program's name: the server's session list tells the program's
    // own connections apart by it.
    address->configure(db, std::nullopt, QStringLiteral("quillory-tests"));
    if (!db.open())
        qWarning("The test server does not answer: %s", qPrintable(db.lastError().text()));
    return name;
}

void closeDirect(const QString& uri) {
    const QString name = QStringLiteral("quillory-test-direct ") + uri;
    if (!QSqlDatabase::contains(name))
        return;
    QSqlDatabase::database(name, false).close();
    QSqlDatabase::removeDatabase(name);
}

} // namespace

bool isConfigured() {
    return !qEnvironmentVariableIsEmpty("QUILLORY_TEST_SERVER");
}

QString uriOf(const QString& database) {
    QUrl url(qEnvironmentVariable("QUILLORY_TEST_SERVER"));
    url.setPath(u'/' + database, QUrl::DecodedMode);
    return url.toString(QUrl::FullyEncoded);
}

bool administer(const QString& statement) {
    const QString uri = qEnvironmentVariable("QUILLORY_TEST_SERVER");
    for (int attempt = 0;; ++attempt) {
        QSqlDatabase db = QSqlDatabase::database(directConnection(uri), false);
        QSqlQuery query(db);
        if (db.isOpen() && query.exec(statement))
            return true;
        // A session that a restart of the server ended: once more on a new one.
        if (attempt == 0 && sessionEnded(query.lastError())) {
            query = QSqlQuery();
            db = QSqlDatabase();
            closeDirect(uri);
            continue;
        }
        qWarning("The test server refused %s: %s", qPrintable(statement),
                 qPrintable(query.lastError().text()));
        return false;
    }
}

QString createDatabase() {
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("quillory_test_%1_%2").arg(::getpid()).arg(++counter);
    if (!administer(QStringLiteral("CREATE DATABASE ") + identifier(name))) {
        QTest::qFail("The test server (QUILLORY_TEST_SERVER) could not make a database", __FILE__,
                     __LINE__);
        return {};
    }
    return name;
}

bool waitUntilNoCopies(const QString& database) {
    return QTest::qWaitFor(
        [&database] {
            return scalarOnServer(qEnvironmentVariable("QUILLORY_TEST_SERVER"),
                                  QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE "
                                                 "datname=? AND application_name=?"),
                                  {database, kServerApplicationName})
                       .toInt() == 0;
        },
        30000);
}

void dropDatabase(const QString& database) {
    closeDirect(uriOf(database));
    administer(QStringLiteral("DROP DATABASE IF EXISTS ") + identifier(database) +
               QStringLiteral(" WITH (FORCE)"));
}

} // namespace testserver

void addStoreRows() {
    QTest::addColumn<int>("store");
    QTest::newRow("file") << int(Store::File);
    QTest::newRow("server") << int(Store::Server);
}

namespace {
Store& storeOfRow() {
    static Store store = Store::File;
    return store;
}
} // namespace

void noteStoreOfRow(int store) {
    storeOfRow() = Store(store);
}

Store currentStore() {
    return storeOfRow();
}

QVariant scalarOnServer(const QString& uri, const QString& query, const QVariantList& params) {
    // A second try on a new session, for a server that was stopped and
    // started again since the last statement.
    for (int attempt = 0;; ++attempt) {
        QSqlDatabase db = QSqlDatabase::database(testserver::directConnection(uri), false);
        QSqlQuery q(db);
        bool ok = false;
        if (params.isEmpty()) {
            ok = q.exec(query);
        } else {
            ok = q.prepare(query);
            for (const QVariant& p : params)
                q.addBindValue(toStorable(p));
            ok = ok && q.exec();
        }
        if (ok) {
            QVariant result;
            if (q.next())
                result = q.value(0);
            return result;
        }
        if (attempt == 0 && testserver::sessionEnded(q.lastError())) {
            q = QSqlQuery();
            db = QSqlDatabase();
            testserver::closeDirect(uri);
            continue;
        }
        qFatal("Test statement failed: %s: %s", qPrintable(query),
               qPrintable(q.lastError().text()));
    }
}

} // namespace quillory::test
