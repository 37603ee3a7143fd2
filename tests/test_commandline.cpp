// The command lines of the program and of the database maker, run as real
// processes without any display: what each prints, its exit status, and
// which files it leaves in its folder.
#include "app/application.h"
#include "data/file/signature.h"
#include "help/version.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace quillory;

namespace {

constexpr int kTimeout = 20000;

QStringList entries(const QString& dir) {
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    // The program answers --help and --version and refuses what it does not
    // know before it needs a display or touches a file; the database maker
    // takes one path and no option it does not know, so that neither ever
    // makes a file named after an option.
    void eachToolAnswersItsCommandLine_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output");      // stdout starts with this
        QTest::addColumn<QString>("errorOutput"); // stderr starts with this
        QTest::addColumn<QStringList>("files");   // the folder's files afterwards

        const QString version = QStringLiteral("quillory %1.%2.%3\n")
                                    .arg(QUILLORY_VERSION_MAJOR)
                                    .arg(QUILLORY_VERSION_MINOR)
                                    .arg(QUILLORY_VERSION_PATCH);
        const QString usage = QStringLiteral("Usage: quillory [--database PATH|URI]\n");
        const QStringList alone{QStringLiteral("quillory")};
        QTest::newRow("--version")
            << "quillory" << QStringList{"--version"} << 0 << version << "" << alone;
        QTest::newRow("--help") << "quillory" << QStringList{"--help"} << 0 << usage << "" << alone;
        QTest::newRow("-h with --database")
            << "quillory" << QStringList{"-h", "--database", "x.mdb"} << 0 << usage << "" << alone;
        QTest::newRow("an unknown option")
            << "quillory" << QStringList{"--bogus"} << int(kExitUsage) << ""
            << "quillory: Unknown option 'bogus'.\n\n" + usage << alone;
        QTest::newRow("an unknown option beside --version")
            << "quillory" << QStringList{"--version", "--colour"} << int(kExitUsage) << ""
            << "quillory: Unknown option 'colour'.\n\n" + usage << alone;
        QTest::newRow("--database without its value")
            << "quillory" << QStringList{"--database"} << int(kExitUsage) << ""
            << "quillory: Missing value after '--database'.\n\n" + usage << alone;
        QTest::newRow("a stray argument")
            << "quillory" << QStringList{"records.mdb"} << int(kExitUsage) << ""
            << "quillory: Unexpected argument 'records.mdb'.\n\n" + usage << alone;

        const QString makerUsage = QStringLiteral("Usage: quillory-makedb [--] PATH\n");
        QTest::newRow("maker --help")
            << "quillory-makedb" << QStringList{"--help"} << 0 << makerUsage << "" << QStringList{};
        QTest::newRow("maker, an unknown option")
            << "quillory-makedb" << QStringList{"--force", "a.mdb"} << int(kExitUsage) << ""
            << "quillory-makedb: Unknown option 'force'.\n\n" + makerUsage << QStringList{};
        QTest::newRow("maker, no path")
            << "quillory-makedb" << QStringList{} << int(kExitUsage) << ""
            << "quillory-makedb: No path given.\n\n" + makerUsage << QStringList{};
        QTest::newRow("maker, two paths")
            << "quillory-makedb" << QStringList{"a.mdb", "b.mdb"} << int(kExitUsage) << ""
            << "quillory-makedb: One path only.\n\n" + makerUsage << QStringList{};
        QTest::newRow("maker, a path that starts with a dash after --")
            << "quillory-makedb" << QStringList{"--", "--help"} << 0
            << "quillory-makedb: created --help\n"
            << "" << QStringList{"--help"};
    }
    void eachToolAnswersItsCommandLine() {
        QFETCH(QString, tool);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QFETCH(QString, errorOutput);
        QFETCH(QStringList, files);

        // The program gets a folder of its own, so that any file it made
        // beside itself would show.
        QTemporaryDir folder;
        const QString built = qEnvironmentVariable("QUILLORY_BIN_DIR") + u'/' + tool;
        QString program = built;
        if (tool == QStringLiteral("quillory")) {
            program = folder.filePath(tool);
            QVERIFY(QFile::copy(built, program));
            QVERIFY(QFile::setPermissions(program, QFile::permissions(built)));
        }

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(folder.path());
        process.start(program, arguments);
        QVERIFY2(process.waitForFinished(kTimeout), qPrintable(program));
        const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(process.exitStatus() == QProcess::NormalExit, qPrintable(err));
        QVERIFY2(process.exitCode() == status,
                 qPrintable(QStringLiteral("exit status %1: %2").arg(process.exitCode()).arg(err)));
        // Nothing expected means nothing at all.
        const auto starts = [](const QString& text, const QString& start) {
            return start.isEmpty() ? text.isEmpty() : text.startsWith(start);
        };
        QVERIFY2(starts(out, output), qPrintable(out));
        QVERIFY2(starts(err, errorOutput), qPrintable(err));
        QCOMPARE(entries(folder.path()), files);
        // What the maker makes is an empty database under the marker.
        for (const QString& file : files)
            if (file != QStringLiteral("quillory"))
                QCOMPARE(test::header(folder.filePath(file)), signature::kMarker);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "test_commandline.moc"
