#include "Shell/PanelContext.h"

#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"

#include <QLocale>
#include <algorithm>

namespace pemmo {
namespace {

QVariantList labeled(const QList<LabeledValue>& values) {
    QVariantList list;
    for (const LabeledValue& v : values)
        list.append(QVariantMap{{u"label"_qs, v.label}, {u"value"_qs, v.value}});
    return list;
}

QString kindTitle(Interaction::Kind kind) {
    switch (kind) {
    case Interaction::Kind::Note:
        return QStringLiteral("Note");
    case Interaction::Kind::Met:
        return QStringLiteral("Met");
    case Interaction::Kind::Message:
        return QStringLiteral("Message");
    case Interaction::Kind::Call:
        return QStringLiteral("Call");
    case Interaction::Kind::Email:
        return QStringLiteral("Email");
    case Interaction::Kind::Other:
        return QStringLiteral("Other");
    }
    return {};
}

} // namespace

PanelContext::PanelContext(AppRouter& router, KeyEventRouter& keys, QObject* parent)
    : QObject(parent)
    , m_router(router)
    , m_keys(keys)
    , m_now([] { return QDateTime::currentDateTime(); }) {}

void PanelContext::setResults(QObject* results) {
    if (m_results == results)
        return;
    m_results = results;
    Q_EMIT resultsChanged();
}

void PanelContext::setDark(bool dark) {
    if (m_dark == dark)
        return;
    m_dark = dark;
    Q_EMIT darkChanged();
}

void PanelContext::setHotkey(const QString& glyphs, const QString& problem) {
    if (m_hotkeyGlyphs == glyphs && m_hotkeyProblem == problem)
        return;
    m_hotkeyGlyphs = glyphs;
    m_hotkeyProblem = problem;
    Q_EMIT hotkeyChanged();
}

void PanelContext::setStoreProblem(const QString& problem) {
    if (m_storeProblem == problem)
        return;
    m_storeProblem = problem;
    Q_EMIT storeProblemChanged();
}

void PanelContext::setPanel(PanelController* panel) {
    if (m_panel)
        disconnect(m_panel, nullptr, this, nullptr);
    m_panel = panel;
    if (panel) {
        connect(panel, &PanelController::visibleChanged, this, &PanelContext::checkCompositor);
        connect(panel, &PanelController::visibleChanged, this, &PanelContext::panelVisibleChanged);
    }
    checkCompositor();
    Q_EMIT panelVisibleChanged();
}

void PanelContext::setCompositorCheck(std::function<bool()> check) {
    m_compositorCheck = std::move(check);
    checkCompositor();
}

void PanelContext::checkCompositor() {
    const bool translucent = m_compositorCheck && m_compositorCheck();
    if (m_translucent == translucent)
        return;
    m_translucent = translucent;
    Q_EMIT translucentChanged();
}

void PanelContext::followChanges(ProfileSyncEngine& profiles, TagCatalog& tags) {
    // One counter of our own: copying the engine's dataVersion and adding the catalogue's changes
    // to it could land on a value already shown, and then the card would not be read again. A
    // refresh that changes a name or a phone number publishes profiles without touching
    // dataVersion, so the published list is followed too.
    connect(&profiles, &ProfileSyncEngine::profilesChanged, this, &PanelContext::noteDataChanged);
    connect(&profiles, &ProfileSyncEngine::dataVersionChanged, this, &PanelContext::noteDataChanged);
    connect(&profiles, &ProfileSyncEngine::photoVersionChanged, this, &PanelContext::noteDataChanged);
    connect(&tags, &TagCatalog::tagsChanged, this, &PanelContext::noteDataChanged);
}

void PanelContext::noteDataChanged() {
    ++m_dataVersion;
    Q_EMIT dataVersionChanged();
}

QVariantMap PanelContext::profileCard(const QString& id) const {
    if (!m_services.profile)
        return {};
    const std::optional<Profile> found = m_services.profile(id);
    if (!found)
        return {};
    const Profile& profile = *found;
    const Person& person = profile.person;

    QVariantList circles;
    for (const QString& tag : profile.record.tags)
        circles.append(m_services.circleName ? m_services.circleName(tag) : tag);

    QList<Interaction> entries = profile.record.interactions;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Interaction& a, const Interaction& b) { return a.date > b.date; });
    QVariantList timeline;
    const QLocale locale;
    const QDate today = m_now().date();
    for (qsizetype i = 0; i < std::min<qsizetype>(entries.size(), timelineEntries); ++i) {
        const Interaction& entry = entries[i];
        const QDate day = entry.date.toLocalTime().date();
        const QString when = day.year() == today.year() ? locale.toString(day, u"d MMM"_qs)
                                                        : locale.toString(day, u"d MMM yyyy"_qs);
        timeline.append(QVariantMap{{u"id"_qs, entry.id.toString(QUuid::WithoutBraces)},
                                    {u"date"_qs, when},
                                    {u"kind"_qs, kindTitle(entry.kind)},
                                    {u"text"_qs, entry.text}});
    }

    return {{u"id"_qs, person.id},
            {u"name"_qs, person.displayName()},
            {u"initials"_qs, person.initials()},
            {u"headline"_qs, profile.headline().value_or(QString())},
            {u"circles"_qs, circles},
            {u"phones"_qs, labeled(person.phones)},
            {u"emails"_qs, labeled(person.emails)},
            {u"about"_qs, profile.record.about},
            {u"timeline"_qs, timeline},
            {u"timelineCount"_qs, int(entries.size())}};
}

void PanelContext::openProfile(const QString& id) {
    if (id.isEmpty())
        return;
    if (m_services.recordRecent)
        m_services.recordRecent(id);
    m_router.push(Route::profile(id));
}

bool PanelContext::openStarred(int position) {
    const QStringList starred = m_services.starredIDs ? m_services.starredIDs() : QStringList();
    if (position < 1 || position > starredShortcuts || position > starred.size())
        return false;
    openProfile(starred.at(position - 1));
    return true;
}

void PanelContext::hidePanel() {
    if (m_panel)
        m_panel->hide();
}

} // namespace pemmo
