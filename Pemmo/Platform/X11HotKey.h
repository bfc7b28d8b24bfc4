// The hot key on X11: a passive grab of the key on the root window, with every combination of the
// lock keys (Caps Lock, Num Lock, Scroll Lock) so the shortcut works whatever their state.
#pragma once

#include "Platform/GlobalHotKey.h"

#include <QAbstractNativeEventFilter>
#include <QList>
#include <cstdint>
#include <optional>
#include <utility>

namespace pemmo {

class X11HotKey : public GlobalHotKey, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11HotKey(QObject* parent = nullptr);
    ~X11HotKey() override;

    void bind(const QKeySequence& shortcut) override;
    void unbind() override;
    QString mechanism() const override { return QStringLiteral("X11 key grab"); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // The X keysym for a Qt key; 0 for keys this grab does not know.
    static std::uint32_t keysymFor(int qtKey);

private:
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers;
    };

    void releaseGrabs();

    QList<Grab> m_grabs;
    QList<std::uint8_t> m_keycodes;
    // The key and time of the last release, to tell a repeat from a new press.
    std::optional<std::pair<std::uint8_t, std::uint32_t>> m_lastRelease;
    std::uint16_t m_modifiers = 0;
    std::uint16_t m_lockMask = 0;
    std::uint32_t m_root = 0;
    bool m_filterInstalled = false;
};

} // namespace pemmo
