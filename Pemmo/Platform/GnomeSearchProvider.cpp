#include "Platform/GnomeSearchProvider.h"

#include "Platform/DesktopSearchBackend.h"

#include <QDBusMetaType>

namespace pemmo {

GnomeSearchProvider::GnomeSearchProvider(DesktopSearchBackend& backend, QObject* parent)
    : QObject(parent)
    , m_backend(backend) {
    qDBusRegisterMetaType<QList<QVariantMap>>();
}

QStringList GnomeSearchProvider::GetInitialResultSet(const QStringList& terms) {
    QStringList ids;
    for (const DesktopSearch::Result& result : m_backend.find(DesktopSearch::queryText(terms)))
        ids.append(result.id);
    return ids;
}

QStringList GnomeSearchProvider::GetSubsearchResultSet(const QStringList& previousResults,
                                                       const QStringList& terms) {
    Q_UNUSED(previousResults)
    return GetInitialResultSet(terms);
}

QList<QVariantMap> GnomeSearchProvider::GetResultMetas(const QStringList& identifiers) {
    QList<QVariantMap> metas;
    for (const QString& id : identifiers) {
        const auto result = m_backend.describe(id);
        if (!result)
            continue;
        QVariantMap meta{{QStringLiteral("id"), result->id},
                         {QStringLiteral("name"), result->name},
                         {QStringLiteral("gicon"), personIcon()}};
        if (!result->headline.isEmpty())
            meta.insert(QStringLiteral("description"), result->headline);
        metas.append(meta);
    }
    return metas;
}

void GnomeSearchProvider::ActivateResult(const QString& identifier, const QStringList& terms,
                                         uint timestamp) {
    Q_UNUSED(terms)
    Q_UNUSED(timestamp)
    m_backend.open(identifier);
}

void GnomeSearchProvider::LaunchSearch(const QStringList& terms, uint timestamp) {
    Q_UNUSED(timestamp)
    m_backend.searchFor(DesktopSearch::queryText(terms));
}

} // namespace pemmo
