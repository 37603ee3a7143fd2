#pragma once

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>

// What the program reads from its surroundings besides its files: the time,
// its own directory, and from that where its files are kept. Tests set them.
namespace quillory::environment {

// The directory of the running executable, without a trailing separator,
// unless one has been set.
QString programDirectory();
void setProgramDirectory(const QString& directory);

// A path inside the program directory.
QString programFile(const QString& fileName);

// Whether this is an installed copy: one in a folder the user cannot write,
// or in the folder the package installs the program into (where even an
// administrator's copy must not leave files). An installed copy keeps its
// files in the user's own folders; any other (the build, a portable copy)
// keeps them beside itself. Decided once for each program directory.
bool isInstalled();
// Overrides the decision (tests); no value decides it again from the
// program directory.
void setInstalled(std::optional<bool> installed);

// A base directory of the user's after the XDG rules: the variable's value
// when it holds an absolute path, else `underHome` inside the home folder.
QString userBaseDirectory(const char* variable, const QString& underHome);

// Where each file is kept: beside the program, or for an installed copy
// NetworkPath.sfe in $XDG_CONFIG_HOME/quillory, the default database in
// $XDG_DATA_HOME/quillory and ErrLog.err in $XDG_STATE_HOME/quillory.
QString configDirectory();
QString dataDirectory();
QString stateDirectory();
QString networkPathFile();
QString defaultDatabasePath();
QString errorLogPath();

// The manual: guide.pdf beside the program, or for an installed copy in the
// package's documentation folder.
QString manualPath();

// Makes `directory` with whatever parents are missing, each new one open to
// the user alone (0700). True when it exists afterwards.
bool makeUserDirectory(const QString& directory);

// The database named on the command line for one run, in place of the one
// NetworkPath.sfe names: the text as given, and the folder a relative path in
// it is taken from (the working folder the program was started in).
struct NamedDatabase {
    QString text;
    QString relativeTo;
};
std::optional<NamedDatabase> databaseOverride();
void setDatabaseOverride(std::optional<NamedDatabase> named);

// The current local date and time, to the second.
QDateTime now();
// Replaces the clock; an empty function restores the system clock.
void setClock(std::function<QDateTime()> clock);

} // namespace quillory::environment
