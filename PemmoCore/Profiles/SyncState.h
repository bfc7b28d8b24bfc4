// What the profile list is doing: resting, loading, or stopped by a failure with its status text.
#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

namespace pemmo {

struct SyncState {
    Q_GADGET
    Q_PROPERTY(Kind kind MEMBER kind)
    Q_PROPERTY(QString message MEMBER message)

public:
    enum class Kind { Idle, Loading, Error };
    Q_ENUM(Kind)

    Kind kind = Kind::Idle;
    QString message; // the status text of an error; empty otherwise

    static SyncState idle() { return {Kind::Idle, {}}; }
    static SyncState loading() { return {Kind::Loading, {}}; }
    static SyncState error(const QString& message) { return {Kind::Error, message}; }

    bool isError() const { return kind == Kind::Error; }

    bool operator==(const SyncState&) const = default;
};

} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::SyncState)
