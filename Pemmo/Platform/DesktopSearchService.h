// Puts Pemmo into the desktop's own search while it runs: claims the bus name the installed
// GNOME Shell and KRunner entries name, and serves both interfaces on it. No D-Bus activation
// file is installed, so while Pemmo is not running nothing answers and the desktop skips it.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <memory>

namespace pemmo {

class DesktopSearchBackend;
class GnomeSearchProvider;
class KRunnerRunner;

class DesktopSearchService : public QObject {
    Q_OBJECT

public:
    // The names in packaging/search/: the GNOME Shell .ini and the KRunner .desktop.
    static QString serviceName() { return QStringLiteral("com.dorvane.Pemmo"); }
    static QString gnomePath() { return QStringLiteral("/com/dorvane/Pemmo/SearchProvider"); }
    static QString krunnerPath() { return QStringLiteral("/com/dorvane/Pemmo/KRunner"); }

    // The backend is not owned and must outlive the service.
    explicit DesktopSearchService(DesktopSearchBackend& backend,
                                  QDBusConnection bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);
    // Gives the name and the objects back.
    ~DesktopSearchService() override;

    // Registers the objects and claims the name. False, with error() saying why, when there is no
    // session bus or another process holds the name; Pemmo then works without desktop search.
    bool start();
    bool isRegistered() const { return m_registered; }
    const QString& error() const { return m_error; }

private:
    QDBusConnection m_bus;
    std::unique_ptr<GnomeSearchProvider> m_gnome;
    std::unique_ptr<KRunnerRunner> m_krunner;
    bool m_registered = false;
    QString m_error;
};

} // namespace pemmo
