#include "Avatars/AvatarImageProvider.h"

#include "Avatars/AvatarGenerator.h"

#include <QPainter>
#include <QSvgRenderer>
#include <QUrl>

namespace pemmo {

AvatarImageProvider::AvatarImageProvider()
    : QQuickImageProvider(QQuickImageProvider::Image) {}

QImage AvatarImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize) {
    // The id arrives as written in the URL: the contact id percent-encoded (it may hold "/" or
    // "?"), then the theme.
    QString encoded = id;
    AvatarGenerator::Theme theme = AvatarGenerator::Theme::Light;
    const qsizetype query = encoded.indexOf(u'?');
    if (query >= 0) {
        if (QStringView(encoded).mid(query + 1) == u"dark")
            theme = AvatarGenerator::Theme::Dark;
        encoded.truncate(query);
    }
    const QString contactID = QUrl::fromPercentEncoding(encoded.toUtf8());

    // A square picture: the larger requested side wins, the other follows.
    int side = std::max(requestedSize.width(), requestedSize.height());
    if (side <= 0)
        side = defaultSide;
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QSvgRenderer renderer(AvatarGenerator::svg(contactID, theme).toUtf8());
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter);
    painter.end();
    if (size)
        *size = image.size();
    return image;
}

} // namespace pemmo
