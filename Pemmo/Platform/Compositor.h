// Whether the desktop composites windows, so a window's transparent pixels show what is behind it.
// Without a compositor (a bare X11 window manager) they show black, and the panel drops its
// rounded corners rather than draw black ones.
#pragma once

namespace pemmo::Compositor {

// Wayland always composites; on X11 a compositor owns the _NET_WM_CM_S<screen> selection.
// Anything else (offscreen, unknown platforms) is taken as not compositing.
bool isActive();

} // namespace pemmo::Compositor
