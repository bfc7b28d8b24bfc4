#include "Platform/ContactFolderDiscovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace pemmo::ContactFolderDiscovery {

namespace {

QString unquoted(QString value) {
    value = value.trimmed();
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

QString expanded(const QString& path, const QString& home) {
    if (path == u"~")
        return home;
    if (path.startsWith(u"~/"))
        return QDir::cleanPath(home + path.mid(1));
    return QDir::cleanPath(path);
}

// key = value lines, grouped by their [section] ([[name]] for khard's nested ones).
struct Entry {
    QString section;
    QString key;
    QString value;
};

QList<Entry> entries(const QString& text) {
    static const QRegularExpression sectionLine(QStringLiteral(R"(^\s*\[+\s*([^\]]+?)\s*\]+\s*$)"));
    static const QRegularExpression valueLine(QStringLiteral(R"(^\s*([A-Za-z_]+)\s*=\s*(.*?)\s*$)"));
    QList<Entry> list;
    QString section;
    for (const QString& line : text.split(u'\n')) {
        if (line.trimmed().startsWith(u'#'))
            continue;
        if (const auto m = sectionLine.match(line); m.hasMatch()) {
            section = m.captured(1);
            continue;
        }
        if (const auto m = valueLine.match(line); m.hasMatch())
            list.append({section, m.captured(1).toLower(), unquoted(m.captured(2))});
    }
    return list;
}

bool holdsVCards(const QDir& dir) {
    return !dir.entryList({QStringLiteral("*.vcf"), QStringLiteral("*.VCF")}, QDir::Files).isEmpty();
}

QString readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

QStringList khardPaths(const QString& configText, const QString& home) {
    QStringList paths;
    for (const Entry& e : entries(configText))
        if (e.key == u"path" && !e.value.isEmpty())
            paths.append(expanded(e.value, home));
    return paths;
}

QStringList vdirsyncerPaths(const QString& configText, const QString& home) {
    // A storage section names its type and path in any order.
    QStringList paths;
    QString section;
    QString type;
    QString path;
    const auto flush = [&] {
        if (section.startsWith(u"storage") && type == u"filesystem" && !path.isEmpty())
            paths.append(expanded(path, home));
        type.clear();
        path.clear();
    };
    for (const Entry& e : entries(configText)) {
        if (e.section != section) {
            flush();
            section = e.section;
        }
        if (e.key == u"type")
            type = e.value;
        else if (e.key == u"path")
            path = e.value;
    }
    flush();
    return paths;
}

QStringList vCardFolders(const QString& path) {
    const QDir dir(path);
    if (!dir.exists())
        return {};
    if (holdsVCards(dir))
        return {QDir::cleanPath(dir.absolutePath())};
    QStringList folders;
    for (const QString& name : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const QDir sub(dir.filePath(name));
        if (holdsVCards(sub))
            folders.append(QDir::cleanPath(sub.absolutePath()));
    }
    return folders;
}

QList<Found> find(const QString& home, const QString& configHome) {
    QList<Found> found;
    QStringList seen;
    const auto add = [&](const QStringList& paths, const QString& source) {
        for (const QString& path : paths)
            for (const QString& folder : vCardFolders(path))
                if (!seen.contains(folder)) {
                    seen.append(folder);
                    found.append({folder, source});
                }
    };
    // QStringList, not a braced list: with QStringBuilder the list would hold builders that point at
    // temporaries already gone when the loop runs.
    for (const QString& config :
         QStringList{configHome + u"/vdirsyncer/config"_qs, home + u"/.vdirsyncer/config"_qs})
        add(vdirsyncerPaths(readAll(config), home), QStringLiteral("vdirsyncer"));
    for (const QString& config :
         QStringList{configHome + u"/khard/khard.conf"_qs, home + u"/.khard/khard.conf"_qs})
        add(khardPaths(readAll(config), home), QStringLiteral("khard"));
    add({home + u"/.contacts"_qs, home + u"/.local/share/contacts"_qs}, QStringLiteral("found"));
    return found;
}

} // namespace pemmo::ContactFolderDiscovery
