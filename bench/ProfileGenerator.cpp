#include "ProfileGenerator.h"

#include "Contacts/VCardDecoding.h"
#include "Contacts/VCardReader.h"
#include "Profiles/ProfileOrder.h"
#include "Store/PemmoStore.h"
#include "Store/StoreFile.h"
#include "StoreGenerator.h"
#include "Support/AtomicFile.h"

#include <QDir>
#include <QFileInfo>
#include <stdexcept>

namespace pemmo::bench {

ProfileGenerator::People ProfileGenerator::generate(int count) {
    People people;
    people.contacts = VdirGenerator().generate(count);
    StoreGenerator records;
    QList<Profile> profiles;
    profiles.reserve(count);
    for (const VdirGenerator::Contact& contact : people.contacts) {
        const VCard::Document document = VCard::parse(VdirGenerator::encode(contact));
        if (document.cards.isEmpty())
            throw std::runtime_error("a generated vCard did not parse");
        const VCard::Card& card = document.cards.first();
        const QString id = VCard::identifier(card, QFileInfo(contact.fileName).completeBaseName(), 1);
        Profile profile;
        profile.person = VCard::toPerson(card, id, VCard::Photos::Skip);
        profile.record = records.record();
        profiles.append(std::move(profile));
    }
    people.profiles = ProfileOrder::sorted(std::move(profiles));
    return people;
}

void ProfileGenerator::write(const People& people, const QString& folder) {
    VdirGenerator::write(people.contacts, QDir(folder).filePath(QStringLiteral("Contacts")));
    RecordMap records;
    for (const Profile& profile : people.profiles)
        records.insert(profile.id(), profile.record);
    AtomicFile::write(QDir(folder).filePath(PemmoStore::storeFileName()), StoreFile::encode(records));
}

QString ProfileGenerator::detailsLine(const Profile& profile) {
    QStringList parts{profile.person->displayName()};
    const auto add = [&parts](const std::optional<QString>& value) {
        if (value && !value->trimmed().isEmpty())
            parts.append(value->simplified());
    };
    add(profile.person->nickname);
    add(profile.company());
    add(profile.role());
    parts.append(profile.record->tags);
    const Details& d = profile.record->details;
    add(d.team);
    add(d.school);
    add(d.major);
    add(d.currentCity);
    add(d.hometown);
    for (const LabeledValue& phone : profile.person->phones)
        parts.append(phone.value);
    for (const LabeledValue& email : profile.person->emails)
        parts.append(email.value);
    add(profile.record->about);
    for (const Interaction& entry : profile.record->interactions)
        add(entry.text);
    return parts.join(QStringLiteral(" | "));
}

} // namespace pemmo::bench
