#include "VdirGenerator.h"

#include "Support/AtomicFile.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <array>
#include <span>
#include <stdexcept>

namespace pemmo::bench {
namespace {

// Names as address books across Europe and beyond hold them, so that the reader's UTF-8, folding
// and collation paths are measured, not only ASCII.
struct Culture {
    std::span<const char* const> given;
    std::span<const char* const> family;
    const char* country;
    const char* domain;
};

constexpr std::array kGermanGiven{"Jürgen", "Käthe", "Björn", "Søren",   "Anneliese",
                                  "Jörg",   "Lukas", "Mia",   "Günther", "Lena"};
constexpr std::array kGermanFamily{"Müller", "Schäfer",  "Weiß",     "Groß",  "Köhler",
                                   "Bäcker", "Schröder", "Hoffmann", "Meier", "Fuchs"};
constexpr std::array kFrenchGiven{"Amélie", "François", "Chloé",  "Noémie", "Anaïs",
                                  "Hélène", "Léo",      "Gaëlle", "Jérôme", "Renée"};
constexpr std::array kFrenchFamily{"Dubois", "Lefèvre",  "Gérard",   "Bézier",    "Moreau",
                                   "Faure",  "Lemaître", "Rousseau", "Chevalier", "Lécuyer"};
constexpr std::array kIberianGiven{"José",  "Inês", "Tomás",  "Sebastián", "Mateo",
                                   "Lucía", "João", "Begoña", "Íñigo",     "Conceição"};
constexpr std::array kIberianFamily{"García", "Fernández", "Gonçalves", "Muñoz", "Peña",
                                    "Simões", "Ibáñez",    "Araújo",    "Núñez", "Magalhães"};
constexpr std::array kNordicGiven{"Åsa",   "Øystein", "Sigríður", "Ólafur", "Märta",
                                  "Håkon", "Björk",   "Æsa",      "Jónas",  "Ingrid"};
constexpr std::array kNordicFamily{"Østergaard", "Lindqvist", "Sørensen",  "Guðmundsdóttir", "Ålund",
                                   "Þórsson",    "Håland",    "Bergström", "Kjærsgaard",     "Nyström"};
constexpr std::array kSlavicGiven{"Łukasz",    "Małgorzata", "Jiří",     "Dušan",     "Zdeněk",
                                  "Agnieszka", "Přemysl",    "Ljiljana", "Władysław", "Šárka"};
constexpr std::array kSlavicFamily{"Dvořák",   "Kowalski", "Šimůnek", "Zieliński", "Wiśniewska",
                                   "Nováková", "Đorđević", "Krejčí",  "Łągiewka",  "Żółtowski"};
constexpr std::array kTurkishGiven{"Çağla", "Gökhan", "Şükrü", "İlkay", "Özge",
                                   "Ilgın", "Büşra",  "Oğuz",  "Ağca",  "Ümit"};
constexpr std::array kTurkishFamily{"Yılmaz", "Öztürk", "Şahin", "Çelik",   "Doğan",
                                    "Aydın",  "Kılıç",  "Güneş", "Erdoğdu", "Işık"};
constexpr std::array kVietnameseGiven{"Thị Minh Khai", "Văn Đức",    "Thu Hằng",   "Quốc Bảo", "Ngọc Ánh",
                                      "Hữu Phước",     "Thanh Thúy", "Đình Trọng", "Mỹ Linh",  "Tuấn Anh"};
constexpr std::array kVietnameseFamily{"Nguyễn", "Trần", "Lê", "Phạm", "Hoàng",
                                       "Huỳnh",  "Phan", "Võ", "Đặng", "Bùi"};
constexpr std::array kEnglishGiven{"Grace", "Liam",   "Siobhán", "Aoife", "Daniel",
                                   "Sarah", "Hannah", "Oliver",  "Zoë",   "Seán"};
constexpr std::array kEnglishFamily{"O'Brien", "Smith",     "Ó Súilleabháin", "Johnson", "MacGregor",
                                    "Taylor",  "Nic Aodha", "Williams",       "Brown",   "Fitzgerald"};

const std::array<Culture, 9> kCultures{{
    {kGermanGiven, kGermanFamily, "Deutschland", "example.de"},
    {kFrenchGiven, kFrenchFamily, "France", "example.fr"},
    {kIberianGiven, kIberianFamily, "España", "example.es"},
    {kNordicGiven, kNordicFamily, "Sverige", "example.se"},
    {kSlavicGiven, kSlavicFamily, "Polska", "example.pl"},
    {kTurkishGiven, kTurkishFamily, "Türkiye", "example.com.tr"},
    {kVietnameseGiven, kVietnameseFamily, "Việt Nam", "example.vn"},
    {kEnglishGiven, kEnglishFamily, "Ireland", "example.ie"},
    {kGermanGiven, kEnglishFamily, "Schweiz", "example.ch"},
}};

constexpr std::array kPrefixes{"Dr.", "Prof.", "Mme", "Hr.", "Ing."};
constexpr std::array kNicknames{"Jo", "Kiki", "Bär", "Lulu", "Ace", "Nené", "Mimi", "Toto"};
constexpr std::array kOrganizations{
    "Zürich Re",           "Société Générale", "Bäckerei Schmidt", "Fjord & Co",
    "Café Müller",         "Türk Telekom",     "Vingroup",         "Nordisk Ørsted",
    "Škoda Auto",          "Acme, Inc.",       "Globex; Research", "Université de Genève",
    "Hôpital Saint-Louis", "Ålands Bank",      "Initech"};
constexpr std::array kDepartments{"Forschung & Entwicklung", "Ventes", "Platform", "Kundendienst", "Légal"};
constexpr std::array kTitles{"Geschäftsführerin",
                             "Ingénieur logiciel",
                             "Head of Growth",
                             "Directora de Ventas",
                             "Senior Software Engineer",
                             "Avukat",
                             "Läkare",
                             "Kỹ sư trưởng",
                             "Product Manager",
                             "Profesor titular"};
constexpr std::array kStreets{"Bahnhofstraße 12", "14 rue de la Paix", "Calle Mayor 7",
                              "Storgatan 3",      "ul. Żurawia 22",    "İstiklal Caddesi 101",
                              "12 Lê Lợi",        "Grafton Street 5"};
constexpr std::array kCities{"Zürich",   "Paris",  "Madrid", "Malmö", "Kraków",
                             "İstanbul", "Hà Nội", "Dublin", "Århus", "Köln"};
constexpr std::array kCategories{"Familie", "Work", "Amis", "Climbing", "Kunden", "Book club", "Nachbarn"};
constexpr std::array kSentences{
    "Met at the conference in Lyon, talked for an hour about sourdough and distributed systems.",
    "Hat zwei Kinder (Jonas und Mia), mag keinen Kaffee; lieber grüner Tee, ohne Zucker.",
    "Đã gặp ở Hà Nội năm ngoái; rất thích phở và cà phê sữa đá.",
    "Prefers e-mail over calls; answers on Sunday evenings, usually with a long reply.",
    "İstanbul'da yaşıyor, Boğaz'da yürüyüş yapmayı seviyor; kedisinin adı Pamuk.",
    "Lent me \"Gödel, Escher, Bach\" — give it back before the summer, with the bookmark.",
    "Nous avons travaillé ensemble chez Société Générale, équipe des paiements, 2016–2019.",
};

QByteArray utf8(const QString& text) {
    return text.toUtf8();
}

// Text values escape backslash, comma, semicolon and line breaks (3.0 and 4.0).
QByteArray escaped(const QString& text) {
    QByteArray out;
    for (const char c : text.toUtf8()) {
        if (c == '\\' || c == ',' || c == ';')
            out.append('\\').append(c);
        else if (c == '\n')
            out.append("\\n");
        else
            out.append(c);
    }
    return out;
}

bool isAscii(const QByteArray& bytes) {
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

QByteArray quotedPrintable(const QByteArray& bytes) {
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80 || c == '=') {
            out.append('=').append(hex[u >> 4]).append(hex[u & 0xF]);
        } else {
            out.append(c);
        }
    }
    return out;
}

// Lowercase ASCII for e-mail addresses: accents dropped, the letters without a decomposition
// spelled out.
QString asciiFolded(const QString& text) {
    QString out;
    for (const QChar c : text.normalized(QString::NormalizationForm_D)) {
        if (c.unicode() < 0x80) {
            if (c.isLetterOrNumber())
                out.append(c.toLower());
            continue;
        }
        switch (c.unicode()) {
        case u'ß':
            out.append(u"ss");
            break;
        case u'ø':
        case u'Ø':
            out.append(u'o');
            break;
        case u'ł':
        case u'Ł':
            out.append(u'l');
            break;
        case u'ı':
            out.append(u'i');
            break;
        case u'đ':
        case u'Đ':
            out.append(u'd');
            break;
        case u'æ':
        case u'Æ':
            out.append(u"ae");
            break;
        case u'þ':
        case u'Þ':
            out.append(u"th");
            break;
        case u'ð':
            out.append(u'd');
            break;
        default:
            break;
        }
    }
    return out;
}

// Folds at 75 octets without splitting a UTF-8 sequence.
void appendFolded(QByteArray& out, const QByteArray& line, bool fold) {
    constexpr qsizetype limit = 75;
    if (!fold || line.size() <= limit) {
        out.append(line).append("\r\n");
        return;
    }
    qsizetype at = 0;
    bool first = true;
    while (at < line.size()) {
        qsizetype take = std::min(first ? limit : limit - 1, line.size() - at);
        while (at + take < line.size() && (static_cast<unsigned char>(line[at + take]) & 0xC0) == 0x80)
            --take;
        if (!first)
            out.append(' ');
        out.append(line.constData() + at, take).append("\r\n");
        at += take;
        first = false;
    }
}

} // namespace

QStringList VdirGenerator::addressBooks() {
    return {QStringLiteral("personal"), QStringLiteral("work")};
}

VdirGenerator::VdirGenerator(std::uint64_t seed)
    : m_random(seed) {}

QString VdirGenerator::digits(int count) {
    QString out;
    for (int i = 0; i < count; ++i)
        out.append(QChar(u'0' + between(0, 9)));
    return out;
}

VdirGenerator::Phone VdirGenerator::phone(CardVersion version) {
    static constexpr std::array types{"CELL", "HOME", "WORK"};
    Phone p;
    p.type = pick(types);
    const int style = between(0, 5);
    const QString a = digits(2), b = digits(3), c = digits(2), d = digits(2), e = digits(4);
    if (version == CardVersion::V4_0 && style < 3) {
        // 4.0 writers (Nextcloud, iCloud) give numbers as tel: URIs.
        p.number = u"tel:+41-79-"_qs + b + u'-' + c + u'-' + d;
        return p;
    }
    switch (style) {
    case 0:
        p.number = u"+41 79 "_qs + b + u' ' + c + u' ' + d;
        break;
    case 1:
        p.number = u"(555) "_qs + b + u'-' + e;
        break;
    case 2:
        p.number = u"0049-30-"_qs + b + e;
        break;
    case 3:
        p.number = u"+44 20 "_qs + e + u' ' + e.left(2) + c;
        break;
    case 4:
        p.number = u"06 "_qs + a + u' ' + c + u' ' + d + u' ' + a;
        break;
    default:
        p.number = u"+84 "_qs + a + u' ' + b + u' ' + e;
        break;
    }
    return p;
}

VdirGenerator::Contact VdirGenerator::contact() {
    Contact c;
    const int versionRoll = between(0, 99);
    c.version = versionRoll < 3    ? CardVersion::V2_1
                : versionRoll < 15 ? CardVersion::V4_0
                                   : CardVersion::V3_0;
    const QStringList books = addressBooks();
    c.book = books.at(chance(0.6) ? 0 : 1);

    const QString id = uuid().toString(QUuid::WithoutBraces);
    const int uidStyle = between(0, 9);
    if (c.version == CardVersion::V2_1 && chance(0.5)) {
        c.fileName = id + u".vcf"_qs; // an old export with no UID: the file name stands in
    } else if (c.version == CardVersion::V4_0 && uidStyle < 5) {
        c.uid = u"urn:uuid:"_qs + id;
        c.fileName = id + u".vcf"_qs;
    } else if (uidStyle == 0) {
        c.uid = id.left(8).remove(u'-') + digits(8); // Google-style short ids
        c.fileName = c.uid + u".vcf"_qs;
    } else {
        c.uid = uidStyle < 5 ? id.toUpper() : id;
        c.fileName = c.uid + u".vcf"_qs;
    }

    const Culture& culture = kCultures[static_cast<std::size_t>(between(0, int(kCultures.size()) - 1))];
    c.given = pick(culture.given);
    c.family = pick(culture.family);
    if (chance(0.08))
        c.additional = pick(culture.given);
    if (chance(0.05))
        c.prefix = pick(kPrefixes);
    if (chance(0.1))
        c.nickname = pick(kNicknames);
    if (chance(0.55)) {
        c.organization = pick(kOrganizations);
        if (chance(0.2))
            c.department = pick(kDepartments);
        if (chance(0.7))
            c.title = pick(kTitles);
    }

    static constexpr std::array emailTypes{"HOME", "WORK", "OTHER"};
    const QString local = asciiFolded(c.given) + u'.' + asciiFolded(c.family);
    for (int i = between(1, 3), n = 0; n < i; ++n) {
        const QString domain =
            n == 0 ? QString::fromUtf8(culture.domain) : u"mail"_qs + QString::number(n) + u".example.org"_qs;
        c.emails.append({local + (n == 2 ? digits(2) : QString()) + u'@' + domain, pick(emailTypes)});
    }
    for (int i = between(0, 3), n = 0; n < i; ++n)
        c.phones.append(phone(c.version));

    if (chance(0.4)) {
        c.birthdayHasYear = chance(0.75);
        c.birthday = QDate(between(1940, 2012), between(1, 12), between(1, 28));
    }
    if (chance(0.25)) {
        for (int n = between(2, 5); n > 0; --n)
            c.note += (c.note.isEmpty() ? QString() : u" "_qs) + pick(kSentences);
    }
    if (chance(0.3)) {
        c.street = pick(kStreets);
        c.city = pick(kCities);
        c.postalCode = digits(5);
        c.country = QString::fromUtf8(culture.country);
    }
    if (chance(0.3)) {
        for (int n = between(1, 2); n > 0; --n)
            c.categories.append(pick(kCategories));
        c.categories.removeDuplicates();
    }
    // Photos only where the writer would fold them the usual way (2.1 base64 has its own rules).
    c.hasPhoto = c.version != CardVersion::V2_1 && chance(0.05);
    return c;
}

std::vector<VdirGenerator::Contact> VdirGenerator::generate(int count) {
    std::vector<Contact> contacts;
    contacts.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (int i = 0; i < count; ++i)
        contacts.push_back(contact());
    return contacts;
}

QByteArray VdirGenerator::encode(const Contact& c) {
    const bool v21 = c.version == CardVersion::V2_1;
    const bool v40 = c.version == CardVersion::V4_0;
    QByteArray out;
    auto line = [&](const QByteArray& text) { appendFolded(out, text, !v21); };
    // A 2.1 text property with non-ASCII goes quoted-printable, as old phones wrote it.
    auto text = [&](const char* name, const QByteArray& value) {
        if (v21 && !isAscii(value))
            line(QByteArray(name) + ";CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:" + quotedPrintable(value));
        else
            line(QByteArray(name) + ':' + value);
    };
    auto typed = [&](const char* name, const QString& type, const QByteArray& value, const char* extra = "") {
        if (v21)
            line(QByteArray(name) + ';' + QByteArray(extra).replace(',', ';') + utf8(type) + ':' + value);
        else if (v40)
            line(QByteArray(name) + ";TYPE=" + utf8(type).toLower() + ':' + value);
        else
            line(QByteArray(name) + ";TYPE=" + extra + utf8(type) + ':' + value);
    };

    line("BEGIN:VCARD");
    line(v21 ? "VERSION:2.1" : v40 ? "VERSION:4.0" : "VERSION:3.0");
    if (!v21)
        line("PRODID:-//Pemmo bench//vdir generator//EN");
    if (!c.uid.isEmpty())
        line("UID:" + utf8(c.uid));
    const QStringList n{c.family, c.given, c.additional, c.prefix, QString()};
    QByteArray nValue;
    for (qsizetype i = 0; i < n.size(); ++i)
        nValue += (i ? ";" : "") + escaped(n[i]);
    text("N", nValue);
    QString fn = c.prefix.isEmpty() ? QString() : c.prefix + u' ';
    fn += c.given + (c.additional.isEmpty() ? QString() : u' ' + c.additional) + u' ' + c.family;
    text("FN", escaped(fn));
    if (!c.nickname.isEmpty())
        text("NICKNAME", escaped(c.nickname));
    if (!c.organization.isEmpty())
        text("ORG",
             escaped(c.organization) + (c.department.isEmpty() ? QByteArray() : ';' + escaped(c.department)));
    if (!c.title.isEmpty())
        text("TITLE", escaped(c.title));
    for (const Email& email : c.emails)
        typed("EMAIL", email.type, utf8(email.address), v40 ? "" : "INTERNET,");
    for (const Phone& phone : c.phones) {
        if (phone.number.startsWith(u"tel:"))
            line("TEL;VALUE=uri;TYPE=" + utf8(phone.type).toLower() + ':' + utf8(phone.number));
        else
            typed("TEL", phone.type, utf8(phone.number), phone.type == u"CELL" || v40 ? "" : "VOICE,");
    }
    if (!c.street.isEmpty()) {
        text("ADR;TYPE=HOME", ";;" + escaped(c.street) + ';' + escaped(c.city) + ";;" + utf8(c.postalCode) +
                                  ';' + escaped(c.country));
    }
    if (c.birthday) {
        const QDate d = *c.birthday;
        if (c.birthdayHasYear)
            line("BDAY:" + utf8(d.toString(v40 ? u"yyyyMMdd"_qs : u"yyyy-MM-dd"_qs)));
        else
            line("BDAY:--" + utf8(d.toString(u"MMdd"_qs)));
    }
    if (!c.categories.isEmpty()) {
        QByteArray value;
        for (const QString& category : c.categories)
            value += (value.isEmpty() ? "" : ",") + escaped(category);
        text("CATEGORIES", value);
    }
    if (!c.note.isEmpty())
        text("NOTE", escaped(c.note));
    if (c.hasPhoto) {
        const QByteArray base64 = samplePhoto().toBase64();
        if (v40)
            line("PHOTO:data:image/jpeg;base64," + base64);
        else
            line("PHOTO;ENCODING=b;TYPE=JPEG:" + base64);
    }
    if (!v21)
        line("REV:2025-11-02T09:14:" + QByteArray::number(10 + c.fileName.size() % 50) + 'Z');
    line("END:VCARD");
    return out;
}

QString VdirGenerator::path(const QString& root, const Contact& contact) {
    return QDir(root).filePath(contact.book + u'/' + contact.fileName);
}

void VdirGenerator::write(const std::vector<Contact>& contacts, const QString& root) {
    for (const QString& book : addressBooks())
        AtomicFile::ensureDirectory(QDir(root).filePath(book));
    for (const Contact& contact : contacts) {
        // A plain write: an fsync per file would make generating 10,000 of them take minutes.
        QFile file(path(root, contact));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(encode(contact)) < 0)
            throw std::runtime_error("cannot write " + file.fileName().toStdString());
    }
}

const QByteArray& VdirGenerator::samplePhoto() {
    static const QByteArray jpeg = [] {
        QImage image(160, 160, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 3 + y) % 256, (y * 2) % 256, (x * y / 40) % 256));
        }
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        image.save(&buffer, "JPEG", 85);
        return bytes;
    }();
    return jpeg;
}

} // namespace pemmo::bench
