// vCard reading on arbitrary bytes: parsing never fails and every card becomes a person. An edit
// of a card must leave the file with as many cards, the edited one reading back as the contact
// form's rules say and every other card as it was.
#include "Contacts/ContactDraftRules.h"
#include "Contacts/VCardDecoding.h"
#include "Contacts/VCardEditor.h"
#include "Contacts/VCardReader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace pemmo;

namespace {

QByteArray describe(const Person& person) {
    QString text = u"given ["_qs + person.givenName + u"] family ["_qs + person.familyName +
                   u"] nickname ["_qs + person.nickname + u"] organization ["_qs +
                   person.organization.value_or(u"-"_qs) + u"] title ["_qs +
                   person.jobTitle.value_or(u"-"_qs) + u"] birthday "_qs;
    if (person.birthday)
        text += QString::number(person.birthday->year.value_or(0)) + u'-' +
                QString::number(person.birthday->month) + u'-' + QString::number(person.birthday->day);
    for (const LabeledValue& email : person.emails)
        text += u" email ["_qs + email.label + u"] "_qs + email.value;
    for (const LabeledValue& phone : person.phones)
        text += u" phone ["_qs + phone.label + u"] "_qs + phone.value;
    return text.toUtf8();
}

[[noreturn]] void fail(const char* what, const QByteArray& before, const QByteArray& after,
                       const Person& expected = {}, const Person& found = {}) {
    std::fprintf(stderr, "%s\n--- before\n%s\n--- after\n%s\n--- expected\n%s\n--- found\n%s\n", what,
                 before.constData(), after.constData(), describe(expected).constData(),
                 describe(found).constData());
    std::abort();
}

Person read(const VCard::Card& card) {
    return VCard::toPerson(card, QStringLiteral("id"), VCard::Photos::Skip);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const VCard::Document document = VCard::parse(bytes);
    if (document.cards.size() > document.cardCount)
        fail("more cards than were begun", bytes, {});
    for (const VCard::Card& card : document.cards) {
        (void)VCard::identifier(card, QStringLiteral("file"), document.cardCount);
        (void)read(card);
        (void)VCard::photo(card);
    }
    if (document.cards.isEmpty())
        return 0;

    // Edit the card the first input byte picks, with values that need escaping in every version.
    const qsizetype index = size > 0 ? data[0] % document.cards.size() : 0;
    const VCard::Card& card = document.cards.at(index);
    const ContactDraft draft{.givenName = QStringLiteral("Zoë"),
                             .familyName = QStringLiteral("Ångström; Jr"),
                             .nickname = QStringLiteral("Nick, Name"),
                             .organization = QStringLiteral("Org\\Inc"),
                             .jobTitle = QStringLiteral("Title\nTwo"),
                             .email = QStringLiteral("e@example.org"),
                             .phone = QStringLiteral("+1 555"),
                             .birthday = DateComponents{std::nullopt, 2, 29}};
    const QByteArray edited =
        VCard::applyDraft(bytes, card, draft, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
    const VCard::Document again = VCard::parse(edited);
    if (again.cards.size() != document.cards.size())
        fail("the edit changed the number of cards", bytes, edited);
    const Person expected = ContactDraftRules::apply(read(card), draft);
    if (read(again.cards.at(index)) != expected)
        fail("the edited card does not read as the rules say", bytes, edited, expected,
             read(again.cards.at(index)));
    for (qsizetype i = 0; i < document.cards.size(); ++i) {
        if (i != index && read(again.cards.at(i)) != read(document.cards.at(i)))
            fail("the edit changed another card", bytes, edited);
    }

    // Clearing what the draft set must read back as cleared.
    const ContactDraft clearing{
        .givenName = draft.givenName, .familyName = draft.familyName, .clearBirthday = true};
    const QByteArray cleared = VCard::applyDraft(edited, again.cards.at(index), clearing);
    const VCard::Document third = VCard::parse(cleared);
    if (third.cards.size() != document.cards.size())
        fail("clearing changed the number of cards", edited, cleared);
    const Person expectedCleared = ContactDraftRules::apply(read(again.cards.at(index)), clearing);
    if (read(third.cards.at(index)) != expectedCleared)
        fail("clearing does not read as the rules say", edited, cleared, expectedCleared,
             read(third.cards.at(index)));

    if (document.cardCount == document.cards.size()) {
        // Removing one card removes no other, and every other keeps its id.
        const QByteArray rest = VCard::removeCard(bytes, document, index, QStringLiteral("file"));
        const VCard::Document left = VCard::parse(rest);
        if (left.cards.size() != document.cards.size() - 1)
            fail("removing a card removed another", bytes, rest);
        for (qsizetype i = 0, j = 0; i < document.cards.size(); ++i) {
            if (i == index)
                continue;
            if (VCard::identifier(left.cards.at(j++), QStringLiteral("file"), left.cardCount) !=
                VCard::identifier(document.cards.at(i), QStringLiteral("file"), document.cardCount))
                fail("removing a card changed another's id", bytes, rest);
        }
    }
    return 0;
}
