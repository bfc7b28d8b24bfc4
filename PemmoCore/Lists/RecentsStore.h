// The people opened most recently, newest first, at most fifteen, with the time each was last
// opened; kept in the preferences as "pemmo.recentContactIDs" and, beside it,
// "pemmo.recentContactOpenedAt". GUI thread only; every change is written at once.
#pragma once

#include "Lists/IDListStore.h"
#include "Support/Clock.h"

#include <QDateTime>
#include <QHash>
#include <optional>

namespace pemmo {

class RecentsStore : public IDListStore {
    Q_OBJECT
    Q_PROPERTY(QStringList visible READ visible NOTIFY idsChanged)

public:
    static QString storageKey() { return QStringLiteral("pemmo.recentContactIDs"); }
    // JSON data: an object from contact id to the ISO 8601 time of the last opening.
    static QString openingsKey() { return QStringLiteral("pemmo.recentContactOpenedAt"); }
    static constexpr int capacity = 15;
    static constexpr int visibleCount = 6;

    // The store is not owned and must outlive this object. `clock` dates the openings.
    explicit RecentsStore(KeyValueStore& store, Clock clock = systemClock(), QObject* parent = nullptr);

    // The few the search screen shows.
    QStringList visible() const { return ids().mid(0, visibleCount); }
    // When each listed person was last opened. Someone listed without a known time (a list kept
    // by an earlier release) has no entry.
    const QHash<QString, QDateTime>& openings() const { return m_openings; }
    std::optional<QDateTime> openedAt(const QString& id) const;

    // Moves `id` to the front (or adds it there), dropping the oldest beyond fifteen, and dates
    // the opening now, also when `id` was at the front already.
    void record(const QString& id);
    // Forgets everyone; writes only when there was someone to forget.
    void clear();

    // The times as stored: absent for anything but JSON data holding an object; entries that are
    // not ISO 8601 texts are left out.
    static QHash<QString, QDateTime> decodeOpenings(const QByteArray& data);
    static QByteArray encodeOpenings(const QHash<QString, QDateTime>& openings);

Q_SIGNALS:
    void openingsChanged();

protected:
    void replaceIDs(QStringList ids) override;

private:
    // Writes and publishes the times when they differ from the current ones; no times at all
    // removes the key.
    void setOpenings(QHash<QString, QDateTime> openings);

    const Clock m_clock;
    QHash<QString, QDateTime> m_openings;
};

} // namespace pemmo
