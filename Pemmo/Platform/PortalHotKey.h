// The hot key on Wayland: the XDG desktop portal's GlobalShortcuts, where the desktop offers it.
// The desktop may ask the user to confirm or change the key; it reports what it bound.
#pragma once

#include "Platform/GlobalHotKey.h"

#include <QDBusObjectPath>
#include <QVariantMap>
#include <functional>

class QDBusMessage;

namespace pemmo {

class PortalHotKey : public GlobalHotKey {
    Q_OBJECT

public:
    static constexpr auto shortcutID = "togglePemmo";

    explicit PortalHotKey(QObject* parent = nullptr);
    ~PortalHotKey() override;

    void bind(const QKeySequence& shortcut) override;
    void unbind() override;
    QString mechanism() const override { return QStringLiteral("desktop portal"); }

    // "CTRL+k": the XDG shortcut notation the portal takes for a preferred trigger.
    static QString preferredTrigger(const QKeySequence& shortcut);

private Q_SLOTS:
    void onResponse(uint response, const QVariantMap& results);
    void onActivated(const QDBusObjectPath& session, const QString& id, qulonglong timestamp,
                     const QVariantMap& options);

private:
    // Calls a portal method that answers through a Request object, then `next` with its results.
    void request(const QString& method, QList<QVariant> arguments, int optionsIndex,
                 std::function<void(const QVariantMap&)> next);
    void bindShortcut();
    void fail(const QString& why);

    QKeySequence m_shortcut;
    QDBusObjectPath m_session;
    QString m_requestPath;
    std::function<void(const QVariantMap&)> m_next;
    int m_token = 0;
};

} // namespace pemmo
