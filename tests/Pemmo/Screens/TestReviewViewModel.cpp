// The review of a proposal as the user works it: only the checked lines are written, each field
// change logged with the model as its source; a note about nobody waits for the person to be
// picked; a person gone meanwhile leaves the error on the screen and nothing written.
#include "../Shell/KeyPress.h"
#include "AI/ProposalBuilder.h"
#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Screens/ReviewViewModel.h"
#include "Shell/AppRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QTest>

using namespace pemmo;
using test::await;
using test::key;

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);

CaptureResult coffeeNote() {
    CaptureResult capture;
    capture.personName = u"Anna"_qs;
    capture.fieldUpdates = {{u"company"_qs, u"Acme"_qs}, {u"currentCity"_qs, u"Lisbon"_qs}};
    capture.interactionKind = u"met"_qs;
    capture.interactionText = u"Coffee at the station"_qs;
    capture.interactionDate = u"2026-03-03"_qs;
    capture.tags = {u"climbing"_qs};
    return capture;
}

} // namespace

class TestReviewViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;

    PemmoRecord record(const QString& id = u"anna"_qs) { return *m_env->sync().profile(id)->record; }
    Proposal proposalFor(const std::optional<QString>& contactID) {
        const auto current = contactID ? std::optional(record(*contactID)) : std::nullopt;
        return ProposalBuilder::fromCapture(coffeeNote(), current, contactID, u"llama-test"_qs, false, kNow);
    }
    int indexOf(const ReviewViewModel& review, const QString& itemID) {
        for (qsizetype i = 0; i < review.proposal().items.size(); ++i) {
            if (review.proposal().items[i].id() == itemID)
                return int(i);
        }
        return -1;
    }

private Q_SLOTS:
    void init() {
        m_env = test::startedEnvironment(
            {test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs), test::person(u"bo"_qs, u"Bo"_qs, u"Lind"_qs)},
            kNow);
        await(m_env->sync().updateRecord(u"anna"_qs,
                                         [](PemmoRecord& r) { r.details.company = u"Initech"_qs; }));
    }
    void cleanup() { m_env.reset(); }

    void appliesOnlyTheCheckedItems_data() {
        QTest::addColumn<QString>("unchecked");
        QTest::addColumn<QString>("company");
        QTest::addColumn<QString>("city");
        QTest::addColumn<int>("timeline");
        QTest::addColumn<int>("changes");
        QTest::newRow("company unchecked") << u"field:company"_qs << u"Initech"_qs << u"Lisbon"_qs << 1 << 1;
        QTest::newRow("city unchecked") << u"field:currentCity"_qs << u"Acme"_qs << QString() << 1 << 1;
        QTest::newRow("entry unchecked") << u"interaction"_qs << u"Acme"_qs << u"Lisbon"_qs << 0 << 2;
    }
    void appliesOnlyTheCheckedItems() {
        QFETCH(QString, unchecked);
        QFETCH(QString, company);
        QFETCH(QString, city);
        QFETCH(int, timeline);
        QFETCH(int, changes);
        m_env->router().push(Route::profile(u"anna"_qs));
        m_env->router().push(Route::review(std::make_shared<const Proposal>(proposalFor(u"anna"_qs))));
        ReviewViewModel review(*m_env, proposalFor(u"anna"_qs));
        QVERIFY2(review.origin().contains(u"stayed on this computer"_qs), qPrintable(review.origin()));
        QCOMPARE(review.checkedCount(), int(review.proposal().items.size())); // all checked at first
        int at = -1;
        for (qsizetype i = 0; i < review.proposal().items.size(); ++i) {
            if (review.proposal().items[i].id().startsWith(unchecked))
                at = int(i);
        }
        QVERIFY(at >= 0);
        // Down to the item, Space unchecks it, Control-Return applies.
        for (int i = 0; i < at; ++i)
            review.handleKey(key(Qt::Key_Down));
        QCOMPARE(review.handleKey(key(Qt::Key_Space)), KeyResult::Handled);
        QVERIFY(!review.proposal().isSelected(review.proposal().items[at].id()));
        await(review.apply());

        const PemmoRecord after = record();
        QCOMPARE(after.details.company.value_or(QString()), company);
        QCOMPARE(after.details.currentCity.value_or(QString()), city);
        QCOMPARE(after.interactions.size(), timeline);
        QCOMPARE(after.changes.size(), changes);
        for (const FieldChange& change : after.changes)
            QCOMPARE(change.source, Interaction::Source::ai(u"llama-test"_qs));
        QVERIFY(after.tags.contains(u"climbing"_qs));
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Profile); // the review is gone
    }

    void aNoteAboutNobodyWaitsForThePersonToBePicked() {
        ReviewViewModel review(*m_env, proposalFor(std::nullopt), u"ann"_qs);
        QVERIFY(review.needsPerson());
        await(review.apply());
        QVERIFY(!review.error().isEmpty()); // nobody chosen: nothing written
        QVERIFY(record().interactions.isEmpty());

        // The name the note gave finds Anna; Return picks her and the items are checked against
        // her record (her company is Initech, so the company item stays).
        QCOMPARE(review.people(), QStringList{u"anna"_qs});
        review.handleKey(key(Qt::Key_Return));
        QVERIFY(!review.needsPerson());
        QCOMPARE(review.personName(), u"Anna Berg"_qs);
        QVERIFY(indexOf(review, u"field:company"_qs) >= 0);
        await(review.apply());
        QCOMPARE(record().details.company, std::optional(u"Acme"_qs));
        QCOMPARE(record().interactions.size(), 1);
        QVERIFY(record(u"bo"_qs).interactions.isEmpty());
    }

    void aPersonGoneMeanwhileLeavesTheErrorAndNothingWritten() {
        Proposal proposal = proposalFor(u"anna"_qs);
        proposal.personID = u"nobody"_qs;
        m_env->router().push(Route::review(std::make_shared<const Proposal>(proposal)));
        ReviewViewModel review(*m_env, proposal);
        await(review.apply());
        QVERIFY(!review.error().isEmpty());
        QVERIFY(!review.isApplying());
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Review); // still on screen
        QCOMPARE(record().details.company, std::optional(u"Initech"_qs));
    }

    void nothingCheckedWritesNothing() {
        m_env->router().push(Route::review(std::make_shared<const Proposal>(proposalFor(u"anna"_qs))));
        ReviewViewModel review(*m_env, proposalFor(u"anna"_qs));
        const PemmoRecord before = record();
        for (int i = 0; i < review.proposal().items.size(); ++i)
            review.toggle(i);
        QCOMPARE(review.checkedCount(), 0);
        await(review.apply());
        QCOMPARE(record(), before);
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Search);
    }

    void escapeLeavesWithoutWriting() {
        m_env->router().push(Route::review(std::make_shared<const Proposal>(proposalFor(u"anna"_qs))));
        ReviewViewModel review(*m_env, proposalFor(u"anna"_qs));
        const PemmoRecord before = record();
        QCOMPARE(review.handleKey(key(Qt::Key_Escape)), KeyResult::Handled);
        QTest::qWait(20);
        QCOMPARE(record(), before);
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Search);
    }
};

QTEST_MAIN(TestReviewViewModel)
#include "TestReviewViewModel.moc"
