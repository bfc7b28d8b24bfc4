// Where the panel goes: centred on the screen's available area, 60 % of its height but never
// taller than 640, as wide as the user chose.
#pragma once

#include <QRect>

namespace pemmo::PanelFrame {

constexpr int maxHeight = 640;
constexpr double heightShare = 0.6;

// `available` is the screen's area without panels and docks, in device-independent pixels.
QRect frame(const QRect& available, int width);

} // namespace pemmo::PanelFrame
