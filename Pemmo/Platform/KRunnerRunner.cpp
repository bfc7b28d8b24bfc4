#include "Platform/KRunnerRunner.h"

#include "Platform/DesktopSearchBackend.h"

#include <QDBusMetaType>

namespace pemmo {

QDBusArgument& operator<<(QDBusArgument& argument, const KRunnerMatch& match) {
    argument.beginStructure();
    argument << match.id << match.text << match.iconName << match.type << match.relevance << match.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, KRunnerMatch& match) {
    argument.beginStructure();
    argument >> match.id >> match.text >> match.iconName >> match.type >> match.relevance >> match.properties;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const KRunnerAction& action) {
    argument.beginStructure();
    argument << action.id << action.text << action.iconName;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, KRunnerAction& action) {
    argument.beginStructure();
    argument >> action.id >> action.text >> action.iconName;
    argument.endStructure();
    return argument;
}

KRunnerRunner::KRunnerRunner(DesktopSearchBackend& backend, QObject* parent)
    : QObject(parent)
    , m_backend(backend) {
    qDBusRegisterMetaType<KRunnerMatch>();
    qDBusRegisterMetaType<QList<KRunnerMatch>>();
    qDBusRegisterMetaType<KRunnerAction>();
    qDBusRegisterMetaType<QList<KRunnerAction>>();
}

QList<KRunnerAction> KRunnerRunner::Actions() {
    return {};
}

QList<KRunnerMatch> KRunnerRunner::Match(const QString& query) {
    QList<KRunnerMatch> matches;
    for (const DesktopSearch::Result& result : m_backend.find(DesktopSearch::queryText({query}))) {
        KRunnerMatch match{result.id,        result.name,
                           personIcon(),     result.exact ? exactMatch : possibleMatch,
                           result.relevance, {}};
        if (!result.headline.isEmpty())
            match.properties.insert(QStringLiteral("subtext"), result.headline);
        matches.append(match);
    }
    return matches;
}

void KRunnerRunner::Run(const QString& matchId, const QString& actionId) {
    Q_UNUSED(actionId)
    m_backend.open(matchId);
}

} // namespace pemmo
