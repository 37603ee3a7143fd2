// The program as a process: the real executable started in a program
// directory of its own (named "Smith, Co", as a firm's folder may be), ended
// by the signals a closed terminal, a logout or Ctrl+C sends, by a lost
// display, alone and beside a second copy; started without a display; and
// where a copy run by an ordinary user keeps its files, installed or not.
#include "app/application.h"
#include "data/database.h"
#include "data/file/schema.h"
#include "data/file/signature.h"
#include "ordinaryuser.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillory;
using test::header;
using test::readAll;
using test::useLocksOn;
using test::writeAll;

namespace {

// Generous, for a loaded machine; every wait polls and ends as soon as it can.
constexpr int kTimeout = 20000;

const QString kProgramName = QStringLiteral("quillory");
const QString kNetworkPath = QStringLiteral("NetworkPath.sfe");
const QString kDatabase = QStringLiteral("records.mdb");

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// Whether the process catches SIGHUP, SIGTERM and SIGINT yet, as the program
// does from its first moments on; a signal before that would end it without
// closing the database.
bool catchesClosingSignals(qint64 pid) {
    const QByteArray status = readAll(QStringLiteral("/proc/%1/status").arg(pid));
    for (const QByteArray& line : status.split('\n')) {
        if (!line.startsWith("SigCgt:"))
            continue;
        bool ok = false;
        const quint64 caught = line.mid(7).trimmed().toULongLong(&ok, 16);
        quint64 wanted = 0;
        for (const int number : {SIGHUP, SIGTERM, SIGINT})
            wanted |= quint64(1) << (number - 1);
        return ok && (caught & wanted) == wanted;
    }
    return false;
}

// Whether the process has the database file open twice: the lock that marks
// it as a running copy, then the connection, which is opened only once that
// lock is held. A second copy finds the header already restored and its
// signals are caught from its first moment, so only this tells that it has
// joined the first.
bool holdsTheDatabase(qint64 pid, const QString& databasePath) {
    const QString wanted = QFileInfo(databasePath).canonicalFilePath();
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    int open = 0;
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System))
        if (fd.symLinkTarget() == wanted)
            ++open;
    return open >= 2;
}

// A program directory of its own: a copy of the built executable and a fresh
// database, marked as an installed one is. Its name holds a comma.
class ProgramDirectory {
public:
    ProgramDirectory() {
        const QString built =
            qEnvironmentVariable("QUILLORY_BIN_DIR") + QLatin1Char('/') + kProgramName;
        m_ready = m_dir.isValid() && QDir(m_dir.path()).mkdir(QStringLiteral("Smith, Co")) &&
                  QFile::copy(built, program()) &&
                  QFile::setPermissions(program(), QFile::permissions(built)) &&
                  createDatabaseFile(databasePath());
    }

    bool isReady() const { return m_ready; }
    QString path() const { return m_dir.filePath(QStringLiteral("Smith, Co")); }
    QString file(const QString& name) const { return path() + u'/' + name; }
    QString program() const { return file(kProgramName); }
    QString databasePath() const { return file(kDatabase); }
    // The directory as the running program sees its own: symbolic links
    // resolved.
    QString programDirectory() const { return QFileInfo(path()).canonicalFilePath(); }

private:
    QTemporaryDir m_dir;
    bool m_ready = false;
};

// Qt's accessibility log names every window it registers: a way to see which
// box a copy shows.
const QString kLogWindows = QStringLiteral("qt.accessibility.cache.debug=true");

// One running copy of the program, started in `directory` on the offscreen
// platform unless `environmentChange` says otherwise.
class ProgramCopy {
public:
    explicit ProgramCopy(const ProgramDirectory& directory, const QString& loggingRules = QString(),
                         const std::function<void(QProcessEnvironment&)>& environmentChange = {})
        : m_directory(directory) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (!loggingRules.isEmpty())
            environment.insert(QStringLiteral("QT_LOGGING_RULES"), loggingRules);
        if (environmentChange)
            environmentChange(environment);
        m_process.setProcessEnvironment(environment);
        m_process.setWorkingDirectory(directory.path());
        m_process.start(directory.program(), {});
        m_process.waitForStarted(kTimeout);
    }

    QProcess& process() { return m_process; }
    bool isRunning() const { return m_process.state() == QProcess::Running; }

    // Started, with the closing signals caught, and using the database:
    // `copies` copies hold their use lock on it (this one among them), the
    // header is restored, and this copy has its connection open.
    bool isSettled(int copies) const {
        return isRunning() && catchesClosingSignals(m_process.processId()) &&
               useLocksOn(m_directory.databasePath()) ==
                   QStringList(copies, QStringLiteral("READ")) &&
               header(m_directory.databasePath()) == signature::kPlain &&
               holdsTheDatabase(m_process.processId(), m_directory.databasePath());
    }

    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }

    // What the program wrote to stderr so far, for failure messages.
    QString errorOutput() {
        m_stderr += m_process.readAllStandardError();
        return QString::fromLocal8Bit(m_stderr);
    }

private:
    const ProgramDirectory& m_directory;
    QProcess m_process;
    QByteArray m_stderr;
};

// Waits until `copies` copies use the database, this one the last to start.
#define WAIT_UNTIL_SETTLED(copy, copies)                                                           \
    do {                                                                                           \
        QTRY_VERIFY_WITH_TIMEOUT(!(copy).isRunning() || (copy).isSettled(copies), kTimeout);       \
        QVERIFY2(                                                                                  \
            (copy).isSettled(copies),                                                              \
            qPrintable(QStringLiteral("The program did not settle: ") + (copy).errorOutput()));    \
    } while (false)

#define VERIFY_CLEAN_EXIT(copy)                                                                    \
    do {                                                                                           \
        QVERIFY2((copy).process().waitForFinished(kTimeout),                                       \
                 "The program did not end after the signal");                                      \
        QVERIFY2((copy).process().exitStatus() == QProcess::NormalExit,                            \
                 qPrintable((copy).errorOutput()));                                                \
        QCOMPARE((copy).process().exitCode(), 0);                                                  \
    } while (false)

bool giveTo(const QString& path, const test::OrdinaryUser& user) {
    return ::chown(QFile::encodeName(path).constData(), user.uid, user.gid) == 0;
}

// The owner and mode bits of a file or folder; -1 when it is not there.
QPair<int, int> ownerAndMode(const QString& path) {
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {-1, -1};
    return {int(info.st_uid), int(info.st_mode & 07777)};
}

} // namespace

class TestProcess : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        const QString built =
            qEnvironmentVariable("QUILLORY_BIN_DIR") + QLatin1Char('/') + kProgramName;
        QVERIFY2(QFileInfo(built).isExecutable(),
                 qPrintable(QStringLiteral("No program at ") + built +
                            QStringLiteral(" (QUILLORY_BIN_DIR names the build's bin directory)")));
    }

    void eachStartRestoresTheHeaderAndEachSignalledExitMarksItAgain() {
        ProgramDirectory dir;
        QVERIFY(dir.isReady());
        const QByteArray installed = readAll(dir.databasePath());
        QCOMPARE(installed.left(15), signature::kMarker);

        // The first start writes NetworkPath.sfe (quoted, for the comma in
        // the folder's name); the next ones open the same file again. A
        // logout closes the first, an interrupt the second, a closed terminal
        // the third.
        QByteArray networkPath;
        for (const int closing : {SIGTERM, SIGINT, SIGHUP}) {
            ProgramCopy copy(dir);
            WAIT_UNTIL_SETTLED(copy, 1);
            if (networkPath.isEmpty()) {
                networkPath = readAll(dir.file(kNetworkPath));
                QCOMPARE(
                    networkPath,
                    u'"' +
                        (dir.programDirectory() + QStringLiteral("/records.mdb\"\r\n")).toUtf8());
            }
            const QByteArray running = readAll(dir.databasePath());
            QCOMPARE(running.left(15), signature::kPlain);
            QCOMPARE(running.mid(15), installed.mid(15));

            copy.signal(closing);
            VERIFY_CLEAN_EXIT(copy);
            const QByteArray after = readAll(dir.databasePath());
            QCOMPARE(after.left(15), signature::kMarker);
            QCOMPARE(after.mid(15), running.mid(15));
        }
        QCOMPARE(readAll(dir.file(kNetworkPath)), networkPath);
        // No journal, log or other file is left behind.
        QCOMPARE(entries(dir.path()), QStringList({kNetworkPath, kProgramName, kDatabase}));
    }

    void aNetworkPathNamingAMissingDatabaseShowsTheFileNotFoundBoxAndCreatesNothing() {
        ProgramDirectory dir;
        QVERIFY(dir.isReady());
        QVERIFY(QFile::remove(dir.databasePath()));
        const QString missing = dir.file(QStringLiteral("elsewhere/gone.mdb"));
        const QByteArray networkPath = (missing + QStringLiteral("\r\n")).toUtf8();
        QVERIFY(writeAll(dir.file(kNetworkPath), networkPath));

        // The box is modal and nobody can answer it in this process: wait
        // until it shows (Qt's accessibility log names every window it
        // registers), then end the program the hard way.
        ProgramCopy copy(dir, kLogWindows);
        const auto boxShown = [&copy] {
            const QStringList lines = copy.errorOutput().split(u'\n');
            return std::any_of(lines.cbegin(), lines.cend(), [](const QString& line) {
                return line.contains(QStringLiteral("QMessageBox")) &&
                       line.contains(QStringLiteral("\"File not found\""));
            });
        };
        QTRY_VERIFY_WITH_TIMEOUT(!copy.isRunning() || boxShown(), kTimeout);
        QVERIFY2(boxShown(),
                 qPrintable(QStringLiteral("No \"File not found\" box: ") + copy.errorOutput()));
        QVERIFY(copy.isRunning());
        // A logout while the box shows still ends the program cleanly.
        copy.signal(SIGTERM);
        VERIFY_CLEAN_EXIT(copy);

        QVERIFY(!QFileInfo::exists(missing));
        QVERIFY(!QFileInfo::exists(QFileInfo(missing).path()));
        QVERIFY(!QFileInfo::exists(dir.databasePath()));
        QCOMPARE(readAll(dir.file(kNetworkPath)), networkPath);
        QCOMPARE(entries(dir.path()), QStringList({kNetworkPath, kProgramName}));
    }

    void aSignalWhileTheLoginAsksEndsTheProgramWithTheDatabaseMarked() {
        ProgramDirectory dir;
        QVERIFY(dir.isReady());
        test::scalarOn(dir.databasePath(),
                       QStringLiteral("INSERT INTO tblbusoptions (uselogin,UserName,Password) "
                                      "VALUES (1,'boss','pw')"));
        ProgramCopy copy(dir, kLogWindows);
        const auto askingForTheUser = [&copy] {
            return copy.errorOutput().contains(QStringLiteral("\"Username:\""));
        };
        QTRY_VERIFY_WITH_TIMEOUT(!copy.isRunning() || (copy.isSettled(1) && askingForTheUser()),
                                 kTimeout);
        QVERIFY2(askingForTheUser(), qPrintable(copy.errorOutput()));
        const QByteArray running = readAll(dir.databasePath());
        copy.signal(SIGTERM);
        VERIFY_CLEAN_EXIT(copy);
        const QByteArray after = readAll(dir.databasePath());
        QCOMPARE(after.left(15), signature::kMarker);
        QCOMPARE(after.mid(15), running.mid(15));
    }

    void theHeaderStaysRestoredUntilTheLastCopyCloses_data() {
        QTest::addColumn<bool>("firstStartedLeavesFirst");
        QTest::newRow("the first started leaves first") << true;
        QTest::newRow("the last started leaves first") << false;
    }

    void theHeaderStaysRestoredUntilTheLastCopyCloses() {
        QFETCH(bool, firstStartedLeavesFirst);
        ProgramDirectory dir;
        QVERIFY(dir.isReady());
        const QByteArray installed = readAll(dir.databasePath());

        // Each copy counts as using the database once it holds its use lock.
        auto first = std::make_unique<ProgramCopy>(dir);
        WAIT_UNTIL_SETTLED(*first, 1);
        auto second = std::make_unique<ProgramCopy>(dir);
        WAIT_UNTIL_SETTLED(*second, 2);
        QVERIFY(first->isRunning());
        QCOMPARE(header(dir.databasePath()), signature::kPlain);

        ProgramCopy& leaving = firstStartedLeavesFirst ? *first : *second;
        ProgramCopy& staying = firstStartedLeavesFirst ? *second : *first;
        leaving.signal(SIGTERM);
        VERIFY_CLEAN_EXIT(leaving);
        QVERIFY(staying.isRunning());
        QCOMPARE(header(dir.databasePath()), signature::kPlain);

        staying.signal(SIGTERM);
        VERIFY_CLEAN_EXIT(staying);
        const QByteArray after = readAll(dir.databasePath());
        QCOMPARE(after.left(15), signature::kMarker);
        QCOMPARE(after.mid(15), installed.mid(15));
    }

    void withoutADisplayTheProgramSaysSoAndLeavesTheDatabaseAlone() {
        ProgramDirectory dir;
        QVERIFY(dir.isReady());
        const QByteArray installed = readAll(dir.databasePath());
        ProgramCopy copy(dir, QString(), [](QProcessEnvironment& environment) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            environment.remove(QStringLiteral("DISPLAY"));
            environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        });
        QVERIFY(copy.process().waitForFinished(kTimeout));
        QVERIFY2(copy.process().exitStatus() == QProcess::NormalExit,
                 qPrintable(copy.errorOutput()));
        QCOMPARE(copy.process().exitCode(), kExitNoDisplay);
        QVERIFY2(copy.errorOutput().contains(QStringLiteral("needs a graphical desktop session")),
                 qPrintable(copy.errorOutput()));
        QCOMPARE(readAll(dir.databasePath()), installed);
        QVERIFY(!QFile::exists(dir.file(kNetworkPath)));
    }

    // Qt ends the program with exit() when the display connection breaks;
    // the database is closed and marked on that way out too.
    void losingTheDisplayStillLeavesTheDatabaseMarked() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty())
            QSKIP("Xvfb is not installed (scripts/install-deps.sh installs it)");
        ProgramDirectory dir;
        QVERIFY(dir.isReady());
        // Xvfb writes its display number to the descriptor given once it
        // accepts connections.
        QProcess server;
        server.start(xvfb, {QStringLiteral("-displayfd"), QStringLiteral("1"),
                            QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        QByteArray number;
        QTRY_VERIFY_WITH_TIMEOUT((number += server.readAllStandardOutput()).endsWith('\n') ||
                                     server.state() == QProcess::NotRunning,
                                 kTimeout);
        QVERIFY2(number.endsWith('\n'), server.readAllStandardError().constData());
        const QString display = u':' + QString::fromLatin1(number.trimmed());

        ProgramCopy copy(dir, QString(), [&display](QProcessEnvironment& environment) {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            environment.insert(QStringLiteral("DISPLAY"), display);
            environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        });
        WAIT_UNTIL_SETTLED(copy, 1);
        server.terminate();
        QVERIFY(server.waitForFinished(kTimeout));
        QVERIFY2(copy.process().waitForFinished(kTimeout), "The program outlived its display");
        QVERIFY2(copy.process().exitStatus() == QProcess::NormalExit,
                 qPrintable(copy.errorOutput()));
        QCOMPARE(header(dir.databasePath()), signature::kMarker);
        QCOMPARE(useLocksOn(dir.databasePath()), QStringList{});
    }

    // Run by an ordinary user, a copy in a folder that user can write keeps
    // its files beside itself; one in a folder the user cannot write (an
    // installed copy) keeps them in the user's own folders, makes its empty
    // database there on its first start and leaves its own folder alone; a
    // database named on the command line is used without NetworkPath.sfe.
    void whereAnOrdinaryUsersCopyKeepsItsFiles_data() {
        QTest::addColumn<bool>("writableFolder");
        QTest::addColumn<bool>("variablesSet"); // the XDG variables; else the home folder's
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("networkPath"); // "<none>": none written anywhere
        QTest::addColumn<QStringList>("programFolder");
        const QStringList besideIt{kNetworkPath, kProgramName, kDatabase};
        const QStringList alone{kProgramName};
        QTest::newRow("a folder the user can write")
            << true << true << QStringList{} << "{program}/records.mdb"
            << "{program}/NetworkPath.sfe" << besideIt;
        QTest::newRow("a folder the user cannot write: the XDG folders")
            << false << true << QStringList{} << "{xdg}/data/quillory/records.mdb"
            << "{xdg}/config/quillory/NetworkPath.sfe" << alone;
        QTest::newRow("a folder the user cannot write, no XDG variables: the home folder's")
            << false << false << QStringList{} << "{home}/.local/share/quillory/records.mdb"
            << "{home}/.config/quillory/NetworkPath.sfe" << alone;
        QTest::newRow("a folder the user cannot write, --database")
            << false << true << QStringList{"--database", "{shared}/books.mdb"}
            << "{shared}/books.mdb"
            << "<none>" << alone;
    }
    void whereAnOrdinaryUsersCopyKeepsItsFiles() {
        QFETCH(bool, writableFolder);
        QFETCH(bool, variablesSet);
        QFETCH(QStringList, arguments);
        QFETCH(QString, database);
        QFETCH(QString, networkPath);
        QFETCH(QStringList, programFolder);
        if (::geteuid() != 0)
            QSKIP("Making the ordinary user to run the program as needs an administrator");
        const std::optional<test::OrdinaryUser> made = test::ordinaryUser();
        QVERIFY2(made, "Could not make the user quillory-test");
        const test::OrdinaryUser user = *made;

        ProgramDirectory dir;
        QVERIFY(dir.isReady());
        QTemporaryDir tmp;
        const auto place = [&](QString text) {
            return text.replace(QStringLiteral("{program}"), dir.path())
                .replace(QStringLiteral("{xdg}"), tmp.filePath(QStringLiteral("xdg")))
                .replace(QStringLiteral("{home}"), tmp.filePath(QStringLiteral("home")))
                .replace(QStringLiteral("{shared}"), tmp.filePath(QStringLiteral("shared")));
        };
        // The user may pass through the temporary folders and owns a home, a
        // folder for the XDG variables and a shared folder with a database.
        const QFileDevice::Permissions open = QFile::ReadOwner | QFile::WriteOwner |
                                              QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup |
                                              QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(tmp.path(), open));
        QVERIFY(QFile::setPermissions(QFileInfo(dir.path()).path(), open));
        for (const char* folder : {"xdg", "home", "shared"}) {
            QVERIFY(QDir(tmp.path()).mkdir(QString::fromLatin1(folder)));
            QVERIFY(giveTo(tmp.filePath(QString::fromLatin1(folder)), user));
        }
        const QString shared = place(QStringLiteral("{shared}/books.mdb"));
        QVERIFY(createDatabaseFile(shared));
        QVERIFY(giveTo(shared, user));
        if (writableFolder) {
            QVERIFY(giveTo(dir.path(), user));
            QVERIFY(giveTo(dir.databasePath(), user));
        } else {
            // An installed copy has no database beside it.
            QVERIFY(QFile::remove(dir.databasePath()));
            QVERIFY(QFile::setPermissions(dir.path(), open & ~QFile::WriteOwner));
            programFolder.removeAll(kDatabase);
        }

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("HOME"), place(QStringLiteral("{home}")));
        environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        for (const char* name : {"CONFIG", "DATA", "STATE"}) {
            const QString variable = QStringLiteral("XDG_%1_HOME").arg(QString::fromLatin1(name));
            if (variablesSet)
                environment.insert(variable, place(QStringLiteral("{xdg}/")) +
                                                 QString::fromLatin1(name).toLower());
            else
                environment.remove(variable);
        }
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(tmp.path());
        process.setChildProcessModifier([user] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(user.gid) != 0 || ::setuid(user.uid) != 0)
                ::_exit(126);
        });
        for (QString& argument : arguments)
            argument = place(argument);
        process.start(dir.program(), arguments);
        QVERIFY(process.waitForStarted(kTimeout));

        // Settled: its signals caught, its use lock and its connection on the
        // database it was to open, the header restored.
        const QString path = place(database);
        const auto settled = [&] {
            return process.state() == QProcess::Running &&
                   catchesClosingSignals(process.processId()) &&
                   useLocksOn(path) == QStringList{QStringLiteral("READ")} &&
                   header(path) == signature::kPlain && holdsTheDatabase(process.processId(), path);
        };
        QTRY_VERIFY_WITH_TIMEOUT(process.state() != QProcess::Running || settled(), kTimeout);
        QVERIFY2(settled(), process.readAllStandardError().constData());
        ::kill(pid_t(process.processId()), SIGTERM);
        QVERIFY(process.waitForFinished(kTimeout));
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
                 process.readAllStandardError().constData());

        // The database is whole, marked, and the user's.
        QCOMPARE(header(path), signature::kMarker);
        QCOMPARE(test::scalarOn(path, QStringLiteral("SELECT count(*) FROM tblcustomer")).toInt(),
                 0);
        QCOMPARE(ownerAndMode(path).first, int(user.uid));
        if (!writableFolder && arguments.isEmpty())
            QCOMPARE(ownerAndMode(QFileInfo(path).path()), qMakePair(int(user.uid), 0700));
        // NetworkPath.sfe names it, where it belongs, and nowhere else.
        QStringList written;
        for (const QString& candidate :
             {dir.file(kNetworkPath),
              place(QStringLiteral("{xdg}/config/quillory/NetworkPath.sfe")),
              place(QStringLiteral("{home}/.config/quillory/NetworkPath.sfe"))})
            if (QFile::exists(candidate))
                written.append(candidate);
        if (networkPath == QStringLiteral("<none>")) {
            QCOMPARE(written, QStringList{});
        } else {
            QCOMPARE(written, QStringList{place(networkPath)});
            QCOMPARE(readAll(place(networkPath)), networkPathLine(path));
        }
        QCOMPARE(entries(dir.path()), programFolder);
    }

    // Two copies with their own program folders on one database (a file
    // beside both, or a server), each adding customers, paying the same
    // invoices and saving the same customers in turn: no id is given twice,
    // no payment is lost and no save writes over another's.
};

QTEST_MAIN(TestProcess)
#include "test_process.moc"
