#pragma once

// Settings of the test process that last for one scope: an environment
// variable, and a limit on the size of the files it writes.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace quillory::test {

// Sets an environment variable for as long as it lives ("<unset>" unsets it)
// and puts the old value back.
class EnvironmentVariable {
public:
    EnvironmentVariable(const char* name, const QString& value)
        : m_name(name), m_wasSet(qEnvironmentVariableIsSet(name)), m_was(qgetenv(name)) {
        if (value == QStringLiteral("<unset>"))
            qunsetenv(name);
        else
            qputenv(name, value.toLocal8Bit());
    }
    ~EnvironmentVariable() {
        if (m_wasSet)
            qputenv(m_name, m_was);
        else
            qunsetenv(m_name);
    }
    EnvironmentVariable(const EnvironmentVariable&) = delete;
    EnvironmentVariable& operator=(const EnvironmentVariable&) = delete;

private:
    const char* m_name;
    bool m_wasSet;
    QByteArray m_was;
};

// Limits the size of any file this process writes while it lives, as a full
// disk would (0: no byte at all); a write past it fails with EFBIG instead of
// raising SIGXFSZ.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old = {};
    void (*m_handler)(int) = nullptr;
};

// The permission bits of a file or folder (-1 when it cannot be read).
inline int modeOf(const QString& path) {
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

} // namespace quillory::test
