#pragma once

#include <QStringList>

#include <optional>
#include <sys/types.h>

namespace quillory::test {

// An ordinary user for the permission cases, since root ignores permissions:
// "quillory-test", a member of the group "quillory-office" that shares a
// database. Made when missing; nothing unless the tests run as root.
struct OrdinaryUser {
    uid_t uid = 0;
    gid_t gid = 0;
    gid_t office = 0;
};
std::optional<OrdinaryUser> ordinaryUser();

// Runs test_asuser_helper (tests/asuser.cpp) as `user` with `tmpdir` as its
// TMPDIR: "open" opens the database of the program directory, "compact" then
// compacts it as Options > Compact Database does. Gives its exit code, and
// each box it showed as "title<TAB>text".
int runAs(const OrdinaryUser& user, const QString& programDirectory, const QString& action,
          const QString& tmpdir, QStringList* boxes);

} // namespace quillory::test
