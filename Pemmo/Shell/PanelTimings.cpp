#include "Shell/PanelTimings.h"

#include "Search/SearchViewModel.h"

#include <QEvent>
#include <QQuickWindow>

namespace pemmo {

PanelTimings::PanelTimings(QQuickWindow& window, SearchViewModel& search, QObject* parent)
    : QObject(parent)
    , m_window(&window) {
    m_clock.start();
    window.installEventFilter(this);
    connect(&window, &QQuickWindow::frameSwapped, this, &PanelTimings::onFrameSwapped, Qt::DirectConnection);
    connect(&search, &SearchViewModel::searchFinished, this, [this] {
        if (m_keyAt >= 0)
            m_searchAt = m_clock.nsecsElapsed();
    });
}

void PanelTimings::showRequested() {
    m_showAt = m_clock.nsecsElapsed();
}

bool PanelTimings::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        m_keyAt = m_clock.nsecsElapsed();
        m_searchAt = -1;
    }
    return false;
}

void PanelTimings::onFrameSwapped() {
    const qint64 now = m_clock.nsecsElapsed();
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
}

QJsonObject PanelTimings::toJson() const {
    return {{u"showMs"_qs, m_lastShow}, {u"keystrokeMs"_qs, m_lastKeystroke}, {u"renderMs"_qs, m_lastRender}};
}

} // namespace pemmo
