#include "reports/reportpainter.h"

#include <QFontMetricsF>
#include <QPainter>

namespace quillory::reports {

void paintPage(QPainter& painter, const PrintedDocument& document, int page, double dotsPerInch) {
    // One Qt font and its ascent per printer font; runs keep their order.
    QVector<QFont> fonts;
    QVector<double> ascents;
    for (const PrintFont& font : document.fonts) {
        fonts.append(toQFont(font));
        ascents.append(QFontMetricsF(fonts.constLast(), painter.device()).ascent());
    }
    int current = -1;
    for (const TextRun& run : document.pages.at(page).runs) {
        if (run.font != current) {
            current = run.font;
            painter.setFont(fonts.at(current));
        }
        painter.drawText(QPointF(run.x * dotsPerInch, run.y * dotsPerInch + ascents.at(current)),
                         run.text);
    }
}

} // namespace quillory::reports
