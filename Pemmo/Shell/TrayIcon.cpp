#include "Shell/TrayIcon.h"

#include <QIcon>

namespace pemmo {

TrayIcon::TrayIcon(QObject* parent)
    : QObject(parent) {
    QAction* open = m_menu.addAction(QStringLiteral("Open Pemmo"));
    connect(open, &QAction::triggered, this, &TrayIcon::openRequested);
    QAction* settings = m_menu.addAction(QStringLiteral("Settings…"));
    connect(settings, &QAction::triggered, this, &TrayIcon::settingsRequested);
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit Pemmo"));
    connect(quit, &QAction::triggered, this, &TrayIcon::quitRequested);

    m_icon.setIcon(QIcon(QStringLiteral(":/pemmo/icons/pemmo-tray.svg")));
    m_icon.setToolTip(QStringLiteral("Pemmo"));
    m_icon.setContextMenu(&m_menu);
    connect(&m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            Q_EMIT openRequested();
    });
    m_icon.show();
}

bool TrayIcon::isAvailable() const {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void TrayIcon::setProblem(const QString& problem) {
    m_icon.setToolTip(problem.isEmpty() ? QStringLiteral("Pemmo") : u"Pemmo \u2014 "_qs + problem);
}

bool TrayIcon::notify(const QString& title, const QString& message) {
    if (!isAvailable())
        return false;
    m_icon.showMessage(title, message, QSystemTrayIcon::Warning);
    return true;
}

} // namespace pemmo
