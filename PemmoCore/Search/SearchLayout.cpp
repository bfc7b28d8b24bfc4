#include "Search/SearchLayout.h"

#include "Search/QueryParser.h"
#include "Search/TextFolding.h"

#include <QSet>

namespace pemmo::SearchLayout {
namespace {

SearchRowItem personRow(const Profile& profile, SearchSection section) {
    SearchRowItem row;
    row.id = profile.id();
    row.section = section;
    row.profileID = profile.id();
    row.title = profile.person->displayName();
    row.initials = profile.person->initials();
    row.subtitle = profile.headline();
    return row;
}

QString reachOutSubtitle(const StaleProfile& stale) {
    if (!stale.daysSince)
        return QStringLiteral("No contact logged yet");
    if (*stale.daysSince == 1)
        return QStringLiteral("Last contact 1 day ago");
    return QStringLiteral("Last contact %1 days ago").arg(*stale.daysSince);
}

void appendIfAny(QList<SearchSectionRows>& sections, SearchSection section, QList<SearchRowItem> rows) {
    if (!rows.isEmpty())
        sections.append({section, std::move(rows)});
}

} // namespace

const Profile* People::find(const QString& id) const {
    const auto at = index.position(id);
    if (!at || *at >= static_cast<std::uint32_t>(profiles.size()))
        return nullptr;
    return &profiles[*at];
}

QString momentRowID(const QString& momentID) {
    return QStringLiteral("moment:") + momentID;
}

std::optional<QString> momentID(const QString& rowID) {
    if (!rowID.startsWith(QLatin1String("moment:")))
        return std::nullopt;
    return rowID.mid(7);
}

QList<SearchSectionRows> forEmptyQuery(const People& people, const QStringList& starred,
                                       const QStringList& recent, const QList<StaleProfile>& stale,
                                       const QList<MomentCandidate>& moments) {
    QList<SearchSectionRows> sections;
    QSet<QString> shown;

    // A Moment's row names the person and, under it, the event.
    QList<SearchRowItem> happened;
    for (const MomentCandidate& moment : moments) {
        if (happened.size() >= justHappenedLimit)
            break;
        const Profile* profile = people.find(moment.profileID);
        if (!profile)
            continue;
        SearchRowItem row;
        row.id = momentRowID(moment.id);
        row.section = SearchSection::JustHappened;
        row.profileID = moment.profileID;
        row.title = profile->person->displayName();
        row.initials = profile->person->initials();
        row.subtitle = moment.eventTitle;
        happened.append(std::move(row));
    }
    appendIfAny(sections, SearchSection::JustHappened, std::move(happened));

    const auto collect = [&](const QStringList& ids, SearchSection section, int limit) {
        QList<SearchRowItem> rows;
        for (const QString& id : ids) {
            if (rows.size() >= limit)
                break;
            const Profile* profile = people.find(id);
            if (!profile || shown.contains(id))
                continue;
            shown.insert(id);
            rows.append(personRow(*profile, section));
        }
        appendIfAny(sections, section, std::move(rows));
    };
    collect(starred, SearchSection::Starred, starredLimit);
    collect(recent, SearchSection::Recent, recentLimit);

    QList<SearchRowItem> reachOut;
    for (const StaleProfile& s : stale) {
        if (reachOut.size() >= reachOutLimit)
            break;
        const Profile* profile = people.find(s.id);
        if (!profile || shown.contains(s.id))
            continue;
        shown.insert(s.id);
        SearchRowItem row = personRow(*profile, SearchSection::ReachOut);
        row.subtitle = reachOutSubtitle(s);
        reachOut.append(std::move(row));
    }
    appendIfAny(sections, SearchSection::ReachOut, std::move(reachOut));
    return sections;
}

QList<SearchSectionRows> forQuery(const People& people, const ParsedQuery& query, const QList<Tag>& circles,
                                  const QList<SearchHit>& hits, const QList<SearchRowItem>& ranked) {
    QList<SearchSectionRows> sections;
    QList<SearchRowItem> tags;
    for (const Tag& tag : circles) {
        if (tags.size() >= tagsLimit)
            break;
        SearchRowItem row;
        row.id = QStringLiteral("tag:") + tag.id;
        row.section = SearchSection::Tags;
        row.tagID = tag.id;
        row.title = tag.name;
        row.subtitle = peopleCount(static_cast<qsizetype>(people.index.members(tag.id).size()));
        tags.append(std::move(row));
    }
    appendIfAny(sections, SearchSection::Tags, std::move(tags));

    QList<SearchRowItem> results;
    QList<SearchRowItem> also;
    for (const SearchHit& hit : hits) {
        const Profile* profile = people.find(hit.id);
        if (!profile)
            continue;
        const bool lexical = hit.tier == MatchTier::Lexical;
        SearchRowItem row =
            personRow(*profile, lexical ? SearchSection::Results : SearchSection::AlsoMatches);
        row.titleRanges = hit.nameRanges;
        row.score = hit.score;
        row.tier = hit.tier;
        row.reason = hit.reason;
        if (!lexical && !row.reason)
            row.reason = memoryReason(*profile, query);
        (lexical ? results : also).append(std::move(row));
    }
    appendIfAny(sections, SearchSection::Results, std::move(results));
    appendIfAny(sections, SearchSection::AlsoMatches, std::move(also));
    appendIfAny(sections, SearchSection::Ranked, ranked);
    return sections;
}

std::optional<QString> emptyText(const QString& query, bool hasRows) {
    if (hasRows)
        return std::nullopt;
    if (QueryParser::parse(query).isEmpty)
        return QStringLiteral("Type a name to find someone.");
    return QStringLiteral("No matches for \u201C") + query + QStringLiteral("\u201D");
}

QString peopleCount(qsizetype count) {
    return count == 1 ? QStringLiteral("1 person") : QString::number(count) + QStringLiteral(" people");
}

std::optional<QString> memoryReason(const Profile& profile, const ParsedQuery& query) {
    const QSet<QString>& ignored = QueryParser::memoryStopWords();
    QSet<QString> asked;
    for (const QString& term : query.terms) {
        if (!ignored.contains(term))
            asked.insert(term);
    }
    if (asked.isEmpty())
        return std::nullopt;
    const Interaction* newest = nullptr;
    for (const Interaction& memory : profile.record->interactions) {
        if (memory.source.kind == Interaction::Source::Kind::Auto || memory.text.trimmed().isEmpty())
            continue;
        if (newest && memory.date <= newest->date)
            continue;
        for (const QString& word : TextFolding::tokens(memory.text)) {
            if (asked.contains(word)) {
                newest = &memory;
                break;
            }
        }
    }
    if (!newest)
        return std::nullopt;
    return QStringLiteral("You wrote: \u201C") + newest->text + QStringLiteral("\u201D");
}

QList<SearchRowItem> flat(const QList<SearchSectionRows>& sections) {
    QList<SearchRowItem> rows;
    for (const SearchSectionRows& section : sections)
        rows.append(section.rows);
    return rows;
}

} // namespace pemmo::SearchLayout
