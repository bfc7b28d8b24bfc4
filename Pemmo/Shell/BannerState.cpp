#include "Shell/BannerState.h"

namespace pemmo {

QString BannerState::styleName(Style style) {
    switch (style) {
    case Style::Info:
        return QStringLiteral("info");
    case Style::Success:
        return QStringLiteral("success");
    case Style::Warning:
        return QStringLiteral("warning");
    case Style::Error:
        return QStringLiteral("error");
    }
    return {};
}

QVariantMap BannerState::toVariant() const {
    return {{u"id"_qs, id.toString(QUuid::WithoutBraces)},
            {u"message"_qs, message},
            {u"style"_qs, styleName(style)},
            {u"actionTitle"_qs, actionTitle.value_or(QString())},
            {u"actionShortcut"_qs, actionShortcut.value_or(QString())}};
}

} // namespace pemmo
