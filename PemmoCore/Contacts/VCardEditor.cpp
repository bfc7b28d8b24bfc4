#include "Contacts/VCardEditor.h"

#include "Contacts/ContactDraftRules.h"
#include "Contacts/VCardDecoding.h"
#include "Contacts/VCard_p.h"
#include "Records/Text.h"

#include <algorithm>
#include <initializer_list>

namespace pemmo::VCard {
namespace {

// The break that ends the line starting at `lineBegin`, split as the reader splits lines.
QByteArray lineBreakAt(QByteArrayView file, qsizetype lineBegin) {
    qsizetype begin = lineBegin;
    while (begin < file.size() && file[begin] != '\n' && file[begin] != '\r')
        ++begin;
    if (begin == file.size())
        return QByteArrayLiteral("\r\n");
    qsizetype end = begin;
    while (end < file.size() && file[end] == '\r')
        ++end;
    if (end < file.size() && file[end] == '\n')
        return file.sliced(begin, end + 1 - begin).toByteArray();
    return QByteArrayLiteral("\r");
}

// The break that ends the property: what its last line ends with.
QByteArray trailingBreak(QByteArrayView file, const Property& property, const QByteArray& fallback) {
    qsizetype i = property.end;
    if (i == 0 || (file[i - 1] != '\n' && file[i - 1] != '\r'))
        return fallback;
    qsizetype begin = i - 1;
    if (file[begin] == '\n') {
        while (begin > property.begin && file[begin - 1] == '\r')
            --begin;
    }
    return file.sliced(begin, i - begin).toByteArray();
}

QByteArray escapeText(const QString& text, bool escapeCommas) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray result;
    result.reserve(utf8.size() + 8);
    for (char c : utf8) {
        switch (c) {
        case '\\':
            result += "\\\\";
            break;
        case ';':
            result += "\\;";
            break;
        case ',':
            if (escapeCommas)
                result += "\\,";
            else
                result += c;
            break;
        case '\r':
            break;
        case '\n':
            result += "\\n";
            break;
        default:
            result += c;
        }
    }
    return result;
}

bool needsQuotedPrintable(QByteArrayView bytes) {
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || u < 0x20)
            return true;
    }
    return false;
}

QByteArray encodeQuotedPrintable(QByteArrayView bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    QByteArray result;
    result.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u > 32 && u < 127 && c != '=') {
            result += c;
        } else {
            result += '=';
            result += digits[u >> 4];
            result += digits[u & 15];
        }
    }
    return result;
}

// A value ready to follow the colon, with the parameters its encoding needs.
struct EncodedValue {
    QByteArray value;
    QByteArrayList parameters;
};

// One text component, escaped for the card's version.
QByteArray escapeComponent(Version version, const QString& text) {
    if (version != Version::V2_1)
        return escapeText(text, true);
    QByteArray part = text.toUtf8();
    part.replace("\\", "\\\\");
    part.replace(";", "\\;");
    return part;
}

// Escaped components joined by semicolons. 2.1 has no escape for line breaks and assumes ASCII:
// anything else goes quoted-printable there.
EncodedValue encodeComponents(Version version, const QByteArrayList& escaped) {
    EncodedValue encoded;
    encoded.value = escaped.join(';');
    if (version == Version::V2_1 && needsQuotedPrintable(encoded.value)) {
        encoded.value = encodeQuotedPrintable(encoded.value);
        encoded.parameters = {"CHARSET=UTF-8", "ENCODING=QUOTED-PRINTABLE"};
    }
    return encoded;
}

// Text, or structured text given as its components.
EncodedValue encodeText(Version version, const QStringList& components) {
    QByteArrayList escaped;
    for (const QString& component : components)
        escaped.append(escapeComponent(version, component));
    return encodeComponents(version, escaped);
}

EncodedValue encodeDate(Version version, const DateComponents& date) {
    const QString month = QStringLiteral("%1").arg(date.month, 2, 10, QLatin1Char('0'));
    const QString day = QStringLiteral("%1").arg(date.day, 2, 10, QLatin1Char('0'));
    const QString separator = version == Version::V4_0 ? QString() : QStringLiteral("-");
    QString text;
    if (date.year)
        text = QStringLiteral("%1").arg(*date.year, 4, 10, QLatin1Char('0')) + separator + month + separator +
               day;
    else
        text = u"--"_qs + month + separator + day;
    return EncodedValue{text.toLatin1(), {}};
}

QByteArray typeParameter(Version version, const char* type) {
    switch (version) {
    case Version::V2_1:
        return QByteArray(type);
    case Version::V3_0:
        return QByteArrayLiteral("TYPE=") + type;
    case Version::V4_0:
        return QByteArrayLiteral("TYPE=") + QByteArray(type).toLower();
    }
    return QByteArray(type);
}

// Folds at 75 octets without splitting a UTF-8 sequence; 2.1 lines are left whole, since 2.1
// readers differ on what a folded line means.
QByteArray foldedLine(Version version, const QByteArray& line, const QByteArray& lineBreak) {
    if (version == Version::V2_1 || line.size() <= 75)
        return line + lineBreak;
    QByteArray result;
    qsizetype pos = 0;
    qsizetype limit = 75;
    while (pos < line.size()) {
        qsizetype end = std::min(pos + limit, line.size());
        while (end < line.size() && end > pos + 1 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80)
            --end;
        if (pos > 0)
            result += ' ';
        result += line.mid(pos, end - pos);
        result += lineBreak;
        pos = end;
        limit = 74; // the leading blank counts
    }
    return result;
}

// Parameters that describe the old value's encoding do not carry over to a rewritten value.
QByteArrayList keptParameters(const Property& property, std::initializer_list<const char*> alsoDrop) {
    QByteArrayList kept;
    for (const Parameter& parameter : property.parameters) {
        bool drop = parameter.name == "ENCODING" || parameter.name == "CHARSET";
        for (const char* name : alsoDrop)
            drop = drop || parameter.name == name;
        if (!drop)
            kept.append(parameter.raw);
    }
    return kept;
}

QByteArray propertyLine(const QByteArray& group, const QByteArray& name, const QByteArrayList& parameters,
                        const EncodedValue& value) {
    QByteArray line;
    if (!group.isEmpty())
        line += group + '.';
    line += name;
    for (const QByteArray& parameter : parameters)
        line += ';' + parameter;
    for (const QByteArray& parameter : value.parameters)
        line += ';' + parameter;
    line += ':';
    line += value.value;
    return line;
}

struct Edit {
    qsizetype begin;
    qsizetype end;
    QByteArray text;
    int order;
};

class CardEditor {
public:
    CardEditor(QByteArrayView file, const Card& card)
        : m_file(file)
        , m_card(card)
        , m_lineBreak(lineBreakAt(file, card.begin)) {}

    Version version() const { return m_card.version; }

    enum class Group { Keep, Drop };
    void replace(const Property& property, const QByteArrayList& parameters, const EncodedValue& value,
                 Group group = Group::Keep) {
        const QByteArray line = propertyLine(group == Group::Keep ? property.group : QByteArray(),
                                             writtenName(property), parameters, value);
        add(property.begin, property.end,
            foldedLine(version(), line, trailingBreak(m_file, property, m_lineBreak)));
    }
    void remove(const Property& property) { add(property.begin, property.end, {}); }
    void insert(qsizetype at, const QByteArray& name, const QByteArrayList& parameters,
                const EncodedValue& value) {
        // A line starts before the byte order marks in front of it (files joined with `cat`), so
        // that what comes before it is the previous property's own end.
        while (at >= 3 && m_file.sliced(at - 3, 3) == QByteArrayView("\xEF\xBB\xBF"))
            at -= 3;
        // A quoted-printable value that still ends in "=" (its soft break met END:VCARD) would
        // swallow a line added after it: add the line before it instead.
        for (const Property& property : m_card.properties) {
            if (property.end == at && property.encoding() == Encoding::QuotedPrintable &&
                property.value.endsWith('='))
                at = property.begin;
        }
        add(at, at, foldedLine(version(), propertyLine({}, name, parameters, value), m_lineBreak));
    }

    bool hasEdits() const { return !m_edits.isEmpty(); }

    QByteArray result() const {
        if (m_edits.isEmpty())
            return m_file.toByteArray();
        QList<Edit> edits = m_edits;
        // At one offset, lines added there go before a line replaced there: an addition moved in
        // front of a dangling quoted-printable line may meet that line's own replacement.
        std::stable_sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) {
            if (a.begin != b.begin)
                return a.begin < b.begin;
            const bool aInserts = a.end == a.begin;
            const bool bInserts = b.end == b.begin;
            return aInserts != bInserts ? aInserts : a.order < b.order;
        });
        QByteArray out;
        out.reserve(m_file.size() + 256);
        qsizetype pos = 0;
        for (const Edit& edit : edits) {
            out += m_file.sliced(pos, edit.begin - pos);
            out += edit.text;
            pos = edit.end;
        }
        out += m_file.sliced(pos);
        return out;
    }

private:
    // The property's name as the file spells it ("X-ABLabel", "tel").
    QByteArray writtenName(const Property& property) const {
        QByteArrayView line = m_file.sliced(property.begin, property.end - property.begin);
        if (!property.group.isEmpty() && line.size() > property.group.size() &&
            line[property.group.size()] == '.')
            line = line.sliced(property.group.size() + 1);
        qsizetype length = 0;
        while (length < line.size() && line[length] != ';' && line[length] != ':')
            ++length;
        const QByteArrayView name = line.first(length);
        return equalsIgnoringCase(name, property.name) ? name.toByteArray() : property.name;
    }

    void add(qsizetype begin, qsizetype end, QByteArray text) {
        m_edits.append(Edit{begin, end, std::move(text), int(m_edits.size())});
    }

    QByteArrayView m_file;
    const Card& m_card;
    QByteArray m_lineBreak;
    QList<Edit> m_edits;
};

QList<const Property*> propertiesNamed(const Card& card, QByteArrayView name) {
    QList<const Property*> found;
    for (const Property& property : card.properties) {
        if (property.name == name)
            found.append(&property);
    }
    return found;
}

template <class List> List padded(List components, qsizetype count) {
    while (components.size() < count)
        components.append(typename List::value_type());
    return components;
}

// The components of a structured property as they are written (escapes kept), to be written
// again unchanged; re-escaped from their text only when the bytes are in another charset.
QByteArrayList writtenComponents(const Card& card, const Property& property) {
    const QByteArray decoded = transferDecoded(property);
    const Parameter* charset = property.parameter("CHARSET");
    const QByteArray charsetName = charset ? upper(charset->value) : QByteArray();
    const bool utf8 = charset ? (charsetName == "UTF-8" || charsetName == "UTF8" || isAscii(decoded))
                              : decoded.isValidUtf8();
    QByteArrayList written;
    if (utf8) {
        for (QByteArrayView part : splitComponents(decoded))
            written.append(part.toByteArray());
    } else {
        for (const QString& component : components(card, property))
            written.append(escapeComponent(card.version, component));
    }
    return written;
}

// How each component of a name reads: 3.0 and 4.0 list several values with commas ("Richter,James"
// are two middle names), which read as words.
QStringList componentWords(const Card& card, const Property& property) {
    const QByteArray decoded = transferDecoded(property);
    const LeadBytes leads = leadBytesOf(property);
    QStringList result;
    for (QByteArrayView part : splitComponents(decoded, ';', leads)) {
        if (card.version == Version::V2_1) {
            result.append(decodeCharset(unescape(part, leads), property));
            continue;
        }
        QStringList words;
        for (QByteArrayView item : splitComponents(part, ',', leads)) {
            const QString word = Text::trimmed(decodeCharset(unescape(item, leads), property));
            if (!word.isEmpty())
                words.append(word);
        }
        result.append(words.join(u' '));
    }
    return result;
}

QString formattedName(const QStringList& n, const std::optional<QString>& organization) {
    // Prefix, given, additional, family, suffix: the order people write a name in.
    QStringList parts;
    for (int index : {3, 1, 2, 0, 4}) {
        const QString part = Text::trimmed(n.value(index));
        if (!part.isEmpty())
            parts.append(part);
    }
    if (parts.isEmpty())
        return organization.value_or(QString());
    return parts.join(u' ');
}

// The single-value rule shared by NICKNAME and TITLE: rewrite the first, add one, or remove all.
void applyText(CardEditor& editor, const Card& card, QByteArrayView name,
               const std::optional<QString>& before, const std::optional<QString>& after) {
    if (before.value_or(QString()) == after.value_or(QString()))
        return;
    const QList<const Property*> existing = propertiesNamed(card, name);
    if (!after || after->isEmpty()) {
        for (const Property* property : existing)
            editor.remove(*property);
        return;
    }
    const EncodedValue value = encodeText(card.version, {*after});
    if (existing.isEmpty())
        editor.insert(card.endLine, name.toByteArray(), {}, value);
    else
        editor.replace(*existing.first(), keptParameters(*existing.first(), {}), value);
}

void applyOrganization(CardEditor& editor, const Card& card, const std::optional<QString>& before,
                       const std::optional<QString>& after) {
    if (before.value_or(QString()) == after.value_or(QString()))
        return;
    const QList<const Property*> existing = propertiesNamed(card, "ORG");
    if (!after) {
        // The departments stay when the organisation name goes.
        for (const Property* property : existing) {
            QByteArrayList parts = writtenComponents(card, *property);
            parts[0].clear();
            if (std::all_of(parts.cbegin(), parts.cend(),
                            [](const QByteArray& part) { return part.isEmpty(); }))
                editor.remove(*property);
            else
                editor.replace(*property, keptParameters(*property, {}),
                               encodeComponents(card.version, parts));
        }
        return;
    }
    if (existing.isEmpty()) {
        editor.insert(card.endLine, "ORG", {}, encodeText(card.version, {*after}));
        return;
    }
    QByteArrayList parts = writtenComponents(card, *existing.first());
    parts[0] = escapeComponent(card.version, *after);
    editor.replace(*existing.first(), keptParameters(*existing.first(), {}),
                   encodeComponents(card.version, parts));
}

// Whether another property shares `property`'s group, and so would take any label given to it.
bool groupIsShared(const Card& card, const Property& property) {
    for (const Property& other : card.properties) {
        if (&other != &property && other.name != "X-ABLABEL" &&
            equalsIgnoringCase(other.group, property.group))
            return true;
    }
    return false;
}

// The e-mail and phone rule, on the first entry with a value.

void applyFirstEntry(CardEditor& editor, const Card& card, QByteArrayView name,
                     const QList<LabeledValue>& before, const QList<LabeledValue>& after,
                     const char* defaultType, const char* appleDefault) {
    if (before == after || after.isEmpty())
        return;
    const EncodedValue value = encodeText(card.version, {after.first().value});
    const Property* first = nullptr;
    for (const Property& property : card.properties) {
        if (property.name != name)
            continue;
        const QString stored = name == "TEL" ? phoneNumber(card, property) : text(card, property);
        if (!Text::isBlank(stored)) {
            first = &property;
            break;
        }
    }
    if (!first) {
        editor.insert(card.endLine, name.toByteArray(), {typeParameter(card.version, defaultType)}, value);
        return;
    }
    QByteArrayList parameters = keptParameters(*first, {"VALUE"});
    if (before.first().label.isEmpty()) {
        // An empty X-ABLabel outranks any type: the label goes there, unless the group is shared
        // (a malformed card with two entries in one group), where relabelling would relabel the
        // other entry too: the edited entry then leaves the group and carries a type instead.
        const Property* appleLabel = appleLabelOf(card, *first);
        if (appleLabel && groupIsShared(card, *first)) {
            parameters.append(typeParameter(card.version, defaultType));
            editor.replace(*first, parameters, value, CardEditor::Group::Drop);
            return;
        }
        if (appleLabel)
            editor.replace(*appleLabel, keptParameters(*appleLabel, {}), EncodedValue{appleDefault, {}});
        else
            parameters.append(typeParameter(card.version, defaultType));
    }
    editor.replace(*first, parameters, value);
}

void applyBirthday(CardEditor& editor, const Card& card, const std::optional<DateComponents>& before,
                   const std::optional<DateComponents>& after) {
    if (before == after)
        return;
    const QList<const Property*> existing = propertiesNamed(card, "BDAY");
    if (!after) {
        for (const Property* property : existing) {
            if (date(card, *property))
                editor.remove(*property);
        }
        return;
    }
    const EncodedValue value = encodeDate(card.version, *after);
    const Property* target = nullptr;
    for (const Property* property : existing) {
        if (date(card, *property)) {
            target = property;
            break;
        }
    }
    if (!target && !existing.isEmpty())
        target = existing.first();
    if (!target)
        editor.insert(card.endLine, "BDAY", {}, value);
    else
        editor.replace(*target, keptParameters(*target, {"VALUE", "X-APPLE-OMIT-YEAR"}), value);
}

} // namespace

// REV as the card writes it: "2025-11-02T09:14:30Z", or without separators ("20251102T091430Z").
void applyRevision(CardEditor& editor, const Card& card, const QDateTime& revised) {
    const Property* rev = card.first("REV");
    if (!rev || !revised.isValid())
        return;
    const bool basic = !text(card, *rev).contains(u'-');
    const QString stamp =
        revised.toUTC().toString(basic ? u"yyyyMMdd'T'HHmmss'Z'"_qs : u"yyyy-MM-dd'T'HH:mm:ss'Z'"_qs);
    editor.replace(*rev, keptParameters(*rev, {}), EncodedValue{stamp.toLatin1(), {}});
}

QByteArray applyDraft(QByteArrayView file, const Card& card, const ContactDraft& draft,
                      const QDateTime& revised) {
    const Person before = toPerson(card, QString(), Photos::Skip);
    const Person after = ContactDraftRules::apply(before, draft);
    CardEditor editor(file, card);

    if (before.givenName != after.givenName || before.familyName != after.familyName) {
        const Property* n = card.first("N");
        QByteArrayList parts = padded(n ? writtenComponents(card, *n) : QByteArrayList(), 5);
        parts[0] = escapeComponent(card.version, after.familyName);
        parts[1] = escapeComponent(card.version, after.givenName);
        QStringList words = padded(n ? componentWords(card, *n) : QStringList(), 5);
        words[0] = after.familyName;
        words[1] = after.givenName;
        const EncodedValue nValue = encodeComponents(card.version, parts);
        const EncodedValue fnValue = encodeText(card.version, {formattedName(words, after.organization)});
        const Property* version = card.first("VERSION");
        const qsizetype top = version ? version->end : card.bodyBegin;
        const Property* fn = card.first("FN");
        if (n)
            editor.replace(*n, keptParameters(*n, {}), nValue);
        else
            editor.insert(top, "N", {}, nValue);
        if (fn)
            editor.replace(*fn, keptParameters(*fn, {}), fnValue);
        else
            editor.insert(n ? n->end : top, "FN", {}, fnValue);
    } else if (before.organization != after.organization && after.givenName.isEmpty() &&
               after.familyName.isEmpty()) {
        // A company card is listed under its organisation: keep FN in step with it.
        if (const Property* fn = card.first("FN")) {
            if (Text::trimmed(text(card, *fn)) == Text::trimmed(before.organization.value_or(QString())))
                editor.replace(*fn, keptParameters(*fn, {}),
                               encodeText(card.version, {after.organization.value_or(QString())}));
        }
    }

    applyText(editor, card, "NICKNAME", before.nickname, after.nickname);
    applyOrganization(editor, card, before.organization, after.organization);
    applyText(editor, card, "TITLE", before.jobTitle, after.jobTitle);
    applyFirstEntry(editor, card, "EMAIL", before.emails, after.emails, "WORK", "_$!<Work>!$_");
    applyFirstEntry(editor, card, "TEL", before.phones, after.phones, "CELL", "_$!<Mobile>!$_");
    applyBirthday(editor, card, before.birthday, after.birthday);
    if (editor.hasEdits())
        applyRevision(editor, card, revised);
    return editor.result();
}

QByteArray newCard(const ContactDraft& draft, const QString& uid) {
    Person blank;
    const Person person = ContactDraftRules::apply(blank, draft);
    const Version version = Version::V3_0;
    const QByteArray lineBreak = QByteArrayLiteral("\r\n");
    QByteArray out = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    auto add = [&](const QByteArray& name, const QByteArrayList& parameters, const EncodedValue& value) {
        out += foldedLine(version, propertyLine({}, name, parameters, value), lineBreak);
    };
    add("UID", {}, EncodedValue{escapeText(uid, true), {}});
    const QStringList n = {person.familyName, person.givenName, QString(), QString(), QString()};
    add("N", {}, encodeText(version, n));
    add("FN", {}, encodeText(version, {formattedName(n, person.organization)}));
    if (!person.nickname.isEmpty())
        add("NICKNAME", {}, encodeText(version, {person.nickname}));
    if (person.organization)
        add("ORG", {}, encodeText(version, {*person.organization}));
    if (person.jobTitle)
        add("TITLE", {}, encodeText(version, {*person.jobTitle}));
    for (const LabeledValue& email : person.emails)
        add("EMAIL", {typeParameter(version, "WORK")}, encodeText(version, {email.value}));
    for (const LabeledValue& phone : person.phones)
        add("TEL", {typeParameter(version, "CELL")}, encodeText(version, {phone.value}));
    if (person.birthday)
        add("BDAY", {}, encodeDate(version, *person.birthday));
    out += "END:VCARD\r\n";
    return out;
}

QByteArray removeCard(QByteArrayView file, const Document& document, qsizetype index,
                      const QString& fileBaseName) {
    QByteArray result;
    result.reserve(file.size() + 64 * document.cards.size());
    qsizetype copied = 0;
    for (qsizetype i = 0; i < document.cards.size(); ++i) {
        const Card& card = document.cards.at(i);
        if (i == index) {
            result += file.sliced(copied, card.begin - copied);
            copied = card.end;
            continue;
        }
        const Property* uid = card.first("UID");
        if (uid && !Text::trimmed(text(card, *uid)).isEmpty())
            continue;
        // A UID line ending as the card's other lines end: before a blank UID, which would
        // otherwise be the one read; else after a VERSION that opens the card, or right after
        // BEGIN:VCARD. Never after any other line: a quoted-printable value ending in a soft break
        // would take the next line in.
        const Property* version = card.first("VERSION");
        const qsizetype at =
            uid ? uid->begin
            : version && version->begin == card.bodyBegin && version->encoding() != Encoding::QuotedPrintable
                ? version->end
                : card.bodyBegin;
        result += file.sliced(copied, at - copied);
        result += "UID:" + escapeText(identifier(card, fileBaseName, document.cardCount), false) +
                  lineBreakAt(file, card.begin);
        copied = at;
    }
    result += file.sliced(copied);
    return result;
}

} // namespace pemmo::VCard
