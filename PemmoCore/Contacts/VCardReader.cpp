#include "Contacts/VCardReader.h"

#include "Contacts/VCard_p.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace pemmo::VCard {
namespace {

// ---------------------------------------------------------------------------------------------
// Lines

struct Line {
    qsizetype begin;
    qsizetype contentEnd; // before the line break
    qsizetype next;       // after the line break
};

// Lines end at LF, with any CRs before it belonging to the break (as in the CR CR LF some phones
// write), or at a CR that no LF follows (old Mac files, and files joined from both kinds). The rule
// looks only at the break itself, so an edit elsewhere in a file never changes how a line splits.
QList<Line> physicalLines(QByteArrayView bytes) {
    QList<Line> lines;
    const char* data = bytes.data();
    const qsizetype size = bytes.size();
    lines.reserve(size / 32 + 1);
    qsizetype pos = 0;
    while (pos < size) {
        qsizetype contentEnd = pos;
        while (contentEnd < size && data[contentEnd] != '\n' && data[contentEnd] != '\r')
            ++contentEnd;
        qsizetype next = contentEnd;
        if (next < size && data[next] == '\r') {
            qsizetype afterRun = next;
            while (afterRun < size && data[afterRun] == '\r')
                ++afterRun;
            next = afterRun < size && data[afterRun] == '\n' ? afterRun + 1 : next + 1;
        } else if (next < size) {
            ++next;
        }
        // Files joined with `cat` carry each part's byte order mark at the start of a line (and
        // removing a card can bring two together); they belong to no property, so a card after
        // them reads like any other.
        qsizetype begin = pos;
        while (contentEnd - begin >= 3 && std::memcmp(data + begin, "\xEF\xBB\xBF", 3) == 0)
            begin += 3;
        lines.append({begin, contentEnd, next});
        pos = next;
    }
    return lines;
}

// ---------------------------------------------------------------------------------------------
// Property lines
//
// Most of a file's bytes end up in values that are never decoded, so values, groups and raw
// parameters are slices of the file's own buffer (the card keeps it alive) rather than copies,
// and the common names are shared constants: a book of ten thousand cards is read without
// hundreds of thousands of small allocations.

// `view` as a QByteArray: a slice of `owner`'s buffer when it lies there, else a copy.
QByteArray slice(const QByteArray* owner, QByteArrayView view) {
    if (owner && view.data() >= owner->constData() &&
        view.data() + view.size() <= owner->constData() + owner->size())
        return QByteArray::fromRawData(view.data(), view.size());
    return view.toByteArray();
}

// Upper-case `word`, shared for the names and type words that make up most lines.
QByteArray interned(QByteArrayView word) {
    static const QByteArray known[] = {
        QByteArrayLiteral("BEGIN"),    QByteArrayLiteral("END"),
        QByteArrayLiteral("VERSION"),  QByteArrayLiteral("N"),
        QByteArrayLiteral("FN"),       QByteArrayLiteral("NICKNAME"),
        QByteArrayLiteral("ORG"),      QByteArrayLiteral("TITLE"),
        QByteArrayLiteral("EMAIL"),    QByteArrayLiteral("TEL"),
        QByteArrayLiteral("BDAY"),     QByteArrayLiteral("PHOTO"),
        QByteArrayLiteral("UID"),      QByteArrayLiteral("X-ABLABEL"),
        QByteArrayLiteral("ADR"),      QByteArrayLiteral("NOTE"),
        QByteArrayLiteral("URL"),      QByteArrayLiteral("REV"),
        QByteArrayLiteral("PRODID"),   QByteArrayLiteral("TYPE"),
        QByteArrayLiteral("ENCODING"), QByteArrayLiteral("CHARSET"),
        QByteArrayLiteral("VALUE"),    QByteArrayLiteral("PREF"),
        QByteArrayLiteral("CELL"),     QByteArrayLiteral("HOME"),
        QByteArrayLiteral("WORK"),     QByteArrayLiteral("VOICE"),
        QByteArrayLiteral("FAX"),      QByteArrayLiteral("INTERNET"),
        QByteArrayLiteral("BASE64"),   QByteArrayLiteral("QUOTED-PRINTABLE"),
    };
    for (const QByteArray& name : known) {
        if (equalsIgnoringCase(word, name))
            return name;
    }
    return upper(word);
}

QByteArray decodeCaret(QByteArrayView value) {
    QByteArray result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '^' && i + 1 < value.size()) {
            const char n = value[i + 1];
            if (n == 'n' || n == 'N') {
                result += '\n';
                ++i;
                continue;
            }
            if (n == '^') {
                result += '^';
                ++i;
                continue;
            }
            if (n == '\'') {
                result += '"';
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

Parameter bareParameter(const QByteArray* owner, QByteArrayView raw) {
    const QByteArray value = interned(trimmedView(raw));
    const bool isEncoding = value == "BASE64" || value == "B" || value == "QUOTED-PRINTABLE" ||
                            value == "8BIT" || value == "7BIT";
    return Parameter{interned(isEncoding ? "ENCODING" : "TYPE"), value, slice(owner, raw)};
}

// Splits "group.NAME;param=value;...:" off `line`; returns the offset of the value, or -1 when
// the line is no property. Pieces are slices of `owner` when the line lies in its buffer.
qsizetype parseHeader(QByteArrayView line, Property& property, const QByteArray* owner = nullptr) {
    const qsizetype size = line.size();
    qsizetype i = 0;
    while (i < size && line[i] != '.' && line[i] != ';' && line[i] != ':')
        ++i;
    if (i < size && line[i] == '.') {
        property.group = slice(owner, line.first(i));
        const qsizetype nameBegin = ++i;
        while (i < size && line[i] != ';' && line[i] != ':')
            ++i;
        property.name = interned(trimmedView(line.sliced(nameBegin, i - nameBegin)));
    } else {
        property.name = interned(trimmedView(line.first(i)));
    }
    if (property.name.isEmpty() || i >= size)
        return -1;

    while (i < size && line[i] == ';') {
        const qsizetype begin = ++i;
        qsizetype equals = -1;
        bool quoted = false;
        while (i < size) {
            const char c = line[i];
            if (c == '"')
                quoted = !quoted;
            else if (!quoted && (c == ';' || c == ':'))
                break;
            else if (!quoted && c == '=' && equals < 0)
                equals = i;
            ++i;
        }
        const QByteArrayView raw = line.sliced(begin, i - begin);
        if (raw.isEmpty())
            continue;
        if (equals < 0) {
            property.parameters.append(bareParameter(owner, raw));
            continue;
        }
        const QByteArrayView written = line.sliced(equals + 1, i - equals - 1);
        QByteArray value;
        if (written.contains('"') || written.contains('^')) {
            value = written.toByteArray();
            value.replace('"', QByteArray());
            value = decodeCaret(value);
        } else {
            value = slice(owner, written);
        }
        property.parameters.append(
            Parameter{interned(trimmedView(line.sliced(begin, equals - begin))), value, slice(owner, raw)});
    }
    if (i >= size || line[i] != ':')
        return -1;
    return i + 1;
}

// Appends with room to spare, so that a photo folded over thousands of lines is copied a few
// times, not once per line.
void appendGrowing(QByteArray& target, QByteArrayView piece) {
    if (target.capacity() < target.size() + piece.size())
        target.reserve(std::max(target.size() + piece.size(), 2 * target.size() + 64));
    target.append(piece);
}

bool isBase64Line(QByteArrayView content) {
    if (content.isEmpty())
        return false;
    for (char c : content) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                        c == '+' || c == '/' || c == '=';
        if (!ok)
            return false;
    }
    return true;
}

bool isEndOfCard(QByteArrayView content) {
    return equalsIgnoringCase(trimmedView(content), "END:VCARD");
}

Version versionFrom(QByteArrayView value) {
    const QByteArrayView v = trimmedView(value);
    if (v.startsWith('2') || v.startsWith('1'))
        return Version::V2_1;
    if (v.startsWith('4'))
        return Version::V4_0;
    return Version::V3_0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Properties and cards

const Parameter* Property::parameter(QByteArrayView name) const {
    for (const Parameter& p : parameters) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

Encoding Property::encoding() const {
    for (const Parameter& p : parameters) {
        if (p.name != "ENCODING")
            continue;
        const QByteArray value = upper(p.value);
        if (value == "QUOTED-PRINTABLE")
            return Encoding::QuotedPrintable;
        if (value == "B" || value == "BASE64")
            return Encoding::Base64;
    }
    return Encoding::None;
}

QByteArrayList Property::types() const {
    QByteArrayList types;
    for (const Parameter& p : parameters) {
        if (p.name != "TYPE")
            continue;
        for (const QByteArray& part : p.value.split(',')) {
            const QByteArray type = upper(trimmedView(part));
            if (!type.isEmpty())
                types.append(type);
        }
    }
    return types;
}

const Property* Card::first(QByteArrayView name) const {
    for (const Property& property : properties) {
        if (property.name == name)
            return &property;
    }
    return nullptr;
}

Document parse(const QByteArray& bytes) {
    Document document;
    const QList<Line> lines = physicalLines(bytes);
    const QByteArrayView all(bytes);
    auto content = [&](const Line& line) { return all.sliced(line.begin, line.contentEnd - line.begin); };

    std::optional<Card> current;
    int depth = 0;
    bool agentPending = false;
    auto abandonCurrent = [&](const char* why) {
        document.problems.append(QStringLiteral("card %1 %2").arg(current->position).arg(QLatin1String(why)));
        current.reset();
        depth = 0;
    };

    qsizetype i = 0;
    while (i < lines.size()) {
        const Line& firstLine = lines[i];
        const QByteArrayView firstContent = content(firstLine);
        if (trimmedView(firstContent).isEmpty() || isFoldWhitespace(firstContent[0])) {
            ++i; // blank lines and stray continuations carry nothing
            continue;
        }

        // Unfold: a line that starts with a blank continues the one before, less that blank.
        QByteArray folded; // only for lines that continue, which are rare apart from photos
        qsizetype j = i + 1;
        while (j < lines.size()) {
            const QByteArrayView next = content(lines[j]);
            if (next.isEmpty() || !isFoldWhitespace(next[0]))
                break;
            if (j == i + 1)
                appendGrowing(folded, firstContent);
            // After a quoted-printable soft break a leading blank is part of the text.
            Property probe;
            const bool softBreak = folded.endsWith('=') && parseHeader(folded, probe) >= 0 &&
                                   probe.encoding() == Encoding::QuotedPrintable;
            if (softBreak) {
                folded.chop(1);
                appendGrowing(folded, next);
            } else {
                appendGrowing(folded, next.sliced(1));
            }
            ++j;
        }
        const bool isFolded = j > i + 1;
        const QByteArrayView logical = isFolded ? QByteArrayView(folded) : firstContent;

        Property property;
        const qsizetype valueOffset = parseHeader(logical, property, isFolded ? nullptr : &bytes);
        if (valueOffset < 0) {
            i = j; // not a property: ignored here, kept in the file
            continue;
        }
        property.value = isFolded ? folded.mid(valueOffset) : slice(&bytes, logical.sliced(valueOffset));
        // The value may go on: quoted-printable soft breaks ("=" at the end of a line joins the next
        // line, whatever it holds), 2.1 base64 running on over unindented lines until a blank one,
        // and, after either, lines that start with a blank.
        const Encoding encoding = property.encoding();
        const bool base64RunsOn =
            encoding == Encoding::Base64 && current && current->version == Version::V2_1;
        while (j < lines.size()) {
            const QByteArrayView next = content(lines[j]);
            const bool softBreak = encoding == Encoding::QuotedPrintable && property.value.endsWith('=');
            if (!next.isEmpty() && isFoldWhitespace(next[0])) {
                if (softBreak)
                    property.value.chop(1);
                appendGrowing(property.value, softBreak ? next : next.sliced(1));
            } else if (softBreak && !isEndOfCard(next)) {
                property.value.chop(1);
                appendGrowing(property.value, next);
            } else if (base64RunsOn && isBase64Line(next)) {
                appendGrowing(property.value, next);
            } else {
                break;
            }
            ++j;
        }
        property.begin = firstLine.begin;
        property.end = lines[j - 1].next;
        i = j;

        if (property.name == "BEGIN" && equalsIgnoringCase(trimmedView(property.value), "VCARD")) {
            if (current && agentPending) {
                ++depth; // a card embedded in an AGENT property
                agentPending = false;
                continue;
            }
            if (current)
                abandonCurrent("has no END:VCARD");
            current.emplace();
            current->source = bytes;
            current->properties.reserve(16);
            current->position = ++document.cardCount;
            current->begin = property.begin;
            current->bodyBegin = property.end;
            depth = 1;
            continue;
        }
        if (!current)
            continue; // text around the cards
        if (property.name == "END" && equalsIgnoringCase(trimmedView(property.value), "VCARD")) {
            if (depth > 1) {
                --depth;
                continue;
            }
            current->endLine = property.begin;
            current->end = property.end;
            document.cards.append(std::move(*current));
            current.reset();
            depth = 0;
            continue;
        }
        if (depth != 1)
            continue;
        agentPending = property.name == "AGENT" && trimmedView(property.value).isEmpty();
        if (property.name == "VERSION")
            current->version = versionFrom(property.value);
        current->properties.append(std::move(property));
    }
    if (current)
        abandonCurrent("has no END:VCARD");
    if (document.cardCount == 0)
        document.problems.append(QStringLiteral("no BEGIN:VCARD"));
    return document;
}

} // namespace pemmo::VCard
