#include "App/PersonArgument.h"

#include "Search/QueryParser.h"
#include "Search/SearchEngine.h"
#include "Search/SearchIndex.h"
#include "Search/TextFolding.h"

namespace pemmo::PersonArgument {
namespace {

constexpr qsizetype kListed = 5;

QString ambiguity(const QString& text, const QList<const Profile*>& matches) {
    QString message = u"\u201C"_qs + text + u"\u201D could be more than one person:\n"_qs;
    for (qsizetype i = 0; i < matches.size() && i < kListed; ++i)
        message += u"  "_qs + matches[i]->person->displayName() + u" (id "_qs + matches[i]->id() + u")\n"_qs;
    if (matches.size() > kListed)
        message += u"  and "_qs + QString::number(matches.size() - kListed) + u" more\n"_qs;
    return message + u"Name one of them by id (pemmo list --json shows every id)."_qs;
}

Resolution decide(const QString& text, const QList<const Profile*>& matches) {
    if (matches.size() == 1)
        return {*matches.first(), {}};
    return {std::nullopt, ambiguity(text, matches)};
}

} // namespace

Resolution resolve(const QString& text, const QList<Profile>& profiles) {
    const QString trimmed = text.trimmed();
    for (const Profile& profile : profiles) {
        if (profile.id() == trimmed)
            return {profile, {}};
    }

    const QString folded = TextFolding::tokens(trimmed).join(u' ');
    QList<const Profile*> named;
    for (const Profile& profile : profiles) {
        if (!folded.isEmpty() && TextFolding::tokens(profile.person->displayName()).join(u' ') == folded)
            named.append(&profile);
    }
    if (!named.isEmpty())
        return decide(trimmed, named);

    // The panel's own search, keeping only people it found by their name.
    const SearchIndex index(profiles);
    SearchEngine engine;
    QList<const Profile*> found;
    const QList<SearchHit> hits =
        engine.search(QueryParser::parse(trimmed), index, SearchBoosts{}, static_cast<int>(profiles.size()));
    for (const SearchHit& hit : hits) {
        if (hit.nameRanges.isEmpty())
            continue;
        if (const auto position = index.position(hit.id))
            found.append(&profiles[*position]);
    }
    if (found.isEmpty())
        return {std::nullopt, u"No one in the address book matches \u201C"_qs + trimmed + u"\u201D."_qs};
    return decide(trimmed, found);
}

} // namespace pemmo::PersonArgument
