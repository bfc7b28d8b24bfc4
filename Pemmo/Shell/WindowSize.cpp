#include "Shell/WindowSize.h"

#include <QScreen>

namespace pemmo {

QSize boundedToScreen(QSize wanted, QSize available) {
    if (available.isEmpty())
        return wanted;
    return wanted.boundedTo(available * 9 / 10);
}

QSize boundedToScreen(QSize wanted, const QScreen* screen) {
    return boundedToScreen(wanted, screen ? screen->availableGeometry().size() : QSize());
}

} // namespace pemmo
