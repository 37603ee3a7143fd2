#include "data/file/schema.h"

#include "data/connection.h"
#include "data/file/signature.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace quillory {

QString schemaText(const QString& resource) {
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList schemaStatements(const QString& text) {
    QStringList statements;
    QString statement;
    // The schema holds no semicolons inside its texts, so a semicolon at the
    // end of a line ends a statement.
    for (const QString& line : text.split(u'\n')) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QStringLiteral("--")) || trimmed.isEmpty())
            continue;
        statement += line + u'\n';
        if (trimmed.endsWith(u';')) {
            statements.append(statement);
            statement.clear();
        }
    }
    return statements;
}

bool createDatabaseFile(const QString& path, Error* error) {
    const auto fail = [error](const QString& text) {
        if (error)
            *error = {errnum::Unspecified, text};
        return false;
    };
    if (QFile::exists(path))
        return fail(QStringLiteral("The file exists already: ") + path);
    const QString schema = schemaText();
    if (schema.isEmpty())
        return fail(QStringLiteral("The schema is missing from the program."));
    const QString name = QStringLiteral("quillory-create-") + path;
    bool ok = true;
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        if (!db.open()) {
            ok = false;
            failure = db.lastError().text();
        }
        for (const QString& statement : schemaStatements(schema)) {
            if (!ok)
                break;
            QSqlQuery query(db);
            if (!query.exec(statement)) {
                ok = false;
                failure = query.lastError().text();
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    if (!ok) {
        QFile::remove(path);
        return fail(failure);
    }
    if (SetDatabaseSignature(path, 1) != SignatureResult::Written)
        return fail(QStringLiteral("The new database could not be marked: ") + path);
    return true;
}

} // namespace quillory
