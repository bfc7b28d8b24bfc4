// Pemmo's place in the system tray: the icon and its menu (open, settings, quit).
#pragma once

#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

namespace pemmo {

class TrayIcon : public QObject {
    Q_OBJECT

public:
    // `desktopShowsTexts` says whether the desktop, not Qt, draws the tooltip and notices
    // (a StatusNotifierItem host), asked once as the icon is made.
    explicit TrayIcon(QObject* parent = nullptr, std::function<bool()> desktopShowsTexts = {});

    // Shows a notice from the tray where the desktop has one; false when it has none.
    bool notify(const QString& title, const QString& message);
    bool isAvailable() const;
    QMenu* menu() { return &m_menu; }
    QSystemTrayIcon* icon() { return &m_icon; }

    // A problem the user should know of whenever they look at the icon (say, why Pemmo cannot
    // save changes); empty for none.
    void setProblem(const QString& problem);
    // The words the tooltip shows.
    QString toolTip() const { return m_toolTip; }

Q_SIGNALS:
    void openRequested();
    void settingsRequested();
    void quitRequested();

private:
    QMenu m_menu;
    QSystemTrayIcon m_icon;
    QString m_toolTip;
    bool m_desktopShowsTexts = false;
};

} // namespace pemmo
