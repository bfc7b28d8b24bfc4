#include "Shell/Route.h"

namespace pemmo {

QString Route::kindName(Kind kind) {
    switch (kind) {
    case Kind::Profile:
        return QStringLiteral("profile");
    case Kind::ContactForm:
        return QStringLiteral("contactForm");
    case Kind::QuickLinkForm:
        return QStringLiteral("quickLinkForm");
    case Kind::LogInteraction:
        return QStringLiteral("logInteraction");
    case Kind::Capture:
        return QStringLiteral("capture");
    case Kind::Enrich:
        return QStringLiteral("enrich");
    case Kind::Review:
        return QStringLiteral("review");
    case Kind::MomentCapture:
        return QStringLiteral("momentCapture");
    case Kind::EditInteraction:
        return QStringLiteral("editInteraction");
    case Kind::Search:
        return QStringLiteral("search");
    case Kind::ManageTags:
        return QStringLiteral("manageTags");
    case Kind::Diagnostics:
        return QStringLiteral("diagnostics");
    }
    return {};
}

QVariantMap Route::toVariant() const {
    return {{u"kind"_qs, kindName(kind)}, {u"contactID"_qs, contactID}};
}

} // namespace pemmo
