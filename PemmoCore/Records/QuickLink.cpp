#include "Records/QuickLink.h"

#include <array>

namespace pemmo {
namespace {

constexpr std::array kNames{u"instagram", u"linkedin", u"x", u"custom"};

} // namespace

QString kindName(QuickLink::Kind kind) {
    return QString::fromUtf16(kNames[static_cast<std::size_t>(kind)]);
}

std::optional<QuickLink::Kind> quickLinkKindFromName(QStringView name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (name == QStringView(kNames[i]))
            return static_cast<QuickLink::Kind>(i);
    }
    return std::nullopt;
}

} // namespace pemmo
