#pragma once

#include <QFont>
#include <QImage>
#include <QString>

class QPrinter;

namespace quillory::invoiceprint {

// The document's font on screen and on paper: 9.75 points of a sans serif.
QFont documentFont();

// Prints the invoice document: the logo (when there is one) above the whole
// text, on as many pages as the text needs. Lines are never cut between two
// pages. False when the printer could not be used or reported an error.
bool printDocument(QPrinter& printer, const QImage& logo, const QString& text, const QFont& font);

} // namespace quillory::invoiceprint
