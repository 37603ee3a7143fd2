#pragma once

#include "reports/printlayout.h"

class QPainter;

namespace quillory::reports {

// Draws one page of a laid-out report on a painter that is already active,
// with `dotsPerInch` device pixels to the inch, through Qt's own text
// drawing: the pictures of the manual show report pages this way.
void paintPage(QPainter& painter, const PrintedDocument& document, int page, double dotsPerInch);

} // namespace quillory::reports
