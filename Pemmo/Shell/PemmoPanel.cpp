#include "Shell/PemmoPanel.h"

namespace pemmo {

PemmoPanel::PemmoPanel(QQmlEngine* engine, QWindow* parent)
    : QQuickView(engine, parent) {
    // A tool window: no taskbar entry, no frame, above the application it is summoned over.
    setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setTitle(QStringLiteral("Pemmo"));
    setResizeMode(QQuickView::SizeRootObjectToView);
    setColor(Qt::transparent);
}

} // namespace pemmo
