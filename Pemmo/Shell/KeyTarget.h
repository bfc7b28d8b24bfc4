// Something that answers the panel's keys in C++: a screen's view model or an overlay's. A
// KeyHandler in QML registers it with the key router at the screen's priority while the screen is
// shown, so the key tables live next to the state they act on and are tested without QML.
#pragma once

#include "Shell/KeyEvent.h"

#include <QObject>

namespace pemmo {

class KeyTarget {
public:
    virtual ~KeyTarget() = default;
    virtual KeyResult handleKey(const KeyEvent& event) = 0;
};

} // namespace pemmo

Q_DECLARE_INTERFACE(pemmo::KeyTarget, "com.dorvane.Pemmo.KeyTarget")
