#pragma once

// Laying out printed pages with metrics of round figures, and reading back
// where each text went.

#include "printing/printeddocument.h"

#include <QList>
#include <QSizeF>
#include <QStringList>

#include <cmath>

namespace quillory::test {

using printing::FontMeasure;
using printing::PrintedDocument;
using printing::PrintFont;
using printing::TextRun;

// Metrics that make every position a small sum: a line is 1.25 times the
// point size, every character 0.1 inch wide (0.11 in bold).
class FixedMeasure : public FontMeasure {
public:
    double lineHeight(const PrintFont& font) const override { return lh(font.pointSize); }
    double textWidth(const PrintFont& font, const QString& text) const override {
        return text.size() * (font.bold ? 0.11 : 0.1);
    }
    static double lh(double points) { return points / 72.0 * 1.25; }
};

inline const QSizeF kPage(8.0, 10.0);

// A page as "x:text" per line, lines from the top; y values separately.
inline QList<QStringList> lines(const PrintedDocument& doc, int page) {
    QList<QStringList> out;
    double lastY = -1;
    for (const TextRun& run : doc.pages.at(page).runs) {
        if (out.isEmpty() || !qFuzzyCompare(run.y + 1, lastY + 1)) {
            out.append(QStringList());
            lastY = run.y;
        }
        out.last().append(QString::number(run.x) + u':' + run.text);
    }
    return out;
}

inline const TextRun* find(const PrintedDocument& doc, const QString& text, int* page = nullptr) {
    for (int p = 0; p < doc.pages.size(); ++p)
        for (const TextRun& run : doc.pages.at(p).runs)
            if (run.text == text) {
                if (page)
                    *page = p;
                return &run;
            }
    return nullptr;
}

inline bool near(double a, double b) {
    return std::abs(a - b) < 1e-9;
}

} // namespace quillory::test
