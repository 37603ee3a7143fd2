// Build tool: provides an empty, marked database at the path given, unless a
// file is there already.
#include "data/schema.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillory-makedb PATH\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
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
