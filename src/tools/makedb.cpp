// Build tool: provides an empty, marked database at the path given, unless a
// file is there already.
#include "data/schema.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

constexpr int kExitUsage = 64; // EX_USAGE, as the program itself

const char* const kUsage =
    "Usage: quillory-makedb [--] PATH\n"
    "       quillory-makedb --help\n"
    "\n"
    "Makes an empty Quillory database at PATH, its header hidden under the marker as\n"
    "the program keeps it while no copy runs. A file already at PATH is left as it is.\n"
    "\n"
    "Options:\n"
    "  -h, --help  Print this text and end.\n"
    "  --          Take what follows as the path, even when it starts with '-'.\n"
    "\n"
    "Exit status: 0 when the database is there, 1 when it could not be made, 64 when\n"
    "the command line was not understood.\n";

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    parser.addOption(help);
    const bool understood = parser.parse(QCoreApplication::arguments());
    if (understood && parser.isSet(help)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const QStringList paths = parser.positionalArguments();
    if (!understood || paths.size() != 1) {
        const QString why = !understood       ? parser.errorText()
                            : paths.isEmpty() ? QStringLiteral("No path given.")
                                              : QStringLiteral("One path only.");
        std::fprintf(stderr, "quillory-makedb: %s\n\n%s", qPrintable(why), kUsage);
        return kExitUsage;
    }
    const QString path = paths.constFirst();
    if (QFile::exists(path))
        return 0;
    quillory::Error error;
    if (!quillory::createDatabaseFile(path, &error)) {
        std::fprintf(stderr, "quillory-makedb: %s\n", qPrintable(error.description));
        return 1;
    }
    std::printf("quillory-makedb: created %s\n", qPrintable(path));
    return 0;
}
