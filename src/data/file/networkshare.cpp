#include "data/file/networkshare.h"

#include "errors/handleerror.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <linux/magic.h>
#include <sys/vfs.h>

namespace quillory::networkshare {

namespace {

std::function<std::optional<qint64>(const QString&)>& typeSource() {
    static std::function<std::optional<qint64>(const QString&)> source;
    return source;
}

} // namespace

QString networkFileSystem(qint64 type) {
    switch (type) {
    case NFS_SUPER_MAGIC:
        return QStringLiteral("NFS");
    case SMB_SUPER_MAGIC:
    case CIFS_SUPER_MAGIC:
    case SMB2_SUPER_MAGIC:
        return QStringLiteral("SMB");
    default:
        return {};
    }
}

std::optional<qint64> fileSystemTypeOf(const QString& path) {
    struct statfs info = {};
    if (::statfs(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    // f_type is a signed word; the magic numbers are read unsigned.
    return static_cast<qint64>(static_cast<quint32>(info.f_type));
}

void noteIfOnShare(const QString& path) {
    static QSet<QString> noted;
    const QString file = QFileInfo(path).absoluteFilePath();
    if (noted.contains(file))
        return;
    noted.insert(file);
    const std::optional<qint64> type = typeSource() ? typeSource()(file) : fileSystemTypeOf(file);
    const QString share = type ? networkFileSystem(*type) : QString();
    if (share.isEmpty())
        return;
    appendToErrorLog(errnum::Unspecified,
                     QStringLiteral("The database ") + file +
                         QStringLiteral(" is on a network share (") + share +
                         QStringLiteral("). Such shares do not always keep the file locks by "
                                        "which several copies of the program take turns "
                                        "writing; to share the data between computers, a "
                                        "database server is recommended (see the manual's "
                                        "chapter on setting up the office server)."));
}

void setTypeSource(std::function<std::optional<qint64>(const QString&)> source) {
    typeSource() = std::move(source);
}

} // namespace quillory::networkshare
