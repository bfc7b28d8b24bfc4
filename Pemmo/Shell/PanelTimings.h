// How long the panel takes to answer the user, measured where it matters: from the shortcut (or
// the keystroke) to the first frame on screen that shows its effect, and from a key to the moment
// an address is handed to the desktop. Read through `pemmo`'s state command by
// bench/measure-panel; nothing here changes what the panel does.
#pragma once

#include <QElapsedTimer>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <memory>

class QQuickWindow;

namespace pemmo {

class AppRouter;
class DestinationOpener;
class SearchViewModel;

class PanelTimings : public QObject {
    Q_OBJECT

public:
    PanelTimings(QQuickWindow& window, SearchViewModel& search, AppRouter& router, QObject* parent = nullptr);

    // The shortcut or `pemmo toggle` arrived and is about to show the panel.
    void showRequested();
    // A key reached the panel other than through its window (the global shortcut while it is up).
    void keyArrived();
    // `opener`, noting when each address is handed to it (null stays null).
    std::unique_ptr<DestinationOpener> timed(std::unique_ptr<DestinationOpener> opener);

    bool eventFilter(QObject* watched, QEvent* event) override;

    // Milliseconds of the last show (request to first frame), of the last keystroke (key press to
    // the first frame after its search), of that keystroke's search (its run to the frame), of the
    // last key that opened the action panel (to its first frame), and of the last key that handed
    // an address to the desktop (to that moment); and how many frames the panel has shown, so that
    // a screenshot can wait for the panel to settle.
    QJsonObject toJson() const;

private:
    class TimedOpener;

    void onFrameSwapped();
    void onOverlayChanged();
    void onOpen();

    QPointer<QQuickWindow> m_window;
    QPointer<AppRouter> m_router;
    QElapsedTimer m_clock;
    qint64 m_showAt = -1;
    qint64 m_keyAt = -1;
    qint64 m_searchAt = -1;
    qint64 m_lastKeyAt = -1;
    qint64 m_actionsKeyAt = -1;
    double m_lastShow = -1;
    double m_lastKeystroke = -1;
    double m_lastRender = -1;
    double m_lastActions = -1;
    double m_lastOpen = -1;
    int m_actionsCount = 0;
    int m_openCount = 0;
    // Counted on the thread that renders, read on the GUI thread.
    std::atomic<int> m_frames = 0;
};

} // namespace pemmo
