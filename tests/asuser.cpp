// The program's data side run as another user, for the permission cases:
//
//   test_asuser_helper <program directory> open|compact
//
// "open" opens the database of the program directory as the program starts;
// "compact" then chooses Options > Compact Database and answers Yes. Each box
// is printed on stdout as one percent-encoded line, "title<TAB>text". Exit
// code 0 when it worked, 3 when the database did not open, 4 when the
// compaction ended the program.
#include "core/environment.h"
#include "data/database.h"
#include "data/file/compact.h"
#include "errors/prompt.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quillory;

namespace {

class PrintingPrompt : public Prompt {
public:
    Answer message(const QString& text, Buttons buttons, Icon, const QString& title) override {
        std::printf("%s\n", (title + u'\t' + text).toUtf8().toPercentEncoding().constData());
        return buttons == Buttons::YesNo ? Yes : Ok;
    }
    std::optional<QString> input(const QString&, const QString&, const QString&, bool) override {
        return std::nullopt;
    }
    std::optional<QString> openFile(const QString&, const QString&) override {
        return std::nullopt;
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3)
        return 2;
    PrintingPrompt prompt;
    Prompt::install(&prompt);
    // A copy that keeps its files beside itself, whether or not this user may
    // write its folder: the cases are about the database's permissions.
    environment::setProgramDirectory(args.at(1));
    environment::setInstalled(false);
    Database db;
    if (!db.OpenDatabase())
        return 3;
    if (args.at(2) == u"compact" && !compaction::compactDatabaseInUse(db))
        return 4;
    return 0;
}
