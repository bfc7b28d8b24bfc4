#include "Settings/WidgetPalette.h"

namespace pemmo::WidgetPalette {
namespace {

struct Colours {
    QColor window, windowText, base, alternateBase, button, placeholder;
    QColor light, midlight, mid, dark, shadow;
    QColor highlight, highlightedText, link, linkVisited;
    // The disabled group: text still legible (well above 3:1), outlines fainter but there.
    QColor disabledText, disabledBase, disabledMid, disabledHighlight;
};

// Mid, the outline, keeps 3:1 against the window and the fields; body and placeholder text 4.5:1
// against everything they are drawn on; the accent is dark enough in the light look and light
// enough in the dark one that Fusion's focus ring, a shade of it, stands out from the window.
const Colours lightColours{
    .window = QColor(0xf3, 0xf4, 0xf6),
    .windowText = QColor(0x1c, 0x1d, 0x21),
    .base = QColor(0xff, 0xff, 0xff),
    .alternateBase = QColor(0xf5, 0xf6, 0xf8),
    .button = QColor(0xec, 0xee, 0xf2),
    .placeholder = QColor(0x6b, 0x6e, 0x76),
    .light = QColor(0xff, 0xff, 0xff),
    .midlight = QColor(0xe2, 0xe4, 0xe9),
    .mid = QColor(0x6e, 0x71, 0x7a),
    .dark = QColor(0xa0, 0xa3, 0xab),
    .shadow = QColor(0x4a, 0x4c, 0x52),
    .highlight = QColor(0x1f, 0x4f, 0xb8),
    .highlightedText = QColor(0xff, 0xff, 0xff),
    .link = QColor(0x1f, 0x4f, 0xb8),
    .linkVisited = QColor(0x6a, 0x3f, 0xb5),
    .disabledText = QColor(0x70, 0x73, 0x7b),
    .disabledBase = QColor(0xf7, 0xf8, 0xfa),
    .disabledMid = QColor(0xb4, 0xb7, 0xbe),
    .disabledHighlight = QColor(0xd5, 0xd8, 0xde),
};

const Colours darkColours{
    .window = QColor(0x20, 0x21, 0x25),
    .windowText = QColor(0xec, 0xec, 0xef),
    .base = QColor(0x2a, 0x2b, 0x30),
    .alternateBase = QColor(0x26, 0x27, 0x2c),
    .button = QColor(0x34, 0x36, 0x3c),
    .placeholder = QColor(0xa9, 0xab, 0xb2),
    .light = QColor(0x4a, 0x4c, 0x54),
    .midlight = QColor(0x3a, 0x3c, 0x42),
    .mid = QColor(0x7a, 0x7d, 0x86),
    .dark = QColor(0x16, 0x17, 0x1a),
    .shadow = QColor(0x00, 0x00, 0x00),
    .highlight = QColor(0x7a, 0xa7, 0xff),
    .highlightedText = QColor(0x14, 0x16, 0x1b),
    .link = QColor(0x7a, 0xa7, 0xff),
    .linkVisited = QColor(0xb5, 0x9c, 0xff),
    .disabledText = QColor(0x8d, 0x90, 0x99),
    .disabledBase = QColor(0x26, 0x27, 0x2b),
    .disabledMid = QColor(0x53, 0x56, 0x5e),
    .disabledHighlight = QColor(0x3d, 0x40, 0x48),
};

} // namespace

QPalette make(bool dark) {
    const Colours& c = dark ? darkColours : lightColours;
    QPalette p(c.button, c.window);
    // The same colours whether the window has the focus or not: an inactive window reads as well.
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        const bool off = group == QPalette::Disabled;
        const QColor text = off ? c.disabledText : c.windowText;
        p.setColor(group, QPalette::Window, c.window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, off ? c.disabledBase : c.base);
        p.setColor(group, QPalette::AlternateBase, c.alternateBase);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, c.button);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::BrightText, dark ? c.windowText : c.base);
        p.setColor(group, QPalette::PlaceholderText, off ? c.disabledText : c.placeholder);
        p.setColor(group, QPalette::ToolTipBase, c.base);
        p.setColor(group, QPalette::ToolTipText, c.windowText);
        p.setColor(group, QPalette::Light, c.light);
        p.setColor(group, QPalette::Midlight, c.midlight);
        p.setColor(group, QPalette::Mid, off ? c.disabledMid : c.mid);
        p.setColor(group, QPalette::Dark, c.dark);
        p.setColor(group, QPalette::Shadow, c.shadow);
        p.setColor(group, QPalette::Highlight, off ? c.disabledHighlight : c.highlight);
        p.setColor(group, QPalette::HighlightedText, off ? c.disabledText : c.highlightedText);
        p.setColor(group, QPalette::Link, off ? c.disabledText : c.link);
        p.setColor(group, QPalette::LinkVisited, off ? c.disabledText : c.linkVisited);
    }
    return p;
}

} // namespace pemmo::WidgetPalette
