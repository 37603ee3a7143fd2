#include "widgets/fittinglabel.h"

#include <QEvent>

namespace quillory {

FittingLabel::FittingLabel(QWidget* parent) : QLabel(parent) {
    // Room between the text and the label's edges. (A style sheet, which
    // gives these labels their colour, would reset contents margins.)
    setMargin(2);
}

void FittingLabel::setText(const QString& text) {
    QLabel::setText(text);
    fit();
}

void FittingLabel::clear() {
    QLabel::clear();
    fit();
}

QSize FittingLabel::fittedSize() const {
    return text().isEmpty() ? QSize(0, 0) : sizeHint();
}

void FittingLabel::setEmptyName(const QString& name) {
    m_emptyName = name;
    fit();
}

void FittingLabel::fit() {
    m_fitted = text();
    resize(fittedSize());
    setAccessibleName(m_fitted.isEmpty() ? m_emptyName : QString());
}

bool FittingLabel::event(QEvent* event) {
    const bool handled = QLabel::event(event);
    switch (event->type()) {
    case QEvent::FontChange:
    case QEvent::StyleChange:
    case QEvent::Polish:
    case QEvent::Show:
        fit();
        break;
    default:
        break;
    }
    return handled;
}

void FittingLabel::paintEvent(QPaintEvent* event) {
    // A text set through a plain QLabel pointer bypasses setText() above:
    // fit it here, before it is ever drawn at the old size.
    if (m_fitted != text()) {
        fit();
        return;
    }
    QLabel::paintEvent(event);
}

} // namespace quillory
