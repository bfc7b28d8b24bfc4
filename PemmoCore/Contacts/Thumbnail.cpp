#include "Contacts/Thumbnail.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>

namespace pemmo::Thumbnail {

std::optional<QByteArray> make(const QByteArray& image, int side) {
    QBuffer source;
    source.setData(image);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return std::nullopt;

    const QByteArray format = reader.format();
    const bool rotated = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const bool fits = size.width() <= side && size.height() <= side;
    if (fits && !rotated && (format == "jpeg" || format == "png"))
        return image;

    // Letting the reader scale while it decodes lets JPEG skip most of the work. The bound is a
    // square, so it does not matter whether a rotation is applied before or after.
    if (!fits)
        reader.setScaledSize(size.scaled(QSize(side, side), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    const QImage scaled = reader.read();
    if (scaled.isNull())
        return std::nullopt;

    QByteArray bytes;
    QBuffer target(&bytes);
    target.open(QIODevice::WriteOnly);
    const bool ok = scaled.hasAlphaChannel() ? scaled.save(&target, "PNG") : scaled.save(&target, "JPEG", 85);
    if (!ok)
        return std::nullopt;
    // The buffer grew by doubling while the encoder wrote; the thumbnail is kept all day.
    bytes.squeeze();
    return bytes;
}

} // namespace pemmo::Thumbnail
