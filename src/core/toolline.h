#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace quillory {

// The exit status of a command line that was not understood (EX_USAGE), the
// program's and its tools'.
inline constexpr int kExitUsage = 64;

// What a helper tool's command line asks for: the positional arguments, or an
// exit status when the tool ends at once (0 after --help, 64 when the line was
// not understood).
struct ToolLine {
    QStringList arguments;
    std::optional<int> exitNow;
};

// Reads the running tool's command line, which takes -h/--help and exactly
// `count` positional arguments. --help prints `usage` on standard output; a
// line not understood prints "tool: why" and `usage` on standard error, where
// why is Qt's own reading error, `tooFew` or `tooMany`.
ToolLine readToolLine(const char* tool, const char* usage, qsizetype count, const QString& tooFew,
                      const QString& tooMany);

} // namespace quillory
