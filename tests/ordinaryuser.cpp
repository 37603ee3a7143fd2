#include "ordinaryuser.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace quillory::test {

std::optional<OrdinaryUser> ordinaryUser() {
    if (::geteuid() != 0)
        return std::nullopt;
    // Another test may make the user at the same moment: look, make, look again.
    for (int attempt = 0; attempt < 5; ++attempt) {
        const passwd* user = ::getpwnam("quillory-test");
        const group* office = ::getgrnam("quillory-office");
        if (user && office && office->gr_mem[0] && qstrcmp(office->gr_mem[0], "quillory-test") == 0)
            return OrdinaryUser{user->pw_uid, user->pw_gid, office->gr_gid};
        QProcess::execute(QStringLiteral("sh"),
                          {QStringLiteral("-c"),
                           QStringLiteral("{ getent group quillory-office || groupadd --system "
                                          "quillory-office; id quillory-test || useradd --system "
                                          "--no-create-home --user-group --shell "
                                          "/usr/sbin/nologin --groups quillory-office "
                                          "quillory-test; } >/dev/null 2>&1")});
    }
    qFatal("Cannot make the user quillory-test in the group quillory-office");
}

int runAs(const OrdinaryUser& user, const QString& programDirectory, const QString& action,
          const QString& tmpdir, QStringList* boxes) {
    // A copy where any user may run it: the build may lie in root's own folder.
    static QTemporaryDir folder;
    const QString helper = folder.filePath(QStringLiteral("test_asuser_helper"));
    if (!QFile::exists(helper) &&
        (!QFile::copy(QStringLiteral(QUILLORY_ASUSER_HELPER), helper) ||
         !QFile::setPermissions(folder.path(), QFile::permissions(folder.path()) |
                                                   QFile::ReadOther | QFile::ExeOther)))
        qFatal("Cannot copy %s", QUILLORY_ASUSER_HELPER);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TMPDIR"), tmpdir);
    // The sanitizer build's suppressions may lie where the user cannot read
    // them; the helper's leaks are looked for in the tests run as root.
    environment.remove(QStringLiteral("LSAN_OPTIONS"));
    environment.insert(QStringLiteral("ASAN_OPTIONS"),
                       environment.value(QStringLiteral("ASAN_OPTIONS")) +
                           QStringLiteral(":detect_leaks=0"));
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=%1").arg(user.uid),
                   QStringLiteral("--regid=%1").arg(user.gid), QStringLiteral("--init-groups"),
                   QStringLiteral("--"), helper, programDirectory, action});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit)
        return -1;
    boxes->clear();
    for (const QByteArray& line : process.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            boxes->append(QString::fromUtf8(QByteArray::fromPercentEncoding(line)));
    return process.exitCode();
}

} // namespace quillory::test
