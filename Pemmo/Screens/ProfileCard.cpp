#include "Screens/ProfileCard.h"

#include "AI/AILabels.h"
#include "AI/BriefingFingerprint.h"
#include "Links/QuickLinkPolicy.h"
#include "Lists/TagCatalog.h"
#include "Records/Text.h"

#include <QCoreApplication>
#include <QHash>
#include <QLocale>
#include <algorithm>

namespace pemmo::ProfileCard {
namespace {

// The card's texts keep the translation context of the card's screen.
struct Texts {
    Q_DECLARE_TR_FUNCTIONS(ProfileViewModel)
};

QString kindTitle(Interaction::Kind kind) {
    switch (kind) {
    case Interaction::Kind::Note:
        return Texts::tr("Note");
    case Interaction::Kind::Met:
        return Texts::tr("Met");
    case Interaction::Kind::Message:
        return Texts::tr("Message");
    case Interaction::Kind::Call:
        return Texts::tr("Call");
    case Interaction::Kind::Email:
        return Texts::tr("Email");
    case Interaction::Kind::Other:
        return Texts::tr("Other");
    }
    return {};
}

QString joined(const QStringList& parts, const QString& separator) {
    QStringList kept;
    for (const QString& part : parts) {
        if (!Text::isBlank(part))
            kept.append(Text::trimmed(part));
    }
    return kept.join(separator);
}

QString dateText(const QDateTime& date, const QDateTime& now) {
    const QLocale locale;
    const QDate day = date.toLocalTime().date();
    return day.year() == now.toLocalTime().date().year() ? locale.toString(day, u"d MMM"_qs)
                                                         : locale.toString(day, u"d MMM yyyy"_qs);
}

// A timeline or change-log row's day: the last two days by name, as one says them.
QString rowDayText(const QDateTime& date, const QDateTime& now) {
    const QDate day = date.toLocalTime().date();
    const QDate today = now.toLocalTime().date();
    if (day == today)
        return Texts::tr("Today");
    if (day == today.addDays(-1))
        return Texts::tr("Yesterday");
    return dateText(date, now);
}

QString birthdayText(const DateComponents& birthday) {
    const QLocale locale;
    const QString month = locale.monthName(birthday.month);
    if (birthday.year)
        return locale.toString(QDate(*birthday.year, birthday.month, birthday.day), QLocale::LongFormat);
    return QStringLiteral("%1 %2").arg(birthday.day).arg(month);
}

// Builds one card's layout, section by section, in the order the card shows them.
class Builder : private Texts {
public:
    explicit Builder(const Inputs& in)
        : in(in)
        , profile(in.profile)
        , record(*in.profile.record)
        , now(in.now)
        , who(in.who) {}

    Layout layout;

    void circles();
    void briefing();
    void draft();
    void links();
    void reach();
    void details();
    void timeline();
    void changes();
    void privacy();

private:
    // A row the keyboard stops on: Return runs `action`, the footer shows `hint`.
    ProfileRow addItem(ProfileRow row, ProfileAction action, const QString& hint) {
        row.itemIndex = int(layout.items.size());
        layout.items.append(SelectableItem{row.id, action, hint});
        if (row.accessibleName.isEmpty())
            row.accessibleName = joined({row.title, row.detail, row.trailing}, u", "_qs);
        // A name that is a sentence already ends with its own stop.
        const bool stopped = row.accessibleName.endsWith(u'.') || row.accessibleName.endsWith(u'?') ||
                             row.accessibleName.endsWith(u'!');
        layout.spoken.append(row.accessibleName + (stopped ? u" "_qs : u". "_qs) + hint);
        return row;
    }

    const Inputs& in;
    const Profile& profile;
    const PemmoRecord& record;
    const QDateTime& now;
    const QString& who;
};

} // namespace

QString phoneItemPrefix() {
    return QStringLiteral("phone:");
}

QString emailItemPrefix() {
    return QStringLiteral("email:");
}

QString fieldTitle(const QString& field) {
    static const QHash<QString, const char*> titles = {
        {u"company"_qs, "Company"},
        {u"jobTitle"_qs, "Job title"},
        {u"team"_qs, "Team"},
        {u"workLocation"_qs, "Work location"},
        {u"school"_qs, "School"},
        {u"major"_qs, "Major"},
        {u"graduationYear"_qs, "Class of"},
        {u"howWeMet"_qs, "How you met"},
        {u"mutuals"_qs, "Mutual friends"},
        {u"hometown"_qs, "Hometown"},
        {u"currentCity"_qs, "Lives in"},
        {u"email"_qs, "Email"},
        {u"messageHandle"_qs, "Message handle"},
        {u"findMyURL"_qs, "Location link"},
        {u"gmailTemplate"_qs, "Gmail template"},
    };
    const auto it = titles.constFind(field);
    return it == titles.constEnd() ? field : Texts::tr(*it);
}

void Builder::circles() {
    // Circles, in the header.
    for (const QString& tagID : record.tags) {
        const auto tag = in.tagWithID ? in.tagWithID(tagID) : std::nullopt;
        ProfileRow chip{.id = u"circle:"_qs + tagID,
                        .kind = u"circle"_qs,
                        .title = tag ? tag->name : TagCatalog::displayNameForID(tagID),
                        .colorIndex = tag ? tag->colorIndex : 0};
        chip.accessibleName = tr("Circle %1").arg(chip.title);
        layout.chips.append(addItem(chip, ProfileAction::removeTag(chip.title),
                                    tr("↵ Remove %1 from %2   Ctrl+Z undoes").arg(who, chip.title)));
    }
    {
        ProfileRow add{.id = u"circle:add"_qs,
                       .kind = u"addCircle"_qs,
                       .title = record.tags.isEmpty() ? tr("Add circle") : tr("Add or remove circles")};
        layout.chips.append(
            addItem(add, ProfileAction::plain(ProfileAction::Kind::AddTag), tr("↵ Add a circle")));
    }
}

void Builder::briefing() {
    // The briefing: off, not available (and why), being written, failed, shown, or not yet.
    ProfileRow card{.id = u"briefing"_qs, .section = tr("Briefing"), .kind = u"briefing"_qs};
    const auto& cache = record.briefingCache;
    if (!in.aiEnabled) {
        card.title = tr("AI is off");
        card.detail = tr("Turn on AI features in Settings to see a briefing before you reach out.");
        layout.rows.append(addItem(card, ProfileAction::plain(ProfileAction::Kind::ChangeAIProvider),
                                   tr("↵ Open Settings")));
    } else if (in.briefing == BriefingState::Writing) {
        card.title = tr("Writing a briefing…");
        card.detail = cache ? cache->summary : QString();
        layout.rows.append(
            addItem(card, ProfileAction::plain(ProfileAction::Kind::GenerateBriefing), tr("Writing…")));
    } else if (in.briefing == BriefingState::Failed) {
        card.title = tr("The briefing could not be written");
        card.detail = in.briefingError;
        layout.rows.append(
            addItem(card, ProfileAction::plain(ProfileAction::Kind::GenerateBriefing), tr("↵ Try again")));
    } else if (cache) {
        card.title = cache->summary;
        QStringList lines;
        if (!Text::isBlank(cache->opener))
            lines.append(tr("Try: %1").arg(Text::trimmed(cache->opener)));
        // "On-device · stayed on this computer · Today": who wrote it, where the card's
        // contents went, and when.
        QString made = tr("%1 · %2").arg(AILabels::origin(cache->providerName, cache->leftDevice),
                                         rowDayText(cache->generatedAt, now));
        if (cache->contentHash != BriefingFingerprint::of(profile))
            made += tr(" · the card has changed since");
        lines.append(made);
        card.detail = lines.join(u'\n');
        card.accessibleName = tr("Briefing: %1").arg(joined({card.title, card.detail}, u". "_qs));
        layout.rows.append(addItem(card, ProfileAction::plain(ProfileAction::Kind::GenerateBriefing),
                                   tr("↵ Write a new briefing")));
    } else if (!in.aiUnavailableReason.isEmpty()) {
        card.title = tr("AI is not available");
        card.detail = in.aiUnavailableReason;
        layout.rows.append(addItem(card, ProfileAction::plain(ProfileAction::Kind::ChangeAIProvider),
                                   tr("↵ Open Settings")));
    } else {
        card.title = tr("No briefing yet");
        card.detail = tr("Select this and press Return to have AI write who %1 is to you and how to open the "
                         "next talk.")
                          .arg(who);
        layout.rows.append(addItem(card, ProfileAction::plain(ProfileAction::Kind::GenerateBriefing),
                                   tr("↵ Write a briefing")));
    }
}

void Builder::draft() {
    // The last message draft, until the card is left.
    if (!in.draft.isEmpty()) {
        ProfileRow row{.id = u"draft"_qs,
                       .section = tr("Draft"),
                       .kind = u"briefing"_qs,
                       .title = in.draft,
                       .detail = tr("Copied to the clipboard · %1").arg(in.draftLabel)};
        layout.rows.append(
            addItem(row, ProfileAction::plain(ProfileAction::Kind::Message), tr("↵ Open Messages")));
    }
}

void Builder::links() {
    for (const QuickLink& link : record.links) {
        ProfileRow row{.id = u"link:"_qs + link.id.toString(QUuid::WithoutBraces),
                       .section = tr("Links"),
                       .kind = u"link"_qs,
                       .title = link.title,
                       .detail = link.url};
        const auto digit = QuickLinkPolicy::digitShortcut(link.id, record.links);
        row.trailing = digit ? QString::number(*digit) : QString();
        row.accessibleName =
            digit ? tr("%1, link, key %2").arg(link.title).arg(*digit) : tr("%1, link").arg(link.title);
        layout.rows.append(addItem(row, ProfileAction::link(link.id), tr("↵ Open   E Edit   Del Remove")));
    }
    {
        ProfileRow add{
            .id = u"link:add"_qs, .section = tr("Links"), .kind = u"command"_qs, .title = tr("Add link")};
        layout.rows.append(
            addItem(add, ProfileAction::plain(ProfileAction::Kind::AddLink), tr("↵ Add a link")));
    }
}

void Builder::reach() {
    // Phones and e-mail addresses reach the person.
    const auto add = [this](const QList<LabeledValue>& values, const QString& prefix, const QString& section,
                            const QString& kind, ProfileAction::Kind action, const QString& hint) {
        for (qsizetype i = 0; i < values.size(); ++i) {
            if (Text::isBlank(values[i].value))
                continue;
            ProfileRow row{.id = prefix + QString::number(i),
                           .section = section,
                           .kind = kind,
                           .title = values[i].value,
                           .detail = values[i].label};
            layout.rows.append(addItem(row, ProfileAction::plain(action), hint));
        }
    };
    add(profile.person->phones, phoneItemPrefix(), tr("Phone"), u"phone"_qs, ProfileAction::Kind::Call,
        tr("↵ Call   Ctrl+C Copy"));
    add(profile.person->emails, emailItemPrefix(), tr("Email"), u"email"_qs, ProfileAction::Kind::Mail,
        tr("↵ Write mail   Ctrl+C Copy"));
}

void Builder::details() {
    const Details& d = record.details;
    const auto detail = [&](const QString& id, const QString& title, const QString& value,
                            ProfileAction action = ProfileAction::plain(ProfileAction::Kind::EditDetails),
                            QString hint = QString()) {
        if (Text::isBlank(value))
            return;
        ProfileRow row{.id = u"detail:"_qs + id,
                       .section = tr("Details"),
                       .kind = u"detail"_qs,
                       .title = title,
                       .detail = value};
        layout.rows.append(addItem(row, action, hint.isEmpty() ? tr("↵ Edit details") : hint));
    };
    detail(u"work"_qs, tr("Work"),
           joined({joined({profile.role().value_or(QString()), profile.company().value_or(QString())},
                          u" @ "_qs),
                   d.team.value_or(QString()), d.workLocation.value_or(QString())},
                  u" · "_qs));
    detail(u"school"_qs, tr("School"),
           joined({d.school.value_or(QString()), d.major.value_or(QString()),
                   d.graduationYear ? tr("Class of %1").arg(*d.graduationYear) : QString()},
                  u" · "_qs));
    detail(u"howWeMet"_qs, tr("How you met"), d.howWeMet.value_or(QString()));
    detail(u"mutuals"_qs, tr("Mutual friends"), d.mutuals.value_or(QString()));
    detail(u"hometown"_qs, tr("Hometown"), d.hometown.value_or(QString()));
    detail(u"currentCity"_qs, tr("Lives in"), d.currentCity.value_or(QString()));
    const auto birthday = record.birthday ? record.birthday : profile.person->birthday;
    detail(u"birthday"_qs, tr("Birthday"), birthday ? birthdayText(*birthday) : QString());
    detail(u"email"_qs, tr("Email"), d.email.value_or(QString()));
    detail(u"messageHandle"_qs, tr("Message handle"), record.messageHandle.value_or(QString()),
           ProfileAction::plain(ProfileAction::Kind::Message), tr("↵ Message"));
    detail(u"findMy"_qs, tr("Find My"), record.findMyURL.value_or(QString()),
           ProfileAction::plain(ProfileAction::Kind::FindMy), tr("↵ Open the location"));
    detail(u"gmail"_qs, tr("Gmail"), record.gmailTemplate.value_or(QString()),
           ProfileAction::plain(ProfileAction::Kind::Gmail), tr("↵ Write in Gmail"));
    // The command closes the details, so "About" never splits them into two sections.
    {
        ProfileRow edit{.id = u"detail:edit"_qs,
                        .section = tr("Details"),
                        .kind = u"command"_qs,
                        .title = tr("Edit details")};
        layout.rows.append(
            addItem(edit, ProfileAction::plain(ProfileAction::Kind::EditDetails), tr("↵ Edit details")));
    }
    if (!Text::isBlank(record.about)) {
        ProfileRow row{.id = u"about"_qs,
                       .section = tr("About"),
                       .kind = u"about"_qs,
                       .title = Text::trimmed(record.about)};
        layout.rows.append(
            addItem(row, ProfileAction::plain(ProfileAction::Kind::EditDetails), tr("↵ Edit details")));
    }
}

void Builder::timeline() {
    // The timeline, newest first.
    ProfileRow log{.id = u"timeline:log"_qs,
                   .section = tr("Timeline"),
                   .kind = u"command"_qs,
                   .title = tr("Log interaction")};
    layout.rows.append(
        addItem(log, ProfileAction::plain(ProfileAction::Kind::LogInteraction), tr("↵ Write what happened")));

    QList<Interaction> entries = record.interactions;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Interaction& a, const Interaction& b) { return a.date > b.date; });
    const qsizetype shown =
        in.showsWholeTimeline ? entries.size() : std::min<qsizetype>(entries.size(), shortTimeline);
    for (qsizetype i = 0; i < shown; ++i) {
        const Interaction& entry = entries[i];
        ProfileRow row{.id = u"entry:"_qs + entry.id.toString(QUuid::WithoutBraces),
                       .section = tr("Timeline"),
                       .kind = u"entry"_qs,
                       .title = entry.text,
                       .detail = entry.source.kind == Interaction::Source::Kind::Auto
                                     ? tr("%1 · logged by Pemmo").arg(kindTitle(entry.kind))
                                     : kindTitle(entry.kind),
                       .trailing = rowDayText(entry.date, now)};
        layout.rows.append(addItem(row, ProfileAction::editMemory(entry.id), tr("↵ Edit   Del Delete")));
    }
    if (entries.size() > shortTimeline) {
        ProfileRow toggle{
            .id = u"timeline:toggle"_qs,
            .section = tr("Timeline"),
            .kind = u"toggle"_qs,
            .title = in.showsWholeTimeline ? tr("Show fewer entries") : tr("Show the whole timeline"),
            .trailing =
                in.showsWholeTimeline ? QString() : tr("%n more", nullptr, int(entries.size() - shown))};
        layout.rows.append(addItem(toggle, ProfileAction::plain(ProfileAction::Kind::ToggleTimeline),
                                   tr("↵ %1").arg(toggle.title)));
    }
}

void Builder::changes() {
    // What changed, newest first, each undoable.
    QList<FieldChange> changes = record.changes;
    std::stable_sort(changes.begin(), changes.end(),
                     [](const FieldChange& a, const FieldChange& b) { return a.date > b.date; });
    for (qsizetype i = 0; i < std::min<qsizetype>(changes.size(), changesShown); ++i) {
        const FieldChange& change = changes[i];
        ProfileRow row{.id = u"change:"_qs + change.id.toString(QUuid::WithoutBraces),
                       .section = tr("Changes"),
                       .kind = u"change"_qs,
                       .title = fieldTitle(change.field),
                       .detail = tr("%1 → %2").arg(change.oldValue.value_or(tr("(empty)")),
                                                   change.newValue.value_or(tr("(empty)"))),
                       .trailing = rowDayText(change.date, now)};
        layout.rows.append(addItem(row, ProfileAction::revert(change.id), tr("↵ Undo this change")));
    }
}

void Builder::privacy() {
    // Pemmo's own settings for the person.
    ProfileRow optOut{.id = u"optOut"_qs,
                      .section = tr("Privacy"),
                      .kind = u"optOut"_qs,
                      .title = tr("Keep off cloud AI"),
                      .detail = tr("Nothing about %1 is sent to a cloud model.").arg(who),
                      .checked = record.aiCloudOptOut};
    optOut.accessibleName = optOut.title;
    layout.rows.append(optOut);
    if (in.hasReplacementPhoto) {
        ProfileRow photo{.id = u"photo"_qs,
                         .section = tr("Privacy"),
                         .kind = u"photo"_qs,
                         .title = tr("Use address book photo"),
                         .detail = tr("Show the address book's picture again.")};
        layout.rows.append(addItem(photo, ProfileAction::plain(ProfileAction::Kind::UseContactsPhoto),
                                   tr("↵ Use the address book's photo")));
    }
}

Layout build(const Inputs& in) {
    Builder card(in);
    card.circles();
    card.briefing();
    card.draft();
    card.links();
    card.reach();
    card.details();
    card.timeline();
    card.changes();
    card.privacy();
    return std::move(card.layout);
}

} // namespace pemmo::ProfileCard
