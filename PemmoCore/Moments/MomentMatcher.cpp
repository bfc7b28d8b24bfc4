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
    return !profile.person->givenName.isEmpty() || !profile.person->familyName.isEmpty();
}

bool isAscii(QStringView text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

// normalizedEmail(value) == email, without making a string for the common all-ASCII address:
// matching runs over every contact's addresses for each event.
bool sameEmail(const QString& value, const QString& email) {
    QStringView v = QStringView(value).trimmed();
    if (!isAscii(v) || !isAscii(email))
        return normalizedEmail(value) == email;
    if (v.size() >= 7 && v.first(7).compare(QLatin1String("mailto:"), Qt::CaseInsensitive) == 0)
        v = v.sliced(7);
    return v.compare(email, Qt::CaseInsensitive) == 0;
}

// normalizedName(value) == name, likewise: for ASCII text the folding is lower-casing and the
// white space runs are ASCII ones.
bool sameName(const QString& value, const QString& name) {
    if (!isAscii(value) || !isAscii(name))
        return normalizedName(value) == name;
    qsizetype at = 0;
    qsizetype i = 0;
    bool pendingSpace = false;
    for (; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c.isSpace()) {
            pendingSpace = at > 0;
            continue;
        }
        if (pendingSpace) {
            if (at >= name.size() || name[at] != u' ')
                return false;
            ++at;
            pendingSpace = false;
        }
        if (at >= name.size() || c.toLower() != name[at])
            return false;
        ++at;
    }
    return at == name.size();
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
            for (const LabeledValue& value : profile.person->emails) {
                if (sameEmail(value.value, email)) {
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
        if (!eligible(profile) || !sameName(profile.person->displayName(), name))
            continue;
        if (found)
            return std::nullopt;
        found = &profile;
    }
    return found ? std::optional<QString>(found->id()) : std::nullopt;
}

} // namespace pemmo::MomentMatcher
