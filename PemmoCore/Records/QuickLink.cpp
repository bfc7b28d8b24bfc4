#include "Records/QuickLink.h"

namespace pemmo {

QString kindName(QuickLink::Kind kind) {
    return quickLinkKindNames.name(kind);
}

std::optional<QuickLink::Kind> quickLinkKindFromName(QStringView name) {
    return quickLinkKindNames.find(name);
}

} // namespace pemmo
