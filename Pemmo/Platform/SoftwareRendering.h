// Draws Pemmo's windows with Qt Quick's software renderer instead of OpenGL.
//
// The panel is a list of text rows shown for a few seconds at a time. Drawing it through OpenGL
// means loading a graphics driver and holding a context all day: with Mesa's software rasteriser
// (no GPU, a virtual machine, a remote session) that is the LLVM compiler, about 70 MB resident and
// 30 MB of the driver's own heap; with a GPU driver less, but never nothing. The software renderer
// paints the same items with QPainter into the window's backing store and opens the panel faster
// than a software OpenGL stack does. Anyone who names a renderer in the environment
// (QT_QUICK_BACKEND, QSG_RHI_BACKEND) gets Qt's own choice instead.
#pragma once

#include <QProcessEnvironment>

namespace pemmo::SoftwareRendering {

// Whether Pemmo should pick the software renderer, given the process environment.
bool isChosen(const QProcessEnvironment& environment);

// Picks it unless the environment names a renderer, and keeps the X11 platform from loading
// OpenGL when it starts. Call before the application object is made.
void chooseUnlessNamed();

// Takes back what `chooseUnlessNamed` put in the environment, so that the programs Pemmo starts
// (a browser through xdg-open) get the environment Pemmo was given. Call once the application
// object is made.
void restoreEnvironment();

} // namespace pemmo::SoftwareRendering
