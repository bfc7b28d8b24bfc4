#include "Store/PhotoImport.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>

namespace pemmo::PhotoImport {

Result fromBytes(const QByteArray& image) {
    QBuffer source;
    source.setData(image);
    source.open(QIODevice::ReadOnly);
    QImageReader reader(&source);
    // Phone pictures are often stored sideways with a note saying which way is up.
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!reader.canRead() || !size.isValid() || size.isEmpty())
        return {{}, Problem::NotAnImage};
    if (qint64(size.width()) * size.height() > maxPixels)
        return {{}, Problem::TooLarge};
    // Letting the reader scale while it decodes spares JPEG most of the work. The bound is a
    // square, so it does not matter whether the rotation comes before or after.
    if (size.width() > maxSide || size.height() > maxSide)
        reader.setScaledSize(
            size.scaled(QSize(maxSide, maxSide), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    QImage decoded = reader.read();
    if (decoded.isNull())
        return {{}, Problem::NotAnImage};

    // JPEG has no transparency: what was see-through shows white, as on a light card.
    QImage flat(decoded.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    {
        QPainter painter(&flat);
        painter.drawImage(0, 0, decoded);
    }
    QByteArray bytes;
    QBuffer target(&bytes);
    target.open(QIODevice::WriteOnly);
    if (!flat.save(&target, "JPEG", jpegQuality))
        return {{}, Problem::NotAnImage};
    return {bytes, Problem::None};
}

Result fromFile(const QString& path, qint64 maxFileBytes) {
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return {{}, Problem::Unreadable};
    if (info.size() > maxFileBytes)
        return {{}, Problem::TooLarge};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, Problem::Unreadable};
    // Read no more than the limit, in case the file grew since it was measured.
    const QByteArray bytes = file.read(maxFileBytes + 1);
    if (bytes.size() > maxFileBytes)
        return {{}, Problem::TooLarge};
    return fromBytes(bytes);
}

QString message(Problem problem, qint64 maxFileBytes) {
    switch (problem) {
    case Problem::None:
        return {};
    case Problem::Unreadable:
        return QCoreApplication::translate("PhotoImport", "That file could not be opened.");
    case Problem::NotAnImage:
        return QCoreApplication::translate(
            "PhotoImport", "That file is not an image Pemmo can read. Choose a JPEG, PNG or other picture.");
    case Problem::TooLarge:
        return QCoreApplication::translate("PhotoImport", "That image is too large. Choose one under %1 MB.")
            .arg(maxFileBytes / (1024 * 1024));
    }
    return {};
}

} // namespace pemmo::PhotoImport
