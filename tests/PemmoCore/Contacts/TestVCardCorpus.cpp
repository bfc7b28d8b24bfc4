// Real exports from address books and mail programs: every file reads as it is meant, and edits
// change only the lines they must.
#include "Contacts/ContactDraftRules.h"
#include "Contacts/VCardDecoding.h"
#include "Contacts/VCardEditor.h"
#include "Contacts/VCardReader.h"
#include "TestSupport/TestData.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(pemmo::Person)

namespace {

QString corpusFolder() {
    return test::testDataPath(u"vcard"_qs);
}

QStringList corpusFiles() {
    return QDir(corpusFolder()).entryList({u"*.vcf"_qs}, QDir::Files, QDir::Name);
}

QByteArray readCorpus(const QString& name) {
    return test::testData(u"vcard/"_qs + name);
}

QList<LabeledValue> entries(std::initializer_list<std::pair<const char*, const char*>> pairs) {
    QList<LabeledValue> result;
    for (const auto& [label, value] : pairs)
        result.append(LabeledValue{QString::fromUtf8(label), QString::fromUtf8(value)});
    return result;
}

DateComponents ymd(int year, int month, int day) {
    return DateComponents{year, month, day};
}

QString repeated(const char* piece, int count) {
    return QString::fromUtf8(piece).repeated(count);
}

// What each file means, read by hand from the files.
struct Expected {
    const char* file;
    Person person;
};

QList<Expected> expectations() {
    const QString n = u"Ñ"_qs;
    return {
        // Apple's Address Book: a company card (X-ABShowAs) with a photo, CRLF line ends.
        {"F0A6918D-8E09-43FA-9684-226810B8A96F.vcf",
         {.id = "F0A6918D-8E09-43FA-9684-226810B8A96F",
          .givenName = "Test",
          .familyName = "Inc.",
          .organization = "Test Inc.",
          .emails = entries({{"work", "testinc_sf@example.com"}}),
          .phones = entries({{"work", "777-777-7777"}}),
          .hasFullImage = true}},
        {"John_Doe_ANDROID.vcf",
         {.id = "John_Doe_ANDROID#1", .emails = entries({{"", "john.doe@company.com"}})}},
        {"John_Doe_ANDROID.vcf",
         {.id = "John_Doe_ANDROID#2", .emails = entries({{"", "jane.doe@company.com"}})}},
        {"John_Doe_ANDROID.vcf",
         {.id = "John_Doe_ANDROID#3",
          .familyName = repeated("Ñ ", 4),
          .phones = entries({{"mobile", "123456789"}})}},
        {"John_Doe_ANDROID.vcf",
         {.id = "John_Doe_ANDROID#4",
          .familyName = repeated("Ñ ", 10) + n,
          .phones = entries(
              {{"mobile", "123456"}, {"home", "234567"}, {"mobile", "3456789"}, {"home", "45678901"}})}},
        {"John_Doe_ANDROID.vcf",
         {.id = "John_Doe_ANDROID#5",
          .givenName = repeated("Ñ ", 3),
          .familyName = repeated("Ñ ", 2),
          .organization = repeated("Ñ", 12),
          .emails = entries({{"work", "bob@company.com"}}) + QList{LabeledValue{"", repeated("Ñ", 14)}},
          .phones = entries({{"mobile", "123456"}, {"work", "123456"}, {"work fax", "123456"}})}},
        {"John_Doe_ANDROID.vcf",
         {.id = "John_Doe_ANDROID#6",
          .familyName = repeated("Ñ", 4),
          .organization = repeated("Ñ", 44),
          .emails = entries({{"", "henry@company.com"}}),
          .phones = entries({{"mobile", "55556666"}})}},
        {"John_Doe_BLACK_BERRY.vcf",
         {.id = "John_Doe_BLACK_BERRY",
          .givenName = "john",
          .familyName = "Doe",
          .organization = "Acme Solutions",
          .phones = entries({{"mobile", "+96123456789"}}),
          .hasFullImage = true}},
        {"John_Doe_EVOLUTION.vcf",
         {.id = "477343c8e6bf375a9bac1f96a5000837",
          .givenName = "John",
          .familyName = "Doe",
          .nickname = "Johny",
          .organization = "IBM",
          .jobTitle = "Money Counter",
          .emails = entries({{"work", "john.doe@ibm.com"}}),
          .phones = entries({{"mobile", "905-666-1234"}, {"work", "905-555-1234"}}),
          .birthday = ymd(1980, 3, 22)}},
        {"John_Doe_GMAIL.vcf",
         {.id = "John_Doe_GMAIL",
          .givenName = "John",
          .familyName = "Doe",
          .organization = "IBM",
          .jobTitle = "Money Counter",
          .emails = entries({{"home", "john.doe@ibm.com"}}),
          .phones = entries({{"mobile", "905-555-1234"}, {"home", "905-666-1234"}}),
          .birthday = ymd(1980, 3, 22)}},
        {"John_Doe_IPHONE.vcf",
         {.id = "John_Doe_IPHONE",
          .givenName = "John",
          .familyName = "Doe",
          .nickname = "Johny",
          .organization = "IBM",
          .jobTitle = "Money Counter",
          .emails = entries({{"", "john.doe@ibm.com"}}),
          .phones = entries({{"mobile", "905-555-1234"},
                             {"home", "905-666-1234"},
                             {"work", "905-777-1234"},
                             {"home fax", "905-888-1234"},
                             {"work fax", "905-999-1234"},
                             {"pager", "905-111-1234"},
                             {"assistant", "905-222-1234"}}),
          .birthday = ymd(2012, 6, 6),
          .hasFullImage = true}},
        {"John_Doe_LOTUS_NOTES.vcf",
         {.id = "0e7602cc-443e-4b82-b4b1-90f62f99a199",
          .givenName = "John",
          .familyName = "Doe",
          .nickname = "Johny,JayJay",
          .organization = "IBM",
          .jobTitle = "Generic Accountant",
          .emails = entries({{"work", "john.doe@ibm.com"}, {"work", "billy_bob@gmail.com"}}),
          .phones = entries({{"mobile", "+1 (212) 204-34456"}, {"work fax", "00-1-212-555-7777"}}),
          .birthday = ymd(1980, 5, 21),
          .hasFullImage = true}},
        {"John_Doe_MAC_ADDRESS_BOOK.vcf",
         {.id = "John_Doe_MAC_ADDRESS_BOOK",
          .givenName = "John",
          .familyName = "Doe",
          .nickname = "Johny",
          .organization = "IBM",
          .jobTitle = "Money Counter",
          .emails = entries({{"work", "john.doe@ibm.com"}}),
          .phones = entries({{"work", "905-777-1234"},
                             {"home", "905-666-1234"},
                             {"mobile", "905-555-1234"},
                             {"home fax", "905-888-1234"},
                             {"work fax", "905-999-1234"},
                             {"pager", "905-111-1234"},
                             {"AssistantPhone", "905-222-1234"}}),
          .birthday = ymd(2012, 6, 6),
          .hasFullImage = true}},
        {"John_Doe_MS_OUTLOOK.vcf",
         {.id = "John_Doe_MS_OUTLOOK",
          .givenName = "John",
          .familyName = "Doe",
          .nickname = "Johny",
          .organization = "IBM",
          .jobTitle = "Money Counter",
          .emails = entries({{"", "john.doe@ibm.cm"}}),
          .phones = entries({{"work", "(905) 555-1234"}, {"home", "(905) 666-1234"}}),
          .birthday = ymd(1980, 3, 22),
          .hasFullImage = true}},
        // Written by a Nextcloud server: no N, upper-case groups, escaped separators in a number.
        {"escape_semicolon.vcf",
         {.id = "ad612c16-fe12-4ec5-abf6-49998ee5ab88",
          .givenName = "First Last",
          .familyName = "NextCloud",
          .nickname = "Hugo",
          .organization = "Firma",
          .emails = entries({{"home", "home@gmx.de"}, {"work", "work@gmx.de"}}),
          .phones = entries(
              {{"home", "11111111"}, {"mobile", "205333"}, {"work fax", "205246;;,;"}, {"work", "222222"}}),
          .birthday = ymd(2019, 2, 10)}},
        {"fullcontact.vcf",
         {.id = "fullcontact",
          .givenName = "FirstName",
          .familyName = "LastName",
          .nickname = "NickName",
          .organization = "Organization1",
          .jobTitle = "Title1",
          .emails = entries({{"home", "home@example.com"},
                             {"work", "work@example.com"},
                             {"school", "school@example.com"},
                             {"other", "other@example.com"},
                             {"customtype", "custom@example.com"}}),
          .phones = entries({{"home", "555-555-1111"},
                             {"work", "555-555-1112"},
                             {"mobile", "555-555-1113"},
                             {"mobile", "555-555-1114"},
                             {"", "555-555-1115"},
                             {"home fax", "555-555-1116"},
                             {"work fax", "555-555-1117"},
                             {"", "555-555-1118"},
                             {"", "555-555-1119"}}),
          .birthday = ymd(2016, 8, 1)}},
        {"gmail-list.vcf",
         {.id = "gmail-list#1",
          .givenName = "Arnold",
          .familyName = "Smith",
          .emails = entries({{"", "asmithk@gmail.com"}})}},
        {"gmail-list.vcf",
         {.id = "gmail-list#2",
          .givenName = "Chris",
          .familyName = "Beatle",
          .emails = entries({{"", "chrisy55d@yahoo.com"}})}},
        {"gmail-list.vcf",
         {.id = "gmail-list#3",
          .givenName = "Doug",
          .familyName = "White",
          .emails = entries({{"", "dwhite@gmail.com"}})}},
        {"gmail-single.vcf",
         {.id = "gmail-single",
          .givenName = "Greg",
          .familyName = "Dartmouth",
          .nickname = "Gman",
          .organization = "TheCompany",
          .jobTitle = "TheJobTitle",
          .emails = entries({{"", "gdartmouth@hotmail.com"}}),
          .phones = entries({{"mobile", "555 555 1111"}, {"GRAND_CENTRAL", "555 555 2222"}}),
          .birthday = ymd(1960, 9, 10)}},
        {"gmail-single2.vcf",
         {.id = "gmail-single2",
          .givenName = "VCard",
          .familyName = "Test",
          .nickname = "TheNickname",
          .organization = "TheCompany",
          .jobTitle = "TheJobTitle",
          .emails = entries({{"", "email@example.com"},
                             {"home", "homeemail@example.com"},
                             {"work", "workemail@example.com"},
                             {"", "otheremail@example.com"},
                             {"CustomEmailCategory", "customcategory@example.com"}}),
          .phones = entries({{"", "5555551111"},
                             {"home", "5555551112"},
                             {"work", "5555551113"},
                             {"", "5555551114"},
                             {"mobile", "5555551115"},
                             {"main", "5555551116"},
                             {"home fax", "5555551117"},
                             {"work fax", "5555551118"},
                             {"GRAND_CENTRAL", "5555551119"},
                             {"pager", "5555551120"},
                             {"CustomePhoneCategory", "5555551121"}}),
          .birthday = ymd(1912, 6, 23)}},
        {"issue114.vcf",
         {.id = "8b574c60-fd7f-4e99-b584-c5db131ae687",
          .givenName = "Dummy",
          .familyName = "Dummy",
          .organization = "Dummy GmbH",
          .emails = entries({{"home", "dummy.dummy@dummy.com"}}),
          .phones = entries({{"mobile", "+49 1234 56789"}, {"work", "+49 9876 54321"}})}},
        {"outlook-2003.vcf",
         {.id = "outlook-2003",
          .givenName = "John",
          .familyName = "Doe",
          .nickname = "Joey",
          .organization = "Company, The",
          .jobTitle = "The Job Title",
          .emails = entries({{"", "jdoe@hotmail.com"}}),
          .phones = entries({{"work", "BusinessPhone"},
                             {"home", "HomePhone"},
                             {"mobile", "MobilePhone"},
                             {"work fax", "BusinessFaxPhone"}}),
          .birthday = ymd(1980, 3, 21)}},
        {"outlook-2007.vcf",
         {.id = "outlook-2007",
          .givenName = "Michael",
          .familyName = "Angstadt",
          .nickname = "Mike",
          .organization = "TheCompany",
          .jobTitle = "TheJobTitle",
          .emails = entries({{"", "mike.angstadt@gmail.com"}}),
          .phones = entries({{"work", "(111) 555-1111"},
                             {"home", "(111) 555-2222"},
                             {"mobile", "(111) 555-4444"},
                             {"work fax", "(111) 555-3333"}}),
          .birthday = ymd(1922, 3, 10),
          .hasFullImage = true}},
        {"rfc2426-example.vcf",
         {.id = "rfc2426-example#1",
          .givenName = "Frank",
          .familyName = "Dawson",
          .organization = "Lotus Development Corporation",
          .emails = entries({{"", "Frank_Dawson@Lotus.com"}, {"", "fdawson@earthlink.net"}}),
          .phones = entries({{"work", "+1-919-676-9515"}, {"work fax", "+1-919-676-9564"}})}},
        {"rfc2426-example.vcf",
         {.id = "rfc2426-example#2",
          .givenName = "Tim",
          .familyName = "Howes",
          .organization = "Netscape Communications Corp.",
          .emails = entries({{"", "howes@netscape.com"}}),
          .phones = entries({{"work", "+1-415-937-3419"}, {"work fax", "+1-415-528-4164"}})}},
        {"rfc6350-example.vcf",
         {.id = "rfc6350-example",
          .givenName = "Simon",
          .familyName = "Perreault",
          .organization = "Viagenie",
          .emails = entries({{"work", "simon.perreault@viagenie.ca"}}),
          .phones = entries({{"work", "+1-418-656-9254 ext. 102"}, {"mobile", "+1-418-262-6501"}}),
          .birthday = DateComponents{std::nullopt, 2, 3}}},
        {"thunderbird-MoreFunctionsForAddressBook-extension.vcf",
         {.id = "thunderbird-MoreFunctionsForAddressBook-extension",
          .givenName = "John",
          .familyName = "Doe",
          .nickname = "Johnny",
          .organization = "TheOrganization",
          .jobTitle = "TheTitle",
          .emails = entries({{"", "doe.john@hotmail.com"},
                             {"", "additional-email@company.com"},
                             {"", "additional-email1@company.com"},
                             {"", "additional-email2@company.com"},
                             {"", "additional-email3@company.com"}}),
          .phones = entries({{"work", "555-555-1111"},
                             {"home", "555-555-2222"},
                             {"mobile", "555-555-5555"},
                             {"fax", "555-555-3333"},
                             {"pager", "555-555-4444"}}),
          .birthday = ymd(1970, 9, 21),
          .hasFullImage = true}},
        // Shift_JIS from a Japanese phone: "能" and "予" end in the byte of a backslash.
        // Android's vCard 2.1 test card: quoted-printable with soft breaks, an escaped semicolon in
        // ORG, and base64 running on over unindented lines.
        {"v21_complicated.vcf",
         {.id = "v21_complicated",
          .givenName = "Forrest",
          .familyName = "Gump",
          .organization = "Gump Shrimp Co.",
          .jobTitle = "Shrimp Man",
          .emails = entries({{"", "forrestgump@walladalla.com"}, {"cell", "cell@example.com"}}),
          .phones = entries({{"work", "(111) 555-1212"},
                             {"home", "(404) 555-1212"},
                             {"mobile", "0311111111"},
                             {"video", "0322222222"},
                             {"", "0333333333"}}),
          .birthday = ymd(1980, 1, 1),
          .hasFullImage = true}},
        {"v21_japanese_3.vcf", {.id = "v21_japanese_3", .givenName = "圭一", .familyName = "伊能"}},
        // iOS 6.1.3: every line ends in CR CR LF.
        {"v30_ios_613_multiline.vcf",
         {.id = "v30_ios_613_multiline",
          .givenName = "Bob",
          .familyName = "Smith",
          .organization = "Smith Auto Repair",
          .emails = entries({{"", "bob@smithauto.com"}}),
          .phones = entries({{"mobile", "(650) 555-1212"}}),
          .hasFullImage = true}},
        // XING's export: vCard 2.1 in ISO-8859-1, a photo that is only a link.
        {"xing.vcf",
         {.id = "XING-UID-XXXXXXXX",
          .givenName = "Hans-Peter",
          .familyName = "Mustermann",
          .organization = "Example GmbH",
          .jobTitle = "CTO"}},
    };
}

QList<Person> peopleOf(const QString& name, VCard::Photos photos = VCard::Photos::Thumbnail) {
    const VCard::Document document = VCard::parse(readCorpus(name));
    QList<Person> people;
    for (const VCard::Card& card : document.cards)
        people.append(VCard::toPerson(
            card, VCard::identifier(card, QFileInfo(name).completeBaseName(), document.cardCount), photos));
    return people;
}

// The properties named `names` of the card at `index`, as byte ranges of the file.
QList<QPair<qsizetype, qsizetype>> rangesOf(const QByteArray& bytes, qsizetype index, QByteArrayList names) {
    const VCard::Document document = VCard::parse(bytes);
    QList<QPair<qsizetype, qsizetype>> ranges;
    for (const VCard::Property& property : document.cards.at(index).properties) {
        if (names.contains(property.name))
            ranges.append({property.begin, property.end});
    }
    return ranges;
}

QByteArray without(QByteArray bytes, QList<QPair<qsizetype, qsizetype>> ranges) {
    std::sort(ranges.begin(), ranges.end());
    for (auto it = ranges.crbegin(); it != ranges.crend(); ++it)
        bytes.remove(it->first, it->second - it->first);
    return bytes;
}

// The text of a property line without its group, as the file has it.
QByteArray nameOfLine(QByteArrayView line) {
    QByteArray name;
    for (char c : line) {
        if (c == ';' || c == ':')
            break;
        name += c;
    }
    const qsizetype dot = name.indexOf('.');
    return (dot >= 0 ? name.mid(dot + 1) : name).toUpper();
}

// A column of the current row, as QFETCH gives it.
template <class T> T fetched(const char* column) {
    return *static_cast<T*>(QTest::qData(column, qMetaTypeId<T>()));
}

// One card of a corpus file, named by the row of `cards_data`, as an edit starts from it.
struct CardOfRow {
    const VCard::Card& card() const { return document.cards.at(index); }
    static Person personAt(const VCard::Document& document, qsizetype index) {
        return VCard::toPerson(document.cards.at(index), u"x"_qs, VCard::Photos::Skip);
    }
    qsizetype index = fetched<qsizetype>("index");
    QByteArray before = readCorpus(fetched<QString>("file"));
    VCard::Document document = VCard::parse(before);
    Person old = personAt(document, index);
};

} // namespace

class TestVCardCorpus : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyFileHasHandWrittenExpectations() {
        QSet<QString> expected;
        for (const Expected& row : expectations())
            expected.insert(QString::fromUtf8(row.file));
        const QStringList files = corpusFiles();
        QVERIFY2(files.size() >= 18, qPrintable(corpusFolder()));
        QCOMPARE(expected, QSet<QString>(files.cbegin(), files.cend()));
    }

    void everyCardOfTheFileIsRead_data() {
        QTest::addColumn<QString>("file");
        for (const QString& file : corpusFiles())
            QTest::newRow(qPrintable(file)) << file;
    }
    void everyCardOfTheFileIsRead() {
        QFETCH(QString, file);
        const VCard::Document document = VCard::parse(readCorpus(file));
        QVERIFY2(document.problems.isEmpty(), qPrintable(document.problems.join(u"; ")));
        QCOMPARE(document.cards.size(), document.cardCount);
        QStringList expectedIds;
        for (const Expected& row : expectations()) {
            if (QString::fromUtf8(row.file) == file)
                expectedIds.append(row.person.id);
        }
        QStringList ids;
        for (const Person& person : peopleOf(file))
            ids.append(person.id);
        QCOMPARE(ids, expectedIds);
    }

    void yieldsWhatTheFileMeans_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Person>("expected");
        for (const Expected& row : expectations())
            QTest::newRow(qPrintable(row.person.id)) << QString::fromUtf8(row.file) << row.person;
    }
    void yieldsWhatTheFileMeans() {
        QFETCH(QString, file);
        QFETCH(Person, expected);
        const QList<Person> people = peopleOf(file);
        const auto found = std::find_if(people.cbegin(), people.cend(),
                                        [&](const Person& person) { return person.id == expected.id; });
        QVERIFY(found != people.cend());
        QCOMPARE(found->givenName, expected.givenName);
        QCOMPARE(found->familyName, expected.familyName);
        QCOMPARE(found->nickname, expected.nickname);
        QCOMPARE(found->organization, expected.organization);
        QCOMPARE(found->jobTitle, expected.jobTitle);
        QCOMPARE(found->emails, expected.emails);
        QCOMPARE(found->phones, expected.phones);
        QCOMPARE(found->birthday, expected.birthday);
        QCOMPARE(found->hasFullImage, expected.hasFullImage);
        QCOMPARE(found->thumbnail.has_value(), expected.hasFullImage);
    }

    void cards_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qsizetype>("index");
        for (const QString& file : corpusFiles()) {
            const VCard::Document document = VCard::parse(readCorpus(file));
            for (qsizetype i = 0; i < document.cards.size(); ++i)
                QTest::addRow("%s#%lld", qPrintable(file), qlonglong(i + 1)) << file << i;
        }
    }

    void nameUpdateChangesOnlyTheNameLines_data() { cards_data(); }
    void nameUpdateChangesOnlyTheNameLines() {
        const CardOfRow at;
        const auto& [index, before, document, old] = at;

        ContactDraft draft{.givenName = u"Zoë"_qs,
                           .familyName = u"Ångström; Smith"_qs,
                           .nickname = old.nickname,
                           .organization = old.organization.value_or(QString()),
                           .jobTitle = old.jobTitle.value_or(QString())};
        // Values stored with stray blanks would be trimmed by any edit: keep them out of this one.
        const Person trimmed = ContactDraftRules::apply(old, draft);
        if (trimmed.nickname != old.nickname || trimmed.organization != old.organization ||
            trimmed.jobTitle != old.jobTitle)
            QSKIP("the card's values carry blanks an edit would trim");
        const QByteArray after = VCard::applyDraft(before, at.card(), draft);
        QVERIFY(after != before);

        // Every byte outside N and FN is as it was.
        const QByteArrayList nameProperties = {"N", "FN"};
        const auto oldRanges = rangesOf(before, index, nameProperties);
        const auto newRanges = rangesOf(after, index, nameProperties);
        QCOMPARE(without(after, newRanges), without(before, oldRanges));
        for (const auto& [begin, end] : oldRanges)
            QVERIFY(nameProperties.contains(nameOfLine(QByteArrayView(before).sliced(begin, end - begin))));
        for (const auto& [begin, end] : newRanges)
            QVERIFY(nameProperties.contains(nameOfLine(QByteArrayView(after).sliced(begin, end - begin))));

        // The card now holds the new name and nothing else changed.
        const VCard::Document reread = VCard::parse(after);
        QCOMPARE(reread.cards.size(), document.cards.size());
        Person expected = old;
        expected.givenName = draft.givenName;
        expected.familyName = draft.familyName;
        QCOMPARE(CardOfRow::personAt(reread, index), expected);
        const VCard::Property* fn = reread.cards.at(index).first("FN");
        QVERIFY(fn);
        QVERIFY(VCard::text(reread.cards.at(index), *fn).contains(u"Zoë"));
    }

    // Filling in every field, and clearing the birthday, give what the shared rules say and leave
    // the other cards of the file as they were.
    void editsFollowTheSharedRules_data() { cards_data(); }
    void editsFollowTheSharedRules() {
        const CardOfRow at;
        const ContactDraft full{.givenName = u" Ada "_qs,
                                .familyName = u"Lovelace"_qs,
                                .nickname = u"Countess, of Lovelace"_qs,
                                .organization = u"Analytical Engines; Ltd"_qs,
                                .jobTitle = u"Programmer\nfirst of all"_qs,
                                .email = u"ada@example.org"_qs,
                                .phone = u"+44 20 7946 0000"_qs,
                                .birthday = DateComponents{1815, 12, 10}};
        const ContactDraft clearing{
            .givenName = at.old.givenName, .familyName = at.old.familyName, .clearBirthday = true};
        for (const ContactDraft& draft : {full, clearing}) {
            const VCard::Document reread = VCard::parse(VCard::applyDraft(at.before, at.card(), draft));
            QCOMPARE(reread.cards.size(), at.document.cards.size());
            for (qsizetype i = 0; i < reread.cards.size(); ++i)
                QCOMPARE(CardOfRow::personAt(reread, i), i == at.index
                                                             ? ContactDraftRules::apply(at.old, draft)
                                                             : CardOfRow::personAt(at.document, i));
        }
    }

    void unchangedDraftLeavesTheFileAlone_data() { cards_data(); }
    void unchangedDraftLeavesTheFileAlone() {
        const CardOfRow at;
        const auto& [index, before, document, old] = at;
        const ContactDraft draft{.givenName = old.givenName,
                                 .familyName = old.familyName,
                                 .nickname = old.nickname,
                                 .organization = old.organization.value_or(QString()),
                                 .jobTitle = old.jobTitle.value_or(QString())};
        if (ContactDraftRules::apply(old, draft) != old)
            QSKIP("the card's values carry blanks an edit would trim");
        QCOMPARE(VCard::applyDraft(before, at.card(), draft), before);
    }
};

QTEST_GUILESS_MAIN(TestVCardCorpus)
#include "TestVCardCorpus.moc"
