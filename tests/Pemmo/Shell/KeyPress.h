// A key press for the key routing tests, built without a window system event.
#pragma once

#include "Shell/KeyEvent.h"

namespace pemmo::test {

inline KeyEvent key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
    KeyEvent e;
    e.key = k;
    e.modifiers = modifiers;
    e.characters = text;
    return e;
}

} // namespace pemmo::test
