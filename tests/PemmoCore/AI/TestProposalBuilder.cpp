// Proposals from a captured note or from extracted facts: only what is new, in a fixed order, with
// stable identifiers.
#include "AI/ProposalBuilder.h"

#include <QTest>
#include <QTimeZone>

using namespace pemmo;

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(18, 45), QTimeZone::utc());

PemmoRecord record() {
    PemmoRecord r = PemmoRecord::fresh(kNow.addDays(-30));
    r.details.company = u"Acme"_qs;
    r.details.currentCity = u"Paris"_qs;
    r.tags = {u"friends"_qs};
    return r;
}

QStringList ids(const Proposal& proposal) {
    QStringList result;
    for (const ProposalItem& item : proposal.items)
        result.append(item.id());
    return result;
}

Proposal capture(const CaptureResult& c, const std::optional<PemmoRecord>& r = record()) {
    return ProposalBuilder::fromCapture(c, r, u"ada"_qs, u"claude-haiku-4-5"_qs, true, kNow);
}

} // namespace

class TestProposalBuilder : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void aRepeatedValueInOtherCaseAndSpacingProposesNothing() {
        CaptureResult c;
        c.fieldUpdates = {{u"company"_qs, u"  ACME \n"_qs}};
        const Proposal p = capture(c);
        QVERIFY(p.isEmpty());
        QCOMPARE(p.summary, u"Captured 0 updates"_qs);
    }

    void aCaptureGivesFieldsThenTheInteractionThenCirclesThenNotes() {
        CaptureResult c;
        c.fieldUpdates = {{u"jobTitle"_qs, u" Engineer "_qs},
                          {u"birthday"_qs, u"1990-01-01"_qs},
                          {u"currentCity"_qs, u"Lyon"_qs},
                          {u"team"_qs, u"  "_qs},
                          {u"jobTitle"_qs, u"Manager"_qs}};
        c.interactionKind = u"met"_qs;
        c.interactionText = u" Coffee at the station "_qs;
        c.interactionDate = u"2026-03-03"_qs;
        c.tags = {u"Climbing"_qs, u"climbing "_qs, u"FRIENDS"_qs, u" "_qs};
        c.aboutAppend = u" Moving to Lyon in May. "_qs;
        const Proposal p = capture(c);

        QCOMPARE(p.items.size(), 5);
        QCOMPARE(ids(p).mid(0, 2), QStringList({u"field:jobTitle"_qs, u"field:currentCity"_qs}));
        QVERIFY(ids(p)[2].startsWith(u"interaction:"_qs));
        QCOMPARE(ids(p).mid(3), QStringList({u"tag+climbing"_qs, u"about"_qs}));
        QCOMPARE(p.items[0], ProposalItem::setField(WritableField::JobTitle, std::nullopt, u"Engineer"_qs));
        QCOMPARE(p.items[1], ProposalItem::setField(WritableField::CurrentCity, u"Paris"_qs, u"Lyon"_qs));
        const Interaction& met = p.items[2].as<ProposalItem::AddInteraction>()->interaction;
        QCOMPARE(met.kind, Interaction::Kind::Met);
        QCOMPARE(met.text, u"Coffee at the station"_qs);
        QCOMPARE(met.date, QDateTime(QDate(2026, 3, 3), QTime(12, 0), QTimeZone::utc()));
        QCOMPARE(met.source, Interaction::Source::ai(u"claude-haiku-4-5"_qs));
        QCOMPARE(ids(p)[2], u"interaction:"_qs + met.id.toString(QUuid::WithoutBraces).toUpper());
        QCOMPARE(p.items[4], ProposalItem::appendAbout(u"Moving to Lyon in May."_qs));

        QCOMPARE(p.summary, u"Captured 5 updates"_qs);
        const QStringList all = ids(p);
        QCOMPARE(p.selected, QSet<QString>(all.cbegin(), all.cend()));
        QCOMPARE(p.personID, u"ada"_qs);
        QCOMPARE(p.source, Interaction::Source::ai(u"claude-haiku-4-5"_qs));
        QVERIFY(p.leftDevice);
        QCOMPARE(p.items[3].title(), u"Add to circle \u00ABclimbing\u00BB"_qs);
        QCOMPARE(p.items[1].title(), u"Current city"_qs);
    }

    void anInteractionDateThatCannotBeReadIsTheCaptureTime_data() {
        QTest::addColumn<std::optional<QString>>("date");
        QTest::addColumn<std::optional<QString>>("kind");
        QTest::addColumn<QDateTime>("expectedDate");
        QTest::addColumn<Interaction::Kind>("expectedKind");
        QTest::newRow("readable, padded")
            << std::optional(u" 2026-02-28 "_qs) << std::optional(u"CALL"_qs)
            << QDateTime(QDate(2026, 2, 28), QTime(12, 0), QTimeZone::utc()) << Interaction::Kind::Call;
        QTest::newRow("words") << std::optional(u"yesterday"_qs) << std::optional(u"lunch"_qs) << kNow
                               << Interaction::Kind::Note;
        QTest::newRow("other pattern")
            << std::optional(u"03/03/2026"_qs) << std::optional<QString>() << kNow << Interaction::Kind::Note;
        QTest::newRow("no such day") << std::optional(u"2026-02-30"_qs) << std::optional(u"email"_qs) << kNow
                                     << Interaction::Kind::Email;
        QTest::newRow("absent") << std::optional<QString>() << std::optional(u"other"_qs) << kNow
                                << Interaction::Kind::Other;
    }

    void anInteractionDateThatCannotBeReadIsTheCaptureTime() {
        QFETCH(std::optional<QString>, date);
        QFETCH(std::optional<QString>, kind);
        QFETCH(QDateTime, expectedDate);
        QFETCH(Interaction::Kind, expectedKind);
        CaptureResult c;
        c.interactionText = u"Saw her"_qs;
        c.interactionDate = date;
        c.interactionKind = kind;
        const Proposal proposal = capture(c);
        const Interaction& entry = proposal.items.first().as<ProposalItem::AddInteraction>()->interaction;
        QCOMPARE(entry.date, expectedDate);
        QCOMPARE(entry.kind, expectedKind);
    }

    void aCaptureForNobodyChecksAgainstAnEmptyRecordUntilAPersonIsChosen() {
        CaptureResult c;
        c.fieldUpdates = {{u"company"_qs, u"Acme"_qs}, {u"hometown"_qs, u"Leeds"_qs}};
        c.tags = {u"friends"_qs, u"chess"_qs};
        Proposal p = ProposalBuilder::fromCapture(c, std::nullopt, std::nullopt, u"llama3.2"_qs, false, kNow);
        QCOMPARE(p.personID, std::nullopt);
        QCOMPARE(ids(p), QStringList({u"field:company"_qs, u"field:hometown"_qs, u"tag+friends"_qs,
                                      u"tag+chess"_qs}));
        p.setSelected(u"field:hometown"_qs, false);

        p = ProposalBuilder::forPerson(p, u"ada"_qs, record());
        QCOMPARE(p.personID, u"ada"_qs);
        QCOMPARE(ids(p), QStringList({u"field:hometown"_qs, u"tag+chess"_qs}));
        QCOMPARE(p.selected, QSet<QString>({u"tag+chess"_qs}));
        QCOMPARE(p.summary, u"Captured 2 updates"_qs);
    }

    void extractedFactsMapOntoTheRecord() {
        ExtractedProfile e;
        e.givenName = u"Ada"_qs;
        e.phone = u"+44 20 0000"_qs;
        e.email = u"ada@example.org"_qs;
        e.company = u"acme"_qs;
        e.jobTitle = u"Analyst"_qs;
        e.hometown = u"London"_qs;
        e.tags = {u"Math"_qs};
        e.links = {{u"linkedin"_qs, u"linkedin.com/in/ada"_qs},
                   {u"github"_qs, u"https://github.com/ada"_qs},
                   {u"website"_qs, u"not a url"_qs},
                   {u"x"_qs, u"https://x.com/ada"_qs}};
        PemmoRecord r = record();
        r.links.append(
            {QUuid::createUuid(), QuickLink::Kind::Custom, u"Github"_qs, u"https://GitHub.com/ada/"_qs});
        const Proposal p = ProposalBuilder::fromExtract(e, r, u"ada"_qs, u"llama3.2"_qs, false);
        QCOMPARE(ids(p),
                 QStringList({u"field:jobTitle"_qs, u"field:hometown"_qs, u"field:email"_qs, u"tag+math"_qs,
                              u"link:https://linkedin.com/in/ada"_qs, u"link:https://x.com/ada"_qs}));
        QCOMPARE(p.summary, u"Found 6 updates"_qs);
        const QuickLink linkedIn = p.items[4].as<ProposalItem::AddLink>()->link;
        QCOMPARE(linkedIn.kind, QuickLink::Kind::LinkedIn);
        QCOMPARE(p.items[4].title(), u"Add link: LinkedIn"_qs);
        QCOMPARE(p.items[5].as<ProposalItem::AddLink>()->link.kind, QuickLink::Kind::X);
        QVERIFY(!p.leftDevice);
    }

    // The limit of five custom links is the applier's to enforce: the review shows every link found.
    void aCustomLinkHintIsTitledAfterItsSiteAndEveryOneIsProposed() {
        ExtractedProfile e;
        for (int i = 0; i < 7; ++i)
            e.links.append({u"website"_qs, u"https://www.site"_qs + QString::number(i) + u".org"_qs});
        PemmoRecord r = record();
        r.links.append({QUuid::createUuid(), QuickLink::Kind::Custom, u"Old"_qs, u"https://old.org"_qs});
        const Proposal p = ProposalBuilder::fromExtract(e, r, u"ada"_qs, u"m"_qs, true);
        QCOMPARE(p.items.size(), 7);
        QCOMPARE(p.items[0].title(), u"Add link: Site0.org"_qs);
    }
};

QTEST_GUILESS_MAIN(TestProposalBuilder)
#include "TestProposalBuilder.moc"
