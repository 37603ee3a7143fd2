// The real program (quillory, offscreen) on a test directory, watched from
// outside: when it counts as started, and whether it closes cleanly.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace quillory::killtest {

// How long a copy of the program may take to start or to end.
constexpr int kStartTimeout = 60000;

// A copy of the real program on the directory, offscreen.
class RealProgram {
public:
    explicit RealProgram(const QString& dir);
    ~RealProgram();
    RealProgram(const RealProgram&) = delete;
    RealProgram& operator=(const RealProgram&) = delete;

    // Waits until it counts as started: it catches the closing signals,
    // holds its use lock (one of `copies`) and its connection on the
    // database with the header restored, and has shown its main window.
    // Empty when it did, else what it did instead.
    QString waitUntilStarted(int copies);

    // Closes it as a logout does (SIGTERM): it must end cleanly, with no box
    // shown and nothing in the error log since it started, and, as the last
    // copy, with the header marked again. Empty when it did.
    QString closeCleanly();

private:
    QString tail() const;

    QString m_db;
    QString m_log;
    qint64 m_logged;
    QProcess m_process;
    QByteArray m_output;
};

// Whether the real program starts on the directory and closes cleanly again;
// empty when it does.
QString startsAgain(const QString& dir);

} // namespace quillory::killtest
