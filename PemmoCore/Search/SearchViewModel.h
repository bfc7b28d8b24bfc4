// The state behind the panel's search route: the query being typed, the sections and rows it
// gives, and the keyboard selection. Searches run a short moment after the last keystroke of a
// burst, and a search overtaken by a newer one never shows.
//
// It lives in the core because it needs nothing of QML or the window system: the panel binds to
// its properties, while tests, the benchmarks and `pemmo search` drive it directly.
#pragma once

#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/ParsedQuery.h"
#include "Search/SearchBoosts.h"
#include "Search/SearchEngine.h"
#include "Search/SearchIndex.h"
#include "Search/SearchLayout.h"
#include "Search/SearchRowItem.h"
#include "Search/SemanticSearcher.h"
#include "Settings/SettingsStore.h"
#include "Support/Clock.h"

#include <QCoroTask>
#include <QObject>
#include <QPointF>
#include <QTimer>
#include <QVariant>
#include <chrono>
#include <optional>

namespace pemmo {

class AIService;
class MomentService;

class SearchViewModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(QVariantList sections READ sectionsForView NOTIFY sectionsChanged)
    Q_PROPERTY(QVariantList flat READ flatForView NOTIFY sectionsChanged)
    Q_PROPERTY(QString selectedID READ selectedIDForView NOTIFY selectedIDChanged)
    Q_PROPERTY(QString hoveredID READ hoveredIDForView NOTIFY hoveredIDChanged)
    Q_PROPERTY(SelectionMode selectionMode READ selectionMode NOTIFY selectionModeChanged)
    Q_PROPERTY(bool isSearching READ isSearching NOTIFY isSearchingChanged)
    Q_PROPERTY(bool isAsking READ isAsking NOTIFY isAskingChanged)
    Q_PROPERTY(bool isShowingRanked READ isShowingRanked NOTIFY isShowingRankedChanged)
    Q_PROPERTY(QVariant resultCount READ resultCountForView NOTIFY sectionsChanged)
    Q_PROPERTY(QVariant tagCount READ tagCountForView NOTIFY sectionsChanged)
    Q_PROPERTY(QString emptyText READ emptyText NOTIFY sectionsChanged)
    Q_PROPERTY(bool canAsk READ canAsk NOTIFY sectionsChanged)
    Q_PROPERTY(QString rankedOrigin READ rankedOrigin NOTIFY isShowingRankedChanged)

public:
    enum class SelectionMode { Keyboard, Mouse };
    Q_ENUM(SelectionMode)

    // How long typing must pause before a search runs.
    static constexpr std::chrono::milliseconds defaultTypingDelay{40};

    // The services are not owned and must outlive the model. Without a semantic searcher the
    // alsoMatches section stays empty.
    SearchViewModel(ProfileSyncEngine& profiles, StarredStore& starred, RecentsStore& recents,
                    TagCatalog& tags, SettingsStore& settings, SemanticSearcher* semantic = nullptr,
                    Clock clock = systemClock(), std::chrono::milliseconds typingDelay = defaultTypingDelay,
                    QObject* parent = nullptr);
    ~SearchViewModel() override;

    const QString& query() const { return m_query; }
    // A different text clears the selection and searches after the typing delay.
    void setQuery(const QString& query);
    // Runs a search still waiting for the typing to pause, so that a key pressed right after the
    // last letter acts on the rows of what was typed.
    void searchPendingNow();

    const QList<SearchSectionRows>& sections() const { return m_sections; }
    const QList<SearchRowItem>& flat() const { return m_flat; }
    const std::optional<QString>& selectedID() const { return m_selectedID; }
    const std::optional<QString>& hoveredID() const { return m_hoveredID; }
    std::optional<SearchRowItem> selectedRow() const;
    SelectionMode selectionMode() const { return m_selectionMode; }
    bool isSearching() const { return m_isSearching; }
    bool isAsking() const { return m_isAsking; }
    bool isShowingRanked() const { return m_isShowingRanked; }
    std::optional<int> resultCount() const { return m_resultCount; }
    std::optional<int> tagCount() const { return m_tagCount; }
    QString emptyText() const;
    // The query reads as a question, so Ask could rank people for it.
    bool canAsk() const { return m_parsed.isQuestion; }

    // Searches the current query again at once (after a change the model did not see, or from
    // the action panel and the semantic index maintenance).
    Q_INVOKABLE void refresh();
    // Runs the search for `text` after `delay`, replacing any search still waiting.
    void scheduleSearch(const QString& text, std::chrono::milliseconds delay);
    // Searches `text` once over the people as indexed now, without touching what the panel shows:
    // the sections a script gets, with up to `resultsLimit` results and no Ask ranking (an empty
    // query shows the pending Moments first, as the panel does).
    QCoro::Task<QList<SearchSectionRows>> searchOnce(QString text, int resultsLimit);

    // Arrow keys: moves the keyboard selection through the selectable rows.
    Q_INVOKABLE void moveSelection(int delta);
    Q_INVOKABLE void select(const QString& id);
    // The pointer is over row `id` at `position`; a pointer that did not move does not take the
    // selection from the keyboard (rows scrolling under a resting pointer).
    Q_INVOKABLE void hover(const QString& id, QPointF position);

    // Ask: the AI ranks people for the current query, and its answer fills the ranked section.
    // An answer already there for the same query is kept unless `again` is set. Fails with the
    // AI service's error (AI off, no provider, the provider's own failure); nothing else changes.
    QCoro::Task<void> ask(bool again = false);
    // Who ranked the people shown and whether their summaries left the computer; empty without.
    const QString& rankedOrigin() const { return m_rankedOrigin; }
    // How many people the last answer named (0 when it named nobody).
    int rankedCount() const { return int(m_ranked.size()); }

    // Where other tiers plug in.
    void setAIService(AIService* ai) { m_ai = ai; }
    void setSemanticSearcher(SemanticSearcher* semantic);
    // The pending Moments shown first for an empty query (none without a service). Not owned.
    void setMoments(MomentService* moments);
    // How many lexical hits the results section shows (50 in the panel; scripts may ask for more).
    void setResultsLimit(int limit);

    // Bookkeeping, visible for tests.
    int scheduleToken() const { return m_scheduleToken; }
    int generation() const { return m_generation; }
    const SearchIndex& index() const { return m_index; }
    // The people the index was built from, in its order.
    const QList<Profile>& profiles() const { return m_profiles; }

Q_SIGNALS:
    void queryChanged();
    void sectionsChanged();
    void selectedIDChanged();
    void hoveredIDChanged();
    void selectionModeChanged();
    void isSearchingChanged();
    void isAskingChanged();
    void isShowingRankedChanged();
    // A search ran to the end and its rows are showing.
    void searchFinished();

private:
    void rebuild();
    SearchBoosts boosts(const QDateTime& now) const;
    void runPending();
    QCoro::Task<void> runSearch(QString text, int token);
    // The Moments an empty query shows first (none without a service).
    QList<MomentCandidate> pendingMoments() const;
    QList<SearchSectionRows> emptyQuerySections(const QDateTime& now,
                                                const QList<MomentCandidate>& moments) const;
    QList<SearchHit> wordHits(const ParsedQuery& parsed, const QDateTime& now, int limit);
    QList<Tag> circlesFor(const QString& text, const ParsedQuery& parsed) const;
    bool meaningApplies(const ParsedQuery& parsed) const;
    // The lexical hits merged with the semantic tier's; absent when that tier is off or the query
    // has no words.
    QCoro::Task<std::optional<QList<SearchHit>>> withMeaning(QString text, ParsedQuery parsed,
                                                             QList<SearchHit> lexical);
    void publish(QList<SearchSectionRows> sections, const ParsedQuery& parsed);
    void setSelected(std::optional<QString> id, SelectionMode mode);
    void setSearching(bool searching);

    QVariantList sectionsForView() const;
    QVariantList flatForView() const;
    QString selectedIDForView() const { return m_selectedID.value_or(QString()); }
    QString hoveredIDForView() const { return m_hoveredID.value_or(QString()); }
    QVariant resultCountForView() const { return m_resultCount ? QVariant(*m_resultCount) : QVariant(); }
    QVariant tagCountForView() const { return m_tagCount ? QVariant(*m_tagCount) : QVariant(); }

    ProfileSyncEngine& m_profileSource;
    StarredStore& m_starred;
    RecentsStore& m_recents;
    TagCatalog& m_tags;
    SettingsStore& m_settings;
    SemanticSearcher* m_semantic;
    MomentService* m_moments = nullptr;
    QMetaObject::Connection m_momentsConnection;
    const Clock m_clock;
    const std::chrono::milliseconds m_typingDelay;

    QString m_query;
    ParsedQuery m_parsed;
    QList<SearchSectionRows> m_sections;
    QList<SearchRowItem> m_flat;
    std::optional<QString> m_selectedID;
    bool m_selectionChosen = false; // the user moved the selection since the query last changed
    std::optional<QString> m_hoveredID;
    SelectionMode m_selectionMode = SelectionMode::Keyboard;
    bool m_isSearching = false;
    bool m_isAsking = false;        // Ask is waiting for the AI
    bool m_isShowingRanked = false; // set when Ask's ranking fills the ranked section
    QList<SearchRowItem> m_ranked;  // Ask's ranking for m_rankedQuery
    QString m_rankedQuery;
    QString m_rankedOrigin;
    bool m_selectFirstRanked = false;
    AIService* m_ai = nullptr;
    std::optional<int> m_resultCount;
    std::optional<int> m_tagCount;
    int m_resultsLimit = SearchLayout::resultsLimit;

    QList<Profile> m_profiles; // the published list the index was built from
    SearchIndex m_index;
    QHash<QString, QDateTime> m_lastContacted;
    SearchEngine m_engine;

    QTimer m_pending;
    QString m_pendingText;
    int m_generation = 0;
    int m_scheduleToken = 0;
    std::optional<QString> m_anchorProfileID;
    std::optional<QPointF> m_lastPointer;
};

} // namespace pemmo
