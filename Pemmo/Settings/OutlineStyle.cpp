#include "Settings/OutlineStyle.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace pemmo {
namespace {

// Fusion outlines a control in its window colour made 40 % darker; a window colour 40 % lighter
// than Mid therefore gives an outline in Mid, whatever the look. Nothing else those controls draw
// comes from the window colour.
QPalette outlinedInMid(QPalette palette) {
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Window, palette.color(group, QPalette::Mid).lighter(140));
    return palette;
}

// A solid ring just inside Fusion's own focus outline: with it the focus is two pixels of the
// accent, not one pixel and a tint.
void focusRing(QPainter* painter, const QStyleOption* option, const QRect& outline) {
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing, true);
    painter->translate(0.5, 0.5);
    painter->setPen(QPen(option->palette.color(QPalette::Highlight), 1));
    painter->setBrush(Qt::NoBrush);
    painter->drawRoundedRect(outline.adjusted(1, 1, -2, -2), 1.7, 1.7);
    painter->restore();
}

bool outlinedPrimitive(QStyle::PrimitiveElement element) {
    switch (element) {
    case QStyle::PE_Frame:
    case QStyle::PE_FrameLineEdit:
    case QStyle::PE_PanelButtonCommand:
    case QStyle::PE_IndicatorCheckBox:
    case QStyle::PE_IndicatorRadioButton:
    case QStyle::PE_IndicatorItemViewItemCheck:
        return true;
    default:
        return false;
    }
}

} // namespace

OutlineStyle::OutlineStyle(QStyle* base)
    : QProxyStyle(base) {}

void OutlineStyle::installOverFusion() {
    if (QApplication::style()->name().compare(u"fusion"_qs, Qt::CaseInsensitive) != 0)
        return;
    QApplication::setStyle(new OutlineStyle(QStyleFactory::create(u"fusion"_qs)));
}

int OutlineStyle::pixelMetric(PixelMetric metric, const QStyleOption* option, const QWidget* widget) const {
    // A list's frame has room for the focus ring inside its outline.
    if (metric == PM_DefaultFrameWidth && qobject_cast<const QAbstractItemView*>(widget))
        return 2 * QProxyStyle::pixelMetric(metric, option, widget);
    return QProxyStyle::pixelMetric(metric, option, widget);
}

void OutlineStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const {
    if (element == PE_FrameFocusRect) {
        // Fusion draws it only for a focus that came from the keyboard; so does this.
        if (!option->state.testFlag(State_KeyboardFocusChange))
            return;
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing, true);
        painter->translate(0.5, 0.5);
        painter->setPen(QPen(option->palette.color(QPalette::Highlight), 1));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(option->rect).adjusted(0, 0, -1, -1), 2, 2);
        painter->restore();
        return;
    }
    if (!outlinedPrimitive(element))
        return QProxyStyle::drawPrimitive(element, option, painter, widget);
    // Fusion reads the option's own kind (a button's features, a frame's shape), so the copy keeps it.
    if (const auto* frame = qstyleoption_cast<const QStyleOptionFrame*>(option))
        drawOutlined(element, *frame, painter, widget);
    else if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option))
        drawOutlined(element, *button, painter, widget);
    else if (const auto* item = qstyleoption_cast<const QStyleOptionViewItem*>(option))
        drawOutlined(element, *item, painter, widget);
    else
        drawOutlined(element, *option, painter, widget);
    // A field, and a list (Fusion marks only the current row of a list, and nothing when it is
    // empty).
    const bool list = element == PE_Frame && qobject_cast<const QAbstractItemView*>(widget);
    if ((element == PE_FrameLineEdit || list) && option->state.testFlag(State_HasFocus))
        focusRing(painter, option, option->rect);
}

template <class Option>
void OutlineStyle::drawOutlined(PrimitiveElement element, const Option& option, QPainter* painter,
                                const QWidget* widget) const {
    Option outlined(option);
    outlined.palette = outlinedInMid(option.palette);
    QProxyStyle::drawPrimitive(element, &outlined, painter, widget);
}

void OutlineStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                      QPainter* painter, const QWidget* widget) const {
    if (control != CC_ComboBox && control != CC_SpinBox)
        return QProxyStyle::drawComplexControl(control, option, painter, widget);
    if (const auto* combo = qstyleoption_cast<const QStyleOptionComboBox*>(option)) {
        QStyleOptionComboBox outlined(*combo);
        outlined.palette = outlinedInMid(option->palette);
        QProxyStyle::drawComplexControl(control, &outlined, painter, widget);
    } else if (const auto* spin = qstyleoption_cast<const QStyleOptionSpinBox*>(option)) {
        QStyleOptionSpinBox outlined(*spin);
        outlined.palette = outlinedInMid(option->palette);
        QProxyStyle::drawComplexControl(control, &outlined, painter, widget);
    } else {
        return QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
    if (option->state.testFlag(State_HasFocus))
        focusRing(painter, option, control == CC_SpinBox ? option->rect.adjusted(0, 1, 0, -1) : option->rect);
}

} // namespace pemmo
