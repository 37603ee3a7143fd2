// Compact and repair of the whole database, as the Options menu runs it: the
// database closed, compacted with its backup copy, and opened again. The
// backup copies go to the user's own folder in the temporary directory.
#include "benchsupport.h"
#include "data/database.h"
#include "data/file/compact.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <string>

namespace bench {

void benchCompaction(Context& context) {
    quillory::Database& db = context.db;
    const QString path = db.databasePath();
    const qint64 before = QFileInfo(path).size();
    namespace compaction = quillory::compaction;

    QElapsedTimer total;
    CompactionSteps onStep;
    total.start();
    db.CloseDatabase();
    const compaction::Result result = compaction::CompactDatabase(path, true, std::ref(onStep));
    onStep.finish();
    const bool reopened = db.OpenDatabase();
    figure("compaction", msSince(total), "ms");
    figure("compaction_size_before", mib(before), "MiB");
    figure("compaction_size_after", mib(QFileInfo(path).size()), "MiB");
    if (result.outcome != compaction::Result::Compacted || !reopened) {
        ++context.failures;
        std::printf("warning: the compaction failed: %s\n", qPrintable(result.error.description));
    }
    QDir(quillory::backupplace::folderFor(path)).removeRecursively();
}

} // namespace bench
