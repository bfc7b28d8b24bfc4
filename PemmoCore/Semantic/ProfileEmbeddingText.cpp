#include "Semantic/ProfileEmbeddingText.h"

#include "Support/Hashing.h"

#include <algorithm>

namespace pemmo::ProfileEmbeddingText {
namespace {

QList<const Interaction*> notes(const Profile& profile) {
    QList<const Interaction*> list;
    for (const Interaction& entry : profile.record->interactions) {
        if (entry.source.kind != Interaction::Source::Kind::Auto &&
            !QStringView(entry.text).trimmed().isEmpty())
            list.append(&entry);
    }
    std::stable_sort(list.begin(), list.end(),
                     [](const Interaction* a, const Interaction* b) { return a->date < b->date; });
    return list;
}

QStringView trimmed(const std::optional<QString>& value) {
    return value ? QStringView(*value).trimmed() : QStringView();
}

// Lays the profile text out piece by piece into `out` (anything with append(QStringView)), so that
// the text and its hash come from the same code and the hash needs no text built: lines joined
// with "\n", the values of one line with ", ", blank values left out.
template <class Sink> void compose(const Profile& profile, Sink& out) {
    bool firstLine = true;
    const auto line = [&](std::initializer_list<QStringView> values) {
        bool firstValue = true;
        for (const QStringView value : values) {
            if (value.isEmpty())
                continue;
            if (firstValue && !firstLine)
                out.append(u"\n");
            if (!firstValue)
                out.append(u", ");
            out.append(value);
            firstValue = false;
            firstLine = false;
        }
    };
    const Person& person = *profile.person;
    const Details& details = profile.record->details;
    line({QStringView(person.givenName).trimmed(), QStringView(person.familyName).trimmed(),
          QStringView(person.nickname).trimmed()});
    {
        bool firstValue = true;
        for (const QString& tag : profile.record->tags) {
            const QStringView value = QStringView(tag).trimmed();
            if (value.isEmpty())
                continue;
            if (firstValue && !firstLine)
                out.append(u"\n");
            if (!firstValue)
                out.append(u", ");
            out.append(value);
            firstValue = false;
            firstLine = false;
        }
    }
    const std::optional<QString> role = profile.role();
    const std::optional<QString> company = profile.company();
    line({trimmed(role), trimmed(company), trimmed(details.team), trimmed(details.workLocation)});
    line({trimmed(details.school), trimmed(details.major), trimmed(details.graduationYear)});
    line({trimmed(details.currentCity), trimmed(details.hometown)});
    line({trimmed(details.howWeMet)});
    line({QStringView(profile.record->about).trimmed()});
    for (const Interaction* note : notes(profile))
        line({QStringView(note->text).trimmed()});
}

struct TextSink {
    QString text;
    void append(QStringView piece) { text.append(piece); }
};

// FNV-1a over the UTF-8 of what is appended, without building it.
struct HashSink {
    quint64 hash = 0xcbf29ce484222325ULL;

    void byte(unsigned value) {
        hash ^= value & 0xff;
        hash *= 0x100000001b3ULL;
    }
    void append(QStringView piece) {
        for (qsizetype i = 0; i < piece.size(); ++i) {
            char32_t c = piece[i].unicode();
            if (QChar::isHighSurrogate(c) && i + 1 < piece.size() && piece[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(char16_t(c), piece[++i].unicode());
            } else if (QChar::isSurrogate(c)) {
                // A lone surrogate: whatever Qt makes of it in UTF-8.
                for (const char b : QString(QChar(c)).toUtf8())
                    byte(static_cast<unsigned char>(b));
                continue;
            }
            if (c < 0x80) {
                byte(c);
            } else if (c < 0x800) {
                byte(0xc0 | (c >> 6));
                byte(0x80 | (c & 0x3f));
            } else if (c < 0x10000) {
                byte(0xe0 | (c >> 12));
                byte(0x80 | ((c >> 6) & 0x3f));
                byte(0x80 | (c & 0x3f));
            } else {
                byte(0xf0 | (c >> 18));
                byte(0x80 | ((c >> 12) & 0x3f));
                byte(0x80 | ((c >> 6) & 0x3f));
                byte(0x80 | (c & 0x3f));
            }
        }
    }
};

} // namespace

QString text(const Profile& profile) {
    TextSink sink;
    compose(profile, sink);
    return sink.text;
}

QStringList memories(const Profile& profile) {
    QStringList list;
    for (const Interaction* note : notes(profile))
        list.append(note->text.trimmed());
    for (const QStringView value :
         {QStringView(profile.record->about).trimmed(), trimmed(profile.record->details.howWeMet)}) {
        if (!value.isEmpty())
            list.append(value.toString());
    }
    return list;
}

quint64 contentHashValue(const Profile& profile) {
    HashSink sink;
    sink.append(hashPrefix());
    compose(profile, sink);
    return sink.hash;
}

namespace {

bool same(const QString& a, const QString& b) {
    return a.size() == b.size() && (a.isEmpty() || a.constData() == b.constData());
}

bool same(const std::optional<QString>& a, const std::optional<QString>& b) {
    return a.has_value() == b.has_value() && (!a || same(*a, *b));
}

template <class T> bool sameList(const QList<T>& a, const QList<T>& b) {
    return a.size() == b.size() && (a.isEmpty() || a.constData() == b.constData());
}

} // namespace

bool sameSource(const Profile& seen, const Profile& profile) {
    const Person& a = *seen.person;
    const Person& b = *profile.person;
    const Details& x = seen.record->details;
    const Details& y = profile.record->details;
    return same(a.givenName, b.givenName) && same(a.familyName, b.familyName) &&
           same(a.nickname, b.nickname) && same(a.organization, b.organization) &&
           same(a.jobTitle, b.jobTitle) && sameList(seen.record->tags, profile.record->tags) &&
           same(x.company, y.company) && same(x.jobTitle, y.jobTitle) && same(x.team, y.team) &&
           same(x.workLocation, y.workLocation) && same(x.school, y.school) && same(x.major, y.major) &&
           same(x.graduationYear, y.graduationYear) && same(x.currentCity, y.currentCity) &&
           same(x.hometown, y.hometown) && same(x.howWeMet, y.howWeMet) &&
           same(seen.record->about, profile.record->about) &&
           sameList(seen.record->interactions, profile.record->interactions);
}

QString contentHash(const Profile& profile) {
    static constexpr char digits[] = "0123456789abcdef";
    quint64 value = contentHashValue(profile);
    QString hex(16, Qt::Uninitialized);
    for (qsizetype i = 15; i >= 0; --i, value >>= 4)
        hex[i] = QLatin1Char(digits[value & 0xf]);
    return hex;
}

} // namespace pemmo::ProfileEmbeddingText
