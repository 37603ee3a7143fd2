#include "widgets/frames.h"

#include <QApplication>
#include <QGroupBox>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>

namespace quillory::frames {

namespace {

// Where the caption begins, from the frame's left edge.
constexpr int kCaptionIndent = 6;

// The application's style, except that a frame's border starts at the middle
// of its caption's line, and the caption, drawn over the border, begins a
// little way in. A frame without a caption starts at the top.
class CaptionLineStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    QRect subControlRect(ComplexControl control, const QStyleOptionComplex* option, SubControl part,
                         const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box)
            return QProxyStyle::subControlRect(control, option, part, widget);
        const bool captioned = !box->text.isEmpty();
        const int captionHeight = box->fontMetrics.height();
        switch (part) {
        case SC_GroupBoxFrame:
            return box->rect.adjusted(0, captioned ? captionHeight / 2 : 0, 0, 0);
        case SC_GroupBoxLabel: {
            if (!captioned)
                return {};
            const int width = box->fontMetrics.horizontalAdvance(box->text) + 2;
            return {box->rect.left() + kCaptionIndent, box->rect.top(), width, captionHeight};
        }
        case SC_GroupBoxContents:
            return box->rect.adjusted(1, captioned ? captionHeight : 1, -1, -1);
        default:
            return QProxyStyle::subControlRect(control, option, part, widget);
        }
    }

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (control != CC_GroupBox || !box || box->subControls.testFlag(SC_GroupBoxCheckBox)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        const QRect frame = subControlRect(control, box, SC_GroupBoxFrame, widget);
        const QRect caption = subControlRect(control, box, SC_GroupBoxLabel, widget);
        painter->save();
        // The border stops a little before the caption and goes on after it.
        if (caption.isValid())
            painter->setClipRegion(QRegion(box->rect).subtracted(caption.adjusted(-2, 0, 2, 0)));
        painter->setPen(box->palette.color(QPalette::Window).darker(140));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(frame.adjusted(0, 0, -1, -1));
        painter->restore();
        if (caption.isValid())
            drawItemText(painter, caption, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                         box->palette, box->state.testFlag(State_Enabled), box->text,
                         QPalette::WindowText);
    }
};

QStyle* captionLineStyle() {
    static QPointer<QStyle> style;
    if (!style) {
        style = new CaptionLineStyle(QStyleFactory::create(QApplication::style()->name()));
        style->setParent(qApp);
    }
    return style;
}

} // namespace

void drawLineThroughCaptions(QWidget* window) {
    for (QGroupBox* frame : window->findChildren<QGroupBox*>())
        frame->setStyle(captionLineStyle());
}

} // namespace quillory::frames
