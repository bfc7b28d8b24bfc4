// The transient face of an update reminder: one desktop notification per reminder, numbered by a
// generation so that a notification outliving its reminder (or this launch) never opens an update
// that is no longer current.
#pragma once

#include "Updates/NotificationCenter.h"
#include "Updates/UpdateNotifying.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QString>
#include <optional>

namespace pemmo {

class UpdateNotifications : public QObject, public UpdateNotifying, public NotificationCenterDelegate {
    Q_OBJECT

public:
    // Every identifier of an update notification, of any launch, begins with this.
    static QString identifierPrefix();
    static QString categoryIdentifier();
    static QString openActionIdentifier();

    // Becomes the centre's delegate, registers the category and takes down what earlier launches
    // and earlier reminders left. `instance` tells this launch's notifications from others'; by
    // default a fresh unique identifier.
    explicit UpdateNotifications(NotificationCenter& center, QString instance = {},
                                 QObject* parent = nullptr);
    ~UpdateNotifications() override;

    QString instance() const { return m_instance; }
    // The identifier of this launch's notification for a generation.
    QString identifier(qint64 generation) const;
    // The generation an identifier carries when it belongs to this launch.
    std::optional<qint64> generationOf(const QString& identifier) const;

    void post(const QString& version) override;
    void end() override;
    void setOnOpen(std::function<void()> onOpen) override { m_onOpen = std::move(onOpen); }
    void setOnPostFailed(std::function<void(const QString&)> onPostFailed) override {
        m_onPostFailed = std::move(onPostFailed);
    }

    PresentationOptions willPresent(const QString& identifier) override;
    void didReceiveResponse(const QString& identifier, const QString& actionIdentifier,
                            std::function<void()> completion) override;

    // For tests and diagnostics: the reminder in force.
    qint64 generation() const;
    std::optional<QString> waitingVersion() const;
    QSet<qint64> outstanding() const;

private:
    struct Reminder {
        qint64 generation = 0;
        std::optional<QString> waitingVersion;
        QSet<qint64> outstanding;
    };

    // Called with the lock held.
    void advanceGeneration();
    bool isCurrent(qint64 generation) const;
    void takeDown(const QStringList& identifiers);
    void postFailed(const QString& version, qint64 generation);
    NotificationRequest request(const QString& version, qint64 generation) const;

    NotificationCenter& m_center;
    const QString m_instance;
    mutable QMutex m_lock;
    Reminder m_reminder;
    std::function<void()> m_onOpen;
    std::function<void(const QString&)> m_onPostFailed;
};

} // namespace pemmo
