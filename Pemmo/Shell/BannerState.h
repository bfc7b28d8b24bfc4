// A transient message strip under the panel's screen, with an optional action and the key that
// runs it.
#pragma once

#include <QKeyCombination>
#include <QString>
#include <QUuid>
#include <chrono>
#include <functional>
#include <optional>

namespace pemmo {

struct BannerState {
    enum class Style { Info, Success, Warning, Error };

    static constexpr std::chrono::milliseconds defaultTimeout{4000};
    // Failures stay a little longer: they are read, not glanced at.
    static constexpr std::chrono::milliseconds errorTimeout{6000};

    QUuid id = QUuid::createUuid();
    QString message;
    Style style = Style::Info;
    std::optional<QString> actionTitle;
    // The key glyph shown beside the action ("Ctrl+Z"); set by `setActionKey`.
    std::optional<QString> actionShortcut;
    std::function<void()> action;
    // The key that runs the action from any screen while the banner shows.
    std::optional<QKeyCombination> actionKey;
    std::chrono::milliseconds timeout = defaultTimeout;

    static BannerState info(const QString& message);
    static BannerState success(const QString& message);
    static BannerState error(const QString& message);

    // An action with its title and key; the glyph follows from the key.
    BannerState& withAction(const QString& title, QKeyCombination key, std::function<void()> run);

    static QString styleName(Style style);
};

} // namespace pemmo
