// How long the panel takes to answer the user, measured where it matters: from the shortcut (or
// the keystroke) to the first frame on screen that shows its effect. Read through `pemmo`'s state
// command by bench/measure-panel; nothing here changes what the panel does.
#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>

class QQuickWindow;

namespace pemmo {

class SearchViewModel;

class PanelTimings : public QObject {
    Q_OBJECT

public:
    PanelTimings(QQuickWindow& window, SearchViewModel& search, QObject* parent = nullptr);

    // The shortcut or `pemmo toggle` arrived and is about to show the panel.
    void showRequested();

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Milliseconds of the last show (request to first frame), of the last keystroke (key press to
    // the first frame after its search), and of that keystroke's search (its run to the frame).
    QJsonObject toJson() const;

private:
    void onFrameSwapped();

    QPointer<QQuickWindow> m_window;
    QElapsedTimer m_clock;
    qint64 m_showAt = -1;
    qint64 m_keyAt = -1;
    qint64 m_searchAt = -1;
    double m_lastShow = -1;
    double m_lastKeystroke = -1;
    double m_lastRender = -1;
};

} // namespace pemmo
