// The AI service's gate, published state, person context use, briefing cache and Ask, with scripted
// providers in place of the real ones.
#include "AI/AIService.h"
#include "AI/BriefingFingerprint.h"
#include "AI/TransportError.h"
#include "Records/PemmoError.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/InMemorySecretStore.h"
#include "Settings/KeychainError.h"
#include "Settings/SettingsStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/FakeAIProvider.h"
#include "TestSupport/People.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using test::FakeProvider;

namespace {

const QDateTime kNow(QDate(2026, 3, 4), QTime(23, 30), QTimeZone::utc());

Profile profile(const QString& id, const QString& given, const QString& family = {}, bool optOut = false) {
    Profile p = test::profile(id, given, family, kNow);
    p.record.edit().aiCloudOptOut = optOut;
    return p;
}

using Change = std::function<void(Profile&)>;

class FailingSecretStore : public SecretStore {
public:
    std::optional<QString> read(const QString&) override { throw KeychainError(u"locked"_qs, 2); }
    void write(const QString&, const QString&) override { throw KeychainError(u"locked"_qs, 2); }
    void remove(const QString&) override { throw KeychainError(u"locked"_qs, 2); }
};

} // namespace

class TestAIService : public QObject {
    Q_OBJECT

    std::unique_ptr<InMemoryKeyValueStore> m_defaults;
    std::unique_ptr<SettingsStore> m_settings;
    InMemorySecretStore m_secrets;
    std::shared_ptr<FakeProvider> m_local;
    std::shared_ptr<FakeProvider> m_cloud;
    int m_factoryCalls = 0;
    std::unique_ptr<AIService> m_ai;

    void use(AIProviderID id) {
        m_settings->setAiEnabled(true);
        m_settings->setAiProvider(id);
    }

private Q_SLOTS:
    void init() {
        m_defaults = std::make_unique<InMemoryKeyValueStore>();
        m_settings = std::make_unique<SettingsStore>(*m_defaults);
        m_local =
            std::make_shared<FakeProvider>(AIProviderID::OnDevice, false, u"On-device"_qs, u"llama3.2"_qs);
        m_cloud =
            std::make_shared<FakeProvider>(AIProviderID::Claude, true, u"Claude"_qs, u"claude-opus-5"_qs);
        m_factoryCalls = 0;
        m_ai = std::make_unique<AIService>(
            *m_settings, m_secrets, nullptr,
            [this] {
                ++m_factoryCalls;
                return AIService::Providers{{AIProviderID::OnDevice, m_local},
                                            {AIProviderID::Claude, m_cloud}};
            },
            QTimeZone(7200), [] { return kNow; });
    }

    void cleanup() {
        m_ai.reset();
        m_settings.reset();
        m_defaults.reset();
    }

    void withAIOffNothingRunsAndEveryOperationSaysSo() {
        QCOMPARE(test::await(m_ai->availability()), AIAvailability::unavailable(u"AI is turned off"_qs));
        const Profile ada = profile(u"1"_qs, u"Ada"_qs);
        const auto off = PemmoError::aiUnavailable(u"AI is turned off"_qs);
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->briefing(ada)), off);
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->draft(ada, Channel::Message, std::nullopt)), off);
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->capture(u"note"_qs, ada)), off);
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->extract(u"text"_qs)), off);
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->rank(u"who?"_qs, {ada})), off);
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->testConnection()), off);
        QCOMPARE(m_ai->lastError(), u"AI is turned off"_qs);
        QVERIFY(!m_ai->isBusy());
        QCOMPARE(m_factoryCalls, 0);
        QVERIFY(m_local->calls.isEmpty() && m_cloud->calls.isEmpty());
    }

    void aSettingWithoutItsProviderHasNoFallback() {
        m_ai = std::make_unique<AIService>(*m_settings, m_secrets, nullptr, [this] {
            return AIService::Providers{{AIProviderID::OnDevice, m_local}};
        });
        use(AIProviderID::Claude);
        QCOMPARE(test::await(m_ai->availability()),
                 AIAvailability::unavailable(u"No AI provider available"_qs));
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->extract(u"x"_qs)),
                 PemmoError::aiUnavailable(u"No AI provider available"_qs));
        QCOMPARE(m_ai->lastError(), u"No AI provider available"_qs);
        QVERIFY(m_local->calls.isEmpty());
    }

    // (A capture and a briefing are refused the same way in TestCaptureFormViewModel and
    // TestProfileViewModel; the first also lets the local model hear about the person.)
    void aPersonKeptOffTheCloudNeverReachesIt() {
        const Profile ada = profile(u"1"_qs, u"Ada"_qs, u"Lovelace"_qs, true);
        use(AIProviderID::Claude);
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->draft(ada, Channel::Email, u"hi"_qs)),
                 PemmoError::aiOptedOut(u"Ada Lovelace"_qs));
        QCOMPARE(m_ai->lastError(), u"Ada Lovelace is opted out of cloud AI"_qs);
        QVERIFY(m_cloud->calls.isEmpty());
    }

    void theStateTellsWhoAnsweredAndWhetherItLeftTheComputer() {
        use(AIProviderID::Claude);
        QSignalSpy busy(m_ai.get(), &AIService::isBusyChanged);
        auto running = m_ai->extract(u"text"_qs);
        QVERIFY(m_ai->isBusy());
        QCOMPARE(m_ai->lastLeftDevice(), true);
        test::await(std::move(running));
        QVERIFY(!m_ai->isBusy());
        QCOMPARE(busy.size(), 2);
        QCOMPARE(m_ai->lastProviderName(), u"Claude"_qs);

        use(AIProviderID::OnDevice);
        m_local->failure = std::make_exception_ptr(PemmoError::network(503, u"Overloaded"_qs));
        QCOMPARE(test::awaitErrorOf<PemmoError>(m_ai->extract(u"text"_qs)),
                 PemmoError::network(503, u"Overloaded"_qs));
        QCOMPARE(m_ai->lastLeftDevice(), false);
        QCOMPARE(m_ai->lastProviderName(), u"On-device"_qs);
        QCOMPARE(m_ai->lastError(), u"Overloaded"_qs);
        QVERIFY(!m_ai->isBusy());

        test::await(m_ai->extract(u"text"_qs));
        QCOMPARE(m_ai->lastError(), std::nullopt);
    }

    void errorsReadAsTheUserSeesThem_data() {
        QTest::addColumn<std::exception_ptr>("error");
        QTest::addColumn<QString>("message");
        QTest::newRow("opted out") << std::make_exception_ptr(PemmoError::aiOptedOut(u"Ada"_qs))
                                   << u"Ada is opted out of cloud AI"_qs;
        QTest::newRow("network") << std::make_exception_ptr(PemmoError::network(401, u"Invalid API key"_qs))
                                 << u"Invalid API key"_qs;
        QTest::newRow("other case") << std::make_exception_ptr(PemmoError::notFound(u"1"_qs))
                                    << u"That contact no longer exists."_qs;
        QTest::newRow("keyring") << std::make_exception_ptr(KeychainError(u"No keyring"_qs, 1))
                                 << u"No keyring"_qs;
        QTest::newRow("transport") << std::make_exception_ptr(
                                          TransportError(TransportError::Kind::Other, u"Host not found"_qs))
                                   << u"Host not found"_qs;
    }

    void errorsReadAsTheUserSeesThem() {
        QFETCH(std::exception_ptr, error);
        QFETCH(QString, message);
        QCOMPARE(AIService::errorMessage(error), message);
    }

    void aBriefingIsCachedForTheSameProfileAndModel() {
        use(AIProviderID::Claude);
        Profile ada = profile(u"1"_qs, u"Ada"_qs);
        ada.record.edit().briefingCache =
            m_ai->makeBriefingCache({u"old summary"_qs, u"old opener"_qs}, ada, kNow);
        QCOMPARE(ada.record->briefingCache->model, u"claude-opus-5"_qs);
        QCOMPARE(ada.record->briefingCache->providerName, u"Claude"_qs);
        QVERIFY(ada.record->briefingCache->leftDevice);
        QCOMPARE(ada.record->briefingCache->contentHash, BriefingFingerprint::of(ada));

        test::await(m_ai->extract(u"x"_qs)); // leaves lastLeftDevice true
        const Briefing cached = test::await(m_ai->briefing(ada));
        QCOMPARE(cached, (Briefing{u"old summary"_qs, u"old opener"_qs}));
        QCOMPARE(m_cloud->calls, QStringList({u"extract"_qs}));
        QCOMPARE(m_ai->lastLeftDevice(), false);

        m_cloud->setModelName(u"claude-opus-5-next"_qs);
        QCOMPARE(test::await(m_ai->briefing(ada)).summary, u"fresh summary"_qs);
        m_cloud->setModelName(u"claude-opus-5"_qs);
        ada.record.edit().about = u"Now writes poetry."_qs;
        QCOMPARE(test::await(m_ai->briefing(ada)).summary, u"fresh summary"_qs);
        QCOMPARE(m_cloud->calls.count(u"briefing"_qs), 2);
        QCOMPARE(m_cloud->lastContext->about, u"Now writes poetry."_qs);
    }

    void everyChangeToWhatTheContextIsMadeOfChangesTheFingerprint_data() {
        QTest::addColumn<Change>("change");
        QTest::newRow("name") << Change([](Profile& p) { p.person.edit().familyName = u"B"_qs; });
        QTest::newRow("organisation")
            << Change([](Profile& p) { p.person.edit().organization = u"Acme"_qs; });
        QTest::newRow("circle") << Change([](Profile& p) { p.record.edit().tags.append(u"x"_qs); });
        QTest::newRow("detail") << Change([](Profile& p) { p.record.edit().details.mutuals = u"Bob"_qs; });
        QTest::newRow("birthday") << Change([](Profile& p) {
            p.record.edit().birthday = DateComponents{{}, 5, 1};
        });
        QTest::newRow("about") << Change([](Profile& p) { p.record.edit().about = u"x"_qs; });
        QTest::newRow("entry text") << Change(
            [](Profile& p) { p.record.edit().interactions[0].text = u"Lunch"_qs; });
        QTest::newRow("entry kind") << Change(
            [](Profile& p) { p.record.edit().interactions[0].kind = Interaction::Kind::Call; });
        QTest::newRow("entry date") << Change(
            [](Profile& p) { p.record.edit().interactions[0].date = kNow.addDays(-1); });
    }

    void everyChangeToWhatTheContextIsMadeOfChangesTheFingerprint() {
        QFETCH(Change, change);
        Profile p = profile(u"1"_qs, u"Ada"_qs);
        p.record.edit().interactions.append(test::note(u"Tea"_qs, kNow));
        const QString before = BriefingFingerprint::of(p);
        change(p);
        QVERIFY(BriefingFingerprint::of(p) != before);
        QCOMPARE(BriefingFingerprint::of(p).size(), 16);
    }

    void captureDatesTodayInTheUsersTimeZoneAndSendsTheContext() {
        use(AIProviderID::OnDevice);
        test::await(m_ai->capture(u"coffee"_qs, profile(u"1"_qs, u"Ada"_qs)));
        QCOMPARE(m_local->lastToday, u"2026-03-05"_qs); // 23:30 UTC is past midnight at UTC+2
        QCOMPARE(m_local->lastContext->name, u"Ada"_qs);
        test::await(m_ai->capture(u"coffee"_qs, std::nullopt));
        QCOMPARE(m_local->lastContext, std::nullopt);
    }

    void theConnectionTestExtractsItsFixedText() {
        use(AIProviderID::OnDevice);
        QSignalSpy changed(m_ai.get(), &AIService::connectionTestChanged);
        m_ai->startConnectionTest();
        QCOMPARE(m_ai->connectionTest(), AIService::ConnectionTest::Running);
        QTRY_COMPARE(m_ai->connectionTest(), AIService::ConnectionTest::Succeeded);
        QCOMPARE(m_local->lastText, u"Pemmo connection test"_qs);

        m_local->failure = std::make_exception_ptr(PemmoError::aiUnavailable(u"No server"_qs));
        m_ai->startConnectionTest();
        QTRY_COMPARE(m_ai->connectionTest(), AIService::ConnectionTest::Failed);
        QCOMPARE(m_ai->connectionTestMessage(), u"No server"_qs);
        QCOMPARE(changed.size(), 4);
    }

    void rankSendsAtMost40AndLeavesTheOptedOutOffTheCloud() {
        QList<Profile> people;
        for (int i = 0; i < 48; ++i)
            people.append(profile(QString::number(i), u"P"_qs + QString::number(i), {}, i % 16 == 3));
        use(AIProviderID::Claude);
        test::await(m_ai->rank(u"who?"_qs, people));
        QCOMPARE(m_cloud->lastCandidates.size(), 40);
        QStringList sent;
        for (const CandidateSummary& c : std::as_const(m_cloud->lastCandidates))
            sent.append(c.id);
        QVERIFY(!sent.contains(u"3"_qs) && !sent.contains(u"19"_qs) && !sent.contains(u"35"_qs));
        QCOMPARE(sent.last(), u"42"_qs); // the first 40 of the 45 eligible, in order

        use(AIProviderID::OnDevice);
        test::await(m_ai->rank(u"who?"_qs, people));
        QCOMPARE(m_local->lastCandidates[3].id, u"3"_qs);
        QCOMPARE(m_local->lastCandidates.last().id, u"39"_qs);
    }

    void theAnswerIsMappedToTheCandidatesSentOnlyOnceEach() {
        use(AIProviderID::Claude);
        const QList<Profile> people{profile(u"a"_qs, u"Ada"_qs), profile(u"b"_qs, u"Bo"_qs),
                                    profile(u"c"_qs, u"Cy"_qs, {}, true)};
        m_cloud->rankAnswer = {{u"b"_qs, u"Plays jazz"_qs}, {u"zz"_qs, u"Invented"_qs},
                               {u"c"_qs, u"Opted out"_qs},  {u"a"_qs, u"Knows jazz"_qs},
                               {u"b"_qs, u"Again"_qs},      {u"A"_qs, u"Wrong case"_qs}};
        const QList<RankedProfile> ranked = test::await(m_ai->rank(u"jazz?"_qs, people));
        QCOMPARE(ranked.size(), 2);
        QCOMPARE(ranked[0].profile.id(), u"b"_qs);
        QCOMPARE(ranked[0].reason, u"Plays jazz"_qs);
        QCOMPARE(ranked[1].profile.id(), u"a"_qs);
    }

    // (Saving, trimming and clearing the key are followed in TestSettingsViewModel.) A keyring that
    // cannot be read is not taken for one without a key.
    void aLockedKeyringIsNotAKeyringWithoutAKey() {
        FailingSecretStore locked;
        QCOMPARE(AIService::saveCloudKey(locked, u"sk-1"_qs), KeychainError::saveFailedMessage());
        QCOMPARE(AIService::hasCloudKey(locked), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestAIService)
#include "TestAIService.moc"
