#include "Platform/Autostart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace pemmo {

namespace {

const char* const kFileName = "pemmo.desktop";

// The template that ships beside the other desktop files (packaging/pemmo-autostart.desktop).
QByteArray entryTemplate() {
    QFile file(QStringLiteral(":/pemmo/autostart/pemmo-autostart.desktop"));
    if (file.open(QIODevice::ReadOnly))
        return file.readAll();
    return QByteArrayLiteral("[Desktop Entry]\nType=Application\nName=Pemmo\nExec=pemmo\nIcon=pemmo\n"
                             "Terminal=false\nNoDisplay=true\nX-GNOME-Autostart-enabled=true\n");
}

// A program path quoted as desktop entries want it, when it needs quoting at all.
QString quotedForExec(const QString& program) {
    static const QString special = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool plain = true;
    for (QChar c : program)
        plain = plain && !special.contains(c);
    if (plain)
        return program;
    QString quoted = QStringLiteral("\"");
    for (QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return quoted + u'"';
}

} // namespace

QString Autostart::defaultDirectory() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart");
}

QString Autostart::defaultProgram() {
    const QString self = QCoreApplication::applicationFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("pemmo"));
    if (!onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() == QFileInfo(self).canonicalFilePath())
        return QStringLiteral("pemmo");
    return self.isEmpty() ? QStringLiteral("pemmo") : self;
}

Autostart::Autostart(QString directory, QString program)
    : m_directory(std::move(directory))
    , m_program(std::move(program)) {}

QString Autostart::entryPath() const {
    return m_directory + u'/' + QLatin1String(kFileName);
}

QByteArray Autostart::entry(const QString& program) {
    QByteArray text = entryTemplate();
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& line : lines) {
        if (line.startsWith("Exec="))
            line = "Exec=" + quotedForExec(program).toUtf8();
    }
    return lines.join('\n');
}

bool Autostart::isEnabled() const {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bool inMainGroup = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inMainGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inMainGroup)
            continue;
        const qsizetype equals = line.indexOf('=');
        if (equals < 0)
            continue;
        const QByteArray key = line.first(equals).trimmed();
        const QByteArray value = line.sliced(equals + 1).trimmed();
        if ((key == "Hidden" && value == "true") || (key == "X-GNOME-Autostart-enabled" && value == "false"))
            return false;
    }
    return true;
}

bool Autostart::setEnabled(bool enabled) {
    m_error.clear();
    if (!enabled) {
        QFile file(entryPath());
        if (!file.exists() || file.remove())
            return true;
        m_error = u"Could not remove "_qs + entryPath() + u": "_qs + file.errorString();
        return false;
    }
    if (!QDir().mkpath(m_directory)) {
        m_error = u"Could not create the folder "_qs + m_directory;
        return false;
    }
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(entry(m_program)) < 0 || !file.commit()) {
        m_error = u"Could not write "_qs + entryPath() + u": "_qs + file.errorString();
        return false;
    }
    return true;
}

} // namespace pemmo
