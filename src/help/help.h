#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The Help menu's targets: the manual and the vendor's
// web site, opened by the desktop's default handler.
namespace quillory::help {

// The vendor's web site.
QString website();

// The manual, guide.pdf beside the program, or for an installed copy in the
// package's documentation folder.
QString manualPath();

// Opens a file path or a web address with the desktop's default handler. A
// target that cannot be opened is reported with a box; false then.
bool ShellOpen(const QString& target);

// Replaces the desktop handler (tests); an empty function restores it.
void setOpener(std::function<bool(const QUrl&)> opener);

// Help > Manual: the manual, or, when it is missing, the web site and a word
// that the manual is not there.
void openManual();

} // namespace quillory::help
