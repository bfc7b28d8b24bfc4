#include "Moments/MomentMatcher.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace pemmo::MomentMatcher {
namespace {

// Full-width and half-width forms (and the ideographic space) are the same characters as their
// ordinary-width twins; nothing else is touched, so accents stay as they are.
bool hasWidthVariant(UChar32 c) {
    return c == 0x3000 || (c >= 0xFF00 && c <= 0xFFEF);
}

QString foldCaseAndWidth(const QString& text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
    icu::UnicodeString source(reinterpret_cast<const char16_t*>(text.utf16()),
                              static_cast<int32_t>(text.size()));
    icu::UnicodeString narrowed;
    for (int32_t i = 0; i < source.length();) {
        const UChar32 c = source.char32At(i);
        const int32_t next = source.moveIndex32(i, 1);
        if (U_SUCCESS(status) && hasWidthVariant(c)) {
            icu::UnicodeString one(c);
            UErrorCode charStatus = U_ZERO_ERROR;
            icu::UnicodeString folded = nfkc->normalize(one, charStatus);
            narrowed.append(U_SUCCESS(charStatus) ? folded : one);
        } else {
            narrowed.append(source, i, next - i);
        }
        i = next;
    }
    narrowed.foldCase(U_FOLD_CASE_DEFAULT);
    return QString(reinterpret_cast<const QChar*>(narrowed.getBuffer()), narrowed.length());
}

int kindRank(CalendarAttendee::Kind kind) {
    switch (kind) {
    case CalendarAttendee::Kind::Person:
        return 3;
    case CalendarAttendee::Kind::Group:
        return 2;
    case CalendarAttendee::Kind::Unknown:
        return 1;
    case CalendarAttendee::Kind::Resource:
        return 0;
    }
    return 0;
}

CalendarAttendee::Kind combinedKind(CalendarAttendee::Kind a, CalendarAttendee::Kind b) {
    return kindRank(a) >= kindRank(b) ? a : b;
}

bool eligible(const Profile& profile) {
    return !profile.person.givenName.isEmpty() || !profile.person.familyName.isEmpty();
}

} // namespace

QString normalizedEmail(const QString& text) {
    QString email = text.trimmed().toLower();
    if (email.startsWith(QLatin1String("mailto:")))
        email.remove(0, 7);
    return email;
}

QString normalizedName(const QString& text) {
    const QString folded = foldCaseAndWidth(text);
    QString joined;
    qsizetype i = 0;
    while (i < folded.size()) {
        while (i < folded.size() && folded[i].isSpace())
            ++i;
        const qsizetype start = i;
        while (i < folded.size() && !folded[i].isSpace())
            ++i;
        if (i > start) {
            if (!joined.isEmpty())
                joined += u' ';
            joined += QStringView(folded).sliced(start, i - start);
        }
    }
    return joined;
}

QList<CalendarAttendee> mergedAttendees(const QList<CalendarAttendee>& attendees) {
    QList<CalendarAttendee> merged;
    QHash<QString, qsizetype> byEmail;
    for (const CalendarAttendee& attendee : attendees) {
        const QString email = normalizedEmail(attendee.email);
        if (email.isEmpty()) {
            merged.append(attendee);
            continue;
        }
        const auto found = byEmail.constFind(email);
        if (found == byEmail.cend()) {
            byEmail.insert(email, merged.size());
            merged.append(attendee);
            continue;
        }
        CalendarAttendee& kept = merged[*found];
        kept.isSelf = kept.isSelf || attendee.isSelf;
        kept.declined = kept.declined || attendee.declined;
        if (kept.name.isEmpty())
            kept.name = attendee.name;
        kept.kind = combinedKind(kept.kind, attendee.kind);
    }

    // A participant listed once with an address and once by name alone is one participant, when
    // the name points at exactly one addressed entry.
    QList<CalendarAttendee> result;
    QList<qsizetype> foldedInto(merged.size(), -1);
    for (qsizetype i = 0; i < merged.size(); ++i) {
        if (!normalizedEmail(merged[i].email).isEmpty())
            continue;
        const QString name = normalizedName(merged[i].name);
        if (name.isEmpty())
            continue;
        qsizetype namesake = -1;
        int namesakes = 0;
        for (qsizetype j = 0; j < merged.size(); ++j) {
            if (normalizedEmail(merged[j].email).isEmpty() || normalizedName(merged[j].name) != name)
                continue;
            namesake = j;
            ++namesakes;
        }
        if (namesakes == 1)
            foldedInto[i] = namesake;
    }
    for (qsizetype i = 0; i < merged.size(); ++i) {
        if (foldedInto[i] < 0)
            continue;
        CalendarAttendee& kept = merged[foldedInto[i]];
        kept.isSelf = kept.isSelf || merged[i].isSelf;
        kept.declined = kept.declined || merged[i].declined;
        kept.kind = combinedKind(kept.kind, merged[i].kind);
    }
    for (qsizetype i = 0; i < merged.size(); ++i) {
        if (foldedInto[i] < 0)
            result.append(merged[i]);
    }
    return result;
}

std::optional<QString> match(const CalendarAttendee& attendee, const QList<Profile>& profiles,
                             const QHash<QString, QString>& knownEmails) {
    const QString email = normalizedEmail(attendee.email);
    if (!email.isEmpty()) {
        const Profile* found = nullptr;
        int count = 0;
        for (const Profile& profile : profiles) {
            if (!eligible(profile))
                continue;
            for (const LabeledValue& value : profile.person.emails) {
                if (normalizedEmail(value.value) == email) {
                    found = &profile;
                    ++count;
                    break;
                }
            }
            if (count > 1)
                return std::nullopt;
        }
        if (count == 1)
            return found->id();
        const auto known = knownEmails.constFind(email);
        if (known != knownEmails.cend()) {
            for (const Profile& profile : profiles) {
                if (eligible(profile) && profile.id() == *known)
                    return profile.id();
            }
        }
    }

    const QString name = normalizedName(attendee.name);
    if (name.isEmpty())
        return std::nullopt;
    const Profile* found = nullptr;
    for (const Profile& profile : profiles) {
        if (!eligible(profile) || normalizedName(profile.person.displayName()) != name)
            continue;
        if (found)
            return std::nullopt;
        found = &profile;
    }
    return found ? std::optional<QString>(found->id()) : std::nullopt;
}

Index::Index(const QList<Profile>& profiles)
    : m_profiles(profiles) {
    for (qsizetype i = 0; i < profiles.size(); ++i) {
        const Profile& profile = profiles[i];
        if (!eligible(profile))
            continue;
        m_eligibleIDs.insert(profile.id());
        QSet<QString> own;
        for (const LabeledValue& value : profile.person.emails)
            own.insert(normalizedEmail(value.value));
        for (const QString& email : std::as_const(own))
            m_byEmail[email].append(i);
    }
}

std::optional<QString> Index::match(const CalendarAttendee& attendee,
                                    const QHash<QString, QString>& knownEmails) {
    const QString email = normalizedEmail(attendee.email);
    if (!email.isEmpty()) {
        const auto found = m_byEmail.constFind(email);
        const qsizetype count = found == m_byEmail.cend() ? 0 : found->size();
        if (count > 1)
            return std::nullopt;
        if (count == 1)
            return m_profiles[found->first()].id();
        const auto known = knownEmails.constFind(email);
        if (known != knownEmails.cend() && m_eligibleIDs.contains(*known))
            return *known;
    }

    const QString name = normalizedName(attendee.name);
    if (name.isEmpty())
        return std::nullopt;
    if (!m_byName) {
        m_byName.emplace();
        for (qsizetype i = 0; i < m_profiles.size(); ++i) {
            if (eligible(m_profiles[i]))
                (*m_byName)[normalizedName(m_profiles[i].person.displayName())].append(i);
        }
    }
    const auto found = m_byName->constFind(name);
    if (found == m_byName->cend() || found->size() != 1)
        return std::nullopt;
    return m_profiles[found->first()].id();
}

} // namespace pemmo::MomentMatcher
