#include "Updates/UpdateNotifications.h"

#include "Updates/UpdateLogging.h"

#include <QPointer>
#include <QUuid>
#include <algorithm>
#include <limits>

namespace pemmo {

QString UpdateNotifications::identifierPrefix() {
    return u"com.dorvane.Pemmo.update."_qs;
}

QString UpdateNotifications::categoryIdentifier() {
    return u"com.dorvane.Pemmo.update"_qs;
}

QString UpdateNotifications::openActionIdentifier() {
    return u"com.dorvane.Pemmo.update.open"_qs;
}

UpdateNotifications::UpdateNotifications(NotificationCenter& center, QString instance, QObject* parent)
    : QObject(parent)
    , m_center(center)
    , m_instance(instance.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces)
                                    : std::move(instance)) {
    m_center.setDelegate(this);
    m_center.setCategories({{categoryIdentifier(), {{openActionIdentifier(), u"Update"_qs}}}});

    // Whatever carries the prefix now is a leftover: of an earlier launch, or of a reminder this
    // object never knew.
    const auto leftovers = [](const QStringList& identifiers) {
        QStringList ours;
        for (const QString& identifier : identifiers) {
            if (identifier.startsWith(identifierPrefix()))
                ours << identifier;
        }
        return ours;
    };
    QPointer<UpdateNotifications> self(this);
    m_center.deliveredIdentifiers([self, leftovers](const QStringList& identifiers) {
        const QStringList ours = leftovers(identifiers);
        if (self && !ours.isEmpty())
            self->m_center.removeDelivered(ours);
    });
    m_center.pendingIdentifiers([self, leftovers](const QStringList& identifiers) {
        const QStringList ours = leftovers(identifiers);
        if (self && !ours.isEmpty())
            self->m_center.removePending(ours);
    });
}

UpdateNotifications::~UpdateNotifications() {
    m_center.setDelegate(nullptr);
}

QString UpdateNotifications::identifier(qint64 generation) const {
    return identifierPrefix() + m_instance + u'.' + QString::number(generation);
}

std::optional<qint64> UpdateNotifications::generationOf(const QString& identifier) const {
    const QString ownPrefix = identifierPrefix() + m_instance + u'.';
    if (!identifier.startsWith(ownPrefix))
        return std::nullopt;
    const QStringView rest = QStringView(identifier).mid(ownPrefix.size());
    // Decimal digits only: no sign, no blanks, nothing QString::toLongLong would also accept.
    if (rest.isEmpty() || std::any_of(rest.begin(), rest.end(), [](QChar c) { return c < u'0' || c > u'9'; }))
        return std::nullopt;
    bool ok = false;
    const qint64 generation = rest.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return generation;
}

void UpdateNotifications::advanceGeneration() {
    if (m_reminder.generation == std::numeric_limits<qint64>::max())
        qFatal("update reminder generation overflowed");
    ++m_reminder.generation;
}

bool UpdateNotifications::isCurrent(qint64 generation) const {
    QMutexLocker locker(&m_lock);
    return m_reminder.generation == generation;
}

qint64 UpdateNotifications::generation() const {
    QMutexLocker locker(&m_lock);
    return m_reminder.generation;
}

std::optional<QString> UpdateNotifications::waitingVersion() const {
    QMutexLocker locker(&m_lock);
    return m_reminder.waitingVersion;
}

QSet<qint64> UpdateNotifications::outstanding() const {
    QMutexLocker locker(&m_lock);
    return m_reminder.outstanding;
}

NotificationRequest UpdateNotifications::request(const QString& version, qint64 generation) const {
    return {
        .identifier = identifier(generation),
        .title = u"Pemmo "_qs + version + u" is ready to install."_qs,
        .body = u"Choose Update to see what's new and install it."_qs,
        .categoryIdentifier = categoryIdentifier(),
    };
}

void UpdateNotifications::takeDown(const QStringList& identifiers) {
    if (identifiers.isEmpty())
        return;
    m_center.removePending(identifiers);
    m_center.removeDelivered(identifiers);
}

void UpdateNotifications::post(const QString& version) {
    qint64 g = 0;
    {
        QMutexLocker locker(&m_lock);
        advanceGeneration();
        m_reminder.waitingVersion = version;
        g = m_reminder.generation;
    }
    QPointer<UpdateNotifications> self(this);
    m_center.requestAuthorization([self, version, g](bool granted, std::optional<QString> error) {
        if (!self)
            return;
        if (!granted) {
            qCInfo(lcUpdates, "Notifications not allowed (%s); the menu bar carries the reminder",
                   qUtf8Printable(error.value_or(u"declined"_qs)));
            self->postFailed(version, g);
            return;
        }
        {
            QMutexLocker locker(&self->m_lock);
            if (self->m_reminder.generation != g) {
                locker.unlock();
                qCInfo(lcUpdates,
                       "The reminder for Pemmo %s was over before notifications were authorized; nothing to "
                       "post",
                       qUtf8Printable(version));
                return;
            }
            self->m_reminder.outstanding.insert(g);
        }
        self->m_center.add(self->request(version, g), [self, version, g](std::optional<QString> addError) {
            if (!self)
                return;
            const QString id = self->identifier(g);
            if (addError) {
                qCCritical(lcUpdates,
                           "Posting the update notification for Pemmo %s failed: %s; the menu bar carries "
                           "the reminder",
                           qUtf8Printable(version), qUtf8Printable(*addError));
                {
                    QMutexLocker locker(&self->m_lock);
                    self->m_reminder.outstanding.remove(g);
                }
                self->takeDown({id});
                self->postFailed(version, g);
                return;
            }
            if (self->isCurrent(g)) {
                qCInfo(lcUpdates, "Posted the update notification for Pemmo %s", qUtf8Printable(version));
            } else {
                qCInfo(lcUpdates,
                       "The reminder for Pemmo %s was over before the notification was registered; taking it "
                       "down",
                       qUtf8Printable(version));
                self->takeDown({id});
            }
        });
    });
}

void UpdateNotifications::postFailed(const QString& version, qint64 generation) {
    // The centre may answer on any thread; the reminder is the main thread's.
    QMetaObject::invokeMethod(
        this,
        [this, version, generation] {
            if (!isCurrent(generation)) {
                qCInfo(lcUpdates,
                       "The reminder for Pemmo %s was over before it could fail; leaving it counted as "
                       "announced",
                       qUtf8Printable(version));
                return;
            }
            if (m_onPostFailed)
                m_onPostFailed(version);
        },
        Qt::QueuedConnection);
}

void UpdateNotifications::end() {
    QSet<qint64> taken;
    {
        QMutexLocker locker(&m_lock);
        advanceGeneration();
        m_reminder.waitingVersion.reset();
        taken.swap(m_reminder.outstanding);
    }
    QStringList identifiers;
    for (const qint64 g : std::as_const(taken))
        identifiers << identifier(g);
    identifiers.sort();
    takeDown(identifiers);
}

PresentationOptions UpdateNotifications::willPresent(const QString& identifier) {
    const PresentationOptions show = PresentationOption::Banner | PresentationOption::List;
    if (!identifier.startsWith(identifierPrefix()))
        return show;
    const std::optional<qint64> g = generationOf(identifier);
    bool current = false;
    if (g) {
        QMutexLocker locker(&m_lock);
        current = m_reminder.waitingVersion.has_value() && m_reminder.generation == *g;
    }
    if (current)
        return show;
    qCInfo(lcUpdates, "An update notification arrived after its reminder was over; not showing it");
    takeDown({identifier});
    return {};
}

void UpdateNotifications::didReceiveResponse(const QString& identifier, const QString& actionIdentifier,
                                             std::function<void()> completion) {
    Q_UNUSED(actionIdentifier)
    if (identifier.startsWith(identifierPrefix())) {
        const std::optional<qint64> g = generationOf(identifier);
        if (!g) {
            qCInfo(lcUpdates,
                   "An update notification left over from an earlier launch was clicked; clearing it "
                   "instead of opening the update");
            takeDown({identifier});
        } else {
            bool current = false;
            {
                QMutexLocker locker(&m_lock);
                current = m_reminder.waitingVersion.has_value() && m_reminder.generation == *g;
            }
            if (current) {
                if (m_onOpen)
                    m_onOpen();
            } else {
                qCInfo(lcUpdates,
                       "An update notification was clicked after its reminder was over; clearing it "
                       "instead of opening the update");
                takeDown({identifier});
            }
        }
    }
    if (completion)
        completion();
}

} // namespace pemmo
