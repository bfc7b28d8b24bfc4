// Claude's wire format over a real socket: the provider sends through Qt Network to a scripted
// HTTP server on 127.0.0.1, which keeps what it received. The scripted transport covers the cases
// that need no socket.
#include "AI/ClaudeProvider.h"
#include "AI/NetworkTransport.h"
#include "AI/Prompts.h"
#include "AI/ResponseSchemas.h"
#include "AI/StubTransport.h"
#include "Records/PemmoError.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "TestSupport/ModelAnswers.h"

#include <QTest>
#include <QThread>
#include <nlohmann/json.hpp>

using namespace pemmo;
using namespace std::chrono_literals;
using Server = test::LoopbackHTTPServer;

namespace {

const QString kKey = u"sk-test-0123456789"_qs;

using test::messagesAnswer;

const QByteArray kBriefing = R"({"summary":"Ada is a friend.","opener":"How was Paris?"})";

PersonContext context() {
    PersonContext c;
    c.name = u"Ada"_qs;
    return c;
}

} // namespace

class TestClaudeProvider : public QObject {
    Q_OBJECT

    std::unique_ptr<Server> m_server;
    std::shared_ptr<NetworkTransport> m_transport;

    ClaudeProvider provider(const QString& reasoning = u"claude-opus-5"_qs,
                            const QString& fast = u"claude-haiku-4-5"_qs, std::optional<QString> key = kKey) {
        return ClaudeProvider([key] { return key; }, reasoning, fast, m_transport,
                              *ClaudeProvider::endpoint(m_server->url().toString()), 0ms);
    }

private Q_SLOTS:
    void init() {
        m_server = std::make_unique<Server>();
        m_transport = std::make_shared<NetworkTransport>();
    }

    void cleanup() {
        m_transport.reset();
        m_server.reset();
    }

    void aStructuredRequestCarriesTheBodyAndHeadersInTheirOrder() {
        m_server->enqueue(200, messagesAnswer(kBriefing));
        ClaudeProvider claude = provider(u"claude-opus-5-20260101"_qs);
        const Briefing briefing = test::await(claude.briefing(context()));
        QCOMPARE(briefing, (Briefing{u"Ada is a friend."_qs, u"How was Paris?"_qs}));

        QCOMPARE(m_server->requests().size(), 1);
        const Server::Request& request = m_server->requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/v1/messages"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        QCOMPARE(request.header("x-api-key"), kKey.toUtf8());
        QCOMPARE(request.header("anthropic-version"), QByteArray("2023-06-01"));
        QCOMPARE(request.header("anthropic-beta"), QByteArray("server-side-fallback-2026-07-01"));
        QList<QByteArray> ours;
        for (const QByteArray& name : request.headerNames()) {
            if (name == "content-type" || name == "x-api-key" || name.startsWith("anthropic-"))
                ours.append(name);
        }
        QCOMPARE(ours,
                 (QList<QByteArray>{"content-type", "x-api-key", "anthropic-version", "anthropic-beta"}));

        const nlohmann::ordered_json expected{
            {"model", "claude-opus-5-20260101"},
            {"max_tokens", 4096},
            {"system", Prompts::system().toStdString()},
            {"messages",
             {{{"role", "user"},
               {"content",
                Prompts::briefing(
                    u"{\n  \"name\": \"Ada\",\n  \"recentInteractions\": [],\n  \"tags\": []\n}"_qs)
                    .toStdString()}}}},
            {"output_config",
             {{"format", {{"type", "json_schema"}, {"schema", ResponseSchemas::Cloud::briefing()}}}}},
            {"fallbacks", "default"}};
        QCOMPARE(request.body, QByteArray::fromStdString(expected.dump()));
    }

    void theSchemasSpellOutEveryProperty() {
        QCOMPARE(
            QByteArray::fromStdString(ResponseSchemas::Cloud::ranking().dump()),
            QByteArray(R"({"type":"object","properties":{"items":{"type":"array","items":{"type":"object",)"
                       R"("properties":{"id":{"type":"string"},"reason":{"type":"string"}},"required":["id",)"
                       R"("reason"],"additionalProperties":false}}},"required":["items"],)"
                       R"("additionalProperties":false})"));
        QCOMPARE(QByteArray::fromStdString(
                     ResponseSchemas::Cloud::captureResult()["properties"]["personName"].dump()),
                 QByteArray(R"({"type":["string","null"]})"));
        QCOMPARE(ResponseSchemas::Cloud::extractedProfile()["required"].size(), 15u);
    }

    void theFastModelHasNoFallbacksAndADraftNoSchema() {
        m_server->enqueue(200, messagesAnswer(R"({"givenName":"Ada","links":[],"tags":[]})"));
        ClaudeProvider claude = provider();
        test::await(claude.extract(u"Ada"_qs));
        const Server::Request extract = m_server->requests().last();
        const auto body = nlohmann::json::parse(extract.body.toStdString());
        QVERIFY(body["model"] == "claude-haiku-4-5");
        QVERIFY(!body.contains("fallbacks"));
        QVERIFY(extract.header("anthropic-beta").isEmpty());

        m_server->clear();
        m_server->enqueue(200, messagesAnswer("  Hi Ada, how was Paris?  \n"));
        const QString draft = test::await(claude.draft(context(), Channel::Message, std::nullopt));
        QCOMPARE(draft, u"Hi Ada, how was Paris?"_qs);
        const auto draftBody = nlohmann::json::parse(m_server->requests().last().body.toStdString());
        QVERIFY(!draftBody.contains("output_config"));
        QVERIFY(draftBody["model"] == "claude-opus-5");
    }

    // A 429, and then an answer that does not decode, are each asked for once more with the same
    // request; the second answer counts.
    void aRateLimitOrAnUndecodableAnswerIsTriedOnceMore() {
        m_server->enqueue(429, R"({"error":{"type":"rate_limit_error","message":"slow down"}})");
        m_server->enqueue(200, messagesAnswer(kBriefing));
        m_server->enqueue(200, messagesAnswer("Sure! Here is the briefing."));
        m_server->enqueue(200, messagesAnswer(kBriefing));
        ClaudeProvider claude = provider();
        QCOMPARE(test::await(claude.briefing(context())).opener, u"How was Paris?"_qs);
        QCOMPARE(test::await(claude.briefing(context())).summary, u"Ada is a friend."_qs);
        QCOMPARE(m_server->requests().size(), 4);
        for (const Server::Request& request : m_server->requests())
            QCOMPARE(request.body, m_server->requests().first().body);
    }

    void failedStatusesGiveTheirTexts_data() {
        QTest::addColumn<QList<int>>("statuses");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("requests");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("401") << QList<int>{401} << QByteArray(R"({"error":{"message":"bad key"}})") << 1
                             << 401 << u"Invalid API key"_qs;
        QTest::newRow("429 twice") << QList<int>{429} << QByteArray() << 2 << 429
                                   << u"Rate limited \u2014 try again shortly"_qs;
        QTest::newRow("503 twice") << QList<int>{503} << QByteArray("overloaded") << 2 << 503
                                   << u"overloaded"_qs;
        QTest::newRow("500 with a message in spaces")
            << QList<int>{500}
            << QByteArray(R"({"type":"error","error":{"type":"api_error","message":"  Oops  "}})") << 2 << 500
            << u"Oops"_qs;
        QTest::newRow("500 empty") << QList<int>{500} << QByteArray() << 2 << 500
                                   << u"Request failed (500)"_qs;
        QTest::newRow("400 long body")
            << QList<int>{400} << QByteArray(300, 'x') << 1 << 400 << QString(200, u'x');
    }

    void failedStatusesGiveTheirTexts() {
        QFETCH(QList<int>, statuses);
        QFETCH(QByteArray, body);
        QFETCH(int, requests);
        QFETCH(int, status);
        QFETCH(QString, message);
        for (int s : statuses)
            m_server->enqueue(s, body);
        ClaudeProvider claude = provider();
        const auto error = test::awaitErrorOf<PemmoError>(claude.briefing(context()));
        QVERIFY(error);
        QCOMPARE(*error, PemmoError::network(status, message));
        QCOMPARE(m_server->requests().size(), requests);
    }

    void modelLevelFailuresGiveTheirTexts_data() {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("message");
        QTest::newRow("refusal") << messagesAnswer("", "refusal") << u"The model declined this request"_qs;
        QTest::newRow("cut off") << messagesAnswer(R"({"summary":)", "max_tokens")
                                 << u"Response was cut off"_qs;
        QTest::newRow("no text block")
            << QByteArray(R"({"content":[{"type":"tool_use"}],"stop_reason":"end_turn"})")
            << u"Couldn't parse the model's response"_qs;
        QTest::newRow("blank text") << messagesAnswer(" \n ") << u"Couldn't parse the model's response"_qs;
        QTest::newRow("not a Messages answer")
            << QByteArray("<html>hello</html>")
            << u"Couldn't parse the model's response: <html>hello</html>"_qs;
        QTest::newRow("empty body") << QByteArray() << u"Couldn't parse the model's response"_qs;
    }

    void modelLevelFailuresGiveTheirTexts() {
        QFETCH(QByteArray, body);
        QFETCH(QString, message);
        m_server->enqueue(200, body);
        ClaudeProvider claude = provider();
        const auto error = test::awaitErrorOf<PemmoError>(claude.briefing(context()));
        QVERIFY(error);
        QCOMPARE(*error, PemmoError::aiResponseInvalid(message));
        QCOMPARE(m_server->requests().size(), 1);
    }

    void aSecondUndecodableAnswerFailsWithItsFirst200Characters() {
        const QByteArray wrong = "{\"summary\": 1, \"opener\": \"" + QByteArray(300, 'z') + "\"}";
        m_server->enqueue(200, messagesAnswer(wrong));
        ClaudeProvider claude = provider();
        const auto error = test::awaitErrorOf<PemmoError>(claude.rank(u"who?"_qs, {}));
        QVERIFY(error);
        QCOMPARE(*error, PemmoError::aiResponseInvalid(u"Couldn't parse the model's response: "_qs +
                                                       QString::fromUtf8(wrong.left(200))));
        QCOMPARE(m_server->requests().size(), 2);
    }

    void noServerIsANetworkErrorWithStatusZero() {
        const QUrl closed = m_server->url();
        m_server.reset();
        ClaudeProvider claude([] { return std::optional(kKey); }, u"claude-opus-5"_qs, u"claude-haiku-4-5"_qs,
                              m_transport, *ClaudeProvider::endpoint(closed.toString()), 0ms);
        const auto error = test::awaitErrorOf<PemmoError>(claude.briefing(context()));
        QVERIFY(error);
        QCOMPARE(error->errorCase(), PemmoError::Case::Network);
        QCOMPARE(error->number(), 0);
        QVERIFY(!error->text().isEmpty());
        QVERIFY(!error->text().contains(kKey));
    }

    void withoutAUsableKeyNothingIsSent_data() {
        QTest::addColumn<bool>("throws");
        QTest::addColumn<std::optional<QString>>("key");
        QTest::newRow("none") << false << std::optional<QString>();
        QTest::newRow("spaces") << false << std::optional(u"   \n"_qs);
        QTest::newRow("keyring failure") << true << std::optional(kKey);
    }

    void withoutAUsableKeyNothingIsSent() {
        QFETCH(bool, throws);
        QFETCH(std::optional<QString>, key);
        auto stub = std::make_shared<StubTransport>();
        ClaudeProvider claude(
            [throws, key]() -> std::optional<QString> {
                if (throws)
                    throw std::runtime_error("keyring locked");
                return key;
            },
            u"claude-opus-5"_qs, u"claude-haiku-4-5"_qs, stub);
        const auto error = test::awaitErrorOf<PemmoError>(claude.briefing(context()));
        QCOMPARE(error, PemmoError::aiUnavailable(u"Add your Anthropic API key in Settings \u2192 AI"_qs));
        QCOMPARE(test::await(claude.availability()),
                 AIAvailability::unavailable(u"Add your Anthropic API key in Settings \u2192 AI"_qs));
        QVERIFY(stub->sent().isEmpty());
    }

    // A keyring may take seconds (a daemon starting, a prompt to unlock it): the panel's thread
    // never waits for it.
    void theKeyIsReadOffThisThreadAndTrimmed() {
        auto stub =
            std::make_shared<StubTransport>(QList<StubTransport::Answer>{{messagesAnswer(kBriefing), 200}});
        auto readers = std::make_shared<QList<QThread*>>();
        ClaudeProvider claude(
            [readers] {
                readers->append(QThread::currentThread());
                return std::optional(u"  sk-abc \n"_qs);
            },
            u"m"_qs, u"f"_qs, stub);
        QCOMPARE(test::await(claude.availability()), AIAvailability::available());
        test::await(claude.briefing(context()));
        QCOMPARE(readers->size(), 2);
        QVERIFY(!readers->contains(QThread::currentThread()));
        QCOMPARE(stub->sent().first().header("x-api-key"), QByteArray("sk-abc"));
        QCOMPARE(stub->sent().first().url, ClaudeProvider::defaultEndpoint());
    }

    void theBaseAddressAcceptsOnlyHttpsOrThisComputer_data() {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("endpoint");
        QTest::newRow("blank") << u" "_qs << u"https://api.anthropic.com/v1/messages"_qs;
        QTest::newRow("proxy") << u"https://proxy.example.org/anthropic/"_qs
                               << u"https://proxy.example.org/anthropic/v1/messages"_qs;
        QTest::newRow("full endpoint")
            << u"https://proxy.example.org/v1/messages"_qs << u"https://proxy.example.org/v1/messages"_qs;
        QTest::newRow("loopback") << u"http://127.0.0.1:8080"_qs << u"http://127.0.0.1:8080/v1/messages"_qs;
        QTest::newRow("plain http elsewhere") << u"http://proxy.example.org"_qs << QString();
        QTest::newRow("no host") << u"api.anthropic.com"_qs << QString();
    }

    void theBaseAddressAcceptsOnlyHttpsOrThisComputer() {
        QFETCH(QString, base);
        QFETCH(QString, endpoint);
        const auto url = ClaudeProvider::endpoint(base);
        QCOMPARE(url ? url->toString() : QString(), endpoint);
    }
};

QTEST_GUILESS_MAIN(TestClaudeProvider)
#include "TestClaudeProvider.moc"
