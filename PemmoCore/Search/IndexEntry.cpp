#include "Search/IndexEntry.h"

#include "Records/Text.h"

#include <algorithm>

namespace pemmo {
namespace {

void add(QStringList& parts, const std::optional<QString>& value) {
    if (value && !Text::isBlank(*value))
        parts.append(*value);
}

void add(QStringList& parts, const QString& value) {
    if (!Text::isBlank(value))
        parts.append(value);
}

// "+1 (415) 555-0100" is also found as 14155550100, the way people type numbers.
QString digitsOnly(const QString& number) {
    QString digits;
    digits.reserve(number.size());
    for (const QChar c : number) {
        if (c.isDigit())
            digits.append(c);
    }
    return digits;
}

void addPhone(QStringList& parts, const QString& number) {
    if (Text::isBlank(number))
        return;
    parts.append(number);
    const QString digits = digitsOnly(number);
    if (!digits.isEmpty() && digits != QStringView(number).trimmed())
        parts.append(digits);
}

bool isMailAddress(const QString& handle) {
    return handle.contains(u'@');
}

// The text and spans of one person, field after field, written into buffers that keep their room
// from one person to the next: the entry then gets them in one block each, sized to fit.
struct Scratch {
    QString text;
    QList<TextFolding::TokenSpan> spans;
};

// Fields are set in their order, each once: the text and spans of a field go after those of the
// fields before it. Folding the parts one by one, a space between, gives the text folding them
// joined would: a space ends every run folding treats as one.
void setField(IndexEntry& entry, Scratch& scratch, SearchField field, const QStringList& parts) {
    const auto i = static_cast<std::size_t>(SearchFields::index(field));
    Q_ASSERT(entry.textStart[i] == std::uint32_t(scratch.text.size()));
    Q_ASSERT(entry.spanStart[i] == std::uint32_t(scratch.spans.size()));
    const qsizetype start = scratch.text.size();
    for (qsizetype p = 0; p < parts.size(); ++p) {
        if (p > 0)
            scratch.text.append(u' ');
        TextFolding::appendFolded(scratch.text, parts[p]);
    }
    if (!parts.isEmpty())
        TextFolding::appendTokenSpans(scratch.spans, QStringView(scratch.text).sliced(start));
    std::fill(entry.textStart.begin() + qsizetype(i) + 1, entry.textStart.end(),
              std::uint32_t(scratch.text.size()));
    std::fill(entry.spanStart.begin() + qsizetype(i) + 1, entry.spanStart.end(),
              std::uint32_t(scratch.spans.size()));
}

} // namespace

IndexEntry IndexEntry::make(const Profile& profile) {
    const Person& person = *profile.person;
    const PemmoRecord& record = *profile.record;
    const Details& details = record.details;
    IndexEntry entry;
    entry.id = person.id;
    entry.fullName = person.displayName();
    thread_local Scratch scratch;
    scratch.text.resize(0);
    scratch.spans.resize(0);

    setField(entry, scratch, SearchField::Name, {entry.fullName});
    if (scratch.spans.size() > 1) {
        // The name is the first field: all the scratch text so far.
        QString joined(scratch.text.constData(), scratch.text.size());
        joined.removeIf([](QChar c) { return c.isSpace(); });
        entry.nameJoined = joined;
    }

    QStringList parts;
    add(parts, person.nickname);
    setField(entry, scratch, SearchField::Nickname, parts);

    parts.clear();
    add(parts, profile.company());
    setField(entry, scratch, SearchField::Company, parts);

    parts.clear();
    for (const QString& tag : record.tags)
        add(parts, tag);
    entry.tagIDs = record.tags;
    setField(entry, scratch, SearchField::Tags, parts);

    parts.clear();
    add(parts, profile.role());
    add(parts, details.team);
    add(parts, details.workLocation);
    setField(entry, scratch, SearchField::Role, parts);

    parts.clear();
    add(parts, details.school);
    add(parts, details.major);
    add(parts, details.graduationYear);
    setField(entry, scratch, SearchField::School, parts);

    QStringList phones;
    QStringList emails;
    for (const LabeledValue& phone : person.phones)
        addPhone(phones, phone.value);
    for (const LabeledValue& email : person.emails)
        add(emails, email.value);
    add(emails, details.email);
    if (record.messageHandle && !Text::isBlank(*record.messageHandle)) {
        if (isMailAddress(*record.messageHandle))
            add(emails, record.messageHandle);
        else
            addPhone(phones, *record.messageHandle);
    }
    setField(entry, scratch, SearchField::Phone, phones);
    setField(entry, scratch, SearchField::Email, emails);

    parts.clear();
    add(parts, details.currentCity);
    add(parts, details.hometown);
    setField(entry, scratch, SearchField::City, parts);

    // What the user wrote about the person: the free text, how they met and who they know.
    parts.clear();
    add(parts, record.about);
    add(parts, details.howWeMet);
    add(parts, details.mutuals);
    setField(entry, scratch, SearchField::About, parts);

    // Memories are what the user (or a model on their behalf) wrote down; the entries Pemmo logs
    // by itself ("Opened Messages") would make every contacted person match "opened".
    parts.clear();
    for (const Interaction& interaction : record.interactions) {
        if (interaction.source.kind != Interaction::Source::Kind::Auto)
            add(parts, interaction.text);
    }
    setField(entry, scratch, SearchField::Memory, parts);
    entry.text = QString(scratch.text.constData(), scratch.text.size());
    entry.spans = QList<TextFolding::TokenSpan>(scratch.spans.cbegin(), scratch.spans.cend());
    return entry;
}

QStringList IndexEntry::tokens(SearchField field) const {
    QStringList result;
    const auto spans = spansOf(field);
    result.reserve(qsizetype(spans.size()));
    for (qsizetype i = 0; i < qsizetype(spans.size()); ++i)
        result.append(token(field, i).toString());
    return result;
}

} // namespace pemmo
