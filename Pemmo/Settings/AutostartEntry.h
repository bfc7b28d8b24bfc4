// Starting Pemmo when the user logs in: the desktop's XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/pemmo.desktop), written when switched on and removed when off.
#pragma once

#include <QString>

namespace pemmo {

class AutostartEntry {
public:
    // `configHome`: the XDG configuration folder; empty means the user's
    // (QStandardPaths::GenericConfigLocation, which follows $XDG_CONFIG_HOME). `command`: what the
    // entry runs; empty means this program, by its absolute path.
    explicit AutostartEntry(QString configHome = {}, QString command = {});

    static QString fileName() { return QStringLiteral("pemmo.desktop"); }
    QString path() const;

    // The entry exists and is not switched off (Hidden=true or X-GNOME-Autostart-enabled=false,
    // which a desktop's own settings may have written).
    bool isEnabled() const;
    // Writes or removes the entry. False, with `error` set, when the file could not be changed.
    bool setEnabled(bool enabled, QString* error = nullptr);

    // The entry's text for `command`.
    static QByteArray contents(const QString& command);

private:
    QString m_configHome;
    QString m_command;
};

} // namespace pemmo
