#include "Profiles/ProfileOrder.h"

#include <algorithm>
#include <memory>
#include <string>
#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <vector>

namespace pemmo::ProfileOrder {
namespace {

// English collation with digits compared by value; secondary strength ignores case but still
// tells "e" from "é". A collator is not safe to share between threads, so each thread has its own.
icu::Collator* collator() {
    thread_local const std::unique_ptr<icu::Collator> instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Collator> made(icu::Collator::createInstance(icu::Locale("en"), status));
        if (U_FAILURE(status))
            return std::unique_ptr<icu::Collator>();
        made->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
        made->setStrength(icu::Collator::SECONDARY);
        if (U_FAILURE(status))
            return std::unique_ptr<icu::Collator>();
        return made;
    }();
    return instance.get();
}

// A read-only view of the text, not a copy: it is only read while `text` lives.
icu::UnicodeString unicode(const QString& text) {
    return icu::UnicodeString(false, reinterpret_cast<const UChar*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
}

std::string sortKey(const icu::Collator& coll, const QString& text) {
    const icu::UnicodeString source = unicode(text);
    std::string key(64, '\0');
    int32_t length =
        coll.getSortKey(source, reinterpret_cast<uint8_t*>(key.data()), static_cast<int32_t>(key.size()));
    if (length > static_cast<int32_t>(key.size())) {
        key.resize(static_cast<std::size_t>(length));
        length = coll.getSortKey(source, reinterpret_cast<uint8_t*>(key.data()), length);
    }
    key.resize(static_cast<std::size_t>(length));
    return key;
}

// Without ICU data the list is still usable: case-insensitive, digits as text.
QString fallbackKey(const QString& text) {
    return text.toCaseFolded();
}

} // namespace

int compareNames(const QString& a, const QString& b) {
    if (icu::Collator* coll = collator()) {
        UErrorCode status = U_ZERO_ERROR;
        const UCollationResult result = coll->compare(unicode(a), unicode(b), status);
        if (U_SUCCESS(status))
            return result == UCOL_LESS ? -1 : (result == UCOL_GREATER ? 1 : 0);
    }
    return fallbackKey(a).compare(fallbackKey(b));
}

std::string sortKey(const QString& name) {
    if (icu::Collator* coll = collator())
        return sortKey(*coll, name);
    return fallbackKey(name).toStdString();
}

QList<Profile> sorted(QList<Profile> profiles) {
    struct Entry {
        std::string key;
        qsizetype index;
    };
    std::vector<Entry> entries;
    entries.reserve(static_cast<std::size_t>(profiles.size()));
    icu::Collator* coll = collator();
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        const QString name = profiles[i].person->displayName();
        entries.push_back({coll ? sortKey(*coll, name) : fallbackKey(name).toStdString(), i});
    }
    // Sort keys turn every name comparison into a byte comparison.
    std::stable_sort(entries.begin(), entries.end(), [&profiles](const Entry& a, const Entry& b) {
        if (const int byName = a.key.compare(b.key); byName != 0)
            return byName < 0;
        return profiles[a.index].id() < profiles[b.index].id();
    });
    // The profiles are moved into their places in the list itself, one cycle of the permutation
    // at a time: a second list of ten thousand profiles would be 10 MB of fresh pages.
    std::vector<bool> placed(entries.size(), false);
    for (std::size_t start = 0; start < entries.size(); ++start) {
        if (placed[start])
            continue;
        Profile first = std::move(profiles[qsizetype(start)]);
        std::size_t at = start;
        for (;;) {
            placed[at] = true;
            const auto from = static_cast<std::size_t>(entries[at].index);
            if (from == start) {
                profiles[qsizetype(at)] = std::move(first);
                break;
            }
            profiles[qsizetype(at)] = std::move(profiles[qsizetype(from)]);
            at = from;
        }
    }
    return profiles;
}

} // namespace pemmo::ProfileOrder
