#include "errors/handleerror.h"

#include "core/backupplace.h"
#include "core/environment.h"
#include "core/formats.h"
#include "errors/prompt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace quillory {

namespace {
const QString crlf = QStringLiteral("\r\n");
const QString kDamagedTitle = QStringLiteral("Damaged Database");

// Where the last backup copy of the database is, and from when.
QString backupText(const QString& location) {
    const QFileInfo backup(backupplace::backupPath(location));
    const QString path = QDir::toNativeSeparators(backup.absoluteFilePath());
    if (!backup.isFile())
        return QStringLiteral("No backup copy was found at:") + crlf + path;
    QString text = QStringLiteral("The last backup copy, made by Options > Compact Database on ") +
                   formats::generalDate(backup.lastModified()) + QStringLiteral(", is:") + crlf +
                   path;
    QStringList older;
    for (int age = 1; age < backupplace::kKeptCopies; ++age) {
        const QFileInfo copy(backupplace::olderBackupPath(location, age));
        if (copy.isFile())
            older.append(copy.fileName());
    }
    if (!older.isEmpty())
        text += crlf + QStringLiteral("Older copies beside it: ") +
                older.join(QStringLiteral(", ")) + u'.';
    return text;
}
} // namespace

QString damagedDatabaseText(const QString& description, const QString& location) {
    return QStringLiteral("The database is damaged and cannot be read in full:") + crlf +
           description + crlf + crlf +
           QStringLiteral("So that nothing more is lost, nothing is written to it until the "
                          "program is started again: changes made meanwhile are not saved.") +
           crlf + crlf + backupText(location) + crlf + crlf +
           QStringLiteral("Close the program, then put the backup copy in place of the "
                          "database, or have the database repaired.");
}

QString notSavedToDamagedDatabaseText(const QString& location) {
    return QStringLiteral("This change was not saved: the database is damaged, and nothing is "
                          "written to it until the program is started again.") +
           crlf + crlf + backupText(location);
}

QString databaseInUseText(const QString& location) {
    return QStringLiteral("The database is in use by another program:") + crlf + location + crlf +
           crlf + QStringLiteral("Wait until that program is done with it, then try again.");
}

void appendToErrorLog(std::int64_t number, const QString& description) {
    // A log that cannot be written is given up silently. An installed copy's
    // log folder is made when the first line comes.
    const QString path = environment::errorLogPath();
    if (environment::isInstalled())
        environment::makeUserDirectory(environment::stateDirectory());
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    log.write((errorLogLine(environment::now(), number, description) + crlf).toUtf8());
}

QString errorLogLine(const QDateTime& when, std::int64_t number, const QString& description) {
    // Text fields are quoted, numbers bare; quotes inside a text are written as
    // they stand.
    return u'"' + formats::logDateTime(when) + QStringLiteral("\",") + QString::number(number) +
           QStringLiteral(",\"") + description + u'"';
}

void HandleError(const Error& error) {
    using Buttons = Prompt::Buttons;
    using Icon = Prompt::Icon;
    const std::int64_t number = error.number;
    const QString& description = error.description;
    const QString numberText = QString::number(number);
    bool logged = false;
    switch (number) {
    case 0:
    case errnum::ObjectClosed:
    case errnum::DialogCancelled:
    case errnum::AuthenticationFailed:
    case errnum::DamageReported:
    case errnum::ConnectionLostReported:
        break;
    case errnum::ConnectionLost:
        showMessage(description + crlf + crlf +
                        QStringLiteral("What was being done was not saved; what was typed is "
                                       "still on screen. The next action connects to the server "
                                       "again."),
                    Buttons::Ok, Icon::Exclamation, QStringLiteral("Database Server"));
        logged = true;
        break;
    case errnum::DatabaseDamaged:
        showMessage(damagedDatabaseText(description, error.location), Buttons::Ok, Icon::Critical,
                    kDamagedTitle);
        logged = true;
        break;
    case errnum::DamagedNotWritten:
        showMessage(notSavedToDamagedDatabaseText(error.location), Buttons::Ok, Icon::Exclamation,
                    kDamagedTitle);
        break;
    // Not a fault of the program: the description names the file and the
    // permission to ask for.
    case errnum::PermissionDenied:
        showMessage(description, Buttons::Ok, Icon::Exclamation,
                    QStringLiteral("Permission Needed"));
        logged = true;
        break;
    case errnum::DatabaseInUse:
        showMessage(databaseInUseText(error.location), Buttons::Ok, Icon::Exclamation,
                    QStringLiteral("Database In Use"));
        break;
    case errnum::FileNotFound:
        showMessage(QStringLiteral("File does not exist in the correct directory!") + crlf +
                        QStringLiteral("Please verify that the file exists.") + crlf + numberText +
                        u':' + crlf + description,
                    Buttons::Ok, Icon::Exclamation, QStringLiteral("File not found"));
        break;
    case errnum::NoActiveWindow:
        showMessage(QStringLiteral("There are no active windows!"), Buttons::Ok, Icon::None,
                    QStringLiteral("MDI ERROR"));
        break;
    case errnum::NoCurrentRecord:
        logged = true;
        break;
    case errnum::GridDataAccess:
        showMessage(QStringLiteral("A data access error has occured in the grid that you are "
                                   "using.  Please repeat the task you just did.  If this error "
                                   "persists, re-start your computer."));
        break;
    case errnum::ConstraintOrMultiStep:
        showMessage(QStringLiteral("There are related records in another part of the database.") +
                        crlf +
                        QStringLiteral("Please consult the User Manual for instructions on "
                                       "deleting ") +
                        crlf + QStringLiteral("an child related records."),
                    Buttons::Ok, Icon::Information, QStringLiteral("Error deleting record"));
        logged = true;
        break;
    default:
        showMessage(QStringLiteral("An error has occurred.  Please contact the") + crlf +
                        QStringLiteral("program vendor with the following information if this "
                                       "problem persists.") +
                        crlf + numberText + u':' + crlf + description,
                    Buttons::Ok, Icon::Exclamation, QStringLiteral("ERROR"));
        logged = true;
        break;
    }
    if (logged)
        appendToErrorLog(number, description);
}

} // namespace quillory
