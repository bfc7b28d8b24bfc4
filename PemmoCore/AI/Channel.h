// Where a drafted text goes: a chat message or an e-mail.
#pragma once

#include <QString>
#include <optional>

namespace pemmo {

enum class Channel { Message, Email };

namespace Channels {

// "message", "email".
inline QString name(Channel channel) {
    return channel == Channel::Email ? QStringLiteral("email") : QStringLiteral("message");
}

inline std::optional<Channel> fromName(const QString& name) {
    if (name == u"message")
        return Channel::Message;
    if (name == u"email")
        return Channel::Email;
    return std::nullopt;
}

} // namespace Channels
} // namespace pemmo
