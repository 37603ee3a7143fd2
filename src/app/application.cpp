#include "app/application.h"

#include "app/frmMain.h"
#include "app/signalwatcher.h"
#include "data/database.h"
#include "errors/prompt.h"

#include <QApplication>

#include <cstdlib>

namespace quillory {

int runQuillory(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(Prompt::applicationTitle());
    QApplication::setApplicationDisplayName(Prompt::applicationTitle());

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
        return 1;
    running = &window;
    if (!window.Form_Load())
        return 0;
    return app.exec();
}

} // namespace quillory
