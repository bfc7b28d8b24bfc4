// Turns an image file the user picked into the JPEG Pemmo keeps as a contact's replacement photo:
// checked, turned upright, scaled down and re-encoded. Pure functions of their arguments.
#pragma once

#include <QByteArray>
#include <QString>

namespace pemmo::PhotoImport {

// Files larger than this are refused before they are read.
inline constexpr qint64 defaultMaxFileBytes = 20 * 1024 * 1024;
// Images with more pixels than this are refused before they are decoded.
inline constexpr qint64 maxPixels = 100'000'000;
// The longest side of the stored photo, in pixels; smaller images keep their size.
inline constexpr int maxSide = 1024;
inline constexpr int jpegQuality = 88;

enum class Problem { None, Unreadable, NotAnImage, TooLarge };

struct Result {
    // The photo to store; empty when `problem` says why there is none.
    QByteArray jpeg;
    Problem problem = Problem::None;

    bool ok() const { return problem == Problem::None; }
};

// `image` (any format Qt reads) as the photo to store.
Result fromBytes(const QByteArray& image);
// The file at `path` as the photo to store; files over `maxFileBytes` are not read.
Result fromFile(const QString& path, qint64 maxFileBytes = defaultMaxFileBytes);
// What to tell the user about `problem` (empty for none).
QString message(Problem problem, qint64 maxFileBytes = defaultMaxFileBytes);

} // namespace pemmo::PhotoImport
