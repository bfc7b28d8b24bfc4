// A transient message strip at the top of the panel, with an optional action.
#pragma once

#include <QString>
#include <QUuid>
#include <QVariantMap>
#include <chrono>
#include <functional>
#include <optional>

namespace pemmo {

struct BannerState {
    enum class Style { Info, Success, Warning, Error };

    static constexpr std::chrono::milliseconds defaultTimeout{4000};

    QUuid id = QUuid::createUuid();
    QString message;
    Style style = Style::Info;
    std::optional<QString> actionTitle;
    std::optional<QString> actionShortcut;
    std::function<void()> action;
    std::chrono::milliseconds timeout = defaultTimeout;

    static QString styleName(Style style);
    // {"id", "message", "style", "actionTitle", "actionShortcut"} for QML.
    QVariantMap toVariant() const;
};

} // namespace pemmo
