// What the panel's QML sees as `shell`: the router, the key router, the search model, the look,
// and the person data the profile card shows. The services behind it are reached through the
// functions the application sets, so the panel runs over the live data or a test's.
#pragma once

#include "Records/Profile.h"
#include "Shell/AppRouter.h"
#include "Shell/KeyEventRouter.h"
#include "Shell/PanelController.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QVariantMap>
#include <functional>
#include <optional>

namespace pemmo {

class ProfileSyncEngine;
class TagCatalog;

class PanelContext : public QObject {
    Q_OBJECT
    Q_PROPERTY(pemmo::AppRouter* router READ router CONSTANT)
    Q_PROPERTY(pemmo::KeyEventRouter* keys READ keys CONSTANT)
    Q_PROPERTY(QObject* results READ results NOTIFY resultsChanged)
    Q_PROPERTY(bool dark READ dark NOTIFY darkChanged)
    Q_PROPERTY(QString hotkeyGlyphs READ hotkeyGlyphs NOTIFY hotkeyChanged)
    Q_PROPERTY(QString hotkeyProblem READ hotkeyProblem NOTIFY hotkeyChanged)
    Q_PROPERTY(bool panelVisible READ panelVisible NOTIFY panelVisibleChanged)
    // Whether the panel's transparent corners show the desktop; checked again at each show, since
    // a compositor can start or stop while Pemmo runs.
    Q_PROPERTY(bool translucent READ translucent NOTIFY translucentChanged)
    // Moves on by one at every change of what a card shows (people, records, circle names,
    // photos), so bindings that read it fetch the card again. It only ever grows.
    Q_PROPERTY(int dataVersion READ dataVersion NOTIFY dataVersionChanged)
    // Why Pemmo cannot change its records at the moment; empty while it can.
    Q_PROPERTY(QString storeProblem READ storeProblem NOTIFY storeProblemChanged)

public:
    static constexpr int timelineEntries = 5;
    static constexpr int starredShortcuts = 5;

    struct Services {
        std::function<std::optional<Profile>(const QString& id)> profile;
        // Called when a person's card is opened.
        std::function<void(const QString& id)> recordRecent;
        std::function<QStringList()> starredIDs;
        // A circle's display name from its id; the id itself when unknown.
        std::function<QString(const QString& id)> circleName;
    };

    PanelContext(AppRouter& router, KeyEventRouter& keys, QObject* parent = nullptr);

    AppRouter* router() const { return &m_router; }
    KeyEventRouter* keys() const { return &m_keys; }
    QObject* results() const { return m_results; }
    bool dark() const { return m_dark; }
    QString hotkeyGlyphs() const { return m_hotkeyGlyphs; }
    QString hotkeyProblem() const { return m_hotkeyProblem; }
    bool panelVisible() const { return m_panel && m_panel->isVisible(); }
    int dataVersion() const { return m_dataVersion; }
    bool translucent() const { return m_translucent; }
    QString storeProblem() const { return m_storeProblem; }

    void setServices(Services services) { m_services = std::move(services); }
    // The search results as a list model (SearchResultsModel).
    void setResults(QObject* results);
    void setDark(bool dark);
    void setHotkey(const QString& glyphs, const QString& problem);
    void setPanel(PanelController* panel);
    // Follows every source that can change what a card shows; each change moves dataVersion on.
    void followChanges(ProfileSyncEngine& profiles, TagCatalog& tags);
    void noteDataChanged();
    void setStoreProblem(const QString& problem);
    // How the panel learns whether the desktop composites (the default says it does not).
    void setCompositorCheck(std::function<bool()> check);
    // The clock the card's relative dates are measured against.
    void setNow(std::function<QDateTime()> now) { m_now = std::move(now); }

    // The card of one person: name, initials, headline, circles, phones, emails, about and the
    // latest timeline entries, newest first. Empty when the person is unknown.
    Q_INVOKABLE QVariantMap profileCard(const QString& id) const;
    // Opens a person's card and remembers them as recently opened.
    Q_INVOKABLE void openProfile(const QString& id);
    // Opens the starred person at `position` (1 to 5); false when there is none there.
    Q_INVOKABLE bool openStarred(int position);
    Q_INVOKABLE void hidePanel();

Q_SIGNALS:
    void resultsChanged();
    void darkChanged();
    void hotkeyChanged();
    void panelVisibleChanged();
    void dataVersionChanged();
    void translucentChanged();
    void storeProblemChanged();

private:
    AppRouter& m_router;
    KeyEventRouter& m_keys;
    QPointer<QObject> m_results;
    QPointer<PanelController> m_panel;
    Services m_services;
    std::function<QDateTime()> m_now;
    bool m_dark = false;
    QString m_hotkeyGlyphs;
    QString m_hotkeyProblem;
    int m_dataVersion = 0;
    QString m_storeProblem;
    std::function<bool()> m_compositorCheck;
    bool m_translucent = false;

    void checkCompositor();
};

} // namespace pemmo
