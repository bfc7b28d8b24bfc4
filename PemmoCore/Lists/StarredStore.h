// The people the user starred, oldest first, at most five; kept in the preferences as
// "pemmo.starredContactIDs". GUI thread only; every change is written at once.
#pragma once

#include <QObject>
#include <QSet>
#include <QStringList>

namespace pemmo {

class KeyValueStore;

class StarredStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList ids READ ids NOTIFY idsChanged)

public:
    static QString storageKey() { return QStringLiteral("pemmo.starredContactIDs"); }
    static constexpr int limit = 5;

    // The store is not owned and must outlive this object.
    explicit StarredStore(KeyValueStore& store, QObject* parent = nullptr);

    const QStringList& ids() const { return m_ids; }
    Q_INVOKABLE bool isStarred(const QString& id) const { return m_ids.contains(id); }

    // Unstars a starred person, stars anyone else. Throws PemmoError::starredLimitReached and
    // changes nothing when five are starred already.
    void toggle(const QString& id);
    // Keeps only the ids in `keeping`, in their order; writes only when that changed anything.
    void prune(const QSet<QString>& keeping);

Q_SIGNALS:
    void idsChanged();

private:
    void setIDs(QStringList ids);

    KeyValueStore& m_store;
    QStringList m_ids;
};

} // namespace pemmo
