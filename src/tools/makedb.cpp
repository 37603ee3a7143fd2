// Build tool: provides an empty, marked database at the path given, unless a
// file is there already.
#include "core/toolline.h"
#include "data/file/schema.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

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
    const quillory::ToolLine line =
        quillory::readToolLine("quillory-makedb", kUsage, 1, QStringLiteral("No path given."),
                               QStringLiteral("One path only."));
    if (line.exitNow)
        return *line.exitNow;
    const QString path = line.arguments.constFirst();
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
