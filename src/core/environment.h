#pragma once

#include <QDateTime>
#include <QString>

#include <functional>

// The two things the program reads from its surroundings besides its files:
// the time and its own directory. Tests set both.
namespace quillory::environment {

// The directory of the running executable, without a trailing separator,
// unless one has been set.
QString programDirectory();
void setProgramDirectory(const QString& directory);

// A path inside the program directory.
QString programFile(const QString& fileName);

// The current local date and time, to the second.
QDateTime now();
// Replaces the clock; an empty function restores the system clock.
void setClock(std::function<QDateTime()> clock);

} // namespace quillory::environment
