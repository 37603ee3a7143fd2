#pragma once

#include "data/connection.h"

#include <atomic>

class QIODevice;

// The three tables of the Export menu as CSV files: a header row, then one
// record per row of the table, read and written one at a time.
namespace quillory::csvtables {

enum class Table {
    Customers, // every column of each customer
    Projects,  // each project with its hours, rate and the amount they make
    Invoices,  // each invoice with its amounts, balance and payment history
};

enum class Outcome {
    Written,
    ReadFailed,  // the query failed; the connection's lastError() says why
    WriteFailed, // the device refused a write; its errorString() says why
    Cancelled,   // `cancelled` turned true: what the device holds is not the table
};

// Writes `table` to `device`, a row at a time, until `cancelled` turns true.
Outcome writeTable(Table table, Connection& cn, QIODevice& device,
                   const std::atomic_bool* cancelled = nullptr);

} // namespace quillory::csvtables
