// Applying the checked items of a proposal, alone and through the sync engine beside a typed edit.
#include "AI/ProposalApplier.h"
#include "AI/ProposalBuilder.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/People.h"
#include "TestSupport/TempDir.h"

#include <QTest>
#include <QTimeZone>

using namespace pemmo;
using namespace std::chrono_literals;

namespace {

const QDateTime kBuilt(QDate(2026, 3, 4), QTime(9, 0), QTimeZone::utc());
const QDateTime kApplied = kBuilt.addSecs(120);

Proposal proposalFor(const PemmoRecord& record) {
    CaptureResult c;
    c.fieldUpdates = {{u"company"_qs, u"Initech"_qs}, {u"jobTitle"_qs, u"Analyst"_qs}};
    c.interactionText = u"Lunch"_qs;
    c.tags = {u"work"_qs};
    c.aboutAppend = u"Likes trains."_qs;
    return ProposalBuilder::fromCapture(c, record, u"1"_qs, u"llama3.2"_qs, false, kBuilt);
}

} // namespace

class TestProposalApplier : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theCheckedItemsAreAppliedAndEachFieldChangeIsLogged() {
        PemmoRecord record = PemmoRecord::fresh(kBuilt.addDays(-1));
        record.details.company = u"Acme"_qs;
        record.about = u"Met at a conference."_qs;
        Proposal proposal = proposalFor(record);
        proposal.setSelected(u"field:jobTitle"_qs, false);

        const PemmoRecord applied = ProposalApplier::apply(proposal, record, kApplied);
        QCOMPARE(applied.details.company, u"Initech"_qs);
        QCOMPARE(applied.details.jobTitle, std::nullopt);
        QCOMPARE(applied.changes.size(), 1);
        const FieldChange& change = applied.changes.first();
        QCOMPARE(change.field, u"company"_qs);
        QCOMPARE(change.oldValue, u"Acme"_qs);
        QCOMPARE(change.newValue, u"Initech"_qs);
        QCOMPARE(change.date, kApplied);
        QCOMPARE(change.source, Interaction::Source::ai(u"llama3.2"_qs));
        QCOMPARE(applied.interactions.size(), 1);
        QCOMPARE(applied.interactions.first().text, u"Lunch"_qs);
        QCOMPARE(applied.tags, QStringList({u"work"_qs}));
        QCOMPARE(applied.about, u"Met at a conference.\n\nLikes trains."_qs);
        QCOMPARE(applied.updatedAt, kApplied);
    }

    // (Nothing checked writes nothing: TestCaptureFormViewModel::nothingCheckedWritesNothing.)
    void appliedTwiceTheSecondTimeFindsEverythingInPlace() {
        const PemmoRecord record = PemmoRecord::fresh(kBuilt.addDays(-1));
        const Proposal proposal = proposalFor(record);
        const PemmoRecord once = ProposalApplier::apply(proposal, record, kApplied);
        QCOMPARE(ProposalApplier::apply(proposal, once, kApplied.addSecs(60)), once);
    }

    // Only a whole paragraph of the notes counts as already there, not a sentence inside one.
    void notesGrowUnlessTheyHoldTheParagraph_data() {
        QTest::addColumn<QString>("about");
        QTest::addColumn<QString>("expected");
        QTest::newRow("inside a longer sentence")
            << u"Likes trains. And boats."_qs << u"Likes trains. And boats.\n\nLikes trains."_qs;
        QTest::newRow("a paragraph already, other case")
            << u"Met at a conference.\n\nlikes trains."_qs << u"Met at a conference.\n\nlikes trains."_qs;
    }
    void notesGrowUnlessTheyHoldTheParagraph() {
        QFETCH(QString, about);
        QFETCH(QString, expected);
        PemmoRecord record = PemmoRecord::fresh(kBuilt.addDays(-1));
        record.about = about;
        Proposal proposal = proposalFor(record);
        QCOMPARE(ProposalApplier::apply(proposal, record, kApplied).about, expected);
    }

    void linksKeepOnePerSiteAndAtMostFiveCustom() {
        PemmoRecord record = PemmoRecord::fresh(kBuilt);
        record.links = {{QUuid::createUuid(), QuickLink::Kind::LinkedIn, u"LinkedIn"_qs,
                         u"https://linkedin.com/in/old"_qs}};
        for (int i = 0; i < 5; ++i) {
            record.links.append({QUuid::createUuid(), QuickLink::Kind::Custom, u"S"_qs,
                                 u"https://s"_qs + QString::number(i) + u".org"_qs});
        }
        Proposal proposal;
        proposal.items = {ProposalItem::addLink(
            ProposalBuilder::quickLink(u"https://linkedin.com/in/new"_qs, u"linkedin"_qs))};
        proposal.selected.insert(proposal.items.first().id());
        const PemmoRecord applied = ProposalApplier::apply(proposal, record, kApplied);
        QCOMPARE(applied.links.size(), 6);
        QCOMPARE(applied.links.first().url, u"https://linkedin.com/in/new"_qs);
        // A sixth custom link fails the whole apply with the limit's message.
        proposal.items.append(
            ProposalItem::addLink(ProposalBuilder::quickLink(u"https://extra.org"_qs, u"blog"_qs)));
        proposal.selected.insert(proposal.items.last().id());
        try {
            ProposalApplier::apply(proposal, record, kApplied);
            QFAIL("a sixth custom link was added");
        } catch (const PemmoError& error) {
            QCOMPARE(error.message(), u"You can add up to 5 custom links."_qs);
        }
    }

    void aProposalAppliedDuringATypedEditKeepsBoth() {
        test::TempDir dir;
        InMemoryContactRepository contacts({test::person(u"1"_qs, u"Ada"_qs)});
        PemmoStore store(dir.filePath(u"data"_qs), 5ms, [] { return kApplied; });
        PhotoStore photos(dir.filePath(u"data/Photos"_qs));
        ProfileSyncEngine engine(contacts, store, photos, 1h, 5s, [] { return kApplied; });
        test::await(engine.start());
        const Proposal proposal = proposalFor(*engine.profile(u"1"_qs)->record);

        // The typed edit holds the record lock when the proposal arrives; the proposal must be
        // applied to the record as the edit left it, not as it was when the proposal was made.
        auto typing = engine.setField(u"1"_qs, WritableField::MessageHandle, u"+44 20 0000"_qs);
        auto applying = ProposalApplier::commit(engine, proposal, [] { return kApplied; });
        auto typingMore = engine.appendAbout(u"1"_qs, u"Typed after."_qs);
        test::await(std::move(typing));
        test::await(std::move(applying));
        test::await(std::move(typingMore));

        const PemmoRecord published = *engine.profile(u"1"_qs)->record;
        QCOMPARE(published.messageHandle, u"+44 20 0000"_qs);
        QCOMPARE(published.details.company, u"Initech"_qs);
        QCOMPARE(published.about, u"Likes trains.\n\nTyped after."_qs);
        QCOMPARE(test::await(store.record(u"1"_qs)), published);
        engine.stop();
    }

    void aProposalForSomeoneGoneOrNobodyIsRefused() {
        test::TempDir dir;
        InMemoryContactRepository contacts({test::person(u"1"_qs, u"Ada"_qs)});
        PemmoStore store(dir.filePath(u"data"_qs), 5ms);
        PhotoStore photos(dir.filePath(u"data/Photos"_qs));
        ProfileSyncEngine engine(contacts, store, photos, 1h, 5s);
        test::await(engine.start());
        Proposal proposal = proposalFor(PemmoRecord::fresh(kBuilt));
        proposal.personID = u"gone"_qs;
        QCOMPARE(test::awaitErrorOf<PemmoError>(ProposalApplier::commit(engine, proposal)),
                 PemmoError::notFound(u"gone"_qs));
        proposal.personID.reset();
        QCOMPARE(test::awaitErrorOf<PemmoError>(ProposalApplier::commit(engine, proposal))->errorCase(),
                 PemmoError::Case::NotFound);
        QVERIFY(test::await(store.allRecords()).isEmpty());
        engine.stop();
    }
};

QTEST_GUILESS_MAIN(TestProposalApplier)
#include "TestProposalApplier.moc"
