#include "Contacts/ContactDraftRules.h"

#include <QTest>

namespace pemmo {
namespace {

using Entries = QList<LabeledValue>;
using Birthday = std::optional<DateComponents>;

LabeledValue entry(const char* label, const char* value) {
    return LabeledValue{QString::fromUtf8(label), QString::fromUtf8(value)};
}

} // namespace

class TestContactDraftRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void firstEntryRule_data() {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<QString>("value");
        QTest::addColumn<Entries>("expected");

        const Entries two{entry("home", "a@home.example"), entry("work", "a@work.example")};
        QTest::newRow("blank value leaves all alone") << two << u" \n\t"_qs << two;
        QTest::newRow("none gets one with the default label")
            << Entries{} << u"  new@example.com\n"_qs << Entries{entry("work", "new@example.com")};
        QTest::newRow("only the first of two changes")
            << two << u"new@example.com"_qs
            << Entries{entry("home", "new@example.com"), entry("work", "a@work.example")};
        QTest::newRow("unlabelled first gets the default label")
            << Entries{entry("", "old@example.com")} << u"new@example.com"_qs
            << Entries{entry("work", "new@example.com")};
    }

    void firstEntryRule() {
        QFETCH(Entries, entries);
        QFETCH(QString, value);
        QFETCH(Entries, expected);
        QCOMPARE(ContactDraftRules::applyToFirstEntry(entries, value, ContactDraftRules::workLabel()),
                 expected);
    }

    void birthdayRule_data() {
        QTest::addColumn<Birthday>("current");
        QTest::addColumn<ContactDraft>("draft");
        QTest::addColumn<Birthday>("expected");

        const DateComponents old{1990, 5, 17};
        const DateComponents given{std::nullopt, 2, 29};
        QTest::newRow("clear wins over a given birthday")
            << Birthday(old) << ContactDraft{.birthday = given, .clearBirthday = true} << Birthday();
        QTest::newRow("clear without a birthday")
            << Birthday(old) << ContactDraft{.clearBirthday = true} << Birthday();
        QTest::newRow("given replaces")
            << Birthday(old) << ContactDraft{.birthday = given} << Birthday(given);
        QTest::newRow("nothing given keeps") << Birthday(old) << ContactDraft{} << Birthday(old);
        QTest::newRow("given on none") << Birthday() << ContactDraft{.birthday = given} << Birthday(given);
    }

    void birthdayRule() {
        QFETCH(Birthday, current);
        QFETCH(ContactDraft, draft);
        QFETCH(Birthday, expected);
        QCOMPARE(ContactDraftRules::applyBirthday(current, draft), expected);
    }

    void namesAreTrimmedAndEmptyTextClears() {
        Person person;
        person.id = u"P1"_qs;
        person.givenName = u"Old"_qs;
        person.nickname = u"Oldie"_qs;
        person.organization = u"Old Co"_qs;
        person.jobTitle = u"Old job"_qs;
        person.thumbnail = QByteArray("thumb");
        person.hasFullImage = true;

        ContactDraft draft;
        draft.givenName = u"  Ada\n"_qs;
        draft.familyName = u"\tLovelace "_qs;
        draft.nickname = QString();
        draft.organization = u"   "_qs;
        draft.jobTitle = u" Analyst "_qs;

        const Person result = ContactDraftRules::apply(person, draft);
        QCOMPARE(result.id, u"P1"_qs);
        QCOMPARE(result.givenName, u"Ada"_qs);
        QCOMPARE(result.familyName, u"Lovelace"_qs);
        QCOMPARE(result.nickname, QString());
        QCOMPARE(result.organization, std::nullopt);
        QCOMPARE(result.jobTitle, std::optional<QString>(u"Analyst"_qs));
        // What the form does not edit stays.
        QCOMPARE(result.thumbnail, std::optional<QByteArray>("thumb"));
        QVERIFY(result.hasFullImage);
    }
};

} // namespace pemmo

QTEST_GUILESS_MAIN(pemmo::TestContactDraftRules)
#include "TestContactDraftRules.moc"
