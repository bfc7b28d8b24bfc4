#include "AI/ProposalBuilder.h"

#include "Lists/Tag.h"
#include "Records/Text.h"
#include "Records/WritableField.h"

#include <QRegularExpression>
#include <QTimeZone>
#include <QUrl>
#include <algorithm>

namespace pemmo::ProposalBuilder {
namespace {

// Proposed and current values meet trimmed and lower-cased.
bool sameValue(const QString& proposed, const std::optional<QString>& current) {
    return current && Text::trimmed(proposed).toLower() == Text::trimmed(*current).toLower();
}

QString summary(const QString& verb, qsizetype count) {
    return verb + u' ' + QString::number(count) + QStringLiteral(" updates");
}

// Collects items, keeping the first of any two with the same identifier.
class Items {
public:
    explicit Items(const PemmoRecord& record)
        : m_record(record) {}

    void setField(WritableField field, const std::optional<QString>& value) {
        if (Text::isBlank(value))
            return;
        const QString proposed = Text::trimmed(*value);
        const std::optional<QString>& current = WritableFields::slot(m_record, field);
        if (sameValue(proposed, current))
            return;
        add(ProposalItem::setField(field, current, proposed));
    }

    void tags(const QStringList& tags) {
        for (const QString& tag : tags) {
            const QString name = Tag::normalizedID(tag);
            if (!name.isEmpty() && !m_record.tags.contains(name))
                add(ProposalItem::addTag(name));
        }
    }

    void link(const ExtractedLink& extracted) {
        const auto url = normalizedURL(extracted.url);
        if (!url)
            return;
        const QString key = linkKey(*url);
        if (std::any_of(m_record.links.cbegin(), m_record.links.cend(),
                        [&key](const QuickLink& existing) { return linkKey(existing.url) == key; }))
            return;
        add(ProposalItem::addLink(quickLink(*url, extracted.kind)));
    }

    bool add(ProposalItem item) {
        const QString id = item.id();
        if (m_ids.contains(id))
            return false;
        m_ids.insert(id);
        m_items.append(std::move(item));
        return true;
    }

    const QList<ProposalItem>& items() const { return m_items; }

private:
    const PemmoRecord& m_record;
    QList<ProposalItem> m_items;
    QSet<QString> m_ids;
};

Proposal makeProposal(const std::optional<QString>& contactID, const QString& modelName, bool leftDevice,
                      const QList<ProposalItem>& items, const QString& verb) {
    Proposal proposal;
    proposal.id = QUuid::createUuid();
    proposal.personID = contactID;
    proposal.source = Interaction::Source::ai(modelName);
    proposal.leftDevice = leftDevice;
    proposal.items = items;
    for (const ProposalItem& item : items)
        proposal.selected.insert(item.id());
    proposal.summary = summary(verb, items.size());
    return proposal;
}

// "2026-03-04" read as noon UTC of that day, so the day is the same in every time zone.
std::optional<QDateTime> interactionDate(const std::optional<QString>& text) {
    if (!text)
        return std::nullopt;
    static const QRegularExpression pattern(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
    const QString trimmed = Text::trimmed(*text);
    if (!pattern.match(trimmed).hasMatch())
        return std::nullopt;
    const QDate date = QDate::fromString(trimmed, QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return std::nullopt;
    return QDateTime(date, QTime(0, 0), QTimeZone::utc()).addSecs(43200);
}

const QString kCaptured = QStringLiteral("Captured");
const QString kFound = QStringLiteral("Found");

} // namespace

std::optional<QString> normalizedURL(const QString& text) {
    QString url = Text::trimmed(text);
    if (url.isEmpty())
        return std::nullopt;
    for (const QChar c : url) {
        if (c.isSpace())
            return std::nullopt;
    }
    if (!url.contains(u"://"))
        url.prepend(QStringLiteral("https://"));
    const QUrl parsed(url, QUrl::StrictMode);
    if (!parsed.isValid() || parsed.host().isEmpty())
        return std::nullopt;
    return url;
}

QString linkKey(const QString& url) {
    QString key = normalizedURL(url).value_or(url);
    while (key.endsWith(u'/'))
        key.chop(1);
    return key.toLower();
}

QuickLink quickLink(const QString& url, const QString& kindHint) {
    const QString hint = Text::trimmed(kindHint).toLower();
    QuickLink link;
    link.id = QUuid::createUuid();
    link.url = url;
    if (hint == u"instagram" || hint == u"insta" || hint == u"ig" || hint == u"instagram.com") {
        link.kind = QuickLink::Kind::Instagram;
        link.title = QStringLiteral("Instagram");
    } else if (hint == u"linkedin" || hint == u"linkedin.com") {
        link.kind = QuickLink::Kind::LinkedIn;
        link.title = QStringLiteral("LinkedIn");
    } else if (hint == u"x" || hint == u"twitter" || hint == u"x.com" || hint == u"twitter.com") {
        link.kind = QuickLink::Kind::X;
        link.title = QStringLiteral("X");
    } else {
        link.kind = QuickLink::Kind::Custom;
        QString host = QUrl(url).host();
        if (host.startsWith(u"www."))
            host = host.mid(4);
        link.title = host.isEmpty() ? url : host.left(1).toUpper() + host.mid(1);
    }
    return link;
}

Proposal fromCapture(const CaptureResult& capture, const std::optional<PemmoRecord>& record,
                     const std::optional<QString>& contactID, const QString& modelName, bool leftDevice,
                     const QDateTime& now) {
    const PemmoRecord current = record.value_or(PemmoRecord::fresh(now));
    Items items(current);
    for (const FieldUpdate& update : capture.fieldUpdates) {
        if (const auto field = WritableFields::fromName(update.field))
            items.setField(*field, update.value);
    }
    if (!Text::isBlank(capture.interactionText)) {
        Interaction interaction;
        interaction.id = QUuid::createUuid();
        interaction.kind =
            interactionKindFromName(Text::trimmed(capture.interactionKind.value_or(QString())).toLower())
                .value_or(Interaction::Kind::Note);
        interaction.text = Text::trimmed(*capture.interactionText);
        interaction.date = interactionDate(capture.interactionDate).value_or(now);
        interaction.source = Interaction::Source::ai(modelName);
        items.add(ProposalItem::addInteraction(interaction));
    }
    items.tags(capture.tags);
    if (!Text::isBlank(capture.aboutAppend))
        items.add(ProposalItem::appendAbout(Text::trimmed(*capture.aboutAppend)));
    return makeProposal(contactID, modelName, leftDevice, items.items(), kCaptured);
}

Proposal fromExtract(const ExtractedProfile& extracted, const PemmoRecord& record, const QString& contactID,
                     const QString& modelName, bool leftDevice) {
    Items items(record);
    items.setField(WritableField::JobTitle, extracted.jobTitle);
    items.setField(WritableField::Company, extracted.company);
    items.setField(WritableField::Team, extracted.team);
    items.setField(WritableField::School, extracted.school);
    items.setField(WritableField::Major, extracted.major);
    items.setField(WritableField::GraduationYear, extracted.graduationYear);
    items.setField(WritableField::CurrentCity, extracted.currentCity);
    items.setField(WritableField::Hometown, extracted.hometown);
    items.setField(WritableField::Email, extracted.email);
    items.tags(extracted.tags);
    for (const ExtractedLink& link : extracted.links)
        items.link(link);
    return makeProposal(contactID, modelName, leftDevice, items.items(), kFound);
}

Proposal forPerson(Proposal proposal, const QString& contactID, const PemmoRecord& record) {
    Items items(record);
    for (const ProposalItem& item : std::as_const(proposal.items)) {
        if (const auto* set = item.as<ProposalItem::SetField>()) {
            items.setField(set->field, set->newValue);
        } else if (const auto* tag = item.as<ProposalItem::AddTag>()) {
            if (!record.tags.contains(tag->name))
                items.add(item);
        } else {
            items.add(item);
        }
    }
    QSet<QString> selected;
    for (const ProposalItem& item : items.items()) {
        if (proposal.selected.contains(item.id()))
            selected.insert(item.id());
    }
    proposal.personID = contactID;
    proposal.items = items.items();
    proposal.selected = selected;
    proposal.summary = summary(kCaptured, proposal.items.size());
    return proposal;
}

} // namespace pemmo::ProposalBuilder
