// The local model server provider over a real socket: requests as the Ollama chat API wants them,
// and what the user is told when the server or the model is missing.
#include "AI/LocalModelProvider.h"
#include "AI/NetworkTransport.h"
#include "AI/Prompts.h"
#include "AI/ResponseSchemas.h"
#include "Records/PemmoError.h"
#include "TestSupport/Await.h"
#include "TestSupport/AwaitError.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "TestSupport/ModelAnswers.h"

#include <QTest>
#include <nlohmann/json.hpp>

using namespace pemmo;
using namespace std::chrono_literals;
using Server = test::LoopbackHTTPServer;

namespace {

using test::chatAnswer;

// An answer of `GET /api/tags` as Ollama gives it: most recently changed first, with details.
const QByteArray kFullTags = R"({"models":[
  {"name":"qwen2.5:0.5b","model":"qwen2.5:0.5b","modified_at":"2026-03-03T09:12:44.1+01:00",
   "size":397821319,"digest":"a8b0c5157701","details":{"parent_model":"","format":"gguf",
   "family":"qwen2","families":["qwen2"],"parameter_size":"494.03M","quantization_level":"Q4_K_M"}},
  {"name":"Llama3.2:latest","model":"Llama3.2:latest","modified_at":"2026-02-11T18:40:02.5+01:00",
   "size":2019393189,"digest":"a80c4f17acd5","details":{"format":"gguf","family":"llama",
   "parameter_size":"3.2B","quantization_level":"Q4_K_M"}},
  {"name":"gemma3:1b","model":"gemma3:1b","modified_at":"2026-01-02T08:00:00Z","size":815319791}
]})";

PersonContext context() {
    PersonContext c;
    c.name = u"Ada"_qs;
    return c;
}

} // namespace

class TestLocalModelProvider : public QObject {
    Q_OBJECT

    std::unique_ptr<Server> m_server;
    std::shared_ptr<NetworkTransport> m_transport;

    LocalModelProvider provider(const QString& model = u"llama3.2"_qs, LocalModelTimeouts timeouts = {}) {
        return LocalModelProvider(m_server->url().toString(), model, m_transport, timeouts);
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

    void itStaysOnTheComputerAndABlankModelIsTheDefault() {
        const LocalModelProvider local(QString(), u"  "_qs, m_transport);
        QVERIFY(!local.leavesDevice());
        QCOMPARE(local.modelName(), u"llama3.2"_qs);
    }

    void aStructuredRequestAsksForTheSchemaWithoutStreaming() {
        m_server->enqueue(200, chatAnswer(R"({"summary":"Ada is a friend.","opener":"How was Paris?"})"),
                          "/api/chat");
        LocalModelProvider local = provider();
        QCOMPARE(test::await(local.briefing(context())),
                 (Briefing{u"Ada is a friend."_qs, u"How was Paris?"_qs}));

        const Server::Request& request = m_server->requests().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/api/chat"));
        QCOMPARE(request.header("Content-Type"), QByteArray("application/json"));
        const nlohmann::ordered_json expected{
            {"model", "llama3.2"},
            {"messages",
             {{{"role", "system"}, {"content", Prompts::system().toStdString()}},
              {{"role", "user"},
               {"content",
                Prompts::briefing(
                    u"{\n  \"name\": \"Ada\",\n  \"recentInteractions\": [],\n  \"tags\": []\n}"_qs)
                    .toStdString()}}}},
            {"stream", false},
            {"format", ResponseSchemas::Generable::briefing()},
            {"options", {{"num_ctx", 8192}}}};
        QCOMPARE(request.body, QByteArray::fromStdString(expected.dump()));
    }

    void theGeneratedShapesCarryTheirGuidesInOrder() {
        const auto& capture = ResponseSchemas::Generable::captureResult();
        QStringList order;
        for (const auto& [name, schema] : capture["properties"].items())
            order.append(QString::fromStdString(name));
        QCOMPARE(order,
                 QStringList({u"personName"_qs, u"fieldUpdates"_qs, u"interactionKind"_qs,
                              u"interactionText"_qs, u"interactionDate"_qs, u"tags"_qs, u"aboutAppend"_qs}));
        QVERIFY(capture["properties"]["interactionDate"].contains("description"));
        QVERIFY(!capture["properties"]["personName"].contains("description"));
    }

    void anExtractWithoutListsGivesEmptyLists() {
        m_server->enqueue(200, chatAnswer(R"({"givenName":"Ada","links":null,"summary":"An analyst."})"),
                          "/api/chat");
        LocalModelProvider local = provider();
        const ExtractedProfile profile = test::await(local.extract(u"Ada, analyst"_qs));
        QCOMPARE(profile.givenName, u"Ada"_qs);
        QVERIFY(profile.links.isEmpty());
        QVERIFY(profile.tags.isEmpty());
        QCOMPARE(profile.summary, u"An analyst."_qs);
    }

    void aDraftIsPlainText() {
        m_server->enqueue(200, chatAnswer("\nHi Ada!\n"), "/api/chat");
        LocalModelProvider local = provider();
        QCOMPARE(test::await(local.draft(context(), Channel::Email, u"thanks"_qs)), u"Hi Ada!"_qs);
        const auto body = nlohmann::json::parse(m_server->requests().first().body.toStdString());
        QVERIFY(!body.contains("format"));
        QVERIFY(!body["options"].contains("temperature"));
    }

    void theInstalledModelsAreListed_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("tags");
        QTest::addColumn<QStringList>("models");
        QTest::addColumn<int>("problem");
        const int none = int(LocalModelList::Problem::None);
        const int notAServer = int(LocalModelList::Problem::NotAModelServer);
        QTest::newRow("ollama's answer, sorted")
            << 200 << kFullTags << QStringList{u"gemma3:1b"_qs, u"Llama3.2:latest"_qs, u"qwen2.5:0.5b"_qs}
            << none;
        QTest::newRow("nothing installed") << 200 << QByteArray(R"({"models":[]})") << QStringList() << none;
        QTest::newRow("names under either key, each once")
            << 200
            << QByteArray(R"({"models":[{"model":"phi3"},{"name":" mistral "},{"name":"phi3","model":"x"},)"
                          R"({"name":7},"stray",{"name":""}]})")
            << QStringList{u"mistral"_qs, u"phi3"_qs} << none;
        QTest::newRow("a web page") << 200 << QByteArray("<html>It works!</html>") << QStringList()
                                    << notAServer;
        QTest::newRow("an error status")
            << 500 << QByteArray(R"({"models":[]})") << QStringList() << notAServer;
        QTest::newRow("models that are no list")
            << 200 << QByteArray(R"({"models":{"name":"llama3.2"}})") << QStringList() << notAServer;
    }

    void theInstalledModelsAreListed() {
        QFETCH(int, status);
        QFETCH(QByteArray, tags);
        QFETCH(QStringList, models);
        QFETCH(int, problem);
        m_server->enqueue(status, tags, "/api/tags");
        LocalModelProvider local = provider();
        const LocalModelList list = test::await(local.installedModels());
        QCOMPARE(list.models, models);
        QCOMPARE(int(list.problem), problem);
        QCOMPARE(list.message.isEmpty(), list.reached());
        QCOMPARE(m_server->requests().size(), 1);
        QCOMPARE(m_server->requests().first().method, QByteArray("GET"));
        QCOMPARE(m_server->requests().first().path, QByteArray("/api/tags"));
    }

    void aListedModelIsFoundByItsNameOrAsLatest_data() {
        QTest::addColumn<QString>("model");
        QTest::addColumn<bool>("listed");
        QTest::newRow("with its tag") << u"qwen2.5:0.5b"_qs << true;
        QTest::newRow("without a tag means latest") << u"Llama3.2"_qs << true;
        QTest::newRow("another tag") << u"Llama3.2:1b"_qs << false;
        QTest::newRow("a tag is not dropped") << u"qwen2.5"_qs << false;
    }
    void aListedModelIsFoundByItsNameOrAsLatest() {
        QFETCH(QString, model);
        QFETCH(bool, listed);
        m_server->enqueue(200, kFullTags, "/api/tags");
        LocalModelProvider local = provider();
        QCOMPARE(test::await(local.installedModels()).lists(model), listed);
    }

    void aServerThatIsNotThereIsNamedInTheMessage() {
        const QString address = m_server->url().toString();
        const QString expected =
            u"No local model server is running at "_qs + address +
            u". Start it (\u201Collama serve\u201D) or change the address in Settings \u2192 AI."_qs;
        LocalModelProvider local(address, u"llama3.2"_qs, m_transport, LocalModelTimeouts{200ms, 200ms});
        // No answer within the probe time.
        Server::Response silent;
        silent.silent = true;
        m_server->enqueue(silent, "/api/tags");
        const LocalModelList unanswered = test::await(local.installedModels());
        QCOMPARE(unanswered.problem, LocalModelList::Problem::NotRunning);
        QCOMPARE(unanswered.message, expected);
        // Nothing listens.
        m_server.reset();
        const LocalModelList list = test::await(local.installedModels());
        QCOMPARE(list.problem, LocalModelList::Problem::NotRunning);
        QVERIFY(list.models.isEmpty());
        QCOMPARE(list.message, expected);
        QCOMPARE(test::await(local.availability()), AIAvailability::unavailable(expected));
        QCOMPARE(test::awaitErrorOf<PemmoError>(local.briefing(context())),
                 PemmoError::aiUnavailable(expected));
    }

    // The server must be on this computer, whatever the scheme: the screens say nothing left it.
    void anAddressElsewhereIsRefusedBeforeAnythingIsSent_data() {
        QTest::addColumn<QString>("address");
        QTest::newRow("plain http") << u"http://192.0.2.7:11434"_qs;
        QTest::newRow("https") << u"https://models.example.org"_qs;
    }
    void anAddressElsewhereIsRefusedBeforeAnythingIsSent() {
        QFETCH(QString, address);
        LocalModelProvider local(address, u"llama3.2"_qs, m_transport);
        const LocalModelList list = test::await(local.installedModels());
        QCOMPARE(list.problem, LocalModelList::Problem::InvalidAddress);
        QCOMPARE(list.message, local.invalidAddressMessage());
        QVERIFY(!test::await(local.availability()).isAvailable);
        QCOMPARE(test::awaitErrorOf<PemmoError>(local.briefing(context()))->errorCase(),
                 PemmoError::Case::AIUnavailable);
    }

    // A redirect on this computer is followed; one to another computer is not.
    void aRedirectNeverLeavesThisComputer() {
        const auto redirectTo = [](const QByteArray& location) {
            Server::Response moved{307, {}, "text/plain"};
            moved.headers.append(QByteArray("Location: ") + location);
            return moved;
        };
        m_server->enqueue(redirectTo(m_server->url().toEncoded() + "/api/moved"), "/api/chat");
        m_server->enqueue(200, chatAnswer(R"({"summary":"Ada is a friend.","opener":"Hi"})"), "/api/moved");
        QCOMPARE(test::await(provider().briefing(context())).summary, u"Ada is a friend."_qs);

        m_server->clear();
        m_server->enqueue(redirectTo("http://pemmo-test.invalid:11434/api/chat"), "/api/chat");
        const auto error = test::awaitErrorOf<PemmoError>(provider().briefing(context()));
        QVERIFY(error);
        QVERIFY2(
            error->message().contains(u"pemmo-test.invalid:11434/api/chat, which Pemmo does not follow"_qs),
            qPrintable(error->message()));
    }

    void failedAnswersGiveTheirTexts_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("errorCase");
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("message");
        const int unavailable = int(PemmoError::Case::AIUnavailable);
        const int invalid = int(PemmoError::Case::AIResponseInvalid);
        QTest::newRow("model missing")
            << 404 << QByteArray(R"({"error":"model \"llama3.2\" not found, try pulling it first"})")
            << unavailable << 0
            << u"The model llama3.2 is not installed on the local model server. Install it with: ollama pull llama3.2"_qs;
        const int network = int(PemmoError::Case::Network);
        const QString server = u"The local model server at @SERVER@"_qs;
        QTest::newRow("server error") << 500 << QByteArray(R"({"error":"out of memory"})") << network << 500
                                      << server + u" reported: out of memory"_qs;
        QTest::newRow("plain text") << 502 << QByteArray("Bad Gateway\nnginx\n") << network << 502
                                    << server + u" answered with status 502: Bad Gateway."_qs;
        QTest::newRow("a web page") << 503 << QByteArray("<html><body>Unavailable</body></html>") << network
                                    << 503 << server + u" answered with status 503."_qs;
        QTest::newRow("nothing") << 500 << QByteArray() << network << 500
                                 << server + u" answered with status 500."_qs;
        QTest::newRow("cut off") << 200 << chatAnswer(R"({"summary":"Ada)", "length") << invalid << 0
                                 << u"Response was cut off"_qs;
        QTest::newRow("not the shape") << 200 << chatAnswer(R"({"summary":"Ada"})") << invalid << 0
                                       << u"Couldn't parse the model's response: {\"summary\":\"Ada\"}"_qs;
    }

    void failedAnswersGiveTheirTexts() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(int, errorCase);
        QFETCH(int, number);
        QFETCH(QString, message);
        m_server->enqueue(status, body, "/api/chat");
        LocalModelProvider local = provider();
        const auto error = test::awaitErrorOf<PemmoError>(local.briefing(context()));
        QVERIFY(error);
        QCOMPARE(int(error->errorCase()), errorCase);
        QCOMPARE(error->number(), number);
        QCOMPARE(error->text(), QString(message).replace(u"@SERVER@"_qs, m_server->url().toString()));
        // The local model is asked once; nothing is retried.
        QCOMPARE(m_server->requests().size(), 1);
    }

    void aModelThatTakesTooLongIsGivenUp() {
        Server::Response silent;
        silent.silent = true;
        m_server->enqueue(silent, "/api/chat");
        LocalModelProvider local = provider(u"llama3.2"_qs, LocalModelTimeouts{200ms, 200ms});
        const auto error =
            test::awaitErrorOf<PemmoError>(local.capture(u"note"_qs, std::nullopt, u"2026-03-04"_qs));
        QCOMPARE(error,
                 PemmoError::network(0, u"The local model did not answer within 200 milliseconds."_qs));
    }
};

QTEST_GUILESS_MAIN(TestLocalModelProvider)
#include "TestLocalModelProvider.moc"
