#include "Shell/TrayIcon.h"

#include "Platform/StatusNotifierHost.h"

#include <QIcon>
#include <QTextDocument>

namespace pemmo {

TrayIcon::TrayIcon(QObject* parent, std::function<bool()> desktopShowsTexts)
    : QObject(parent) {
    QAction* open = m_menu.addAction(QStringLiteral("Open Pemmo"));
    connect(open, &QAction::triggered, this, &TrayIcon::openRequested);
    QAction* settings = m_menu.addAction(QStringLiteral("Settings…"));
    connect(settings, &QAction::triggered, this, &TrayIcon::settingsRequested);
    m_menu.addSeparator();
    QAction* quit = m_menu.addAction(QStringLiteral("Quit Pemmo"));
    connect(quit, &QAction::triggered, this, &TrayIcon::quitRequested);

    m_icon.setIcon(QIcon(QStringLiteral(":/pemmo/icons/pemmo-tray.svg")));
    m_icon.setContextMenu(&m_menu);
    // Asked as Qt chose, when the icon was made: a StatusNotifierItem host takes the texts over
    // D-Bus, otherwise Qt draws them itself.
    m_desktopShowsTexts = desktopShowsTexts ? desktopShowsTexts() : StatusNotifierHost::isRegistered();
    setProblem(QString());
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
    m_toolTip = problem.isEmpty() ? QStringLiteral("Pemmo") : u"Pemmo \u2014 "_qs + problem;
    // A problem quotes file names and errors. A StatusNotifierItem host shows the tooltip as the
    // item's title, which is plain text; Qt's own tooltip guesses rich text from the words, so it
    // gets an escaped paragraph whenever the words look like markup.
    m_icon.setToolTip(m_desktopShowsTexts || !Qt::mightBeRichText(m_toolTip)
                          ? m_toolTip
                          : Qt::convertFromPlainText(m_toolTip, Qt::WhiteSpaceNormal));
}

bool TrayIcon::notify(const QString& title, const QString& message) {
    if (!isAvailable())
        return false;
    // Over D-Bus the notice's words become a notification's body and the item's tooltip text, both
    // read as markup; Qt's own balloon shows them as plain text. The title is plain everywhere.
    m_icon.showMessage(title, m_desktopShowsTexts ? message.toHtmlEscaped() : message,
                       QSystemTrayIcon::Warning);
    return true;
}

} // namespace pemmo
