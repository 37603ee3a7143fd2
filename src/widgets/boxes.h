#pragma once

#include <QString>

class QComboBox;
class QLineEdit;
class QWidget;

// Reading and setting the text boxes of the windows the same way everywhere.
namespace quillory::boxes {

// Multi-line texts are kept with CR LF line breaks; the edit boxes use LF.
// These read and set a single-line or multi-line box in the kept form. What
// a box shows reads back as it was set: no other character is changed (a
// no-break space stays one).
QString text(const QWidget* box);
void setText(QWidget* box, const QString& text);

// A locked box shows its text and can be scrolled and selected, not changed.
void setLocked(QWidget* box, bool locked);

// An editable combo box shows `text` without it being one of its items.
void setComboPrompt(QComboBox* combo, const QString& text);

// Makes the length limit of every single-line box under `window` count
// characters (code points) instead of UTF-16 units: typing or pasting stops
// at the limit without ever splitting a character in two. Unlike Qt's own
// limit it leaves the texts the program sets alone: a longer stored value is
// shown whole, and the user may shorten it but not lengthen it. Call once,
// after the form has set the limits.
void limitCharacters(QWidget* window);

// The characters a single-line box accepts (32767 when unlimited).
int characterLimit(const QLineEdit* box);

// Gives every control under `window` that a caption leads to (a label's
// buddy) that caption as its accessible name, unless it has one of its own:
// a screen reader then names each box by its caption, whatever kind of
// control it is, never by its frame's caption.
void nameByCaptions(QWidget* window);

// Counts characters (code points): a surrogate pair is one.
qsizetype characterCount(QStringView text);

} // namespace quillory::boxes
