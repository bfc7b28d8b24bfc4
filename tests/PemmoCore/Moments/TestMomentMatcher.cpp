// Who the other participant is: normalisation, merging of participants listed twice, and the
// match against the address book.
#include "Moments/MomentMatcher.h"
#include "TestSupport/People.h"

#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(QList<pemmo::CalendarAttendee>)

namespace {

using Kind = CalendarAttendee::Kind;

CalendarAttendee attendee(const QString& email, const QString& name = {}, Kind kind = Kind::Person,
                          bool self = false, bool declined = false) {
    return {email, name, self, declined, kind};
}

Profile profile(const QString& id, const QString& given, const QString& family,
                const QStringList& emails = {}, const QString& organization = {}) {
    Profile p;
    p.person = test::person(id, given, family);
    for (const QString& email : emails)
        p.person.edit().emails.append({u"home"_qs, email});
    if (!organization.isEmpty())
        p.person.edit().organization = organization;
    return p;
}

} // namespace

class TestMomentMatcher : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalizedEmail_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("case and spaces") << u"  Ada@Example.COM\n"_qs << u"ada@example.com"_qs;
        QTest::newRow("mailto") << u"MAILTO:ada@example.com"_qs << u"ada@example.com"_qs;
        QTest::newRow("only one mailto goes") << u"mailto:mailto:a@b"_qs << u"mailto:a@b"_qs;
        QTest::newRow("empty") << u"   "_qs << QString();
    }
    void normalizedEmail() {
        QFETCH(QString, text);
        QFETCH(QString, normalized);
        QCOMPARE(MomentMatcher::normalizedEmail(text), normalized);
    }

    void normalizedName_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("normalized");
        QTest::newRow("spaces and case") << u"  ada   LOVELACE "_qs << u"ada lovelace"_qs;
        QTest::newRow("accents are kept") << u"Zoë Ündine"_qs << u"zoë ündine"_qs;
        QTest::newRow("full width") << u"ＡＤＡ\u3000Ｌｏｖｅｌａｃｅ"_qs << u"ada lovelace"_qs;
        QTest::newRow("tabs and line breaks") << u"Ada\t\nLovelace"_qs << u"ada lovelace"_qs;
        QTest::newRow("sharp s folds") << u"STRAẞE"_qs << u"strasse"_qs;
        QTest::newRow("empty") << u" \t "_qs << QString();
    }
    void normalizedName() {
        QFETCH(QString, text);
        QFETCH(QString, normalized);
        QCOMPARE(MomentMatcher::normalizedName(text), normalized);
    }

    void mergedAttendees_data() {
        QTest::addColumn<QList<CalendarAttendee>>("attendees");
        QTest::addColumn<QList<CalendarAttendee>>("merged");
        QTest::newRow("nothing to merge") << QList{attendee(u"a@x"_qs), attendee(u"b@x"_qs)}
                                          << QList{attendee(u"a@x"_qs), attendee(u"b@x"_qs)};
        QTest::newRow("same address: flags joined, first name kept, person wins")
            << QList{attendee(u"A@x"_qs, u"Ada"_qs, Kind::Resource),
                     attendee(u"mailto:a@x"_qs, u"Other"_qs, Kind::Person, true, true)}
            << QList{attendee(u"A@x"_qs, u"Ada"_qs, Kind::Person, true, true)};
        QTest::newRow("a missing name is taken from the later entry")
            << QList{attendee(u"a@x"_qs), attendee(u"a@x"_qs, u"Ada"_qs)}
            << QList{attendee(u"a@x"_qs, u"Ada"_qs)};
        QTest::newRow("group over unknown over resource")
            << QList{attendee(u"a@x"_qs, {}, Kind::Resource), attendee(u"a@x"_qs, {}, Kind::Unknown),
                     attendee(u"b@x"_qs, {}, Kind::Unknown), attendee(u"b@x"_qs, {}, Kind::Group)}
            << QList{attendee(u"a@x"_qs, {}, Kind::Unknown), attendee(u"b@x"_qs, {}, Kind::Group)};
        QTest::newRow("a name alone folds into its one addressed namesake")
            << QList{attendee({}, u"ADA  lovelace"_qs, Kind::Person, true),
                     attendee(u"a@x"_qs, u"Ada Lovelace"_qs)}
            << QList{attendee(u"a@x"_qs, u"Ada Lovelace"_qs, Kind::Person, true)};
        QTest::newRow("a name alone with two namesakes stays")
            << QList{attendee({}, u"Ada"_qs), attendee(u"a@x"_qs, u"Ada"_qs), attendee(u"b@x"_qs, u"Ada"_qs)}
            << QList{attendee({}, u"Ada"_qs), attendee(u"a@x"_qs, u"Ada"_qs), attendee(u"b@x"_qs, u"Ada"_qs)};
        QTest::newRow("no name, no address: kept")
            << QList{attendee({}), attendee({})} << QList{attendee({}), attendee({})};
    }
    void mergedAttendees() {
        QFETCH(QList<CalendarAttendee>, attendees);
        QFETCH(QList<CalendarAttendee>, merged);
        QCOMPARE(MomentMatcher::mergedAttendees(attendees), merged);
    }

    void match_data() {
        QTest::addColumn<CalendarAttendee>("attendee");
        QTest::addColumn<QString>("known");
        QTest::addColumn<QString>("match");
        QTest::newRow("by address") << attendee(u"ADA@example.com"_qs) << QString() << u"ada"_qs;
        QTest::newRow("two contacts share the address: no match, not even by name")
            << attendee(u"shared@example.com"_qs, u"Alan Turing"_qs) << QString() << QString();
        QTest::newRow("by name") << attendee({}, u"  grace   HOPPER"_qs) << QString() << u"grace"_qs;
        QTest::newRow("unknown address falls back to the name")
            << attendee(u"new@example.com"_qs, u"Grace Hopper"_qs) << QString() << u"grace"_qs;
        QTest::newRow("known address") << attendee(u"old@example.com"_qs) << u"grace"_qs << u"grace"_qs;
        QTest::newRow("known address of a contact without names")
            << attendee(u"old@example.com"_qs) << u"acme"_qs << QString();
        QTest::newRow("a name two contacts have") << attendee({}, u"Sam Lee"_qs) << QString() << QString();
        QTest::newRow("address with a mailto and capitals in the book")
            << attendee(u"turing@example.com"_qs) << QString() << u"alan3"_qs;
        QTest::newRow("accented address") << attendee(u"ZOË@example.com"_qs) << QString() << u"zoe"_qs;
        QTest::newRow("name beyond ASCII") << attendee({}, u"jürgen müller"_qs) << QString() << u"jm"_qs;
        QTest::newRow("a company is no one to meet")
            << attendee(u"info@acme.example"_qs, u"Acme"_qs) << QString() << QString();
        QTest::newRow("nothing to go on") << attendee({}) << QString() << QString();
    }
    void match() {
        QFETCH(CalendarAttendee, attendee);
        QFETCH(QString, known);
        QFETCH(QString, match);
        const QList<Profile> profiles{
            profile(u"ada"_qs, u"Ada"_qs, u"Lovelace"_qs, {u"ada@example.com"_qs}),
            profile(u"alan"_qs, u"Alan"_qs, u"Turing"_qs, {u"shared@example.com"_qs}),
            profile(u"alan2"_qs, u"Alan"_qs, u"Kay"_qs, {u" Shared@Example.com"_qs}),
            profile(u"grace"_qs, u"Grace"_qs, u"Hopper"_qs),
            profile(u"sam1"_qs, u"Sam"_qs, u"Lee"_qs),
            profile(u"sam2"_qs, u"Sam"_qs, u"Lee"_qs),
            profile(u"acme"_qs, {}, {}, {u"info@acme.example"_qs}, u"Acme"_qs),
            profile(u"alan3"_qs, u"Alan"_qs, u"Turing"_qs, {u" MailTo:Turing@Example.COM "_qs}),
            profile(u"zoe"_qs, u"Zoë"_qs, u"Ünder"_qs, {u"zoë@example.com"_qs}),
            profile(u"jm"_qs, u"JÜRGEN"_qs, u"Müller"_qs),
        };
        QHash<QString, QString> knownEmails;
        if (!known.isEmpty())
            knownEmails.insert(u"old@example.com"_qs, known);
        const std::optional<QString> found = MomentMatcher::match(attendee, profiles, knownEmails);
        QCOMPARE(found.value_or(QString()), match);
    }
};

QTEST_GUILESS_MAIN(TestMomentMatcher)
#include "TestMomentMatcher.moc"
