#include "Search/LexicalScorer.h"

#include "Search/EditDistance.h"
#include "Search/TextFolding.h"

#include <algorithm>
#include <span>

namespace pemmo::LexicalScorer {
namespace {

char32_t firstCharacter(QStringView token) {
    return TextFolding::toUtf32(token.first(std::min<qsizetype>(2, token.size())))[0];
}

void addRange(QList<TextRange>& ranges, const TextFolding::Traced& traced, const QList<qsizetype>& at,
              qsizetype start, qsizetype length) {
    const qsizetype from = traced.sourceStart[at[start]];
    const qsizetype to = traced.sourceEnd[at[start + length - 1]];
    ranges.append({from, to - from});
}

// Every occurrence of `term` in `text`, left to right without overlaps; `at` maps positions of
// `text` to positions of the traced folding.
bool findAll(QList<TextRange>& ranges, const TextFolding::Traced& traced, const QString& text,
             const QList<qsizetype>& at, QStringView term) {
    bool found = false;
    qsizetype from = 0;
    while (true) {
        const qsizetype pos = text.indexOf(term, from);
        if (pos < 0)
            break;
        addRange(ranges, traced, at, pos, term.size());
        from = pos + term.size();
        found = true;
    }
    return found;
}

QList<TextRange> merged(QList<TextRange> ranges) {
    std::sort(ranges.begin(), ranges.end(),
              [](const TextRange& a, const TextRange& b) { return a.start < b.start; });
    QList<TextRange> result;
    for (const TextRange& range : ranges) {
        if (!result.isEmpty() && range.start <= result.last().start + result.last().length) {
            TextRange& last = result.last();
            last.length = std::max(last.start + last.length, range.start + range.length) - last.start;
        } else {
            result.append(range);
        }
    }
    return result;
}

// One field as matching sees it: its folded text, its tokens, and for the name the name run
// together.
struct FieldText {
    QStringView text;
    std::span<const TextFolding::TokenSpan> spans;
    std::optional<QStringView> joined;

    QStringView token(std::size_t i) const { return text.sliced(spans[i].start, spans[i].length); }
};

std::optional<MatchKind> match(const FieldText& field, QStringView term) {
    if (field.text.isEmpty() || term.isEmpty())
        return std::nullopt;
    const std::size_t tokenCount = field.spans.size();
    bool prefix = false;
    for (std::size_t i = 0; i < tokenCount; ++i) {
        const QStringView token = field.token(i);
        if (token == term)
            return MatchKind::Exact;
        if (token.startsWith(term))
            prefix = true;
    }
    if (field.joined) {
        if (*field.joined == term)
            return MatchKind::Exact;
        if (field.joined->startsWith(term))
            prefix = true;
    }
    if (prefix)
        return MatchKind::Prefix;

    const std::u32string characters = TextFolding::toUtf32(term);
    const std::size_t length = characters.size();
    if (length >= std::size_t(acronymMinimumLength) && length <= tokenCount) {
        std::u32string initials;
        for (std::size_t i = 0; i < tokenCount; ++i)
            initials.push_back(firstCharacter(field.token(i)));
        if (initials.find(characters) != std::u32string::npos)
            return MatchKind::Acronym;
    }
    if (length >= std::size_t(fuzzyMinimumLength)) {
        for (std::size_t i = 0; i < tokenCount; ++i) {
            if (EditDistance::withinOne(TextFolding::toUtf32(field.token(i)), characters))
                return MatchKind::Fuzzy;
        }
    }
    if (field.text.contains(term))
        return MatchKind::Substring;
    return std::nullopt;
}

} // namespace

std::optional<MatchKind> fieldMatch(const IndexEntry& entry, SearchField field, QStringView term) {
    std::optional<QStringView> joined;
    if (field == SearchField::Name && entry.nameJoined)
        joined = QStringView(*entry.nameJoined);
    return match({entry.textOf(field), entry.spansOf(field), joined}, term);
}

std::optional<SearchHit> score(const IndexEntry& entry, const QStringList& terms,
                               const QStringList& tagFilters) {
    for (const QString& tag : tagFilters) {
        if (!entry.tagIDs.contains(tag))
            return std::nullopt;
    }
    SearchHit hit;
    hit.id = entry.id;
    hit.tier = MatchTier::Lexical;
    if (terms.isEmpty()) {
        hit.score = 1.0;
        return hit;
    }
    double sum = 0.0;
    for (const QString& term : terms) {
        double best = 0.0;
        for (const SearchField field : SearchFields::all) {
            if (const auto kind = fieldMatch(entry, field, term)) {
                const double value = strength(*kind) * SearchFields::weight(field);
                if (value > best)
                    best = value;
            }
        }
        if (best == 0.0)
            return std::nullopt;
        sum += best;
    }
    hit.score = sum / static_cast<double>(terms.size());
    hit.nameRanges = nameRanges(entry.fullName, terms);
    return hit;
}

QList<TextRange> nameRanges(const QString& fullName, const QStringList& terms) {
    // The name field as IndexEntry::make writes it, in buffers kept from one call to the next:
    // search calls this for every hit it shows.
    thread_local QString folded;
    thread_local QList<TextFolding::TokenSpan> spans;
    thread_local QString joined;
    folded.resize(0);
    spans.resize(0);
    TextFolding::appendFolded(folded, fullName);
    TextFolding::appendTokenSpans(spans, folded);
    FieldText name{folded, spans, std::nullopt};
    if (spans.size() > 1) {
        joined.resize(0);
        for (const QChar c : std::as_const(folded)) {
            if (!c.isSpace())
                joined.append(c);
        }
        name.joined = QStringView(joined);
    }

    QList<TextRange> ranges;
    std::optional<TextFolding::Traced> traced;
    QList<qsizetype> identity;
    QString compact;
    QList<qsizetype> compactAt;
    for (const QString& term : terms) {
        const auto kind = match(name, term);
        if (!kind ||
            (*kind != MatchKind::Exact && *kind != MatchKind::Prefix && *kind != MatchKind::Substring))
            continue;
        if (!traced) {
            traced = TextFolding::foldTraced(fullName);
            for (qsizetype i = 0; i < traced->folded.size(); ++i) {
                identity.append(i);
                if (!traced->folded[i].isSpace()) {
                    compact.append(traced->folded[i]);
                    compactAt.append(i);
                }
            }
        }
        // A term found only through the name run together ("annamaria") is shown across the gap.
        if (!findAll(ranges, *traced, traced->folded, identity, term))
            findAll(ranges, *traced, compact, compactAt, term);
    }
    return merged(ranges);
}

} // namespace pemmo::LexicalScorer
