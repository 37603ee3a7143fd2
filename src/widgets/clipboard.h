#pragma once

#include <QString>

#include <functional>

// Where the program puts text for pasting elsewhere: the desktop's
// clipboard, unless another one has been set, as tests do to make it fail.
namespace quillory::clipboard {

// Puts `text` on the clipboard as plain text alone, in place of whatever it
// held. False when the clipboard did not take it.
bool putText(const QString& text);

// Replaces the clipboard with `put`; an empty function restores the
// desktop's.
void setClipboard(std::function<bool(const QString&)> put);

} // namespace quillory::clipboard
