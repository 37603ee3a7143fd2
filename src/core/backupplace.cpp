#include "core/backupplace.h"

#include <QDir>

namespace quillory::backupplace {

QString backupPath() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("backup.mdb"));
}

QString compactedPath() {
    return QDir(QDir::tempPath()).filePath(QStringLiteral("temp.mdb"));
}

} // namespace quillory::backupplace
