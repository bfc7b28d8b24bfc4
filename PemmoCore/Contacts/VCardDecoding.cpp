#include "Contacts/VCardDecoding.h"

#include "Contacts/Thumbnail.h"
#include "Contacts/VCard_p.h"
#include "Records/Text.h"

#include <QDate>
#include <QHash>
#include <QStringDecoder>
#include <QUrl>
#include <QVarLengthArray>
#include <algorithm>
#include <string>

namespace pemmo::VCard {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

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

// ---------------------------------------------------------------------------------------------
// Shared with the reader and the editor

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

LeadBytes leadBytesOf(const Property& property) {
    const Parameter* charset = property.parameter("CHARSET");
    if (!charset)
        return LeadBytes::None;
    const QByteArray name = upper(charset->value);
    static constexpr const char* shiftJis[] = {"SHIFT_JIS", "SHIFT-JIS", "SJIS",        "X-SJIS",
                                               "MS_KANJI",  "CP932",     "WINDOWS-31J", "CSSHIFTJIS"};
    static constexpr const char* wide[] = {"BIG5",  "BIG5-HKSCS", "CP950", "GBK",
                                           "CP936", "GB18030",    "GB2312"};
    const auto named = [&](const auto& names) {
        return std::any_of(std::begin(names), std::end(names), [&](const char* n) { return name == n; });
    };
    if (named(shiftJis))
        return LeadBytes::ShiftJis;
    if (named(wide))
        return LeadBytes::Wide;
    return LeadBytes::None;
}

namespace {

// How many bytes the character at `i` takes: 2 when it starts a two-byte character.
qsizetype characterSize(QByteArrayView bytes, qsizetype i, LeadBytes leads) {
    if (leads == LeadBytes::None || i + 1 >= bytes.size())
        return 1;
    const auto byte = static_cast<unsigned char>(bytes[i]);
    const bool lead = leads == LeadBytes::ShiftJis
                          ? (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC)
                          : byte >= 0x81 && byte <= 0xFE;
    return lead ? 2 : 1;
}

} // namespace

QByteArray unescape(QByteArrayView value, LeadBytes leads) {
    return unescape(value.toByteArray(), leads);
}
QByteArray unescape(const QByteArray& value, LeadBytes leads) {
    if (!value.contains('\\'))
        return value;
    QByteArray result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (characterSize(value, i, leads) == 2) {
            result += c;
            result += value[++i];
            continue;
        }
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

QList<QByteArrayView> splitComponents(QByteArrayView value, char separator, LeadBytes leads) {
    QList<QByteArrayView> parts;
    qsizetype begin = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' || characterSize(value, i, leads) == 2) {
            ++i;
        } else if (value[i] == separator) {
            parts.append(value.sliced(begin, i - begin));
            begin = i + 1;
        }
    }
    parts.append(value.sliced(begin));
    return parts;
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

// ---------------------------------------------------------------------------------------------
// Decoded values

QString text(const Card& card, const Property& property) {
    Q_UNUSED(card);
    return decodeCharset(unescape(transferDecoded(property), leadBytesOf(property)), property);
}

QStringList components(const Card& card, const Property& property) {
    Q_UNUSED(card);
    const QByteArray decoded = transferDecoded(property);
    const LeadBytes leads = leadBytesOf(property);
    QStringList result;
    for (QByteArrayView part : splitComponents(decoded, ';', leads))
        result.append(decodeCharset(unescape(part, leads), property));
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
    // Grown a line at a time, the lists keep room for more; a parsed person is kept all day.
    person.emails.squeeze();
    person.phones.squeeze();
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

} // namespace pemmo::VCard
