#pragma once

#include "core/toolline.h" // kExitUsage: the command line was not understood

namespace quillory {

// The exit statuses of the program besides 0.
inline constexpr int kExitNoDatabase = 1; // the database could not be opened
inline constexpr int kExitNoDisplay = 2;  // there is no display to show the window on

// Sets up the running application as the program wants it (its name, and no
// display name, which window managers would append to every box's title).
void setUpApplication();

// Runs the program: reads the command line (--help and --version answer
// without a display), opens the main window on the database, and returns the
// exit status.
int runQuillory(int argc, char** argv);

} // namespace quillory
