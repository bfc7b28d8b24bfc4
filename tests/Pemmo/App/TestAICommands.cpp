// `pemmo ask`, `pemmo briefing` and `pemmo capture` as a script runs them: the real binary, its
// own data and settings folders, and a scripted model server on 127.0.0.1.
#include "Platform/SecretServiceStore.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/SettingsStore.h"
#include "Store/StoreFile.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "TestSupport/ModelAnswers.h"
#include "TestSupport/PemmoCommand.h"
#include "TestSupport/SampleCards.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <nlohmann/json.hpp>

using namespace pemmo;
using Server = test::LoopbackHTTPServer;
using Result = test::CommandResult;
using test::chatAnswer;
using test::messagesAnswer;

const QByteArray kTags = R"({"models":[{"name":"tiny:latest","model":"tiny:latest"}]})";

class TestAICommands : public QObject {
    Q_OBJECT

    test::TempDir m_home;
    std::unique_ptr<Server> m_server;

    QString dataFolder() const { return m_home.filePath(u"Pemmo"_qs); }
    QString defaultsPath() const { return m_home.filePath(u"config/Pemmo/defaults.json"_qs); }

    void configure(bool aiEnabled = true, AIProviderID provider = AIProviderID::OnDevice) {
        const QString server = m_server->url().toString();
        DefaultsFileStore defaults(defaultsPath());
        SettingsStore settings(defaults);
        settings.setAiEnabled(aiEnabled);
        settings.setAiProvider(provider);
        settings.setLocalModelServer(server);
        settings.setLocalModel(u"tiny"_qs);
        settings.setAnthropicBaseURL(server);
    }

    // Runs pemmo, away from any display, while this process keeps serving the model server's answers.
    Result pemmo(const QStringList& arguments) {
        return test::runPemmo(m_home, arguments, [](QProcessEnvironment& env) {
            env.remove(u"DISPLAY"_qs);
            env.remove(u"WAYLAND_DISPLAY"_qs);
            env.remove(u"QT_QPA_PLATFORM"_qs);
        });
    }

private Q_SLOTS:
    void init() {
        QVERIFY(!qEnvironmentVariableIsEmpty("PEMMO_BINARY"));
        QDir(dataFolder()).removeRecursively();
        QDir(m_home.filePath(u"config"_qs)).removeRecursively();
        QDir().mkpath(m_home.filePath(u"config/Pemmo"_qs));
        m_home.write(u"Pemmo/Contacts/ada.vcf"_qs,
                     test::vcard("ada-1", "Ada", "Lovelace", "ORG:Analytical Engines\r\n"));
        m_home.write(u"Pemmo/Contacts/ada-byron.vcf"_qs, test::vcard("ada-2", "Ada", "Byron"));
        m_home.write(u"Pemmo/Contacts/grace.vcf"_qs, test::vcard("grace-1", "Grace", "Hopper"));
        PemmoRecord ada = PemmoRecord::fresh(QDateTime(QDate(2026, 1, 1), QTime(8, 0), Qt::UTC));
        ada.details.company = u"Analytical Engines"_qs;
        ada.about = u"Loves jazz and engines."_qs;
        const std::string store = StoreFile::encode({{u"ada-1"_qs, ada}});
        m_home.write(u"Pemmo/pemmo-store.json"_qs, QByteArray::fromStdString(store));
        m_server = std::make_unique<Server>();
    }

    void cleanup() { m_server.reset(); }

    void askPrintsThePeopleTheModelChose() {
        configure();
        m_server->enqueue(200, kTags, "/api/tags");
        m_server->enqueue(
            200,
            chatAnswer(R"({"items":[{"id":"ada-1","reason":"Loves jazz"},{"id":"nobody","reason":"x"}]})"),
            "/api/chat");
        const Result json = pemmo({u"ask"_qs, u"--json"_qs, u"who"_qs, u"likes"_qs, u"jazz?"_qs});
        QVERIFY2(json.exitCode == 0, qPrintable(json.err));
        QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).array(),
                 QJsonArray({QJsonObject{{u"id"_qs, u"ada-1"_qs},
                                         {u"name"_qs, u"Ada Lovelace"_qs},
                                         {u"reason"_qs, u"Loves jazz"_qs}}}));
        const Server::Request chat = m_server->requests().last();
        QCOMPARE(chat.path, QByteArray("/api/chat"));
        const auto body = nlohmann::json::parse(chat.body.toStdString());
        const QString prompt = QString::fromStdString(body["messages"][1]["content"].get<std::string>());
        QVERIFY(prompt.startsWith(u"The user is looking for: \"who likes jazz?\""_qs));
        // Ada shares "jazz" with the question, so she is sent first.
        QVERIFY2(prompt.contains(
                     u"Candidates (id | name | details):\nada-1 | Ada Lovelace | Analytical Engines\n"_qs),
                 qPrintable(prompt));
        QVERIFY(prompt.contains(u"grace-1 | Grace Hopper | "_qs));

        const Result text = pemmo({u"ask"_qs, u"who likes jazz?"_qs});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, u"1. Ada Lovelace\n   Loves jazz\n"_qs);
    }

    void captureJsonPrintsTheProposalAndSavesNothing() {
        configure();
        m_server->enqueue(200, kTags, "/api/tags");
        m_server->enqueue(
            200,
            chatAnswer(R"({"personName":"Ada","fieldUpdates":[{"field":"company","value":"Initech"}],)"
                       R"("interactionKind":"met","interactionText":"Coffee","interactionDate":"2026-03-03",)"
                       R"("tags":["Jazz"],"aboutAppend":null})"),
            "/api/chat");
        const QByteArray before = m_home.read(u"Pemmo/pemmo-store.json"_qs);
        const Result result =
            pemmo({u"capture"_qs, u"--for"_qs, u"Ada Lovelace"_qs, u"--json"_qs, u"Coffee"_qs, u"with"_qs,
                   u"Ada,"_qs, u"she"_qs, u"moved"_qs, u"to"_qs, u"Initech"_qs});
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        const QJsonObject proposal = QJsonDocument::fromJson(result.out.toUtf8()).object();
        QCOMPARE(proposal[u"personID"_qs].toString(), u"ada-1"_qs);
        QCOMPARE(proposal[u"summary"_qs].toString(), u"Captured 3 updates"_qs);
        QCOMPARE(proposal[u"model"_qs].toString(), u"tiny"_qs);
        QCOMPARE(proposal[u"leftDevice"_qs].toBool(), false);
        const QJsonArray items = proposal[u"items"_qs].toArray();
        QCOMPARE(items.size(), 3);
        QCOMPARE(items[0].toObject(), (QJsonObject{{u"id"_qs, u"field:company"_qs},
                                                   {u"title"_qs, u"Company"_qs},
                                                   {u"selected"_qs, true},
                                                   {u"kind"_qs, u"setField"_qs},
                                                   {u"field"_qs, u"company"_qs},
                                                   {u"old"_qs, u"Analytical Engines"_qs},
                                                   {u"new"_qs, u"Initech"_qs}}));
        QCOMPARE(items[1].toObject()[u"date"_qs].toString(), u"2026-03-03"_qs);
        QCOMPARE(items[2].toObject()[u"id"_qs].toString(), u"tag+jazz"_qs);

        const auto body = nlohmann::json::parse(m_server->requests().last().body.toStdString());
        QVERIFY(QString::fromStdString(body["messages"][1]["content"].get<std::string>())
                    .contains(u"\"about\": \"Loves jazz and engines.\""_qs));
        QCOMPARE(m_home.read(u"Pemmo/pemmo-store.json"_qs), before);
    }

    void aiOffOrUnreachableExitsWithOne_data() {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<QString>("message");
        QTest::newRow("off")
            << false << true
            << u"pemmo: AI is turned off. Turn on AI features in Settings to use them from the command line.\n"_qs;
        QTest::newRow("no server") << true << false << u"pemmo: No local model server is running at %1."_qs;
    }

    void aiOffOrUnreachableExitsWithOne() {
        QFETCH(bool, enabled);
        QFETCH(bool, serverUp);
        QFETCH(QString, message);
        const QString address = m_server->url().toString();
        configure(enabled);
        if (!serverUp)
            m_server.reset();
        for (const QStringList& command :
             {QStringList{u"ask"_qs, u"who?"_qs}, QStringList{u"briefing"_qs, u"grace"_qs},
              QStringList{u"capture"_qs, u"--json"_qs, u"met Grace"_qs}}) {
            const Result result = pemmo(command);
            QCOMPARE(result.exitCode, 1);
            const QString expected = message.contains(u"%1"_qs) ? message.arg(address) : message;
            QVERIFY2(result.err.startsWith(expected), qPrintable(result.err));
            QVERIFY(result.out.isEmpty());
        }
        if (m_server)
            QVERIFY(m_server->requests().isEmpty());
    }

    void aPersonNameThatFitsTwoIsRefused() {
        configure();
        m_server->enqueue(200, kTags, "/api/tags");
        const Result result = pemmo({u"briefing"_qs, u"Ada"_qs});
        QCOMPARE(result.exitCode, 1);
        QVERIFY(result.err.contains(u"could be more than one person"_qs));
        QVERIFY(result.err.contains(u"(id ada-1)"_qs) && result.err.contains(u"(id ada-2)"_qs));
        QVERIFY(m_server->requests().isEmpty());
    }

    void aBriefingThroughClaudeUsesTheKeyFromTheKeyring() {
        // Only inside scripts/with-test-services: the keyring there is a throwaway one.
        if (qEnvironmentVariableIsEmpty("PEMMO_TEST_SERVICES_INNER"))
            QSKIP("needs the throwaway keyring of scripts/with-test-services");
        SecretServiceStore keyring;
        keyring.write(u"sk-cli-test"_qs, u"anthropic"_qs);
        configure(true, AIProviderID::Claude);
        m_server->enqueue(
            200, messagesAnswer(R"({"summary":"Grace writes compilers.","opener":"How is COBOL?"})"));
        const Result result = pemmo({u"briefing"_qs, u"Grace Hopper"_qs});
        keyring.remove(u"anthropic"_qs);
        QVERIFY2(result.exitCode == 0, qPrintable(result.err));
        QCOMPARE(result.out, u"Grace Hopper\n\nGrace writes compilers.\n\nOpener: How is COBOL?\n"_qs);
        QCOMPARE(m_server->requests().size(), 1);
        QCOMPARE(m_server->requests().first().path, QByteArray("/v1/messages"));
        QCOMPARE(m_server->requests().first().header("x-api-key"), QByteArray("sk-cli-test"));
    }
};

QTEST_GUILESS_MAIN(TestAICommands)
#include "TestAICommands.moc"
