// Derived values of the records: names, initials, headline, emptiness, where a message goes.
#include "Records/Profile.h"
#include "Records/WritableField.h"

#include <QTest>
#include <functional>

Q_DECLARE_METATYPE(std::optional<QString>)

using namespace pemmo;

namespace {

std::optional<QString> opt(const char* text) {
    if (!text)
        return std::nullopt;
    return QString::fromUtf8(text);
}

} // namespace

class TestRecordModel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void namesAndInitials_data() {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("family");
        QTest::addColumn<QString>("organization"); // null: absent
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("initials");
        QTest::newRow("both names") << u" ada "_qs << u"lovelace\n"_qs << u"Acme"_qs << u"ada lovelace"_qs
                                    << u"AL"_qs;
        QTest::newRow("given only") << u"  zoë"_qs << u"  "_qs << QString() << u"zoë"_qs << u"ZO"_qs;
        QTest::newRow("family only") << QString() << u"øst"_qs << QString() << u"øst"_qs << u"ØS"_qs;
        QTest::newRow("organisation trimmed")
            << u" \t"_qs << u"\n"_qs << u"  acme  "_qs << u"acme"_qs << u"A"_qs;
        QTest::newRow("blank everything") << u" "_qs << u" "_qs << QString() << u"Unnamed"_qs << u"?"_qs;
        QTest::newRow("blank organisation")
            << QString() << QString() << u"   "_qs << u"Unnamed"_qs << u"?"_qs;
        // One user-perceived character may be several code units.
        QTest::newRow("combining mark")
            << u"e\u0301mile"_qs << u"zola"_qs << QString() << u"e\u0301mile zola"_qs << u"E\u0301Z"_qs;
        QTest::newRow("emoji flag") << u"🇨🇭x"_qs << QString() << QString() << u"🇨🇭x"_qs << u"🇨🇭X"_qs;
        QTest::newRow("family emoji") << u"👨‍👩‍👧"_qs << u"b"_qs << QString()
                                      << u"👨‍👩‍👧 b"_qs << u"👨‍👩‍👧B"_qs;
    }

    void namesAndInitials() {
        QFETCH(QString, given);
        QFETCH(QString, family);
        QFETCH(QString, organization);
        QFETCH(QString, name);
        QFETCH(QString, initials);
        Person p;
        p.givenName = given;
        p.familyName = family;
        p.nickname = u"Nick"_qs; // never used
        if (!organization.isNull())
            p.organization = organization;
        QCOMPARE(p.displayName(), name);
        QCOMPARE(p.initials(), initials);
    }

    void headline_data() {
        QTest::addColumn<std::optional<QString>>("recordTitle");
        QTest::addColumn<std::optional<QString>>("recordCompany");
        QTest::addColumn<std::optional<QString>>("personTitle");
        QTest::addColumn<std::optional<QString>>("personOrg");
        QTest::addColumn<std::optional<QString>>("expected");
        QTest::newRow("both from record")
            << opt("Engineer") << opt("Acme") << opt("CTO") << opt("Initech") << opt("Engineer @ Acme");
        QTest::newRow("company only")
            << opt(nullptr) << opt("Acme") << opt(nullptr) << opt(nullptr) << opt("Acme");
        QTest::newRow("blank record falls back")
            << opt("  ") << opt("\n") << opt("CTO") << opt("Initech") << opt("CTO @ Initech");
        QTest::newRow("role kept untrimmed")
            << opt(" Chef ") << opt(nullptr) << opt(nullptr) << opt(" ") << opt(" Chef ");
        QTest::newRow("nothing") << opt(nullptr) << opt("") << opt(nullptr) << opt("") << opt(nullptr);
    }

    void headline() {
        QFETCH(std::optional<QString>, recordTitle);
        QFETCH(std::optional<QString>, recordCompany);
        QFETCH(std::optional<QString>, personTitle);
        QFETCH(std::optional<QString>, personOrg);
        QFETCH(std::optional<QString>, expected);
        Profile profile;
        profile.record.edit().details.jobTitle = recordTitle;
        profile.record.edit().details.company = recordCompany;
        profile.person.edit().jobTitle = personTitle;
        profile.person.edit().organization = personOrg;
        QCOMPARE(profile.headline(), expected);
    }

    void isEmptyIgnoresLogOptOutAndBriefing() {
        PemmoRecord r = PemmoRecord::fresh(QDateTime::currentDateTimeUtc());
        r.changes.append(FieldChange{QUuid::createUuid(), r.updatedAt, u"company"_qs, {}, {}, {}});
        r.aiCloudOptOut = true;
        r.briefingCache = BriefingCache{};
        r.about = u" \n\t "_qs;
        QVERIFY(r.isEmpty());
    }

    void isEmptyFalseForAnyUserContent() {
        const std::pair<const char*, std::function<void(PemmoRecord&)>> contents[] = {
            {"tags", [](PemmoRecord& r) { r.tags = {u"x"_qs}; }},
            {"links", [](PemmoRecord& r) { r.links = {QuickLink{}}; }},
            {"interactions", [](PemmoRecord& r) { r.interactions = {Interaction{}}; }},
            {"a detail present, even if empty", [](PemmoRecord& r) { r.details.mutuals = u""_qs; }},
            {"birthday", [](PemmoRecord& r) { r.birthday = DateComponents{}; }},
            {"message handle", [](PemmoRecord& r) { r.messageHandle = u"x"_qs; }},
            {"find-my address", [](PemmoRecord& r) { r.findMyURL = u"x"_qs; }},
            {"mail template", [](PemmoRecord& r) { r.gmailTemplate = u"x"_qs; }},
            {"about", [](PemmoRecord& r) { r.about = u"x"_qs; }},
        };
        for (const auto& [name, add] : contents) {
            PemmoRecord r;
            add(r);
            QVERIFY2(!r.isEmpty(), name);
        }
    }

    void eventHashesDropDuplicatesKeepingFirst() {
        Interaction entry;
        QCOMPARE(entry.eventHashes(), QStringList());
        entry.calendarEventAliases = QStringList{u"b"_qs, u"a"_qs, u"b"_qs};
        QCOMPARE(entry.eventHashes(), QStringList({u"b"_qs, u"a"_qs}));
        entry.calendarEventHash = u"a"_qs;
        QCOMPARE(entry.eventHashes(), QStringList({u"a"_qs, u"b"_qs}));
    }

    void writableFieldsByName() {
        const QList<WritableField>& all = WritableFields::all();
        for (WritableField field : all)
            QCOMPARE(WritableFields::fromName(WritableFields::name(field)), field);
        QCOMPARE(WritableFields::fromName(u"about"), std::nullopt);

        PemmoRecord r;
        WritableFields::slot(r, WritableField::Team) = u"Platform"_qs;
        WritableFields::slot(r, WritableField::FindMyURL) = u"https://example.org"_qs;
        QCOMPARE(r.details.team, u"Platform"_qs);
        QCOMPARE(r.findMyURL, u"https://example.org"_qs);
    }

    void whereAMessageGoes_data() {
        QTest::addColumn<std::optional<QString>>("handle");
        QTest::addColumn<QStringList>("phones");
        QTest::addColumn<QStringList>("emails");
        QTest::addColumn<std::optional<QString>>("expected");
        const QStringList none;
        QTest::newRow("the handle, as stored")
            << std::optional<QString>(u" @anna "_qs) << QStringList{u"+1 555"_qs} << none
            << std::optional<QString>(u" @anna "_qs);
        QTest::newRow("a blank handle falls back to the first phone")
            << std::optional<QString>(u"  "_qs) << QStringList{u" "_qs, u"+1 555"_qs}
            << QStringList{u"a@b.c"_qs} << std::optional<QString>(u"+1 555"_qs);
        QTest::newRow("then to the first e-mail")
            << std::optional<QString>() << none << QStringList{u""_qs, u"a@b.c"_qs}
            << std::optional<QString>(u"a@b.c"_qs);
        QTest::newRow("nothing") << std::optional<QString>() << QStringList{u" "_qs} << none
                                 << std::optional<QString>();
    }
    void whereAMessageGoes() {
        QFETCH(std::optional<QString>, handle);
        QFETCH(QStringList, phones);
        QFETCH(QStringList, emails);
        QFETCH(std::optional<QString>, expected);
        Profile profile;
        for (const QString& p : phones)
            profile.person.edit().phones.append({u"mobile"_qs, p});
        for (const QString& e : emails)
            profile.person.edit().emails.append({u"home"_qs, e});
        profile.record.edit().messageHandle = handle;
        QCOMPARE(profile.messageHandle(), expected);
    }
};

QTEST_GUILESS_MAIN(TestRecordModel)
#include "TestRecordModel.moc"
