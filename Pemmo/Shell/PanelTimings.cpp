#include "Shell/PanelTimings.h"

#include "Links/DestinationOpener.h"
#include "Search/SearchViewModel.h"
#include "Shell/AppRouter.h"

#include <QEvent>
#include <QQuickWindow>

namespace pemmo {

// Passes every address on, after noting the time it arrived.
class PanelTimings::TimedOpener : public DestinationOpener {
public:
    TimedOpener(PanelTimings& timings, std::unique_ptr<DestinationOpener> inner)
        : m_timings(&timings)
        , m_inner(std::move(inner)) {}

    QCoro::Task<std::optional<QString>> open(QString address, Options options) override {
        if (m_timings)
            m_timings->onOpen();
        return m_inner->open(std::move(address), options);
    }

private:
    QPointer<PanelTimings> m_timings;
    std::unique_ptr<DestinationOpener> m_inner;
};

PanelTimings::PanelTimings(QQuickWindow& window, SearchViewModel& search, AppRouter& router, QObject* parent)
    : QObject(parent)
    , m_window(&window)
    , m_router(&router) {
    m_clock.start();
    window.installEventFilter(this);
    connect(&window, &QQuickWindow::frameSwapped, this, &PanelTimings::onFrameSwapped, Qt::DirectConnection);
    connect(&search, &SearchViewModel::searchFinished, this, [this] {
        if (m_keyAt >= 0)
            m_searchAt = m_clock.nsecsElapsed();
    });
    connect(&router, &AppRouter::overlayChanged, this, &PanelTimings::onOverlayChanged);
}

std::unique_ptr<DestinationOpener> PanelTimings::timed(std::unique_ptr<DestinationOpener> opener) {
    if (!opener)
        return opener;
    return std::make_unique<TimedOpener>(*this, std::move(opener));
}

void PanelTimings::showRequested() {
    m_showAt = m_clock.nsecsElapsed();
}

void PanelTimings::keyArrived() {
    m_lastKeyAt = m_clock.nsecsElapsed();
}

bool PanelTimings::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        m_keyAt = m_clock.nsecsElapsed();
        m_lastKeyAt = m_keyAt;
        m_searchAt = -1;
    }
    return false;
}

void PanelTimings::onOverlayChanged() {
    if (m_router && m_router->showsActions() && m_lastKeyAt >= 0)
        m_actionsKeyAt = m_lastKeyAt;
}

void PanelTimings::onOpen() {
    if (m_lastKeyAt >= 0) {
        m_lastOpen = (m_clock.nsecsElapsed() - m_lastKeyAt) / 1e6;
        ++m_openCount;
    }
}

void PanelTimings::onFrameSwapped() {
    const qint64 now = m_clock.nsecsElapsed();
    ++m_frames;
    if (m_showAt >= 0) {
        m_lastShow = (now - m_showAt) / 1e6;
        m_showAt = -1;
    }
    if (m_keyAt >= 0 && m_searchAt >= 0) {
        m_lastKeystroke = (now - m_keyAt) / 1e6;
        m_lastRender = (now - m_searchAt) / 1e6;
        m_keyAt = -1;
        m_searchAt = -1;
    }
    if (m_actionsKeyAt >= 0) {
        m_lastActions = (now - m_actionsKeyAt) / 1e6;
        m_actionsKeyAt = -1;
        ++m_actionsCount;
    }
}

QJsonObject PanelTimings::toJson() const {
    return {{u"showMs"_qs, m_lastShow},
            {u"keystrokeMs"_qs, m_lastKeystroke},
            {u"renderMs"_qs, m_lastRender},
            {u"actionPanelMs"_qs, m_lastActions},
            {u"actionPanelCount"_qs, m_actionsCount},
            {u"openMs"_qs, m_lastOpen},
            {u"openCount"_qs, m_openCount},
            {u"frames"_qs, m_frames.load()}};
}

} // namespace pemmo
