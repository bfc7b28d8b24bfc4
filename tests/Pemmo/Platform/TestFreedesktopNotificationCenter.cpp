// Update reminders through desktop notifications, against a stand-in notification server on a
// private session bus (run under scripts/with-test-services): the feed found twice, one
// notification on the server; its "Update" action opening the release; the leftovers of an
// earlier launch closed; the server's capabilities asked once, whatever it answers, and a request
// taken back while they are asked never shown.
#include "AI/NetworkTransport.h"
#include "Platform/FreedesktopNotificationCenter.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "TestSupport/TempDir.h"
#include "Updates/UpdateChecker.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

using namespace pemmo;
using namespace std::chrono_literals;

namespace {

const QString kPath = u"/org/freedesktop/Notifications"_qs;
const QString kInterface = u"org.freedesktop.Notifications"_qs;

// The part of a notification server Pemmo talks to; it remembers what it was asked.
class StandInServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown {
        QString appName;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };
    QHash<uint, Shown> shown;
    QList<uint> closed;
    uint nextID = 100;
    QStringList capabilities{u"actions"_qs, u"body"_qs};
    // How GetCapabilities goes: answered, failed, or held until `answerHeld`.
    enum class Capabilities { Answered, Failed, Held } capabilitiesGo = Capabilities::Answered;
    int capabilityQuestions = 0;

    void answerHeld(QDBusConnection bus) {
        for (const QDBusMessage& question : std::exchange(m_held, {}))
            bus.send(question.createReply(capabilities));
    }

Q_SIGNALS:
    void notified();
    void closeRequested();
    void capabilitiesAsked();

public Q_SLOTS:
    QStringList GetCapabilities() {
        ++capabilityQuestions;
        Q_EMIT capabilitiesAsked();
        if (capabilitiesGo == Capabilities::Failed)
            sendErrorReply(QDBusError::Failed, u"Not ready"_qs);
        if (capabilitiesGo == Capabilities::Held) {
            setDelayedReply(true);
            m_held << message();
        }
        return capabilities;
    }
    uint Notify(const QString& appName, uint /*replacesID*/, const QString& /*icon*/, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int /*timeout*/) {
        const uint id = nextID++;
        shown.insert(id, {appName, summary, body, actions, hints});
        Q_EMIT notified();
        return id;
    }
    void CloseNotification(uint id) {
        closed << id;
        Q_EMIT closeRequested();
    }

private:
    QList<QDBusMessage> m_held;
};

QByteArray feed(const QString& version) {
    return uR"({"releases": [{"version": "%1", "url": "https://example.org/pemmo/%1"}]})"_qs.arg(version)
        .toUtf8();
}

} // namespace

class TestFreedesktopNotificationCenter : public QObject {
    Q_OBJECT

    QString m_service;
    std::optional<QDBusConnection> m_bus;
    StandInServer m_server;
    std::unique_ptr<test::TempDir> m_dir;

    QString statePath() const { return m_dir->path() + u"/notifications.json"_qs; }

    std::unique_ptr<FreedesktopNotificationCenter> makeCenter(const QString& service = {}) {
        return std::make_unique<FreedesktopNotificationCenter>(QDBusConnection::sessionBus(), statePath(),
                                                               service.isEmpty() ? m_service : service);
    }

    void emitSignal(const QString& name, const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, name);
        signal.setArguments(arguments);
        QVERIFY(m_bus->send(signal));
    }

    static QStringList delivered(FreedesktopNotificationCenter& center) {
        QStringList identifiers;
        center.deliveredIdentifiers([&identifiers](const QStringList& ids) { identifiers = ids; });
        return identifiers;
    }

    // Everything the centre sent before this has reached the server once it is answered.
    static void roundTrip(FreedesktopNotificationCenter& center) {
        bool answered = false;
        center.requestAuthorization([&answered](bool, std::optional<QString>) { answered = true; });
        QTRY_VERIFY(answered);
    }

    // The reminder holds 9.0.0 back and its notification reaches the server.
    void heldBackAndShown(UpdateReminder& reminder, FreedesktopNotificationCenter& center) {
        QSignalSpy notified(&m_server, &StandInServer::notified);
        reminder.willHandleShowingUpdate(false, u"9.0.0"_qs);
        QVERIFY(notified.wait(5000));
        roundTrip(center);
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus: run it under scripts/with-test-services");
        // A name of its own, so a real notification server on the bus is never disturbed.
        m_service = u"com.dorvane.PemmoTest.notifications"_qs + QUuid::createUuid().toString(QUuid::Id128);
        m_bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"stand-in-notifications"_qs);
        QVERIFY(m_bus->isConnected());
        QVERIFY(m_bus->registerObject(kPath, &m_server, QDBusConnection::ExportAllSlots));
        QVERIFY(m_bus->registerService(m_service));
    }

    void cleanupTestCase() {
        if (m_bus)
            QDBusConnection::disconnectFromBus(u"stand-in-notifications"_qs);
    }

    void init() {
        m_dir = std::make_unique<test::TempDir>();
        m_server.shown.clear();
        m_server.closed.clear();
        m_server.capabilities = {u"actions"_qs, u"body"_qs};
        m_server.capabilitiesGo = StandInServer::Capabilities::Answered;
        m_server.capabilityQuestions = 0;
    }

    // Names and titles hold '&' and '<': a server that reads bodies as markup gets them escaped,
    // any other the text as it is. The capabilities are asked once for the authorisation and the
    // notifications it lets through, even of a server that cannot say: each notification would
    // otherwise wait for a question of its own.
    void theCapabilitiesAreAskedOnceAndDecideTheEscaping_data() {
        QTest::addColumn<bool>("markup");
        QTest::addColumn<StandInServer::Capabilities>("capabilitiesGo");
        QTest::addColumn<QString>("body");
        const QString text = u"Lunch with Tom & Jerry <at> \"Caf\u00E9 <b>\""_qs;
        QTest::newRow("plain bodies") << false << StandInServer::Capabilities::Answered << text;
        QTest::newRow("markup in bodies")
            << true << StandInServer::Capabilities::Answered
            << u"Lunch with Tom &amp; Jerry &lt;at&gt; &quot;Caf\u00E9 &lt;b&gt;&quot;"_qs;
        QTest::newRow("no answer") << true << StandInServer::Capabilities::Failed << text;
    }
    void theCapabilitiesAreAskedOnceAndDecideTheEscaping() {
        QFETCH(bool, markup);
        QFETCH(StandInServer::Capabilities, capabilitiesGo);
        QFETCH(QString, body);
        if (markup)
            m_server.capabilities << u"body-markup"_qs;
        m_server.capabilitiesGo = capabilitiesGo;
        const auto center = makeCenter();
        QSignalSpy notified(&m_server, &StandInServer::notified);
        std::optional<bool> granted;
        center->requestAuthorization([&granted](bool answer, std::optional<QString>) { granted = answer; });
        const QString text = u"Lunch with Tom & Jerry <at> \"Caf\u00E9 <b>\""_qs;
        center->add({u"first"_qs, u"Tom & Jerry"_qs, text, {}}, [](std::optional<QString>) {});
        center->add({u"second"_qs, u"Tom & Jerry"_qs, text, {}}, [](std::optional<QString>) {});
        QTRY_COMPARE(notified.size(), 2);
        QCOMPARE(granted, capabilitiesGo == StandInServer::Capabilities::Answered);
        center->add({u"third"_qs, u"Tom & Jerry"_qs, text, {}}, [](std::optional<QString>) {});
        QTRY_COMPARE(notified.size(), 3);
        QCOMPARE(m_server.capabilityQuestions, 1);
        for (const StandInServer::Shown& shown : std::as_const(m_server.shown)) {
            QCOMPARE(shown.summary, u"Tom & Jerry"_qs);
            QCOMPARE(shown.body, body);
        }
    }

    void aRequestTakenBackWhileTheServerIsAskedIsNeverShown() {
        m_server.capabilitiesGo = StandInServer::Capabilities::Held;
        const auto center = makeCenter();
        QSignalSpy asked(&m_server, &StandInServer::capabilitiesAsked);
        std::optional<std::optional<QString>> added;
        center->add({u"moment"_qs, u"Lunch"_qs, u"Tom"_qs, {}},
                    [&added](std::optional<QString> error) { added = error; });
        QVERIFY(asked.wait(5000));
        QStringList pending;
        center->pendingIdentifiers([&pending](const QStringList& identifiers) { pending = identifiers; });
        QCOMPARE(pending, QStringList{u"moment"_qs});
        center->removePending({u"moment"_qs});
        m_server.answerHeld(*m_bus);
        QTRY_VERIFY(added.has_value());
        QCOMPARE(*added, std::nullopt);
        m_server.capabilitiesGo = StandInServer::Capabilities::Answered;
        roundTrip(*center);
        QVERIFY(m_server.shown.isEmpty());
        QVERIFY(delivered(*center).isEmpty());
    }

    void aVersionHeldBackTwiceIsNotifiedOnceAndItsUpdateActionOpensIt() {
        test::LoopbackHTTPServer feedServer;
        feedServer.enqueue(200, feed(u"9.0.0"_qs), "/feed.json");
        InMemoryKeyValueStore settings;
        settings.set(feedServer.url().resolved(QUrl(u"/feed.json"_qs)).toString(), UpdateChecker::feedKey());
        NetworkTransport transport;
        const auto center = makeCenter();
        UpdateNotifications notifications(*center);
        UpdateReminder reminder(notifications);
        UpdateChecker checker(transport, settings, reminder, u"1.0.0"_qs);
        QList<QUrl> opened;
        checker.setOpener([&opened](const QUrl& url) {
            opened << url;
            return true;
        });
        notifications.setOnOpen([&checker] { checker.showUpdate(); });

        QSignalSpy notified(&m_server, &StandInServer::notified);
        test::await(checker.check());
        QVERIFY(notified.wait(5000));
        test::await(checker.check());
        roundTrip(*center);
        QCOMPARE(m_server.shown.size(), 1);
        QCOMPARE(reminder.pendingVersionText(), u"9.0.0"_qs);

        const uint id = m_server.shown.keys().first();
        const StandInServer::Shown shown = m_server.shown.value(id);
        QCOMPARE(shown.appName, u"Pemmo"_qs);
        QCOMPARE(shown.summary, u"Pemmo 9.0.0 is ready to install."_qs);
        QCOMPARE(shown.body, u"Choose Update to see what's new and install it."_qs);
        const qsizetype update = shown.actions.indexOf(u"com.dorvane.Pemmo.update.open"_qs);
        QVERIFY(update % 2 == 0);
        QCOMPARE(shown.actions.value(update + 1), u"Update"_qs);

        // Another application's notification being clicked is none of Pemmo's business.
        emitSignal(u"ActionInvoked"_qs, {uint(id + 50), u"default"_qs});
        QSignalSpy closeRequested(&m_server, &StandInServer::closeRequested);
        emitSignal(u"ActionInvoked"_qs, {id, u"com.dorvane.Pemmo.update.open"_qs});
        QVERIFY(closeRequested.wait(5000));
        QCOMPARE(opened, QList<QUrl>{QUrl(u"https://example.org/pemmo/9.0.0"_qs)});
        QCOMPARE(m_server.closed, QList<uint>{id});
        QVERIFY(!reminder.pendingVersion());
    }

    void withoutANotificationServerTheTrayCarriesTheReminder() {
        const auto center = makeCenter(u"com.dorvane.PemmoTest.nobody"_qs);
        UpdateNotifications notifications(*center);
        UpdateReminder reminder(notifications);
        QTest::ignoreMessage(
            QtInfoMsg, QRegularExpression(
                           u"^Notifications not allowed \\(.+\\); the menu bar carries the reminder$"_qs));
        reminder.willHandleShowingUpdate(false, u"9.0.0"_qs);
        QTRY_VERIFY(!reminder.notifiedFor());
        QCOMPARE(reminder.pendingVersionText(), u"9.0.0"_qs);
    }

    void anEarlierLaunchsNotificationIsClosedAtStart() {
        {
            const auto center = makeCenter();
            UpdateNotifications notifications(*center, u"earlier"_qs);
            UpdateReminder reminder(notifications);
            heldBackAndShown(reminder, *center);
        }
        const uint id = m_server.shown.keys().value(0);
        QSignalSpy closeRequested(&m_server, &StandInServer::closeRequested);
        const auto center = makeCenter();
        UpdateNotifications notifications(*center, u"later"_qs);
        QVERIFY(closeRequested.wait(5000));
        QCOMPARE(m_server.closed, QList<uint>{id});
    }

    void aNotificationTheUserDismissedIsForgotten() {
        const auto center = makeCenter();
        UpdateNotifications notifications(*center);
        UpdateReminder reminder(notifications);
        heldBackAndShown(reminder, *center);
        QCOMPARE(delivered(*center).size(), 1);
        emitSignal(u"NotificationClosed"_qs, {m_server.shown.keys().value(0), uint(2)});
        QTRY_VERIFY(delivered(*center).isEmpty());
        // Nothing is left for the next launch to close.
        QFile file(statePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().trimmed(), QByteArray("{}"));
    }
};

QTEST_GUILESS_MAIN(TestFreedesktopNotificationCenter)
#include "TestFreedesktopNotificationCenter.moc"
