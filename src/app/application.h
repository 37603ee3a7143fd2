#pragma once

namespace quillory {

// Runs the program: opens the main window on the database, and returns the
// exit status (non-zero when the database could not be opened).
int runQuillory(int argc, char** argv);

} // namespace quillory
