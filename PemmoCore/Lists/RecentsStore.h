// The people opened most recently, newest first, at most fifteen; kept in the preferences as
// "pemmo.recentContactIDs". GUI thread only; every change is written at once.
#pragma once

#include <QObject>
#include <QSet>
#include <QStringList>

namespace pemmo {

class KeyValueStore;

class RecentsStore : public QObject {
    Q_OBJECT
    Q_PROPERTY(QStringList ids READ ids NOTIFY idsChanged)
    Q_PROPERTY(QStringList visible READ visible NOTIFY idsChanged)

public:
    static QString storageKey() { return QStringLiteral("pemmo.recentContactIDs"); }
    static constexpr int capacity = 15;
    static constexpr int visibleCount = 6;

    // The store is not owned and must outlive this object.
    explicit RecentsStore(KeyValueStore& store, QObject* parent = nullptr);

    const QStringList& ids() const { return m_ids; }
    // The few the search screen shows.
    QStringList visible() const { return m_ids.mid(0, visibleCount); }

    // Moves `id` to the front (or adds it there), dropping the oldest beyond fifteen.
    void record(const QString& id);
    // Forgets everyone; writes only when there was someone to forget.
    void clear();
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
