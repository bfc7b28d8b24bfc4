// GNOME Shell's search provider interface (org.gnome.Shell.SearchProvider2): the overview's search
// asks it for people while the user types and hands back the one they pick.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>

namespace pemmo {

class DesktopSearchBackend;

class GnomeSearchProvider : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.gnome.Shell.SearchProvider2")

public:
    // The themed icon the overview shows beside each person.
    static QString personIcon() { return QStringLiteral("avatar-default"); }

    // The backend is not owned and must outlive the provider.
    explicit GnomeSearchProvider(DesktopSearchBackend& backend, QObject* parent = nullptr);

public Q_SLOTS:
    QStringList GetInitialResultSet(const QStringList& terms);
    // The words changed while results showed: the whole query is searched again, because a
    // misspelling corrected by the next letter may find people the shorter query did not.
    QStringList GetSubsearchResultSet(const QStringList& previousResults, const QStringList& terms);
    QList<QVariantMap> GetResultMetas(const QStringList& identifiers);
    void ActivateResult(const QString& identifier, const QStringList& terms, uint timestamp);
    void LaunchSearch(const QStringList& terms, uint timestamp);

private:
    DesktopSearchBackend& m_backend;
};

} // namespace pemmo
