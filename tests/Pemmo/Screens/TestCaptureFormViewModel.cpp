// Quick capture and Enrich from text as the user sends them: the AI's answer opens the review over
// the form, a failure shows the AI service's own text on the form, a person kept off cloud AI
// never reaches the cloud provider. Then the review as the user works it: only the checked lines
// are written, each field change logged with the model as its source; a note about nobody waits
// for the person to be picked; a person gone meanwhile leaves the error on the screen and nothing
// written. (From the note to the applied changes over a real local model server is followed end
// to end in TestShellEndToEnd.)
#include "../Shell/KeyPress.h"
#include "AI/AIService.h"
#include "AI/Proposal.h"
#include "AI/ProposalBuilder.h"
#include "App/AppEnvironment.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Screens/CaptureFormViewModel.h"
#include "Screens/ReviewViewModel.h"
#include "Settings/SettingsStore.h"
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

} // namespace

class TestCaptureFormViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    test::FakeProviders m_ai;

    void use(AIProviderID id) {
        m_env->settings().setAiEnabled(true);
        m_env->settings().setAiProvider(id);
    }
    PemmoRecord record(const QString& id = u"anna"_qs) { return *m_env->sync().profile(id)->record; }
    Proposal proposalFor(const std::optional<QString>& contactID) {
        const auto current = contactID ? std::optional(record(*contactID)) : std::nullopt;
        return ProposalBuilder::fromCapture(test::coffeeCapture(), current, contactID, u"llama-test"_qs,
                                            false, kNow);
    }
    // Where the first item whose id starts with `itemID` is; -1 when there is none.
    int indexOf(const ReviewViewModel& review, const QString& itemID) {
        for (qsizetype i = 0; i < review.proposal().items.size(); ++i) {
            if (review.proposal().items[i].id().startsWith(itemID))
                return int(i);
        }
        return -1;
    }

private Q_SLOTS:
    // Anna works at Initech.
    void init() {
        m_env = test::startedEnvironment(
            {test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs), test::person(u"bo"_qs, u"Bo"_qs, u"Lind"_qs)},
            kNow);
        await(m_env->sync().updateRecord(u"anna"_qs,
                                         [](PemmoRecord& r) { r.details.company = u"Initech"_qs; }));
        m_ai = test::useFakeAI(*m_env);
        m_ai.local->captureAnswer.fieldUpdates = {{u"company"_qs, u"Acme"_qs}};
        m_ai.local->captureAnswer.interactionText = u"Coffee"_qs;
    }
    void cleanup() { m_env.reset(); }

    void aNoteOpensTheReviewOverTheForm_data() {
        QTest::addColumn<bool>("enrich");
        QTest::addColumn<QString>("call"); // what the provider is asked
        QTest::newRow("quick capture") << false << u"capture"_qs;
        QTest::newRow("enrich from text") << true << u"extract"_qs;
    }
    void aNoteOpensTheReviewOverTheForm() {
        QFETCH(bool, enrich);
        QFETCH(QString, call);
        use(AIProviderID::OnDevice);
        m_ai.local->extractAnswer.jobTitle = u"Engineer"_qs;
        m_ai.local->extractAnswer.school = u"KTH"_qs;
        m_env->router().push(enrich ? Route::enrich(u"anna"_qs) : Route::capture(std::nullopt, u"anna"_qs));
        using Mode = CaptureFormViewModel::Mode;
        CaptureFormViewModel form(*m_env, enrich ? Mode::Enrich : Mode::Capture, u"anna"_qs);
        QCOMPARE(form.origin(), u"On-device · the text stays on this computer"_qs);
        form.setText(u"Coffee with Anna, she is at Acme now"_qs);
        QCOMPARE(form.handleKey(key(Qt::Key_Return, Qt::ControlModifier)), KeyResult::Handled);
        QTRY_COMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Review);
        const Route review = m_env->router().topRoute();
        QCOMPARE(review.proposal()->personID, std::optional(u"anna"_qs));
        QCOMPARE(review.proposal()->items.size(), 2);
        QCOMPARE(m_ai.local->calls, QStringList{call});
        QCOMPARE(m_ai.local->lastText, u"Coffee with Anna, she is at Acme now"_qs);
        QCOMPARE(m_env->router().depth(), 3);                           // search, the form, the review
        QVERIFY(record().details.company != std::optional(u"Acme"_qs)); // nothing saved yet
    }

    void aProviderErrorShowsTheServicesText_data() {
        QTest::addColumn<bool>("aiOn");
        QTest::addColumn<bool>("providerFails");
        QTest::newRow("AI off") << false << false;
        QTest::newRow("provider fails") << true << true;
    }
    void aProviderErrorShowsTheServicesText() {
        QFETCH(bool, aiOn);
        QFETCH(bool, providerFails);
        use(AIProviderID::OnDevice);
        m_env->settings().setAiEnabled(aiOn);
        if (providerFails)
            m_ai.local->failure =
                std::make_exception_ptr(PemmoError::aiUnavailable(u"The model is asleep"_qs));
        CaptureFormViewModel form(*m_env, CaptureFormViewModel::Mode::Capture, u"anna"_qs);
        form.setText(u"Coffee"_qs);
        await(form.send());
        QVERIFY(!m_env->ai().lastErrorText().isEmpty());
        QCOMPARE(form.error(), m_env->ai().lastErrorText());
        QVERIFY(!form.isWorking());
        QCOMPARE(form.text(), u"Coffee"_qs); // nothing lost
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Search);
    }

    void aPersonKeptOffCloudAIIsNeverSentToTheCloud() {
        use(AIProviderID::Claude);
        await(m_env->sync().updateRecord(u"anna"_qs, [](PemmoRecord& r) { r.aiCloudOptOut = true; }));
        CaptureFormViewModel form(*m_env, CaptureFormViewModel::Mode::Capture, u"anna"_qs);
        QVERIFY(form.origin().contains(u"cloud"_qs));
        form.setText(u"Coffee"_qs);
        await(form.send());
        QVERIFY(m_ai.cloud->calls.isEmpty());
        QCOMPARE(form.error(), u"Anna Berg is opted out of cloud AI"_qs);

        // The local model may hear about her.
        use(AIProviderID::OnDevice);
        await(form.send());
        QCOMPARE(m_ai.local->calls, QStringList{u"capture"_qs});
    }

    // Escape keeps the text for that person and that form, ahead of the search's query; once the
    // text has become a proposal the draft is gone.
    void escapeKeepsTheTextUntilItIsSent_data() { aNoteOpensTheReviewOverTheForm_data(); }
    void escapeKeepsTheTextUntilItIsSent() {
        QFETCH(bool, enrich);
        use(AIProviderID::OnDevice);
        using Mode = CaptureFormViewModel::Mode;
        const Mode mode = enrich ? Mode::Enrich : Mode::Capture;
        const Mode other = enrich ? Mode::Capture : Mode::Enrich;
        const auto open = [&](Mode m, std::optional<QString> id, const QString& query = {}) {
            m_env->router().push(m == Mode::Enrich ? Route::enrich(u"anna"_qs) : Route::capture(query, id));
            return std::make_unique<CaptureFormViewModel>(*m_env, m, id, query);
        };
        auto form = open(mode, u"anna"_qs);
        form->setText(u"Moved to Oslo"_qs);
        QCOMPARE(form->handleKey(key(Qt::Key_Escape)), KeyResult::Handled);
        QCOMPARE(m_env->router().depth(), 1);
        QCOMPARE(open(mode, u"anna"_qs, u"anna"_qs)->text(), u"Moved to Oslo"_qs);
        QCOMPARE(open(other, u"anna"_qs)->text(), QString());
        if (!enrich)
            QCOMPARE(open(mode, std::nullopt)->text(), QString()); // about nobody: a draft of its own

        form = open(mode, u"anna"_qs);
        await(form->send());
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Review);
        QCOMPARE(open(mode, u"anna"_qs)->text(), QString());
    }

    void aBlankNoteIsRefusedWithoutAskingTheAI() {
        use(AIProviderID::OnDevice);
        CaptureFormViewModel form(*m_env, CaptureFormViewModel::Mode::Capture, std::nullopt);
        form.setText(u"   "_qs);
        await(form.send());
        QVERIFY(!form.error().isEmpty());
        QVERIFY(m_ai.local->calls.isEmpty());
    }

    // MARK: The review

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
        const int at = indexOf(review, unchecked);
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
        QVERIFY(m_env->tags().tagWithID(u"climbing"_qs)); // catalogued at once, not at the next publish
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

QTEST_MAIN(TestCaptureFormViewModel)
#include "TestCaptureFormViewModel.moc"
