#include "data/server/serveraddress.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>

#include <memory>
#include <vector>

namespace quillory {

namespace {

// What the program sets unless the URI says otherwise: how long a connection
// may take to be made, and how soon a connection to a server that went away
// (a cut network, where nothing answers) is given up.
const QList<QPair<QByteArray, QByteArray>> kDefaults = {
    {"connect_timeout", "10"}, {"keepalives_idle", "30"},     {"keepalives_interval", "10"},
    {"keepalives_count", "3"}, {"tcp_user_timeout", "30000"},
};

// The keywords QSqlDatabase has setters for; the driver quotes their values.
const QByteArray kHost = "host";
const QByteArray kDatabase = "dbname";
const QByteArray kUser = "user";
const QByteArray kPassword = "password";

// A value in libpq's connection-string quoting.
QString quoted(const QByteArray& value) {
    QString text = QString::fromUtf8(value);
    text.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + text + u'\'';
}

PGconn* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || !db.isOpen())
        return nullptr;
    return *static_cast<PGconn* const*>(handle.constData());
}

} // namespace

bool isServerLocation(const QString& location) {
    return location.startsWith(QStringLiteral("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QStringLiteral("postgres://"), Qt::CaseInsensitive);
}

std::optional<ServerAddress> ServerAddress::parse(const QString& uri, Error* error) {
    char* message = nullptr;
    PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &message);
    if (!options) {
        // libpq quotes the part it could not read, which may be the password
        // or the whole URI: only its words before the quote are passed on.
        QString why = message ? QString::fromUtf8(message) : QStringLiteral("out of memory");
        why.truncate(why.indexOf(u'"'));
        why = why.trimmed();
        while (why.endsWith(u':'))
            why.chop(1);
        PQfreemem(message);
        if (error)
            *error = {errnum::Unspecified,
                      QStringLiteral("The database server's address cannot be read") +
                          (why.isEmpty() ? QString() : QStringLiteral(": ") + why) + u'.'};
        return std::nullopt;
    }
    ServerAddress address;
    for (const PQconninfoOption* option = options; option->keyword; ++option)
        if (option->val && *option->val)
            address.m_options.append({QByteArray(option->keyword), QByteArray(option->val)});
    PQconninfoFree(options);
    // The driver turns every ";" of the options into a blank.
    for (const auto& [keyword, value] : std::as_const(address.m_options)) {
        if (keyword != kHost && keyword != kDatabase && keyword != kUser && keyword != kPassword &&
            value.contains(';')) {
            if (error)
                *error = {errnum::Unspecified,
                          QStringLiteral("The database server's address holds a \";\" in its "
                                         "\"") +
                              QString::fromUtf8(keyword) +
                              QStringLiteral("\", which the program cannot pass on.")};
            return std::nullopt;
        }
    }
    return address;
}

ServerAddress::Options ServerAddress::connectionOptions(const std::optional<QString>& password,
                                                        const QString& applicationName) const {
    Options options;
    QList<QByteArray> given;
    for (const auto& [keyword, value] : m_options) {
        given.append(keyword);
        if (keyword == "application_name" || (keyword == kPassword && password))
            continue;
        options.append({keyword, value});
    }
    if (password)
        options.append({kPassword, password->toUtf8()});
    for (const auto& [keyword, value] : kDefaults)
        if (!given.contains(keyword))
            options.append({keyword, value});
    options.append({"application_name", applicationName.toUtf8()});
    return options;
}

void ServerAddress::configure(QSqlDatabase& db, const std::optional<QString>& password,
                              const QString& applicationName) const {
    QStringList options;
    for (const auto& [keyword, value] : connectionOptions(password, applicationName)) {
        if (keyword == kHost)
            db.setHostName(QString::fromUtf8(value));
        else if (keyword == kDatabase)
            db.setDatabaseName(QString::fromUtf8(value));
        else if (keyword == kUser)
            db.setUserName(QString::fromUtf8(value));
        else if (keyword == kPassword)
            db.setPassword(QString::fromUtf8(value));
        else
            options.append(QString::fromUtf8(keyword) + u'=' + quoted(value));
    }
    db.setConnectOptions(options.join(u';'));
    // Sums of money come back exact, as digits, never as a double.
    db.setNumericalPrecisionPolicy(QSql::HighPrecision);
}

ServerAddress::PasswordNeed
ServerAddress::passwordNeed(const std::optional<QString>& password) const {
    // The same keywords as the program's connections, its time limits among
    // them: a server that does not answer is given up as soon.
    const Options options = connectionOptions(password, kServerApplicationName);
    std::vector<const char*> keywords;
    std::vector<const char*> values;
    for (const auto& [keyword, value] : options) {
        keywords.push_back(keyword.constData());
        values.push_back(value.constData());
    }
    keywords.push_back(nullptr);
    values.push_back(nullptr);
    const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(
        PQconnectdbParams(keywords.data(), values.data(), 0), &PQfinish);
    PasswordNeed need;
    if (!connection)
        return need;
    need.needed =
        PQstatus(connection.get()) == CONNECTION_BAD && PQconnectionNeedsPassword(connection.get());
    const char* user = PQuser(connection.get());
    const char* host = PQhost(connection.get());
    need.whom = QString::fromUtf8(user ? user : "") + QStringLiteral(" on ") +
                QString::fromUtf8(host ? host : "");
    return need;
}

QString serverName(const QSqlDatabase& db) {
    PGconn* connection = handleOf(db);
    if (!connection)
        return db.hostName();
    const auto text = [](const char* value) { return QString::fromUtf8(value ? value : ""); };
    return QStringLiteral("the database \"") + text(PQdb(connection)) + QStringLiteral("\" on ") +
           text(PQhost(connection)) + u':' + text(PQport(connection));
}

int serverVersion(const QSqlDatabase& db) {
    PGconn* connection = handleOf(db);
    return connection ? PQserverVersion(connection) : 0;
}

} // namespace quillory
