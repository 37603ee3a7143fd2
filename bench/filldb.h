#pragma once

#include "benchsupport.h"

namespace bench {

struct FillCounts {
    qint64 customers = 0;
    qint64 projects = 0;
    qint64 invoices = 0;
};

// Writes made-up customers, each with its projects and their invoices,
// straight into the database file at `path`, in one transaction. Every run
// writes the same rows.
bool fillDatabase(const QString& path, const Options& options, FillCounts& counts);

} // namespace bench
