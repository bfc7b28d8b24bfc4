// How big a window of Pemmo's opens: the size it asks for, no bigger than the screen it opens on
// leaves room for, so a small screen at a large scale still shows all of it (its content scrolls).
#pragma once

#include <QSize>

class QScreen;

namespace pemmo {

// `wanted`, bounded by nine tenths of `available` (what the window's frame and the desktop's own
// panels take is not known before the window is shown). An empty `available` bounds nothing.
QSize boundedToScreen(QSize wanted, QSize available);
// The same, for the available geometry of `screen` (none: `wanted` as it is).
QSize boundedToScreen(QSize wanted, const QScreen* screen);

} // namespace pemmo
