#include "Settings/AutostartEntry.h"

#include "Support/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace pemmo {

AutostartEntry::AutostartEntry(QString configHome, QString command)
    : m_configHome(std::move(configHome))
    , m_command(std::move(command)) {}

QString AutostartEntry::path() const {
    const QString home = m_configHome.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                             : m_configHome;
    return QDir(home).filePath(u"autostart/"_qs + fileName());
}

QByteArray AutostartEntry::contents(const QString& command) {
    // A path with spaces must be quoted for the desktop entry's Exec key.
    QString exec = command;
    if (exec.contains(u' '))
        exec = u'"' + QString(exec).replace(u'\\', u"\\\\"_qs).replace(u'"', u"\\\""_qs) + u'"';
    const QString text = u"[Desktop Entry]\n"
                         u"Type=Application\n"
                         u"Name=Pemmo\n"
                         u"Comment=Keeps Pemmo in the tray, ready for its shortcut\n"
                         u"Exec="_qs +
                         exec +
                         u"\n"
                         u"Icon=pemmo\n"
                         u"Terminal=false\n"
                         u"X-GNOME-Autostart-enabled=true\n"_qs;
    return text.toUtf8();
}

bool AutostartEntry::isEnabled() const {
    QFile file(path());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line == "Hidden=true" || line == "X-GNOME-Autostart-enabled=false")
            return false;
    }
    return true;
}

bool AutostartEntry::setEnabled(bool enabled, QString* error) {
    const QString file = path();
    if (!enabled) {
        if (!QFileInfo::exists(file) || QFile::remove(file))
            return true;
        if (error)
            *error = u"Could not remove "_qs + file + u'.';
        return false;
    }
    if (!QDir().mkpath(QFileInfo(file).absolutePath())) {
        if (error)
            *error = u"Could not create the folder "_qs + QFileInfo(file).absolutePath() + u'.';
        return false;
    }
    const QString command = m_command.isEmpty() ? QCoreApplication::applicationFilePath() : m_command;
    try {
        AtomicFile::write(file, contents(command));
    } catch (const std::exception& failure) {
        if (error)
            *error = u"Could not write "_qs + file + u": "_qs + QString::fromUtf8(failure.what());
        return false;
    }
    return true;
}

} // namespace pemmo
