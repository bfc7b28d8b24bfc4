#include "Lists/RecentsStore.h"

#include "Settings/KeyValueStore.h"
#include "Support/IsoDate.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace pemmo {
namespace {

// The times of the people on `ids` only: the two keys never disagree about who is listed.
QHash<QString, QDateTime> onlyListed(const QHash<QString, QDateTime>& openings, const QStringList& ids) {
    QHash<QString, QDateTime> kept;
    for (const QString& id : ids) {
        if (const auto it = openings.constFind(id); it != openings.cend())
            kept.insert(id, *it);
    }
    return kept;
}

} // namespace

RecentsStore::RecentsStore(KeyValueStore& store, Clock clock, QObject* parent)
    : IDListStore(store, storageKey(), parent)
    , m_clock(std::move(clock))
    , m_openings(onlyListed(decodeOpenings(store.data(openingsKey()).value_or(QByteArray())), ids())) {}

std::optional<QDateTime> RecentsStore::openedAt(const QString& id) const {
    if (const auto it = m_openings.constFind(id); it != m_openings.cend())
        return *it;
    return std::nullopt;
}

void RecentsStore::record(const QString& id) {
    QStringList list = ids();
    list.removeAll(id);
    list.prepend(id);
    if (list.size() > capacity)
        list.resize(capacity);
    QHash<QString, QDateTime> openings = onlyListed(m_openings, list);
    openings.insert(id, m_clock());
    setIDs(list);
    setOpenings(std::move(openings));
}

void RecentsStore::clear() {
    if (ids().isEmpty())
        return;
    replaceIDs({});
}

void RecentsStore::replaceIDs(QStringList ids) {
    QHash<QString, QDateTime> openings = onlyListed(m_openings, ids);
    setIDs(std::move(ids));
    setOpenings(std::move(openings));
}

void RecentsStore::setOpenings(QHash<QString, QDateTime> openings) {
    if (openings == m_openings)
        return;
    m_openings = std::move(openings);
    if (m_openings.isEmpty())
        store().set(std::nullopt, openingsKey());
    else
        store().set(StoredValue(encodeOpenings(m_openings)), openingsKey());
    Q_EMIT openingsChanged();
}

QHash<QString, QDateTime> RecentsStore::decodeOpenings(const QByteArray& data) {
    QHash<QString, QDateTime> openings;
    const QJsonObject object = QJsonDocument::fromJson(data).object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (const auto date = IsoDate::parse(it.value().toString()))
            openings.insert(it.key(), *date);
    }
    return openings;
}

QByteArray RecentsStore::encodeOpenings(const QHash<QString, QDateTime>& openings) {
    QJsonObject object;
    for (auto it = openings.cbegin(); it != openings.cend(); ++it)
        object.insert(it.key(), IsoDate::format(*it));
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace pemmo
