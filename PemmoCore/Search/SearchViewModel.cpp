#include "Search/SearchViewModel.h"

#include "AI/AILabels.h"
#include "AI/AIService.h"
#include "AI/AskCandidates.h"
#include "Moments/MomentService.h"
#include "Search/QueryParser.h"
#include "Search/SearchLayout.h"
#include "Search/StalenessRanker.h"

#include <QPointer>
#include <QSet>
#include <utility>

namespace pemmo {
namespace {

QVariant optionalText(const std::optional<QString>& text) {
    return text ? QVariant(*text) : QVariant();
}

QVariantMap rowForView(const SearchRowItem& row) {
    QVariantList ranges;
    for (const TextRange& range : row.titleRanges)
        ranges.append(
            QVariantMap{{QStringLiteral("start"), range.start}, {QStringLiteral("length"), range.length}});
    return {{QStringLiteral("id"), row.id},
            {QStringLiteral("section"), SearchSections::name(row.section)},
            {QStringLiteral("profileID"), optionalText(row.profileID)},
            {QStringLiteral("tagID"), optionalText(row.tagID)},
            {QStringLiteral("title"), row.title},
            {QStringLiteral("titleRanges"), ranges},
            {QStringLiteral("subtitle"), optionalText(row.subtitle)},
            {QStringLiteral("badge"), optionalText(row.badge)},
            {QStringLiteral("reason"), optionalText(row.reason)}};
}

// The text circles are suggested for: the query without a leading "#", so that typing "#fr"
// offers "Friends".
QString circleQuery(const QString& query) {
    QString text = query.trimmed();
    if (text.startsWith(u'#'))
        text.remove(0, 1);
    return text;
}

} // namespace

SearchViewModel::SearchViewModel(ProfileSyncEngine& profiles, StarredStore& starred, RecentsStore& recents,
                                 TagCatalog& tags, SettingsStore& settings, SemanticSearcher* semantic,
                                 Clock clock, std::chrono::milliseconds typingDelay, QObject* parent)
    : QObject(parent)
    , m_profileSource(profiles)
    , m_starred(starred)
    , m_recents(recents)
    , m_tags(tags)
    , m_settings(settings)
    , m_semantic(semantic)
    , m_clock(std::move(clock))
    , m_typingDelay(typingDelay) {
    m_pending.setSingleShot(true);
    connect(&m_pending, &QTimer::timeout, this, &SearchViewModel::runPending);
    // The index follows the published profiles; the lists only change the boosts and the
    // sections of an empty query. Either way the query on screen is searched again at once.
    connect(&m_profileSource, &ProfileSyncEngine::profilesChanged, this, [this] {
        rebuild();
        refresh();
    });
    connect(&m_starred, &StarredStore::idsChanged, this, &SearchViewModel::refresh);
    connect(&m_recents, &RecentsStore::idsChanged, this, &SearchViewModel::refresh);
    connect(&m_recents, &RecentsStore::openingsChanged, this, &SearchViewModel::refresh);
    connect(&m_tags, &TagCatalog::tagsChanged, this, &SearchViewModel::refresh);
    connect(&m_settings, &SettingsStore::semanticSearchEnabledChanged, this, &SearchViewModel::refresh);
    rebuild();
    scheduleSearch(m_query, std::chrono::milliseconds(0));
}

SearchViewModel::~SearchViewModel() = default;

void SearchViewModel::setQuery(const QString& query) {
    if (query == m_query)
        return;
    m_query = query;
    m_anchorProfileID.reset();
    m_selectionChosen = false;
    setSelected(std::nullopt, m_selectionMode);
    Q_EMIT queryChanged();
    scheduleSearch(query, m_typingDelay);
}

void SearchViewModel::refresh() {
    scheduleSearch(m_query, std::chrono::milliseconds(0));
}

void SearchViewModel::setSemanticSearcher(SemanticSearcher* semantic) {
    m_semantic = semantic;
    refresh();
}

void SearchViewModel::setMoments(MomentService* moments) {
    if (moments == m_moments)
        return;
    QObject::disconnect(m_momentsConnection);
    m_moments = moments;
    if (m_moments)
        m_momentsConnection =
            connect(m_moments, &MomentService::pendingChanged, this, &SearchViewModel::refresh);
    refresh();
}

void SearchViewModel::setResultsLimit(int limit) {
    m_resultsLimit = std::max(limit, 0);
    refresh();
}

void SearchViewModel::rebuild() {
    m_profiles = m_profileSource.profiles();
    m_index = SearchIndex(m_profiles);
    m_lastContacted.clear();
    for (const Profile& profile : std::as_const(m_profiles)) {
        if (const auto last = profile.lastContacted())
            m_lastContacted.insert(profile.id(), *last);
    }
    ++m_generation;
}

SearchBoosts SearchViewModel::boosts(const QDateTime& now) const {
    SearchBoosts boosts;
    const QStringList& starred = m_starred.ids();
    boosts.starred = QSet<QString>(starred.begin(), starred.end());
    boosts.recentOpens = m_recents.openings();
    boosts.lastContacted = m_lastContacted;
    boosts.now = now;
    return boosts;
}

void SearchViewModel::scheduleSearch(const QString& text, std::chrono::milliseconds delay) {
    ++m_scheduleToken;
    ++m_generation;
    m_pending.stop();
    m_pendingText = text;
    m_pending.start(delay);
}

void SearchViewModel::searchPendingNow() {
    if (!m_pending.isActive())
        return;
    m_pending.stop();
    runPending();
}

void SearchViewModel::runPending() {
    // The task runs on by itself; a newer search makes whatever it finds later stale.
    runSearch(m_pendingText, m_scheduleToken);
}

QList<MomentCandidate> SearchViewModel::pendingMoments() const {
    return m_moments ? m_moments->pending() : QList<MomentCandidate>();
}

QList<SearchSectionRows> SearchViewModel::emptyQuerySections(const QDateTime& now,
                                                             const QList<MomentCandidate>& moments) const {
    const SearchLayout::People people{m_profiles, m_index};
    const QStringList visible = m_recents.visible();
    const int shownAbove =
        static_cast<int>(std::min<qsizetype>(m_starred.ids().size(), SearchLayout::starredLimit) +
                         std::min<qsizetype>(visible.size(), SearchLayout::recentLimit));
    const QList<StaleProfile> stale =
        StalenessRanker::rank(m_profiles, now, SearchLayout::reachOutLimit + shownAbove);
    return SearchLayout::forEmptyQuery(people, m_starred.ids(), visible, stale, moments);
}

QList<SearchHit> SearchViewModel::wordHits(const ParsedQuery& parsed, const QDateTime& now, int limit) {
    return m_engine.search(parsed, m_index, boosts(now), limit);
}

QList<Tag> SearchViewModel::circlesFor(const QString& text, const ParsedQuery& parsed) const {
    const QSet<QString> filtered(parsed.tagFilters.begin(), parsed.tagFilters.end());
    return m_tags.suggestions(circleQuery(text), filtered);
}

bool SearchViewModel::meaningApplies(const ParsedQuery& parsed) const {
    return m_semantic && m_settings.semanticSearchEnabled() && !parsed.terms.isEmpty();
}

QCoro::Task<std::optional<QList<SearchHit>>> SearchViewModel::withMeaning(QString text, ParsedQuery parsed,
                                                                          QList<SearchHit> lexical) {
    if (!meaningApplies(parsed))
        co_return std::nullopt;
    SemanticSearcher* searcher = m_semantic;
    auto search = searcher->search(QueryParser::stripInterestPhrase(text),
                                   SearchEngine::semanticLimit + static_cast<int>(lexical.size()));
    QList<SemanticHit> semantic;
    try {
        semantic = co_await search;
    } catch (const std::exception&) {
        // No semantic extras this time; the words alone still stand.
    }
    co_return SearchEngine::mergeSemantic(lexical, semantic, SearchEngine::semanticMinimumSimilarity,
                                          SearchEngine::semanticLimit);
}

QCoro::Task<void> SearchViewModel::runSearch(QString text, int token) {
    if (token != m_scheduleToken)
        co_return;
    setSearching(true);
    const QDateTime now = m_clock();
    const ParsedQuery parsed = QueryParser::parse(text);
    if (parsed.isEmpty) {
        publish(emptyQuerySections(now, pendingMoments()), parsed);
        setSearching(false);
        Q_EMIT searchFinished();
        co_return;
    }

    const SearchLayout::People people{m_profiles, m_index};
    const QList<Tag> circles = circlesFor(text, parsed);
    const QList<SearchHit> lexical = wordHits(parsed, now, m_resultsLimit);
    const QList<SearchRowItem> ranked = m_rankedQuery == text ? m_ranked : QList<SearchRowItem>();
    publish(SearchLayout::forQuery(people, parsed, circles, lexical, ranked), parsed);

    // The semantic tier runs after the words have shown, and only while the setting is on.
    if (meaningApplies(parsed)) {
        QPointer<SearchViewModel> self(this);
        auto meaning = withMeaning(text, parsed, lexical);
        const std::optional<QList<SearchHit>> merged = co_await meaning;
        if (!self || token != m_scheduleToken)
            co_return;
        if (merged && merged->size() > lexical.size())
            publish(SearchLayout::forQuery(people, parsed, circles, *merged, ranked), parsed);
    }
    setSearching(false);
    Q_EMIT searchFinished();
}

QCoro::Task<QList<SearchSectionRows>> SearchViewModel::searchOnce(QString text, int resultsLimit) {
    const QDateTime now = m_clock();
    const ParsedQuery parsed = QueryParser::parse(text);
    if (parsed.isEmpty)
        co_return emptyQuerySections(now, pendingMoments());
    // The profiles and the index are copied (implicitly shared) so that a rebuild while the
    // meaning is looked up cannot pull them from under the rows.
    const QList<Profile> profiles = m_profiles;
    const SearchIndex index = m_index;
    const QList<Tag> circles = circlesFor(text, parsed);
    const QList<SearchHit> lexical = wordHits(parsed, now, std::max(resultsLimit, 0));
    QPointer<SearchViewModel> self(this);
    auto meaning = withMeaning(text, parsed, lexical);
    const std::optional<QList<SearchHit>> merged = co_await meaning;
    const SearchLayout::People people{profiles, index};
    const bool meaningAdds = self && merged && merged->size() > lexical.size();
    co_return SearchLayout::forQuery(people, parsed, circles, meaningAdds ? *merged : lexical);
}

QCoro::Task<void> SearchViewModel::ask(bool again) {
    const QString question = m_query;
    if (!m_ai || m_isAsking || question.trimmed().isEmpty())
        co_return;
    if (!again && m_rankedQuery == question && m_isShowingRanked)
        co_return;
    QPointer<SearchViewModel> self(this);
    AIService* ai = m_ai;
    m_isAsking = true;
    Q_EMIT isAskingChanged();
    QList<RankedProfile> answer;
    try {
        auto asking = ai->rank(question, AskCandidates::ordered(m_profiles, question));
        answer = co_await asking;
    } catch (...) {
        if (self) {
            m_isAsking = false;
            Q_EMIT isAskingChanged();
        }
        throw;
    }
    if (!self)
        co_return;
    QList<SearchRowItem> rows;
    for (const RankedProfile& ranked : std::as_const(answer)) {
        SearchRowItem row;
        // The person may also be among the results: the ranked row needs its own id.
        row.id = QStringLiteral("ranked:") + ranked.profile.id();
        row.section = SearchSection::Ranked;
        row.profileID = ranked.profile.id();
        row.title = ranked.profile.person->displayName();
        row.initials = ranked.profile.person->initials();
        row.subtitle = ranked.profile.headline();
        if (!ranked.reason.trimmed().isEmpty())
            row.reason = ranked.reason.trimmed();
        rows.append(std::move(row));
    }
    m_ranked = std::move(rows);
    m_rankedQuery = question;
    m_rankedOrigin = AILabels::origin(ai->lastProviderNameText(), ai->lastLeftDevice());
    m_selectFirstRanked = m_query == question;
    m_isAsking = false;
    Q_EMIT isAskingChanged();
    scheduleSearch(m_query, std::chrono::milliseconds(0));
}

void SearchViewModel::publish(QList<SearchSectionRows> sections, const ParsedQuery& parsed) {
    m_parsed = parsed;
    m_sections = std::move(sections);
    m_flat = SearchLayout::flat(m_sections);
    m_resultCount.reset();
    m_tagCount.reset();
    m_isShowingRanked = false;
    for (const SearchSectionRows& section : std::as_const(m_sections)) {
        if (section.section == SearchSection::Results)
            m_resultCount = static_cast<int>(section.rows.size());
        else if (section.section == SearchSection::Tags)
            m_tagCount = static_cast<int>(section.rows.size());
        else if (section.section == SearchSection::Ranked)
            m_isShowingRanked = true;
    }
    // An answer naming nobody is an answer too: it is kept, and shown as the banner says.
    if (!parsed.isEmpty && !m_rankedQuery.isEmpty() && m_rankedQuery == m_query)
        m_isShowingRanked = true;
    Q_EMIT sectionsChanged();
    Q_EMIT isShowingRankedChanged();

    // Keep a selection the user chose when that row is still there; else the person they moved
    // to; else the first match, or the first row. A selection the user has not touched follows
    // the rows, so a Moment arriving on top of an open panel is the one selected.
    const auto present = [this](const std::optional<QString>& id) {
        if (!id)
            return false;
        for (const SearchRowItem& row : std::as_const(m_flat)) {
            if (row.id == *id)
                return true;
        }
        return false;
    };
    // A fresh answer of Ask takes the selection to the person it put first, and keeps it there
    // when the meaning of the question adds rows a moment later.
    if (std::exchange(m_selectFirstRanked, false)) {
        for (const SearchRowItem& row : std::as_const(m_flat)) {
            if (row.section == SearchSection::Ranked) {
                m_selectionChosen = true;
                setSelected(row.id, SelectionMode::Keyboard);
                return;
            }
        }
    }
    if (m_selectionChosen && present(m_selectedID))
        return;
    if (present(m_anchorProfileID)) {
        setSelected(m_anchorProfileID, SelectionMode::Keyboard);
        return;
    }
    for (const SearchRowItem& row : std::as_const(m_flat)) {
        if (row.section == SearchSection::Results) {
            setSelected(row.id, SelectionMode::Keyboard);
            return;
        }
    }
    setSelected(m_flat.isEmpty() ? std::nullopt : std::optional<QString>(m_flat.first().id),
                SelectionMode::Keyboard);
}

std::optional<SearchRowItem> SearchViewModel::selectedRow() const {
    if (!m_selectedID)
        return std::nullopt;
    for (const SearchRowItem& row : m_flat) {
        if (row.id == *m_selectedID)
            return row;
    }
    return std::nullopt;
}

QString SearchViewModel::emptyText() const {
    return SearchLayout::emptyText(m_query, !m_flat.isEmpty()).value_or(QString());
}

void SearchViewModel::moveSelection(int delta) {
    if (m_flat.isEmpty())
        return;
    qsizetype at = -1;
    for (qsizetype i = 0; i < m_flat.size(); ++i) {
        if (m_selectedID && m_flat[i].id == *m_selectedID)
            at = i;
    }
    const qsizetype next = at < 0 ? (delta >= 0 ? 0 : m_flat.size() - 1)
                                  : std::clamp<qsizetype>(at + delta, 0, m_flat.size() - 1);
    const SearchRowItem& row = m_flat[next];
    if (row.profileID)
        m_anchorProfileID = row.profileID;
    m_selectionChosen = true;
    setSelected(row.id, SelectionMode::Keyboard);
}

void SearchViewModel::select(const QString& id) {
    for (const SearchRowItem& row : std::as_const(m_flat)) {
        if (row.id != id)
            continue;
        if (row.profileID)
            m_anchorProfileID = row.profileID;
        m_selectionChosen = true;
        setSelected(id, SelectionMode::Keyboard);
        return;
    }
}

void SearchViewModel::hover(const QString& id, QPointF position) {
    if (m_lastPointer && *m_lastPointer == position)
        return;
    m_lastPointer = position;
    const std::optional<QString> hovered = id.isEmpty() ? std::nullopt : std::optional<QString>(id);
    if (hovered != m_hoveredID) {
        m_hoveredID = hovered;
        Q_EMIT hoveredIDChanged();
    }
    if (hovered) {
        m_selectionChosen = true;
        setSelected(hovered, SelectionMode::Mouse);
    }
}

void SearchViewModel::setSelected(std::optional<QString> id, SelectionMode mode) {
    if (mode != m_selectionMode) {
        m_selectionMode = mode;
        Q_EMIT selectionModeChanged();
    }
    if (id == m_selectedID)
        return;
    m_selectedID = std::move(id);
    Q_EMIT selectedIDChanged();
}

void SearchViewModel::setSearching(bool searching) {
    if (searching == m_isSearching)
        return;
    m_isSearching = searching;
    Q_EMIT isSearchingChanged();
}

QVariantList SearchViewModel::sectionsForView() const {
    QVariantList list;
    for (const SearchSectionRows& section : m_sections) {
        QVariantList rows;
        for (const SearchRowItem& row : section.rows)
            rows.append(rowForView(row));
        list.append(QVariantMap{{QStringLiteral("section"), SearchSections::name(section.section)},
                                {QStringLiteral("id"), SearchSections::headerID(section.section)},
                                {QStringLiteral("rows"), rows}});
    }
    return list;
}

QVariantList SearchViewModel::flatForView() const {
    QVariantList list;
    for (const SearchRowItem& row : m_flat)
        list.append(rowForView(row));
    return list;
}

} // namespace pemmo
