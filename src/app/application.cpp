#include "app/application.h"

#include "app/commandline.h"
#include "app/frmMain.h"
#include "app/signalwatcher.h"
#include "core/environment.h"
#include "data/database.h"
#include "errors/prompt.h"
#include "help/version.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <cstdlib>

namespace quillory {

namespace {

QtMessageHandler qtHandler = nullptr;
const char* programPath = "quillory";

// Qt ends the program with abort() when no platform plugin can start, as when
// there is no display to connect to. Say what the program needs instead, and
// end with its own status.
void startupMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        qtHandler(type, context, message);
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    std::fprintf(stderr,
                 "Quillory needs a graphical desktop session, and could not open one "
                 "(DISPLAY=\"%s\", WAYLAND_DISPLAY=\"%s\").\n"
                 "Start it from a desktop session, or without a screen under Xvfb:\n"
                 "    xvfb-run -a %s\n",
                 display.constData(), wayland.constData(), programPath);
    std::fflush(stderr);
    std::_Exit(kExitNoDisplay);
}

// Answers every box without showing it: used while the program ends with no
// display left to show one on.
class SilentPrompt : public Prompt {
public:
    Answer message(const QString&, Buttons buttons, Icon, const QString&) override {
        return buttons == Buttons::YesNo ? No : (buttons == Buttons::Ok ? Ok : Cancel);
    }
    std::optional<QString> input(const QString&, const QString&, const QString&, bool) override {
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString&, const QString&) override {
        return std::nullopt;
    }
};

// When the connection to the display breaks, Qt's platform plugin ends the
// program with exit() from inside the event loop: the window never unloads.
// This closes (and, for the last copy, marks) the database on that way out.
Database* databaseInUse = nullptr;

void closeDatabaseAtExit() {
    if (!databaseInUse)
        return;
    SilentPrompt silent;
    Prompt::install(&silent);
    databaseInUse->CloseDatabase();
    databaseInUse = nullptr;
    Prompt::install(nullptr);
}

// Registers the database for closeDatabaseAtExit() for as long as it lives.
class ClosedAtExit {
public:
    explicit ClosedAtExit(Database& db) {
        // Registered after the database opened, so that the hook runs before
        // the SQL module's own clean-up at exit.
        static const bool registered = std::atexit(closeDatabaseAtExit) == 0;
        if (registered)
            databaseInUse = &db;
    }
    ~ClosedAtExit() { databaseInUse = nullptr; }
    ClosedAtExit(const ClosedAtExit&) = delete;
    ClosedAtExit& operator=(const ClosedAtExit&) = delete;
};

} // namespace

void setUpApplication() {
    // The name stands where a box has no title of its own. No display name is
    // set: window managers would see it appended to every box's title.
    QApplication::setApplicationName(Prompt::applicationTitle());
    // The desktop finds the menu entry, and with it the icon, by this name;
    // the icon is also set on the windows for desktops that do not.
    QGuiApplication::setDesktopFileName(QStringLiteral(QUILLORY_APP_ID));
    QIcon icon;
    for (const int size : {16, 32, 48, 256})
        icon.addFile(QStringLiteral(":/icons/quillory-%1.png").arg(size), QSize(size, size));
    QApplication::setWindowIcon(icon);
}

int runQuillory(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = parseCommandLine(arguments);
    switch (line.action) {
    case CommandLine::Action::Help:
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    case CommandLine::Action::Version:
        std::fputs(qPrintable(versionText()), stdout);
        return 0;
    case CommandLine::Action::Refuse:
        std::fprintf(stderr, "quillory: %s\n\n%s", qPrintable(line.error), qPrintable(usageText()));
        return kExitUsage;
    case CommandLine::Action::Run:
        break;
    }
    if (line.database)
        environment::setDatabaseOverride(
            environment::NamedDatabase{*line.database, QDir::currentPath()});

    if (argc > 0)
        programPath = argv[0];
    qtHandler = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    qInstallMessageHandler(qtHandler);
    setUpApplication();

    // Watching from the start: a signal that comes while the database opens
    // waits until the first event loop runs, and is not lost to the default
    // action (which would leave the database unmarked).
    frmMain* running = nullptr;
    const SignalWatcher watcher([&running] {
        if (running)
            running->Form_Unload();
        // Closing the main window ends the program at once. A box may be
        // open, or the window not yet shown: end here rather than go back
        // into a handler whose database is closed.
        if (!running || QApplication::activeModalWidget() || !running->isVisible())
            std::_Exit(0);
        running->close();
    });

    Database db;
    frmMain window(db);
    if (!window.initialized())
        return kExitNoDatabase;
    const ClosedAtExit closedAtExit(db);
    running = &window;
    if (!window.Form_Load())
        return 0;
    return app.exec();
}

} // namespace quillory
