#include "Shell/BannerState.h"

#include <QKeySequence>

namespace pemmo {

BannerState BannerState::info(const QString& message) {
    BannerState banner;
    banner.message = message;
    return banner;
}

BannerState BannerState::success(const QString& message) {
    BannerState banner = info(message);
    banner.style = Style::Success;
    return banner;
}

BannerState BannerState::error(const QString& message) {
    BannerState banner = info(message);
    banner.style = Style::Error;
    banner.timeout = errorTimeout;
    return banner;
}

BannerState& BannerState::withAction(const QString& title, QKeyCombination key, std::function<void()> run) {
    actionTitle = title;
    actionKey = key;
    actionShortcut = QKeySequence(key).toString(QKeySequence::NativeText);
    action = std::move(run);
    return *this;
}

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

} // namespace pemmo
