// Quick capture and Enrich from text as the user sends them: the AI's answer opens the review over
// the form, a failure shows the AI service's own text on the form, a person kept off cloud AI
// never reaches the cloud provider. (From the note to the applied changes over a real local model
// server is followed end to end in TestShellEndToEnd.)
#include "../Shell/KeyPress.h"
#include "AI/AIService.h"
#include "AI/Proposal.h"
#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Screens/CaptureFormViewModel.h"
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
    PemmoRecord record() { return *m_env->sync().profile(u"anna"_qs)->record; }

private Q_SLOTS:
    void init() {
        m_env = test::startedEnvironment({test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs)}, kNow);
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
};

QTEST_MAIN(TestCaptureFormViewModel)
#include "TestCaptureFormViewModel.moc"
