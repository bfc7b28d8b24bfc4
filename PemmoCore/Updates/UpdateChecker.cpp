#include "Updates/UpdateChecker.h"

#include "AI/TransportError.h"
#include "Settings/KeyValueStore.h"
#include "Support/DecodingError.h"
#include "Updates/UpdateLogging.h"
#include "Updates/UpdateReminder.h"

#include <QPointer>
#include <algorithm>

namespace pemmo {

UpdateChecker::UpdateChecker(HTTPTransport& transport, KeyValueStore& settings, UpdateReminder& reminder,
                             QString currentVersion, Clock clock, std::chrono::milliseconds interval,
                             std::chrono::milliseconds startDelay, std::chrono::milliseconds retryDelay,
                             QObject* parent)
    : QObject(parent)
    , m_transport(transport)
    , m_settings(settings)
    , m_reminder(reminder)
    , m_currentVersion(std::move(currentVersion))
    , m_clock(std::move(clock))
    , m_interval(interval)
    , m_startDelay(startDelay)
    , m_retryDelay(retryDelay) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        auto checking = check();
        QCoro::connect(std::move(checking), this, [] {});
    });
}

std::optional<QUrl> UpdateChecker::feedURL() const {
    const std::optional<QString> text = m_settings.text(feedKey());
    if (!text || text->trimmed().isEmpty())
        return std::nullopt;
    const QUrl url(text->trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty() || (url.scheme() != u"https" && url.scheme() != u"http"))
        return std::nullopt;
    return url;
}

void UpdateChecker::start() {
    schedule(delayAfterLaunch());
}

std::chrono::milliseconds UpdateChecker::delayAfterLaunch() const {
    const std::optional<QString> last = m_settings.text(lastCheckKey());
    const QDateTime lastCheck = last ? QDateTime::fromString(*last, Qt::ISODate) : QDateTime();
    if (!lastCheck.isValid())
        return m_startDelay;
    const std::chrono::milliseconds remaining(m_clock().msecsTo(lastCheck.addMSecs(m_interval.count())));
    // A clock set back far would otherwise put the next check off for longer than a day.
    return std::clamp(remaining, m_startDelay, std::max(m_startDelay, m_interval));
}

void UpdateChecker::schedule(std::chrono::milliseconds delay) {
    m_nextDelay = delay;
    m_timer.start(delay);
}

QCoro::Task<> UpdateChecker::check() {
    const std::optional<QUrl> url = feedURL();
    if (!url || m_checking) {
        // Settings may name a feed later; look again at the next turn.
        if (!m_checking)
            schedule(m_interval);
        Q_EMIT checked();
        co_return;
    }
    m_checking = true;
    HTTPRequest request;
    request.url = *url;
    request.method = "GET";
    request.headers = {{"Accept", "application/json"},
                       {"User-Agent", QByteArray("Pemmo/").append(m_currentVersion.toUtf8())}};
    request.timeout = std::chrono::seconds(30);

    const QPointer<UpdateChecker> self(this);
    std::optional<QString> problem;
    std::optional<UpdateRelease> newer;
    try {
        auto sending = m_transport.send(request);
        const HTTPResponse response = co_await sending;
        if (!self)
            co_return;
        if (response.status != 200) {
            problem = u"the feed answered with status %1"_qs.arg(response.status);
        } else {
            newer = UpdateFeed::newerRelease(UpdateFeed::parse(response.body), m_currentVersion);
        }
    } catch (const TransportError& error) {
        problem = error.description();
    } catch (const DecodingError& error) {
        problem = u"the feed is not readable: "_qs + QString::fromUtf8(error.what());
    }
    if (!self)
        co_return;
    m_checking = false;
    if (problem) {
        qCCritical(lcUpdates, "The update check at %s failed: %s; trying again later",
                   qUtf8Printable(url->toDisplayString()), qUtf8Printable(*problem));
        schedule(m_retryDelay);
    } else {
        m_settings.set(m_clock().toUTC().toString(Qt::ISODate), lastCheckKey());
        schedule(m_interval);
        found(newer);
    }
    Q_EMIT checked();
}

void UpdateChecker::found(std::optional<UpdateRelease> release) {
    if (!release) {
        // Installed meanwhile, or withdrawn from the feed: nothing waits any more.
        if (m_waiting) {
            m_waiting.reset();
            m_reminder.willFinishUpdateSession();
        }
        return;
    }
    m_waiting = release;
    if (!m_reminder.supportsGentleScheduledUpdateReminders()) {
        showUpdate();
        return;
    }
    const bool showNow =
        m_reminder.shouldHandleShowingScheduledUpdate(m_immediateFocus && m_immediateFocus());
    m_reminder.willHandleShowingUpdate(showNow, release->version);
    if (showNow)
        showUpdate();
}

void UpdateChecker::showUpdate() {
    if (!m_waiting)
        return;
    const QUrl url = m_waiting->url;
    if (m_opener && !m_opener(url)) {
        // Nothing was shown: the reminder stays until the page can be opened.
        qCWarning(lcUpdates, "Could not open %s", qUtf8Printable(url.toString()));
        Q_EMIT openFailed(url);
        return;
    }
    m_reminder.didReceiveUserAttention();
}

} // namespace pemmo
