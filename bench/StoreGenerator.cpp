#include "StoreGenerator.h"

#include "Records/WritableField.h"

#include <array>
#include <span>

namespace pemmo::bench {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kTwoYears = 730 * kDay;

// Names from many address books: the texts must carry accents and other scripts so that the
// coders' UTF-8 paths are measured, not only ASCII.
constexpr std::array<const char*, 40> kGivenNames{
    "Zoë",   "José",     "Björn", "Amélie", "Søren",   "Łukasz", "François", "Chloé",  "Ingrid", "Mateo",
    "Aoife", "Noémie",   "Jörg",  "Renée",  "Dmitri",  "Anaïs",  "Siobhán",  "Thabo",  "Priya",  "Kenji",
    "Maya",  "Olusegun", "Leïla", "Tomás",  "Ágnes",   "Oskar",  "Hannah",   "Rafael", "Mei",    "Sebastián",
    "Elif",  "Nikolaj",  "Inês",  "Yusuf",  "Camille", "Ana",    "Daniel",   "Sarah",  "Liam",   "Grace"};
constexpr std::array<const char*, 36> kFamilyNames{
    "Müller",  "García",       "Nguyễn",   "Østergaard", "Dvořák",    "O'Brien",        "Šimůnek", "Kowalski",
    "Dubois",  "Fernández",    "Sørensen", "Yılmaz",     "Ivanova",   "Papadopoulos",   "Tanaka",  "Okafor",
    "Kim",     "Lindqvist",    "Horváth",  "Mendes",     "Schäfer",   "Nakamura",       "Rossi",   "Chen",
    "Patel",   "Nowak",        "Björk",    "Lefèvre",    "Gonçalves", "Ó Súilleabháin", "Weiß",    "Smith",
    "Johnson", "van der Berg", "Al-Sayed", "Zieliński"};
constexpr std::array<const char*, 18> kCircles{
    "work",         "school",      "family",     "friends",           "movie lover", "climbing",
    "book club",    "investors",   "neighbours", "college",           "mentors",     "startup",
    "running club", "board games", "jazz",       "parents at school", "conference",  "former colleagues"};
constexpr std::array<const char*, 24> kCompanies{"Acme",
                                                 "Northwind Traders",
                                                 "Globex",
                                                 "Initech",
                                                 "Umbrella Health",
                                                 "Stark Industries",
                                                 "Wayne Foundation",
                                                 "Hooli",
                                                 "Pied Piper",
                                                 "Vandelay Import",
                                                 "Soylent",
                                                 "Cyberdyne",
                                                 "Blue Sky Labs",
                                                 "Café Müller",
                                                 "Zürich Re",
                                                 "Société Générale",
                                                 "Grupo Bimbo",
                                                 "Tata Consultancy",
                                                 "Fjord & Co",
                                                 "Bäckerei Schmidt",
                                                 "Oceanic Air",
                                                 "Nakatomi",
                                                 "Wonka Industries",
                                                 "Massive Dynamic"};
constexpr std::array<const char*, 20> kJobTitles{"Engineer",        "Senior Software Engineer",
                                                 "Product Manager", "Designer",
                                                 "Founder & CEO",   "Head of Growth",
                                                 "Data Scientist",  "Nurse",
                                                 "Teacher",         "Architect",
                                                 "Staff Engineer",  "VP Engineering",
                                                 "Recruiter",       "Chef de cuisine",
                                                 "Investor",        "Research Scientist",
                                                 "Lawyer",          "Photographer",
                                                 "Consultant",      "PhD student"};
constexpr std::array<const char*, 10> kTeams{"Platform",       "Payments",  "Growth", "Infrastructure",
                                             "Design Systems", "Marketing", "Sales",  "Research",
                                             "Mobile",         "Security"};
constexpr std::array<const char*, 22> kCities{
    "San Francisco", "New York", "Berlin", "München",   "Zürich",     "Kraków", "São Paulo", "México City",
    "Montréal",      "Köln",     "Malmö",  "Reykjavík", "Tokyo",      "Lagos",  "Bogotá",    "Lisbon",
    "Amsterdam",     "Seattle",  "London", "Paris",     "Düsseldorf", "Århus"};
constexpr std::array<const char*, 14> kSchools{"Stanford",
                                               "MIT",
                                               "ETH Zürich",
                                               "Université de Montréal",
                                               "TU München",
                                               "UC Berkeley",
                                               "Oxford",
                                               "Sciences Po",
                                               "KTH",
                                               "Universidad de los Andes",
                                               "University of Lagos",
                                               "Waseda",
                                               "Carnegie Mellon",
                                               "Uniwersytet Jagielloński"};
constexpr std::array<const char*, 12> kMajors{"Computer Science", "Economics",   "Mechanical Engineering",
                                              "Philosophy",       "Medicine",    "Architecture",
                                              "Physics",          "Law",         "Fine Arts",
                                              "Biology",          "Mathematics", "History"};
constexpr std::array<const char*, 14> kHowWeMet{"Intro from a friend at a dinner party",
                                                "College roommates",
                                                "Met at a climbing gym",
                                                "Worked together at my first job",
                                                "Neighbours",
                                                "Conference in Lisbon",
                                                "Book club",
                                                "Our kids are in the same class",
                                                "Twitter, then coffee",
                                                "Hackathon team",
                                                "Wedding of a mutual friend",
                                                "Running club on Sundays",
                                                "Flight delay in Frankfurt, 6 hours of talking",
                                                "Volunteering at the food bank"};

constexpr std::array<const char*, 30> kSentences{
    "Loves hiking and just came back from a trip to Patagonia.",
    "Has two kids, Léa (7) and Max (4).",
    "Vegetarian; allergic to peanuts.",
    "Thinking about leaving their job to start a company in climate tech.",
    "Prefers texts over calls, and never answers before 10am.",
    "Runs a small newsletter about urban design.",
    "Big fan of Studio Ghibli — \"Spirited Away\" is the favourite.",
    "Moved from Berlin last spring; still looking for a good bakery.",
    "Plays cello in a community orchestra.",
    "Recommended the book \"The Dispossessed\" to me.",
    "Training for the Chicago marathon in October 🏃.",
    "Mother is recovering from surgery; ask how she is doing.",
    "Great person to ask about fundraising and term sheets.",
    "Coffee order: flat white, oat milk ☕.",
    "Speaks Portuguese, Spanish and a bit of Japanese.",
    "Just adopted a rescue dog named Pixel 🐶.",
    "Working on a PhD about coral reef recovery.",
    "Sends the best restaurant recommendations in town.",
    "Introduced me to the team at Hooli back in 2021.",
    "Birthday dinner is usually at the same Sichuan place.",
    "Collects vinyl; mostly 70s jazz and Brazilian records.",
    "Said: \"call me whenever you are in town\" — meant it.",
    "Owes me a rematch at chess ♟️.",
    "Wants an intro to someone in medical devices.",
    "Lives 10 minutes away; likes spontaneous walks.",
    "Renovating an old farmhouse near Kraków.",
    "Into bouldering, mostly V4–V5.",
    "Tends to go quiet when busy; no need to worry.",
    "Keeps bees on the roof of the office 🐝.",
    "Grew up in Reykjavík, moved for university."};

constexpr std::array<const char*, 20> kNoteTexts{
    "Coffee at Café Müller, talked about the new job",
    "Long call about moving to Zürich; they are nervous but excited",
    "Dinner with the whole team — \"best ramen in the city\"",
    "Sent a birthday message 🎉",
    "Caught up after the conference; promised to send the slides",
    "Lunch near the office. Asked about the kids and the house renovation",
    "Walk in the park with the dog",
    "Quick chat about the reference letter",
    "Helped with the visa paperwork\nNeed to follow up next week",
    "Drinks after work; met their partner for the first time",
    "Video call, 45 min: talked about fundraising, hiring and burnout",
    "Saw them at the wedding in Porto",
    "Phone call — Mum is doing better",
    "Shared notes on the book club pick",
    "Brunch, then bouldering\tgood session",
    "They introduced me to two founders in climate tech",
    "Met at the farmers market by chance",
    "Helped move flats; pizza afterwards 🍕",
    "Discussed the offer from Globex; leaning towards saying no",
    "Long voice memo exchange about travel plans to Japan 🇯🇵"};
constexpr std::array<const char*, 6> kModels{"claude-sonnet-4-5", "claude-haiku-4-5", "llama3.1:8b",
                                             "qwen2.5:7b",        "claude-opus-4-1",  "mistral-nemo"};
constexpr std::array<const char*, 4> kProviders{"Anthropic", "Ollama", "Anthropic", "On device"};

} // namespace

StoreGenerator::StoreGenerator(std::uint64_t seed, QDateTime now)
    : m_random(seed)
    , m_now(std::move(now)) {}

QDateTime StoreGenerator::defaultNow() {
    return QDateTime::fromSecsSinceEpoch(1772355600, Qt::UTC); // 2026-03-01T09:00:00Z
}

QString StoreGenerator::hexDigits(int count) {
    static constexpr char digits[] = "0123456789abcdef";
    QString out;
    out.reserve(count);
    for (int i = 0; i < count; ++i)
        out += QLatin1Char(digits[m_random() & 0xF]);
    return out;
}

QDateTime StoreGenerator::dateWithin(std::int64_t maxSecondsAgo) {
    const auto ago = std::uniform_int_distribution<std::int64_t>(0, maxSecondsAgo)(m_random);
    return m_now.addSecs(-ago);
}

QString StoreGenerator::contactId() {
    const QString id = uuid().toString(QUuid::WithoutBraces);
    const int style = between(0, 99);
    if (style < 55) // the macOS address book
        return id.toUpper() + QStringLiteral(":ABPerson");
    if (style < 80) // vCard UID as most CardDAV servers write it
        return id;
    if (style < 92) // Google contacts
        return hexDigits(16);
    return QStringLiteral("urn:uuid:") + id;
}

QString StoreGenerator::personName() {
    return pickText(kGivenNames) + u' ' + pickText(kFamilyNames);
}

QString StoreGenerator::sentence() {
    return pickText(kSentences);
}

QString StoreGenerator::about() {
    const int style = between(0, 99);
    if (style < 42)
        return {};
    if (style < 78)
        return sentence();
    if (style < 95) {
        QString text;
        for (int i = between(2, 4); i > 0; --i)
            text += (text.isEmpty() ? QString() : QStringLiteral(" ")) + sentence();
        return text;
    }
    // A few long ones with several paragraphs, a quote and a list, as pasted from notes.
    QString text = QStringLiteral("Met through ") + personName() + QStringLiteral(".\n\n");
    for (int i = between(3, 6); i > 0; --i)
        text += sentence() + u' ' + sentence() + QStringLiteral("\n\n");
    text += QStringLiteral("Things to remember:\n- ") + sentence() + QStringLiteral("\n- ") + sentence() +
            QStringLiteral("\n\t\"") + sentence() + QStringLiteral("\" \\ ") + personName();
    return text;
}

Details StoreGenerator::details() {
    Details d;
    if (chance(0.5))
        d.company = pickText(kCompanies);
    if (chance(0.45))
        d.jobTitle = pickText(kJobTitles);
    if (chance(0.15))
        d.team = pickText(kTeams);
    if (chance(0.2))
        d.workLocation = pickText(kCities);
    if (chance(0.3))
        d.school = pickText(kSchools);
    if (chance(0.15))
        d.major = pickText(kMajors);
    if (chance(0.15))
        d.graduationYear = QString::number(between(1985, 2025));
    if (chance(0.35))
        d.howWeMet = pickText(kHowWeMet);
    if (chance(0.15))
        d.mutuals = personName() + QStringLiteral(", ") + personName();
    if (chance(0.2))
        d.hometown = pickText(kCities);
    if (chance(0.4))
        d.currentCity = pickText(kCities);
    if (chance(0.15))
        d.email = QStringLiteral("%1.%2@example.com").arg(hexDigits(6), hexDigits(4));
    return d;
}

Interaction::Source StoreGenerator::source() {
    const int style = between(0, 99);
    if (style < 60)
        return Interaction::Source::user();
    if (style < 85)
        return Interaction::Source::automatic();
    return Interaction::Source::ai(pickText(kModels));
}

Interaction StoreGenerator::interaction() {
    Interaction entry;
    entry.id = uuid();
    entry.date = dateWithin(kTwoYears);
    entry.source = source();
    if (entry.source.kind == Interaction::Source::Kind::Auto) {
        // What the profile screen logs when the user opens Messages, a call or mail.
        switch (between(0, 2)) {
        case 0:
            entry.kind = Interaction::Kind::Message;
            entry.text = QStringLiteral("Opened Messages");
            break;
        case 1:
            entry.kind = Interaction::Kind::Call;
            entry.text = QStringLiteral("Called");
            break;
        default:
            entry.kind = Interaction::Kind::Email;
            entry.text = QStringLiteral("Opened Mail");
            break;
        }
        return entry;
    }
    static constexpr std::array kinds{Interaction::Kind::Note, Interaction::Kind::Met,
                                      Interaction::Kind::Met,  Interaction::Kind::Message,
                                      Interaction::Kind::Call, Interaction::Kind::Other};
    entry.kind = pick(kinds);
    entry.text = pickText(kNoteTexts);
    if (chance(0.1))
        entry.text += u' ' + sentence();
    // Memories saved from calendar Moments carry the event's identity hashes.
    if (entry.kind == Interaction::Kind::Met && chance(0.4)) {
        entry.calendarEventHash = hexDigits(64);
        if (chance(0.3)) {
            QStringList aliases;
            for (int i = between(1, 2); i > 0; --i)
                aliases.append(hexDigits(64));
            entry.calendarEventAliases = aliases;
        }
    }
    return entry;
}

FieldChange StoreGenerator::change(const PemmoRecord& record) {
    FieldChange change;
    change.id = uuid();
    change.date = dateWithin(kTwoYears);
    const QList<WritableField>& fields = WritableFields::all();
    change.field = WritableFields::name(fields.at(between(0, static_cast<int>(fields.size()) - 1)));
    if (chance(0.6))
        change.oldValue = record.details.company.value_or(pickText(kCompanies));
    if (chance(0.9))
        change.newValue = chance(0.5) ? pickText(kCities) : pickText(kJobTitles);
    change.source = source();
    return change;
}

QuickLink StoreGenerator::link() {
    QuickLink link;
    link.id = uuid();
    const QString handle = hexDigits(8);
    switch (between(0, 3)) {
    case 0:
        link.kind = QuickLink::Kind::Instagram;
        link.title = QStringLiteral("Instagram");
        link.url = QStringLiteral("https://instagram.com/") + handle;
        break;
    case 1:
        link.kind = QuickLink::Kind::LinkedIn;
        link.title = QStringLiteral("LinkedIn");
        link.url = QStringLiteral("https://www.linkedin.com/in/") + handle;
        break;
    case 2:
        link.kind = QuickLink::Kind::X;
        link.title = QStringLiteral("X");
        link.url = QStringLiteral("https://x.com/") + handle;
        break;
    default:
        link.kind = QuickLink::Kind::Custom;
        link.title = chance(0.5) ? QStringLiteral("Portfolio") : QStringLiteral("Wish list 🎁");
        link.url = QStringLiteral("https://example.com/") + handle + QStringLiteral("?ref=pemmo&lang=fr");
        break;
    }
    return link;
}

BriefingCache StoreGenerator::briefing() {
    BriefingCache b;
    b.contentHash = hexDigits(16);
    b.summary = personName() + QStringLiteral(" — ") + sentence() + u' ' + sentence() + u' ' + sentence();
    b.opener =
        QStringLiteral("Ask how the \"") + pickText(kCompanies) + QStringLiteral("\" project is going.");
    b.generatedAt = dateWithin(90 * kDay);
    b.leftDevice = chance(0.6);
    b.model = b.leftDevice ? pickText(std::span(kModels).first(2)) : pickText(std::span(kModels).last(4));
    b.providerName = pickText(kProviders);
    return b;
}

PemmoRecord StoreGenerator::record() {
    PemmoRecord r;
    if (!chance(0.2)) {
        for (int i = between(1, 4); i > 0; --i) {
            const QString circle = pickText(kCircles);
            if (!r.tags.contains(circle))
                r.tags.append(circle);
        }
    }
    if (chance(0.25)) {
        for (int i = between(1, 2); i > 0; --i)
            r.links.append(link());
    }
    r.details = details();
    if (chance(0.3)) {
        DateComponents birthday;
        if (chance(0.65))
            birthday.year = between(1950, 2015);
        birthday.month = between(1, 12);
        birthday.day = between(1, 28);
        r.birthday = birthday;
    }
    if (chance(0.25))
        r.messageHandle = chance(0.7)
                              ? QStringLiteral("+1 415 555 %1").arg(between(0, 9999), 4, 10, QLatin1Char('0'))
                              : QStringLiteral("%1@icloud.com").arg(hexDigits(8));
    if (chance(0.05))
        r.findMyURL = QStringLiteral("https://www.icloud.com/find/") + hexDigits(12);
    if (chance(0.03))
        r.gmailTemplate =
            QStringLiteral("https://mail.google.com/mail/?view=cm&to={email}&su=Hi%20") + hexDigits(4);
    r.about = about();

    // Many people have no entry yet, most of the others a handful, a few a long history (up to 20).
    const int style = between(0, 99);
    const int entries = style < 53   ? 0
                        : style < 89 ? between(1, 3)
                        : style < 97 ? between(4, 8)
                                     : between(9, 20);
    for (int i = 0; i < entries; ++i)
        r.interactions.append(interaction());
    if (chance(0.1)) {
        for (int i = between(1, 4); i > 0; --i)
            r.changes.append(change(r));
    }
    r.aiCloudOptOut = chance(0.05);
    if (chance(0.06))
        r.briefingCache = briefing();
    r.updatedAt = dateWithin(kTwoYears);
    return r;
}

RecordMap StoreGenerator::generate(int count) {
    RecordMap records;
    records.reserve(count);
    while (records.size() < count)
        records.insert(contactId(), record());
    return records;
}

} // namespace pemmo::bench
