#include "app/application.h"

#include "app/frmMain.h"
#include "app/signalwatcher.h"
#include "data/database.h"
#include "errors/prompt.h"

#include <QApplication>

namespace quillory {

int runQuillory(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(Prompt::applicationTitle());
    QApplication::setApplicationDisplayName(Prompt::applicationTitle());

    Database db;
    frmMain window(db);
    if (!window.initialized())
        return 1;
    const SignalWatcher watcher([&window] { window.close(); });
    if (!window.Form_Load())
        return 0;
    return app.exec();
}

} // namespace quillory
