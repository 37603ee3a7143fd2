#include "data/serveraddress.h"

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
        if (error)
            *error = {errnum::Unspecified,
                      QStringLiteral("The database server's address cannot be read: ") +
                          (message ? QString::fromUtf8(message).trimmed()
                                   : QStringLiteral("out of memory"))};
        PQfreemem(message);
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

void ServerAddress::configure(QSqlDatabase& db, const std::optional<QString>& password,
                              const QString& applicationName) const {
    QStringList options;
    QList<QByteArray> given;
    for (const auto& [keyword, value] : m_options) {
        given.append(keyword);
        if (keyword == kHost)
            db.setHostName(QString::fromUtf8(value));
        else if (keyword == kDatabase)
            db.setDatabaseName(QString::fromUtf8(value));
        else if (keyword == kUser)
            db.setUserName(QString::fromUtf8(value));
        else if (keyword == kPassword)
            db.setPassword(QString::fromUtf8(value));
        else if (keyword != "application_name")
            options.append(QString::fromUtf8(keyword) + u'=' + quoted(value));
    }
    for (const auto& [keyword, value] : kDefaults)
        if (!given.contains(keyword))
            options.append(QString::fromUtf8(keyword) + u'=' + quoted(value));
    options.append(QStringLiteral("application_name=") + quoted(applicationName.toUtf8()));
    if (password)
        db.setPassword(*password);
    db.setConnectOptions(options.join(u';'));
    // Sums of money come back exact, as digits, never as a double.
    db.setNumericalPrecisionPolicy(QSql::HighPrecision);
}

ServerAddress::PasswordNeed
ServerAddress::passwordNeed(const std::optional<QString>& password) const {
    std::vector<QByteArray> keywords;
    std::vector<QByteArray> values;
    for (const auto& [keyword, value] : m_options) {
        if (keyword == kPassword && password)
            continue;
        keywords.push_back(keyword);
        values.push_back(value);
    }
    if (password) {
        keywords.push_back(kPassword);
        values.push_back(password->toUtf8());
    }
    keywords.push_back("application_name");
    values.push_back(kServerApplicationName.toUtf8());
    std::vector<const char*> k;
    std::vector<const char*> v;
    for (size_t i = 0; i < keywords.size(); ++i) {
        k.push_back(keywords[i].constData());
        v.push_back(values[i].constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    const std::unique_ptr<PGconn, decltype(&PQfinish)> connection(
        PQconnectdbParams(k.data(), v.data(), 0), &PQfinish);
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
