// Quick capture and Enrich from text as the user sends them: the AI's answer opens the review over
// the form, a failure shows the AI service's own text on the form, a person kept off cloud AI
// never reaches the cloud provider; and once over a real local model server (the Ollama chat API on
// 127.0.0.1), from the note to the applied changes.
#include "../Shell/KeyPress.h"
#include "AI/AIService.h"
#include "AI/Proposal.h"
#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Screens/CaptureFormViewModel.h"
#include "Screens/ReviewViewModel.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "TestSupport/Await.h"
#include "TestSupport/FakeAIProvider.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "TestSupport/People.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <algorithm>

using namespace pemmo;
using test::await;
using test::FakeProvider;
using test::key;

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(10, 15), Qt::UTC);

// An Ollama chat answer whose message holds `content` as its text.
QByteArray chatAnswer(const QJsonObject& content) {
    const QJsonObject answer{
        {u"model"_qs, u"llama3.2"_qs},
        {u"message"_qs, QJsonObject{{u"role"_qs, u"assistant"_qs},
                                    {u"content"_qs, QString::fromUtf8(QJsonDocument(content).toJson(
                                                        QJsonDocument::Compact))}}},
        {u"done"_qs, true},
        {u"done_reason"_qs, u"stop"_qs},
    };
    return QJsonDocument(answer).toJson(QJsonDocument::Compact);
}

} // namespace

class TestCaptureFormViewModel : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::shared_ptr<FakeProvider> m_local;
    std::shared_ptr<FakeProvider> m_cloud;

    void use(AIProviderID id) {
        m_env->settings().setAiEnabled(true);
        m_env->settings().setAiProvider(id);
    }
    PemmoRecord record() { return *m_env->sync().profile(u"anna"_qs)->record; }
    void startWithAnna(const QString& name) {
        m_env = AppEnvironment::inMemory(
            {test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs)}, name,
            {std::chrono::milliseconds(1), std::chrono::hours(1), std::chrono::seconds(5)});
        m_env->setClock([] { return kNow; });
        await(m_env->sync().start());
    }

private Q_SLOTS:
    void init() {
        startWithAnna(u"PemmoCaptureTest"_qs);
        m_local =
            std::make_shared<FakeProvider>(AIProviderID::OnDevice, false, u"On-device"_qs, u"llama-test"_qs);
        m_cloud = std::make_shared<FakeProvider>(AIProviderID::Claude, true, u"Claude"_qs, u"claude-test"_qs);
        m_env->ai().setProviderFactory([local = m_local, cloud = m_cloud] {
            return AIService::Providers{{AIProviderID::OnDevice, local}, {AIProviderID::Claude, cloud}};
        });
        m_local->captureAnswer.fieldUpdates = {{u"company"_qs, u"Acme"_qs}};
        m_local->captureAnswer.interactionText = u"Coffee"_qs;
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
        m_local->extractAnswer.jobTitle = u"Engineer"_qs;
        m_local->extractAnswer.school = u"KTH"_qs;
        m_env->router().push(enrich ? Route::enrich(u"anna"_qs) : Route::capture(std::nullopt, u"anna"_qs));
        using Mode = CaptureFormViewModel::Mode;
        CaptureFormViewModel form(*m_env, enrich ? Mode::Enrich : Mode::Capture, u"anna"_qs);
        form.setText(u"Coffee with Anna, she is at Acme now"_qs);
        QCOMPARE(form.handleKey(key(Qt::Key_Return, Qt::ControlModifier)), KeyResult::Handled);
        QTRY_COMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Review);
        const Route review = m_env->router().topRoute();
        QCOMPARE(review.proposal()->personID, std::optional(u"anna"_qs));
        QCOMPARE(review.proposal()->items.size(), 2);
        QCOMPARE(m_local->calls, QStringList{call});
        QCOMPARE(m_local->lastText, u"Coffee with Anna, she is at Acme now"_qs);
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
            m_local->failure = std::make_exception_ptr(PemmoError::aiUnavailable(u"The model is asleep"_qs));
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
        QVERIFY(m_cloud->calls.isEmpty());
        QCOMPARE(form.error(), u"Anna Berg is opted out of cloud AI"_qs);

        // The local model may hear about her.
        use(AIProviderID::OnDevice);
        await(form.send());
        QCOMPARE(m_local->calls, QStringList{u"capture"_qs});
    }

    void aBlankNoteIsRefusedWithoutAskingTheAI() {
        use(AIProviderID::OnDevice);
        CaptureFormViewModel form(*m_env, CaptureFormViewModel::Mode::Capture, std::nullopt);
        form.setText(u"   "_qs);
        await(form.send());
        QVERIFY(!form.error().isEmpty());
        QVERIFY(m_local->calls.isEmpty());
    }

    // From the note to the record, over a stand-in local model server on the loopback address.
    void aCaptureOverALocalModelServerAppliesTheCheckedFields() {
        test::LoopbackHTTPServer server;
        server.enqueue(200, R"({"models":[{"name":"llama3.2:latest"}]})", "/api/tags");
        server.enqueue(
            200,
            chatAnswer(QJsonObject{
                {u"personName"_qs, u"Anna"_qs},
                {u"fieldUpdates"_qs,
                 QJsonArray{QJsonObject{{u"field"_qs, u"company"_qs}, {u"value"_qs, u"Acme"_qs}},
                            QJsonObject{{u"field"_qs, u"currentCity"_qs}, {u"value"_qs, u"Lisbon"_qs}}}},
                {u"interactionKind"_qs, u"met"_qs},
                {u"interactionText"_qs, u"Coffee at the station"_qs},
                {u"interactionDate"_qs, u"2026-03-03"_qs},
                {u"tags"_qs, QJsonArray{}},
                {u"aboutAppend"_qs, QJsonValue::Null},
            }),
            "/api/chat");
        // The environment's own providers, made from the settings.
        m_env.reset();
        startWithAnna(u"PemmoCaptureServerTest"_qs);
        m_env->settings().setLocalModelServer(server.url().toString());
        m_env->settings().setLocalModel(u"llama3.2"_qs);
        use(AIProviderID::OnDevice);

        m_env->router().push(Route::profile(u"anna"_qs));
        m_env->router().push(Route::capture(std::nullopt, u"anna"_qs));
        CaptureFormViewModel form(*m_env, CaptureFormViewModel::Mode::Capture, u"anna"_qs);
        QVERIFY(form.origin().contains(u"stays on this computer"_qs));
        form.setText(u"Coffee with Anna at the station yesterday; she moved to Lisbon and works at Acme"_qs);
        await(form.send());
        QCOMPARE(form.error(), QString());
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Review);
        const auto chat = std::find_if(server.requests().begin(), server.requests().end(),
                                       [](const auto& r) { return r.path == "/api/chat"; });
        QVERIFY(chat != server.requests().end());
        QVERIFY(chat->body.contains("she moved to Lisbon"));

        ReviewViewModel review(*m_env, *m_env->router().topRoute().proposal());
        QVERIFY(review.origin().contains(u"stayed on this computer"_qs));
        for (int i = 0; i < review.proposal().items.size(); ++i) {
            if (review.proposal().items[i].id() == u"field:currentCity")
                review.toggle(i);
        }
        await(review.apply());
        const PemmoRecord after = record();
        QCOMPARE(after.details.company, std::optional(u"Acme"_qs));
        QVERIFY(!after.details.currentCity.has_value());
        QCOMPARE(after.changes.size(), 1);
        QCOMPARE(after.changes.first().source, Interaction::Source::ai(u"llama3.2"_qs));
        QCOMPARE(after.interactions.size(), 1);
        QCOMPARE(after.interactions.first().source, Interaction::Source::ai(u"llama3.2"_qs));
        QCOMPARE(m_env->router().topRoute().routeKind(), Route::Kind::Profile);
    }
};

QTEST_MAIN(TestCaptureFormViewModel)
#include "TestCaptureFormViewModel.moc"
