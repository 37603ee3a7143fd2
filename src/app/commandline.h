#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quillory {

// What the program's command line asks for. It is read before anything
// needs a display, so that --help and --version answer anywhere.
struct CommandLine {
    enum class Action {
        Run,     // start the program
        Help,    // print the usage and end
        Version, // print "quillory <version>" and end
        Refuse,  // an unknown option or a stray argument: say why, print the usage, end
    };
    Action action = Action::Run;
    // --database: the database for this run, as given (a path or a server's
    // address), in place of the one NetworkPath.sfe names.
    std::optional<QString> database;
    // Why the command line was refused.
    QString error;
};

// Reads the arguments, the program's own name first.
CommandLine parseCommandLine(const QStringList& arguments);

// The usage text --help prints, ended by a line break.
QString usageText();

// The line --version prints, ended by a line break.
QString versionText();

} // namespace quillory
