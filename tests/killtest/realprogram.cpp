#include "realprogram.h"

#include "data/file/signature.h"
#include "testsupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <csignal>

using namespace quillory;

namespace quillory::killtest {

namespace {

// Whether the process catches the closing signals yet (it does from its first
// moments on).
bool catchesClosingSignals(qint64 pid) {
    const QByteArray status = test::readAll(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        bool ok = false;
        const quint64 caught = line.mid(7).trimmed().toULongLong(&ok, 16);
        const quint64 wanted = (quint64(1) << (SIGHUP - 1)) | (quint64(1) << (SIGTERM - 1)) |
                               (quint64(1) << (SIGINT - 1));
        return ok && (caught & wanted) == wanted;
    }
    return false;
}

// Whether the process has the file open twice: its use lock, and then the
// connection.
bool holdsTwice(qint64 pid, const QString& path) {
    const QString wanted = QFileInfo(path).canonicalFilePath();
    int open = 0;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System))
        if (fd.symLinkTarget() == wanted)
            ++open;
    return open >= 2;
}

} // namespace

RealProgram::RealProgram(const QString& dir)
    : m_db(dir + QStringLiteral("/records.mdb")), m_log(dir + QStringLiteral("/ErrLog.err")),
      m_logged(QFileInfo(m_log).size()) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Qt's accessibility log names each window as it is shown.
    environment.insert(QStringLiteral("QT_LOGGING_RULES"),
                       QStringLiteral("qt.accessibility.cache.debug=true"));
    m_process.setProcessEnvironment(environment);
    m_process.setWorkingDirectory(dir);
    m_process.start(dir + QStringLiteral("/quillory"), {});
}

RealProgram::~RealProgram() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString RealProgram::waitUntilStarted(int copies) {
    if (!m_process.waitForStarted(kStartTimeout))
        return QStringLiteral("it did not start");
    const auto started = [&] {
        m_output += m_process.readAllStandardError();
        return catchesClosingSignals(m_process.processId()) &&
               test::useLocksOn(m_db) == QStringList(copies, QStringLiteral("READ")) &&
               test::header(m_db) == signature::kPlain && holdsTwice(m_process.processId(), m_db) &&
               m_output.contains("name = \"frmMain\"");
    };
    QElapsedTimer waited;
    waited.start();
    while (m_process.state() == QProcess::Running && !started() && waited.elapsed() < kStartTimeout)
        m_process.waitForReadyRead(50);
    if (m_process.state() != QProcess::Running)
        return QStringLiteral("it ended at start-up: ") + tail();
    if (!started())
        return QStringLiteral("it did not settle: ") + tail();
    return {};
}

QString RealProgram::closeCleanly() {
    ::kill(pid_t(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(kStartTimeout))
        return QStringLiteral("it did not end on SIGTERM");
    m_output += m_process.readAllStandardError();
    if (m_process.exitStatus() != QProcess::NormalExit || m_process.exitCode() != 0)
        return QStringLiteral("it ended with status %1: ").arg(m_process.exitCode()) + tail();
    if (m_output.contains("QMessageBox"))
        return QStringLiteral("it showed a box: ") + tail();
    if (QFileInfo(m_log).size() != m_logged)
        return QStringLiteral("it wrote to the error log: ") +
               QString::fromUtf8(test::readAll(m_log).mid(m_logged));
    if (test::header(m_db) != signature::kMarker)
        return QStringLiteral("it left the header unmarked");
    return {};
}

QString RealProgram::tail() const {
    return QString::fromLocal8Bit(m_output.right(2000));
}

QString startsAgain(const QString& dir) {
    RealProgram program(dir);
    const QString why = program.waitUntilStarted(1);
    return why.isEmpty() ? program.closeCleanly() : why;
}

} // namespace quillory::killtest
