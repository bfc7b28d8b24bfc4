// The people the user starred, oldest first, at most five; kept in the preferences as
// "pemmo.starredContactIDs". GUI thread only; every change is written at once.
#pragma once

#include "Lists/IDListStore.h"

namespace pemmo {

class StarredStore : public IDListStore {
    Q_OBJECT

public:
    static QString storageKey() { return QStringLiteral("pemmo.starredContactIDs"); }
    static constexpr int limit = 5;

    // The store is not owned and must outlive this object.
    explicit StarredStore(KeyValueStore& store, QObject* parent = nullptr);

    Q_INVOKABLE bool isStarred(const QString& id) const { return ids().contains(id); }

    // Unstars a starred person, stars anyone else. Throws PemmoError::starredLimitReached and
    // changes nothing when five are starred already.
    void toggle(const QString& id);
};

} // namespace pemmo
