// Whether a window can be shown here, asked before any window code runs: Qt aborts a process whose
// display cannot be reached, where a command should fail with a message that says why.
#pragma once

#include <QString>

namespace pemmo::DisplayCheck {

// Empty when there is a display: a reachable X server (DISPLAY), a Wayland compositor's socket
// (WAYLAND_DISPLAY), or another platform named in QT_QPA_PLATFORM (offscreen, for tests).
// Otherwise why there is none, in words for the user.
QString problem();

} // namespace pemmo::DisplayCheck
