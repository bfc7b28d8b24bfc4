// KRunner's D-Bus runner interface (org.kde.krunner1): Plasma's search asks it for people while
// the user types and runs the one they pick.
#pragma once

#include <QDBusArgument>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QString>
#include <QVariantMap>

namespace pemmo {

class DesktopSearchBackend;

// One row of a Match answer: (sssida{sv}).
struct KRunnerMatch {
    QString id;
    QString text;
    QString iconName;
    int type = 0; // how KRunner files the row: possibleMatch or exactMatch
    double relevance = 0.0;
    QVariantMap properties; // "subtext": the line under the name

    bool operator==(const KRunnerMatch&) const = default;
};

// One entry of the Actions answer: (sss).
struct KRunnerAction {
    QString id;
    QString text;
    QString iconName;

    bool operator==(const KRunnerAction&) const = default;
};

QDBusArgument& operator<<(QDBusArgument& argument, const KRunnerMatch& match);
const QDBusArgument& operator>>(const QDBusArgument& argument, KRunnerMatch& match);
QDBusArgument& operator<<(QDBusArgument& argument, const KRunnerAction& action);
const QDBusArgument& operator>>(const QDBusArgument& argument, KRunnerAction& action);

class KRunnerRunner : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.krunner1")

public:
    static constexpr int possibleMatch = 30;
    static constexpr int exactMatch = 100;
    static QString personIcon() { return QStringLiteral("user-identity"); }

    // Registers the D-Bus types. The backend is not owned and must outlive the runner.
    explicit KRunnerRunner(DesktopSearchBackend& backend, QObject* parent = nullptr);

public Q_SLOTS:
    // No actions beside the default one: picking a person opens their card.
    QList<pemmo::KRunnerAction> Actions();
    QList<pemmo::KRunnerMatch> Match(const QString& query);
    void Run(const QString& matchId, const QString& actionId);
    // Plasma calls this when the search closes; there is nothing to let go of.
    void Teardown() {}

private:
    DesktopSearchBackend& m_backend;
};

} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::KRunnerMatch)
Q_DECLARE_METATYPE(pemmo::KRunnerAction)
