// The small photo the contact list shows: an address-book photo scaled down once, when read.
#pragma once

#include <QByteArray>
#include <optional>

namespace pemmo::Thumbnail {

// The longest side of a thumbnail, in pixels.
inline constexpr int defaultSide = 128;

// `image` scaled down to fit `side` × `side` (JPEG, or PNG when it has transparency). An image
// that already fits is returned as it is; bytes that are no image give nothing.
std::optional<QByteArray> make(const QByteArray& image, int side = defaultSide);

} // namespace pemmo::Thumbnail
