#pragma once

// What the tests of the forms check of every caption and frame: a caption
// shows whole, on its own lines, clear of other controls; no control crosses
// a frame's border or caption; and what a screen reader calls each control.

#include <QAccessible>
#include <QComboBox>
#include <QFontInfo>
#include <QFrame>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QStringList>
#include <QStyleOptionGroupBox>

namespace quillory::test {

// Where a label draws its text, in its parent's coordinates.
inline QRect textRect(const QLabel* label) {
    QString text = label->text();
    if (label->buddy())
        text.replace(QStringLiteral("&&"), QStringLiteral("&"));
    int flags = int(label->alignment());
    if (label->wordWrap())
        flags |= Qt::TextWordWrap;
    const int m = label->margin();
    const QRect room = label->contentsRect().adjusted(m, m, -m, -m);
    const QFontMetrics metrics = label->fontMetrics();
    QRect drawn = metrics.boundingRect(room, flags, text);
    // The lines' leading is blank space; only the glyphs may not touch.
    const int leading = metrics.lineSpacing() - metrics.height();
    drawn.adjust(0, leading / 2, 0, -(leading - leading / 2));
    return drawn.translated(label->pos());
}

// A rectangle drawn around a group of controls, rather than a control.
inline bool isShape(const QWidget* w) {
    return w->metaObject() == &QFrame::staticMetaObject;
}

// What is wrong with a caption, or nothing: it is in the form's font, and its
// text must show whole inside the label and its parent, on as many lines as
// it has (unless the label is one of `wrapping`), keep a pixel from every
// other control, and lie wholly inside or wholly outside each drawn
// rectangle.
inline QString captionFault(const QLabel* label, const QStringList& wrapping = {}) {
    const QFontInfo font(label->font());
    const QFontInfo form(label->window()->font());
    if (font.family() != form.family() || font.pointSizeF() != form.pointSizeF())
        return QStringLiteral("is not in the form's font");
    const QRect text = textRect(label);
    if (!label->geometry().contains(text))
        return QStringLiteral("is cut");
    const int lines = int(label->text().count(u'\n')) + 1;
    if (text.height() > lines * label->fontMetrics().lineSpacing() &&
        !wrapping.contains(label->objectName()))
        return QStringLiteral("wraps");
    if (!label->parentWidget()->rect().adjusted(1, 1, -1, -1).contains(text))
        return QStringLiteral("leaves its frame");
    for (const QWidget* other :
         label->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == label || other->isWindow())
            continue;
        const QRect area = other->geometry();
        if (isShape(other)) {
            const bool inside = area.adjusted(2, 2, -2, -2).contains(text);
            if (!inside && area.adjusted(-1, -1, 1, 1).intersects(text))
                return QStringLiteral("crosses ") + other->objectName();
        } else if (area.adjusted(-1, -1, 1, 1).intersects(text) ||
                   (!qobject_cast<const QLabel*>(other) && area.intersects(label->geometry()))) {
            return QStringLiteral("touches ") + other->objectName();
        }
    }
    return {};
}

// Where a frame draws its border: read off the frame painted alone on its
// background, each side the first pixel from the edge that is not
// background, looked for away from the caption.
inline QRect drawnBorder(QGroupBox* frame) {
    QImage image(frame->size(), QImage::Format_RGB32);
    const QRgb background = frame->palette().color(QPalette::Window).rgb();
    image.fill(background);
    frame->render(&image, {}, {}, {});
    const int w = image.width();
    const int h = image.height();
    const auto firstChange = [&](QPoint from, QPoint step) {
        QPoint at = from;
        while (image.valid(at + step) && image.pixel(at) == background)
            at += step;
        return at;
    };
    const int top = firstChange({w - 8, 0}, {0, 1}).y();
    const int left = firstChange({0, h - 8}, {1, 0}).x();
    const int right = firstChange({w - 1, h - 8}, {-1, 0}).x();
    const int bottom = firstChange({w - 8, h - 1}, {0, -1}).y();
    return QRect(QPoint(left, top), QPoint(right, bottom));
}

// The controls of `window` that cross the border of the frame they sit in,
// as it is drawn, or its caption; hidden ones included.
inline QStringList frameFaults(const QWidget* window) {
    QStringList faults;
    for (QGroupBox* frame : window->findChildren<QGroupBox*>()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.textAlignment = frame->alignment();
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        const QRect caption = frame->title().isEmpty()
                                  ? QRect()
                                  : frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                                   QStyle::SC_GroupBoxLabel, frame);
        const QRect inside = drawnBorder(frame).adjusted(1, 1, -1, -1);
        for (const QWidget* control : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (control->isWindow())
                continue;
            const QRect area = control->geometry();
            if (!inside.contains(area))
                faults.append(control->objectName() + QStringLiteral(" crosses the border of ") +
                              frame->objectName());
            else if (caption.intersects(area))
                faults.append(control->objectName() + QStringLiteral(" covers the caption of ") +
                              frame->objectName());
        }
    }
    return faults;
}

// What a screen reader announces a control as. A combo box here is named by
// the first label it is related to; its own name is its text.
inline QString spokenName(QWidget* control) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(control);
    if (!accessible)
        return {};
    if (qobject_cast<QComboBox*>(control)) {
        const auto labels = accessible->relations(QAccessible::Label);
        return labels.isEmpty() ? QString() : labels.first().first->text(QAccessible::Name);
    }
    return accessible->text(QAccessible::Name);
}

} // namespace quillory::test
