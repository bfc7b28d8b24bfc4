// The colours of Pemmo's widget windows (the settings window and its dialogs), light and dark, in
// the panel's neutrals and accent: every text, frame and outline readable against what it sits on.
#pragma once

#include <QPalette>

namespace pemmo::WidgetPalette {

// Every role Qt's styles read, in the active, inactive and disabled groups. Mid is the outline of
// fields, boxes and frames (OutlineStyle draws Fusion's outlines in it); Highlight marks the
// keyboard's focus and the selection, with HighlightedText on it.
QPalette make(bool dark);

} // namespace pemmo::WidgetPalette
