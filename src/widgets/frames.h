#pragma once

class QWidget;

// The frames of the forms as they were drawn: a frame's line runs through the
// middle of its caption, so that a control placed just below the caption is
// inside the frame, not across its border.
namespace quillory::frames {

// Draws every frame (group box) under `window` that way.
void drawLineThroughCaptions(QWidget* window);

} // namespace quillory::frames
