#include "core/environment.h"

#include <QCoreApplication>
#include <QDir>

namespace quillory::environment {

namespace {
QString& directorySetting() {
    static QString directory;
    return directory;
}
std::function<QDateTime()>& clockSetting() {
    static std::function<QDateTime()> clock;
    return clock;
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
