#include "Contacts/VCard.h"

#include "Contacts/ContactDraftRules.h"
#include "Contacts/Thumbnail.h"
#include "Records/Text.h"

#include <QDate>
#include <QHash>
#include <QStringDecoder>
#include <QUrl>
#include <QVarLengthArray>
#include <algorithm>
#include <cstring>
#include <string>

namespace pemmo::VCard {
namespace {

// ---------------------------------------------------------------------------------------------
// Small byte helpers

bool isFoldWhitespace(char c) {
    return c == ' ' || c == '\t';
}

char upperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

QByteArray upper(QByteArrayView bytes) {
    QByteArray result(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        result[i] = upperAscii(bytes[i]);
    return result;
}

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (upperAscii(a[i]) != upperAscii(b[i]))
            return false;
    }
    return true;
}

bool startsWithIgnoringCase(QByteArrayView bytes, QByteArrayView prefix) {
    return bytes.size() >= prefix.size() && equalsIgnoringCase(bytes.first(prefix.size()), prefix);
}

QByteArrayView trimmedView(QByteArrayView bytes) {
    qsizetype begin = 0;
    qsizetype end = bytes.size();
    while (begin < end && (isFoldWhitespace(bytes[begin]) || bytes[begin] == '\r' || bytes[begin] == '\n'))
        ++begin;
    while (end > begin &&
           (isFoldWhitespace(bytes[end - 1]) || bytes[end - 1] == '\r' || bytes[end - 1] == '\n'))
        --end;
    return bytes.sliced(begin, end - begin);
}

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

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

// ---------------------------------------------------------------------------------------------
// Values

QByteArray decodeQuotedPrintable(QByteArrayView value) {
    QByteArray result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '=' && i + 2 < value.size()) {
            const int high = hexValue(value[i + 1]);
            const int low = hexValue(value[i + 2]);
            if (high >= 0 && low >= 0) {
                result += char(high * 16 + low);
                i += 2;
                continue;
            }
        }
        result += c;
    }
    return result;
}

QByteArray transferDecoded(const Property& property) {
    if (property.encoding() == Encoding::QuotedPrintable)
        return decodeQuotedPrintable(property.value);
    return property.value;
}

QString decodeCharset(QByteArrayView bytes, const Property& property) {
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    if (const Parameter* charset = property.parameter("CHARSET")) {
        const QByteArray name = upper(charset->value);
        if (name != "UTF-8" && name != "UTF8") {
            const std::string name(charset->value.constData(), std::size_t(charset->value.size()));
            QStringDecoder decoder(name.c_str());
            if (decoder.isValid())
                return decoder.decode(bytes);
        } else {
            return QString::fromUtf8(bytes);
        }
    }
    if (bytes.isValidUtf8())
        return QString::fromUtf8(bytes);
    // Undeclared bytes that are not UTF-8 come from older Windows programs.
    QStringDecoder windows("windows-1252");
    if (windows.isValid())
        return windows.decode(bytes);
    return QString::fromLatin1(bytes);
}

// Resolves backslash escapes: \n (or \N) is a line break; \\ \, \; \: stand for themselves.
QByteArray unescape(const QByteArray& value);
QByteArray unescape(QByteArrayView value) {
    return unescape(value.toByteArray());
}
QByteArray unescape(const QByteArray& value) {
    if (!value.contains('\\'))
        return value;
    QByteArray result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size()) {
            const char n = value[i + 1];
            if (n == 'n' || n == 'N') {
                result += '\n';
                ++i;
                continue;
            }
            if (n == '\\' || n == ',' || n == ';' || n == ':') {
                result += n;
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

QList<QByteArrayView> splitComponents(QByteArrayView value, char separator = ';') {
    QList<QByteArrayView> parts;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\') {
            ++i;
        } else if (value[i] == separator) {
            parts.append(value.sliced(begin, i - begin));
            begin = i + 1;
        }
    }
    parts.append(value.sliced(begin));
    return parts;
}

// ---------------------------------------------------------------------------------------------
// Labels

QString lowerWords(const QString& camel) {
    // "HomeFAX" → "home fax", "CompanyMain" → "company main".
    QString result;
    for (qsizetype i = 0; i < camel.size(); ++i) {
        const QChar c = camel[i];
        if (i > 0 && c.isUpper()) {
            const QChar previous = camel[i - 1];
            const bool nextIsLower = i + 1 < camel.size() && camel[i + 1].isLower();
            if (previous.isLower() || (previous.isUpper() && nextIsLower))
                result += u' ';
        }
        result += c.toLower();
    }
    return result;
}

// The TYPE words of a property, as written (compare them ignoring case).
using TypeWords = QVarLengthArray<QByteArrayView, 8>;

TypeWords typeWords(const Property& property) {
    TypeWords words;
    for (const Parameter& parameter : property.parameters) {
        if (parameter.name != "TYPE")
            continue;
        QByteArrayView rest = parameter.value;
        while (!rest.isEmpty()) {
            const qsizetype comma = rest.indexOf(',');
            const QByteArrayView word = trimmedView(comma < 0 ? rest : rest.first(comma));
            if (!word.isEmpty())
                words.append(word);
            if (comma < 0)
                break;
            rest = rest.sliced(comma + 1);
        }
    }
    return words;
}

QString typeLabel(const TypeWords& types, bool isPhone) {
    auto has = [&](QByteArrayView type) {
        return std::any_of(types.cbegin(), types.cend(),
                           [&](QByteArrayView t) { return equalsIgnoringCase(t, type); });
    };
    if (isPhone) {
        if (has("IPHONE"))
            return QStringLiteral("iPhone");
        if (has("CELL") || has("MOBILE"))
            return QStringLiteral("mobile");
        if (has("FAX")) {
            for (QByteArrayView type : types) {
                if (equalsIgnoringCase(type, "HOME"))
                    return QStringLiteral("home fax");
                if (equalsIgnoringCase(type, "WORK"))
                    return QStringLiteral("work fax");
                if (equalsIgnoringCase(type, "OTHER"))
                    return QStringLiteral("other fax");
            }
            return QStringLiteral("fax");
        }
        if (has("PAGER"))
            return QStringLiteral("pager");
        if (has("MAIN"))
            return QStringLiteral("main");
    }
    for (QByteArrayView type : types) {
        if (equalsIgnoringCase(type, "HOME"))
            return QStringLiteral("home");
        if (equalsIgnoringCase(type, "WORK"))
            return QStringLiteral("work");
        if (equalsIgnoringCase(type, "OTHER"))
            return QStringLiteral("other");
        if (equalsIgnoringCase(type, "SCHOOL"))
            return QStringLiteral("school");
    }
    static constexpr const char* noLabels[] = {"PREF", "INTERNET",         "X400", "VOICE", "MSG", "BASE64",
                                               "B",    "QUOTED-PRINTABLE", "8BIT", "7BIT"};
    for (QByteArrayView type : types) {
        if (std::any_of(std::begin(noLabels), std::end(noLabels),
                        [&](const char* word) { return equalsIgnoringCase(type, word); }))
            continue;
        const QByteArrayView word = startsWithIgnoringCase(type, "X-") ? type.sliced(2) : type;
        if (!word.isEmpty())
            return QString::fromUtf8(word).toLower();
    }
    return QString();
}

// ---------------------------------------------------------------------------------------------
// Writing

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
        // A quoted-printable value that still ends in "=" (its soft break met END:VCARD) would
        // swallow a line added after it: add the line before it instead.
        for (const Property& property : m_card.properties) {
            if (property.end == at && property.encoding() == Encoding::QuotedPrintable &&
                property.value.endsWith('='))
                at = property.begin;
        }
        add(at, at, foldedLine(version(), propertyLine({}, name, parameters, value), m_lineBreak));
    }

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
    QStringList result;
    for (QByteArrayView part : splitComponents(decoded)) {
        if (card.version == Version::V2_1) {
            result.append(decodeCharset(unescape(part), property));
            continue;
        }
        QStringList words;
        for (QByteArrayView item : splitComponents(part, ',')) {
            const QString word = Text::trimmed(decodeCharset(unescape(item), property));
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

// The X-ABLabel that labels `property`, if any.
const Property* appleLabelOf(const Card& card, const Property& property) {
    if (property.group.isEmpty())
        return nullptr;
    for (const Property& other : card.properties) {
        if (other.name == "X-ABLABEL" && equalsIgnoringCase(other.group, property.group))
            return &other;
    }
    return nullptr;
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

// ---------------------------------------------------------------------------------------------
// Decoded values

QString text(const Card& card, const Property& property) {
    Q_UNUSED(card);
    return decodeCharset(unescape(transferDecoded(property)), property);
}

QStringList components(const Card& card, const Property& property) {
    Q_UNUSED(card);
    const QByteArray decoded = transferDecoded(property);
    QStringList result;
    for (QByteArrayView part : splitComponents(decoded))
        result.append(decodeCharset(unescape(part), property));
    return result;
}

QString appleLabel(const QString& written) {
    const QString label = Text::trimmed(written);
    if (!label.startsWith(u"_$!<") || !label.endsWith(u">!$_") || label.size() < 8)
        return label;
    const QString inner = label.mid(4, label.size() - 8);
    static const QHash<QString, QString> known = {
        {u"iPhone"_qs, u"iPhone"_qs},
        {u"iCloud"_qs, u"iCloud"_qs},
        {u"HomePage"_qs, u"homepage"_qs},
        {u"AssistantPhone"_qs, u"assistant"_qs},
    };
    const auto it = known.constFind(inner);
    if (it != known.cend())
        return *it;
    return lowerWords(inner);
}

QString label(const Card& card, const Property& property) {
    if (const Property* written = appleLabelOf(card, property))
        return appleLabel(text(card, *written));
    return typeLabel(typeWords(property), property.name == "TEL");
}

QString phoneNumber(const Card& card, const Property& property) {
    const QString value = text(card, property);
    const Parameter* valueType = property.parameter("VALUE");
    const bool isUri = valueType && equalsIgnoringCase(valueType->value, "uri");
    const QString trimmed = Text::trimmed(value);
    if (!trimmed.startsWith(u"tel:", Qt::CaseInsensitive))
        return isUri ? trimmed : value;
    // tel:+1-418-656-9254;ext=102 → "+1-418-656-9254 ext. 102"
    const QStringList parts = trimmed.mid(4).split(u';');
    QString number = QUrl::fromPercentEncoding(parts.first().toUtf8());
    for (qsizetype k = 1; k < parts.size(); ++k) {
        if (parts[k].startsWith(u"ext=", Qt::CaseInsensitive))
            number += u" ext. "_qs + QUrl::fromPercentEncoding(parts[k].mid(4).toUtf8());
    }
    return number;
}

std::optional<DateComponents> date(const Card& card, const Property& property) {
    Q_UNUSED(card);
    if (const Parameter* valueType = property.parameter("VALUE")) {
        if (equalsIgnoringCase(valueType->value, "text"))
            return std::nullopt;
    }
    QByteArrayView value = trimmedView(property.value);
    if (const qsizetype t = value.indexOf('T'); t >= 0)
        value = value.first(t);
    const bool noYear = value.startsWith("--");
    if (noYear)
        value = value.sliced(2);
    QByteArray digits;
    for (char c : value) {
        if (c >= '0' && c <= '9')
            digits += c;
        else if (c != '-')
            return std::nullopt;
    }
    if (digits.size() != (noYear ? 4 : 8))
        return std::nullopt;
    DateComponents result;
    const qsizetype md = noYear ? 0 : 4;
    if (!noYear) {
        const int year = digits.first(4).toInt();
        const Parameter* omit = property.parameter("X-APPLE-OMIT-YEAR");
        if (year > 0 && !(omit && omit->value.toInt() == year))
            result.year = year;
    }
    result.month = digits.sliced(md, 2).toInt();
    result.day = digits.sliced(md + 2, 2).toInt();
    if (result.month < 1 || result.month > 12 || result.day < 1)
        return std::nullopt;
    // Without a year, 29 February is a fine birthday.
    if (result.day > QDate(result.year.value_or(2000), result.month, 1).daysInMonth())
        return std::nullopt;
    return result;
}

std::optional<DateComponents> birthday(const Card& card) {
    for (const Property& property : card.properties) {
        if (property.name != "BDAY")
            continue;
        if (auto found = date(card, property))
            return found;
    }
    return std::nullopt;
}

std::optional<QByteArray> photo(const Card& card) {
    for (const Property& property : card.properties) {
        if (property.name != "PHOTO")
            continue;
        if (property.encoding() == Encoding::Base64) {
            QByteArray bytes = QByteArray::fromBase64(property.value);
            if (!bytes.isEmpty())
                return bytes;
            continue;
        }
        const QByteArrayView value = trimmedView(property.value);
        if (!startsWithIgnoringCase(value, "data:"))
            continue; // a link to a photo elsewhere
        const qsizetype comma = value.indexOf(',');
        if (comma < 0)
            continue;
        const QByteArrayView header = value.first(comma);
        const QByteArrayView payload = value.sliced(comma + 1);
        QByteArray bytes = header.size() >= 7 && equalsIgnoringCase(header.last(7), ";base64")
                               ? QByteArray::fromBase64(payload.toByteArray())
                               : QByteArray::fromPercentEncoding(payload.toByteArray());
        if (!bytes.isEmpty())
            return bytes;
    }
    return std::nullopt;
}

namespace {

// Whether base64 text holds at least one byte, without decoding it.
bool holdsBase64Data(QByteArrayView text) {
    int digits = 0;
    for (char c : text) {
        if (c == '=')
            break;
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
            c == '/')
            ++digits;
        if (digits >= 2)
            return true;
    }
    return false;
}

} // namespace

bool hasPhoto(const Card& card) {
    for (const Property& property : card.properties) {
        if (property.name != "PHOTO")
            continue;
        if (property.encoding() == Encoding::Base64) {
            if (holdsBase64Data(property.value))
                return true;
            continue;
        }
        const QByteArrayView value = trimmedView(property.value);
        if (!startsWithIgnoringCase(value, "data:"))
            continue;
        const qsizetype comma = value.indexOf(',');
        if (comma < 0)
            continue;
        const QByteArrayView header = value.first(comma);
        const QByteArrayView payload = value.sliced(comma + 1);
        const bool base64 = header.size() >= 7 && equalsIgnoringCase(header.last(7), ";base64");
        if (base64 ? holdsBase64Data(payload) : !payload.isEmpty())
            return true;
    }
    return false;
}

QString identifier(const Card& card, const QString& fileBaseName, int cardsInFile) {
    if (const Property* uid = card.first("UID")) {
        const QString value = Text::trimmed(text(card, *uid));
        if (!value.isEmpty())
            return value;
    }
    if (cardsInFile > 1)
        return fileBaseName + u'#' + QString::number(card.position);
    return fileBaseName;
}

Person toPerson(const Card& card, const QString& id, Photos photos) {
    Person person;
    person.id = id;

    if (const Property* org = card.first("ORG")) {
        const QString name = components(card, *org).value(0);
        if (!name.isEmpty())
            person.organization = name;
    }
    if (const Property* n = card.first("N")) {
        const QStringList parts = components(card, *n);
        person.familyName = parts.value(0);
        person.givenName = parts.value(1);
    }
    if (Text::isBlank(person.givenName) && Text::isBlank(person.familyName)) {
        person.givenName.clear();
        person.familyName.clear();
        if (const Property* fn = card.first("FN")) {
            const QString formatted = Text::trimmed(text(card, *fn));
            const bool isCompany = person.organization && formatted == Text::trimmed(*person.organization);
            if (!formatted.isEmpty() && !isCompany) {
                const qsizetype blank = formatted.lastIndexOf(u' ');
                if (blank < 0) {
                    person.givenName = formatted;
                } else {
                    person.givenName = Text::trimmed(formatted.left(blank));
                    person.familyName = formatted.mid(blank + 1);
                }
            }
        }
    }
    if (const Property* nickname = card.first("NICKNAME"))
        person.nickname = text(card, *nickname);
    if (const Property* title = card.first("TITLE")) {
        const QString value = text(card, *title);
        if (!value.isEmpty())
            person.jobTitle = value;
    }
    for (const Property& property : card.properties) {
        if (property.name == "EMAIL") {
            const QString value = text(card, property);
            if (!Text::isBlank(value))
                person.emails.append(LabeledValue{label(card, property), value});
        } else if (property.name == "TEL") {
            const QString value = phoneNumber(card, property);
            if (!Text::isBlank(value))
                person.phones.append(LabeledValue{label(card, property), value});
        }
    }
    person.birthday = birthday(card);

    if (photos == Photos::Skip) {
        person.hasFullImage = hasPhoto(card);
    } else if (const std::optional<QByteArray> stored = photo(card)) {
        if (auto small = Thumbnail::make(*stored)) {
            person.thumbnail = std::move(small);
            person.hasFullImage = true;
        }
    }
    return person;
}

// ---------------------------------------------------------------------------------------------
// Writing

QByteArray applyDraft(QByteArrayView file, const Card& card, const ContactDraft& draft) {
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

QByteArray removeCard(QByteArrayView file, const Card& card) {
    return file.first(card.begin).toByteArray() + file.sliced(card.end).toByteArray();
}

} // namespace pemmo::VCard
