// How Ask shows people to a model: their one line, the memory that bears on the question, which
// people come first, and when the user's own words replace the model's reason.
#include "AI/AskCandidates.h"
#include "TestSupport/People.h"

#include <QTest>
#include <QTimeZone>

using namespace pemmo;

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(9, 0), QTimeZone::utc());

Interaction memory(const QString& text, int daysAgo,
                   Interaction::Source source = Interaction::Source::user()) {
    return {QUuid::createUuid(), kNow.addDays(-daysAgo), Interaction::Kind::Met, text, {}, {}, source};
}

Profile ada() {
    Profile p{test::person(u"a1"_qs, u"Ada"_qs, u"Lovelace"_qs), PemmoRecord::fresh(kNow)};
    p.person.edit().organization = u"Engines"_qs;
    p.record.edit().details.jobTitle = u"Analyst"_qs;
    p.record.edit().details.school = u"Home"_qs;
    p.record.edit().details.graduationYear = u"1833"_qs;
    p.record.edit().details.howWeMet = u"Babbage's salon"_qs;
    p.record.edit().tags = {u"friends"_qs, u"work"_qs};
    return p;
}

} // namespace

class TestAskCandidates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theLineJoinsWhatThereIs_data() {
        QTest::addColumn<Profile>("profile");
        QTest::addColumn<QString>("line");
        QTest::newRow("everything")
            << ada()
            << u"Analyst @ Engines \u00B7 Home \u00B7 Class of 1833 \u00B7 friends, work \u00B7 "
               u"Babbage's salon"_qs;
        Profile bare{test::person(u"b"_qs, u"Bo"_qs), PemmoRecord::fresh(kNow)};
        QTest::newRow("nothing") << bare << QString();
        Profile circles = bare;
        circles.record.edit().tags = {u"family"_qs};
        circles.record.edit().details.howWeMet = u"  "_qs;
        QTest::newRow("circles only") << circles << u"family"_qs;
    }

    void theLineJoinsWhatThereIs() {
        QFETCH(Profile, profile);
        QFETCH(QString, line);
        const CandidateSummary summary = AskCandidates::summarize(profile, u"who knows rust?"_qs);
        QCOMPARE(summary.line, line);
        QCOMPARE(summary.id, profile.id());
        QCOMPARE(summary.name, profile.person->displayName());
    }

    void theNewestMemoryThatSharesAWordWithTheQuestionIsAppended() {
        Profile p = ada();
        p.record.edit().interactions = {
            memory(u"Talked about jazz records"_qs, 10), memory(u"Jazz night at the Blue Note"_qs, 2),
            memory(u"Opened Messages about jazz"_qs, 1, Interaction::Source::automatic()),
            memory(u"Hiking in the Alps"_qs, 0)};
        const QString line = AskCandidates::summarize(p, u"Who likes JAZZ?"_qs).line;
        QVERIFY2(line.endsWith(u" \u00B7 Saved user memories: Jazz night at the Blue Note"_qs),
                 qPrintable(line));
        // Filler words alone ("who", "likes") bring no memory.
        QCOMPARE(AskCandidates::memoryFor(p, u"who likes the"_qs), std::nullopt);
    }

    void aReasonRestingOnTheMemoryBecomesTheUsersOwnWords_data() {
        QTest::addColumn<bool>("memorySent");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("shown");
        QTest::newRow("cites the memory") << true << u"Went to a jazz night with you"_qs
                                          << u"You wrote: \u201CJazz night at the Blue Note\u201D"_qs;
        QTest::newRow("cites the line") << true << u"An analyst at Engines"_qs << u"An analyst at Engines"_qs;
        QTest::newRow("shares only other words")
            << true << u"Blue is her colour"_qs << u"Blue is her colour"_qs;
        QTest::newRow("no memory was sent") << false << u"Plays jazz"_qs << u"Plays jazz"_qs;
    }

    void aReasonRestingOnTheMemoryBecomesTheUsersOwnWords() {
        QFETCH(bool, memorySent);
        QFETCH(QString, reason);
        QFETCH(QString, shown);
        Profile p = ada();
        if (memorySent)
            p.record.edit().interactions = {memory(u"Jazz night at the Blue Note"_qs, 2)};
        QCOMPARE(AskCandidates::groundedReason(reason, p, u"who likes jazz?"_qs), shown);
    }

    void peopleSharingMoreOfTheQuestionComeFirst() {
        Profile a{test::person(u"a"_qs, u"Ann"_qs), PemmoRecord::fresh(kNow)};
        Profile b{test::person(u"b"_qs, u"Ben"_qs), PemmoRecord::fresh(kNow)};
        b.record.edit().about = u"Loves jazz piano"_qs;
        Profile c{test::person(u"c"_qs, u"Cas"_qs), PemmoRecord::fresh(kNow)};
        c.record.edit().interactions = {memory(u"Jazz and piano all evening"_qs, 3)};
        c.record.edit().details.currentCity = u"Berlin"_qs;
        Profile d{test::person(u"d"_qs, u"Dee"_qs), PemmoRecord::fresh(kNow)};
        d.record.edit().about = u"Piano teacher"_qs;
        QStringList order;
        for (const Profile& p : AskCandidates::ordered({a, b, c, d}, u"who plays jazz piano in berlin?"_qs))
            order.append(p.id());
        QCOMPARE(order, QStringList({u"c"_qs, u"b"_qs, u"d"_qs, u"a"_qs}));
    }
};

QTEST_GUILESS_MAIN(TestAskCandidates)
#include "TestAskCandidates.moc"
