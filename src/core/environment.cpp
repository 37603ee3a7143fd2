#include "core/environment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

// Where the package puts the program, and its manual as seen from there; the
// build sets both from its install folders.
#ifndef QUILLORY_INSTALL_BINDIR
#define QUILLORY_INSTALL_BINDIR "/usr/bin"
#endif
#ifndef QUILLORY_MANUAL_FROM_BINDIR
#define QUILLORY_MANUAL_FROM_BINDIR "../share/doc/quillory"
#endif

namespace quillory::environment {

namespace {

const QString kFolderName = QStringLiteral("quillory");

QString& directorySetting() {
    static QString directory;
    return directory;
}
std::function<QDateTime()>& clockSetting() {
    static std::function<QDateTime()> clock;
    return clock;
}
std::optional<bool>& installedSetting() {
    static std::optional<bool> installed;
    return installed;
}
std::optional<NamedDatabase>& overrideSetting() {
    static std::optional<NamedDatabase> named;
    return named;
}

// The decision for the program directory it was made for.
struct InstalledDecision {
    QString directory;
    bool installed = false;
};
InstalledDecision& decision() {
    static InstalledDecision made;
    return made;
}

bool decideInstalled(const QString& directory) {
    // access() asks with the user's own rights, and answers "no" on a
    // read-only file system even for an administrator. A folder that is not
    // there at all is no installed copy's (nor any running program's).
    if (::access(QFile::encodeName(directory).constData(), W_OK) != 0 &&
        (errno == EACCES || errno == EROFS || errno == EPERM))
        return true;
    const QString here = QFileInfo(directory).canonicalFilePath();
    const QString installed =
        QFileInfo(QStringLiteral(QUILLORY_INSTALL_BINDIR)).canonicalFilePath();
    return !here.isEmpty() && here == installed;
}

QString userFolder(const char* variable, const QString& underHome) {
    return userBaseDirectory(variable, underHome) + u'/' + kFolderName;
}

} // namespace

QString programDirectory() {
    if (!directorySetting().isEmpty())
        return directorySetting();
    return QCoreApplication::applicationDirPath();
}

void setProgramDirectory(const QString& directory) {
    directorySetting() = QDir::cleanPath(directory);
}

QString programFile(const QString& fileName) {
    return programDirectory() + u'/' + fileName;
}

bool isInstalled() {
    if (installedSetting())
        return *installedSetting();
    const QString directory = programDirectory();
    InstalledDecision& made = decision();
    if (made.directory != directory)
        made = {directory, decideInstalled(directory)};
    return made.installed;
}

void setInstalled(std::optional<bool> installed) {
    installedSetting() = installed;
}

QString userBaseDirectory(const char* variable, const QString& underHome) {
    // A relative path in the variable is invalid and ignored.
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return QDir::cleanPath(value);
    return QDir::cleanPath(QDir::homePath() + u'/' + underHome);
}

QString configDirectory() {
    return isInstalled() ? userFolder("XDG_CONFIG_HOME", QStringLiteral(".config"))
                         : programDirectory();
}

QString dataDirectory() {
    return isInstalled() ? userFolder("XDG_DATA_HOME", QStringLiteral(".local/share"))
                         : programDirectory();
}

QString stateDirectory() {
    return isInstalled() ? userFolder("XDG_STATE_HOME", QStringLiteral(".local/state"))
                         : programDirectory();
}

QString networkPathFile() {
    return configDirectory() + QStringLiteral("/NetworkPath.sfe");
}

QString defaultDatabasePath() {
    return dataDirectory() + QStringLiteral("/records.mdb");
}

QString errorLogPath() {
    return stateDirectory() + QStringLiteral("/ErrLog.err");
}

QString manualPath() {
    if (!isInstalled())
        return programFile(QStringLiteral("guide.pdf"));
    return QDir::cleanPath(programDirectory() + u'/' + QStringLiteral(QUILLORY_MANUAL_FROM_BINDIR) +
                           QStringLiteral("/guide.pdf"));
}

bool makeUserDirectory(const QString& directory) {
    const QString clean = QDir::cleanPath(QDir(directory).absolutePath());
    if (QFileInfo(clean).isDir())
        return true;
    // From the top down, so that each missing folder is made with the mode
    // asked for (QDir::mkpath would give the parents the default one).
    const QStringList parts = clean.split(u'/', Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += u'/' + part;
        if (::mkdir(QFile::encodeName(path).constData(), S_IRWXU) != 0 && errno != EEXIST)
            return false;
    }
    return QFileInfo(clean).isDir();
}

std::optional<NamedDatabase> databaseOverride() {
    return overrideSetting();
}

void setDatabaseOverride(std::optional<NamedDatabase> named) {
    overrideSetting() = std::move(named);
}

QDateTime now() {
    QDateTime t = clockSetting() ? clockSetting()() : QDateTime::currentDateTime();
    // Date-times are kept to the second.
    t.setTime(QTime(t.time().hour(), t.time().minute(), t.time().second()));
    return t;
}

void setClock(std::function<QDateTime()> clock) {
    clockSetting() = std::move(clock);
}

} // namespace quillory::environment
