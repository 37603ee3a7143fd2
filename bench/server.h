#pragma once

#include "benchsupport.h"

namespace bench {

// The run on a database server: the server's database is filled from the
// file (unless it holds rows already), then the main window works on it as on
// the file, each figure printed as "server_<figure>". Each timed action's
// statements are recorded as the program runs them and then run again bare,
// through libpq alone, printed as "server_bare_<figure>": what the server and
// its connection cost without the program around them.
class ServerRun {
public:
    explicit ServerRun(const Options& options) : m_options(options) {}

    // Fills the server's database from the file at `path`, which no
    // connection may have open, when it holds no rows yet.
    bool fill(const QString& path);

    // Opens a main window on the server's database in a program directory of
    // its own (inside `dir`) and times the subjects there. Returns the count
    // of failed checks.
    int run(const QString& dir, CountingPrompt& prompt);

private:
    const Options& m_options;
};

// Prints, for each action, the file's figure, the server's and the bare
// queries' side by side, and whether the server's stays within a frame at
// 60 frames a second (16 ms).
void printComparison();

} // namespace bench
