// Serves generated avatars to QML as "image://avatar/<contact id>" (add "?dark" for dark panels),
// drawn from SVG at the size the item asks for, so they are sharp at every scale.
#pragma once

#include <QQuickImageProvider>

namespace pemmo {

class AvatarImageProvider : public QQuickImageProvider {
public:
    // The name the provider is registered under in the QML engine.
    static QString providerID() { return u"avatar"_qs; }
    // The side drawn when the item asks for no particular size.
    static constexpr int defaultSide = 100;

    AvatarImageProvider();

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;
};

} // namespace pemmo
