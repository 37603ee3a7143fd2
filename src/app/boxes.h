#pragma once

#include <QString>

class QComboBox;
class QWidget;

// Reading and setting the text boxes of the windows the same way everywhere.
namespace quillory::boxes {

// Multi-line texts are kept with CR LF line breaks; the edit boxes use LF.
// These read and set a single-line or multi-line box in the kept form.
QString text(const QWidget* box);
void setText(QWidget* box, const QString& text);

// A locked box shows its text and can be scrolled and selected, not changed.
void setLocked(QWidget* box, bool locked);

// An editable combo box shows `text` without it being one of its items.
void setComboPrompt(QComboBox* combo, const QString& text);

} // namespace quillory::boxes
