#include "Shell/PanelFrame.h"

#include <QRectF>
#include <algorithm>
#include <cmath>

namespace pemmo::PanelFrame {

QRect frame(const QRect& available, int width) {
    const double height = std::min(available.height() * heightShare, double(maxHeight));
    const QRectF visible(available);
    const QPointF centre = visible.center();
    const QRectF rect(centre.x() - width / 2.0, centre.y() - height / 2.0, width, height);
    return QRect(int(std::lround(rect.x())), int(std::lround(rect.y())), int(std::lround(rect.width())),
                 int(std::lround(rect.height())));
}

} // namespace pemmo::PanelFrame
