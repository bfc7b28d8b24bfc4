// "Start at login": the XDG autostart entry in the user's autostart folder
// ($XDG_CONFIG_HOME/autostart/pemmo.desktop) that session managers read at login.
#pragma once

#include <QString>

namespace pemmo {

class Autostart {
public:
    // The user's autostart folder.
    static QString defaultDirectory();
    // What the entry runs: "pemmo" when that name finds this very executable on the PATH (an
    // installed Pemmo, which keeps working across upgrades), else this executable's full path.
    static QString defaultProgram();

    explicit Autostart(QString directory = defaultDirectory(), QString program = defaultProgram());

    // Where the entry is written.
    QString entryPath() const;
    // An entry exists and the user has not switched it off in their desktop's settings (which
    // keep the file and mark it "Hidden=true" or "X-GNOME-Autostart-enabled=false").
    bool isEnabled() const;
    // Writes or removes the entry. False, with error() saying why, when that failed; the folder is
    // then as it was.
    bool setEnabled(bool enabled);
    const QString& error() const { return m_error; }

    // The entry's text for `program`.
    static QByteArray entry(const QString& program);

private:
    QString m_directory;
    QString m_program;
    QString m_error;
};

} // namespace pemmo
