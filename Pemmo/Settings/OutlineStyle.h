// Fusion with outlines that can be seen: fields, boxes, buttons and frames are outlined in the
// palette's Mid colour, and the keyboard's focus is a solid ring in its Highlight colour. Fusion
// shades its outlines from the window colour, a little darker, which on a dark window leaves an
// empty check box or a text field all but invisible, and its focus frame is a faint tint.
#pragma once

#include <QProxyStyle>

namespace pemmo {

class OutlineStyle : public QProxyStyle {
    Q_OBJECT

public:
    // `base` is owned by the proxy, as QProxyStyle owns it.
    explicit OutlineStyle(QStyle* base);

    // Puts the style over the application's when that is Fusion (what Qt uses on a desktop that
    // sets no Qt style); a desktop's own style keeps its own outlines.
    static void installOverFusion();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

private:
    template <class Option>
    void drawOutlined(PrimitiveElement element, const Option& option, QPainter* painter,
                      const QWidget* widget) const;
};

} // namespace pemmo
