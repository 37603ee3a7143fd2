#pragma once

#include "errors/error.h"
#include "printing/printeddocument.h"

#include <QByteArray>
#include <QImage>
#include <QString>

namespace quillory::invoiceprint {

// The font the preview shows the document in, which paper takes too.
printing::PrintFont documentFont();

// The invoice document laid out for paper: the logo (when there is one) at
// its own size (pixels at 96 to the inch, narrowed to the page when wider),
// then the whole text, with tab stops every half inch, lines wrapped at a
// word (or anywhere, for a word wider than the page) and never cut between
// two pages.
printing::PrintedDocument layOutInvoice(const printing::FontMeasure& measure,
                                        const printing::PageSetup& page, const QImage& logo,
                                        const QString& text, const QString& title);

// The invoice document as a PDF file in memory, on the locale's paper; empty,
// with `error` set, when it could not be made.
QByteArray composeInvoicePdf(const QImage& logo, const QString& text, const QString& title,
                             Error* error);

} // namespace quillory::invoiceprint
