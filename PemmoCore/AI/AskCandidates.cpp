#include "AI/AskCandidates.h"

#include "AI/PersonContextBuilder.h"
#include "Records/Text.h"
#include "Search/QueryParser.h"
#include "Search/TextFolding.h"

#include <QSet>
#include <algorithm>

namespace pemmo::AskCandidates {
namespace {

const QString kPartSeparator = u" \u00B7 "_qs;
const QString kMemoryLabel = u" \u00B7 Saved user memories: "_qs;
constexpr int kMemoryLimit = 300;

// The words of a text that say something: folded, without the filler words.
QSet<QString> contentWords(const QString& text) {
    const QSet<QString>& ignored = QueryParser::memoryStopWords();
    QSet<QString> words;
    for (const QString& word : TextFolding::tokens(text)) {
        if (!ignored.contains(word))
            words.insert(word);
    }
    return words;
}

bool isMemory(const Interaction& entry) {
    return entry.source.kind != Interaction::Source::Kind::Auto && !Text::isBlank(entry.text);
}

QStringList lineParts(const Profile& profile) {
    QStringList parts;
    const auto add = [&parts](const std::optional<QString>& part) {
        if (!Text::isBlank(part))
            parts.append(*part);
    };
    add(profile.headline());
    add(PersonContextBuilder::schoolLine(*profile.record));
    add(profile.record->tags.isEmpty()
            ? std::nullopt
            : std::optional<QString>(profile.record->tags.join(QStringLiteral(", "))));
    add(profile.record->details.howWeMet);
    return parts;
}

// Everything searchable about a person, for ordering.
QSet<QString> profileWords(const Profile& profile) {
    QStringList texts = lineParts(profile);
    texts.append(profile.person->displayName());
    const Details& d = profile.record->details;
    for (const auto& value : {d.team, d.workLocation, d.major, d.mutuals, d.hometown, d.currentCity})
        texts.append(value.value_or(QString()));
    texts.append(profile.record->about);
    for (const Interaction& entry : profile.record->interactions) {
        if (isMemory(entry))
            texts.append(entry.text);
    }
    return contentWords(texts.join(u' '));
}

} // namespace

QList<Profile> ordered(const QList<Profile>& profiles, const QString& question) {
    const QSet<QString> asked = contentWords(question);
    QList<std::pair<qsizetype, const Profile*>> scored;
    scored.reserve(profiles.size());
    for (const Profile& profile : profiles)
        scored.append(
            {asked.isEmpty() ? 0 : QSet<QString>(asked).intersect(profileWords(profile)).size(), &profile});
    std::stable_sort(scored.begin(), scored.end(),
                     [](const auto& a, const auto& b) { return a.first > b.first; });
    QList<Profile> result;
    result.reserve(scored.size());
    for (const auto& [score, profile] : scored)
        result.append(*profile);
    return result;
}

std::optional<QString> memoryFor(const Profile& profile, const QString& question) {
    const QSet<QString> asked = contentWords(question);
    if (asked.isEmpty())
        return std::nullopt;
    const Interaction* newest = nullptr;
    for (const Interaction& entry : profile.record->interactions) {
        if (!isMemory(entry) || (newest && entry.date <= newest->date))
            continue;
        if (contentWords(entry.text).intersects(asked))
            newest = &entry;
    }
    if (!newest)
        return std::nullopt;
    return Text::firstCharacters(Text::trimmed(newest->text), kMemoryLimit);
}

CandidateSummary summarize(const Profile& profile, const QString& question) {
    QString line = lineParts(profile).join(kPartSeparator);
    if (const auto memory = memoryFor(profile, question))
        line += kMemoryLabel + *memory;
    return {profile.id(), profile.person->displayName(), line};
}

QString groundedReason(const QString& reason, const Profile& profile, const QString& question) {
    const auto memory = memoryFor(profile, question);
    if (!memory)
        return reason;
    // The words the memory was chosen for, unless the rest of the line says them too.
    QSet<QString> evidence = contentWords(*memory).intersect(contentWords(question));
    evidence.subtract(contentWords(lineParts(profile).join(u' ') + u' ' + profile.person->displayName()));
    if (!contentWords(reason).intersects(evidence))
        return reason;
    return u"You wrote: \u201C"_qs + *memory + u"\u201D"_qs;
}

} // namespace pemmo::AskCandidates
