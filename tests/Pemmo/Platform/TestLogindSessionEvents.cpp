// Wake and unlock as logind announces them, against a stand-in logind on a private session bus
// (run under scripts/with-test-services): the real D-Bus plumbing, the real signal signatures.
#include "Platform/LogindSessionEvents.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>

using namespace pemmo;

namespace {

const QString kSession = u"/org/freedesktop/login1/session/_32"_qs;

// The parts of logind the listener talks to.
class FakeManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public Q_SLOTS:
    QDBusObjectPath GetSession(const QString&) { return QDBusObjectPath(kSession); }
    QDBusObjectPath GetSessionByPID(uint) { return QDBusObjectPath(kSession); }
};

// Its properties are answered by Qt's own org.freedesktop.DBus.Properties, as logind's are by sd-bus.
class FakeSession : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Session")
    Q_PROPERTY(bool LockedHint READ lockedHint)
    Q_PROPERTY(bool Active READ active)

public:
    bool locked = true;
    bool lockedHint() const { return locked; }
    bool active() const { return true; }
};

} // namespace

class TestLogindSessionEvents : public QObject {
    Q_OBJECT

    QString m_service;
    std::optional<QDBusConnection> m_logind;
    FakeManager m_manager;
    FakeSession m_session;

    void send(const QString& path, const QString& interface, const QString& name,
              const QVariantList& arguments) {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(arguments);
        QVERIFY(m_logind->send(signal));
    }

    void propertiesChanged(const QVariantMap& changed, const QStringList& invalidated = {}) {
        send(kSession, u"org.freedesktop.DBus.Properties"_qs, u"PropertiesChanged"_qs,
             {u"org.freedesktop.login1.Session"_qs, changed, invalidated});
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus: run it under scripts/with-test-services");
        // The stand-in owns a name of its own on a connection of its own, as logind would.
        m_service = u"com.dorvane.PemmoTest.login"_qs + QUuid::createUuid().toString(QUuid::Id128);
        m_logind = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"fake-logind"_qs);
        QVERIFY(m_logind->isConnected());
        QVERIFY(m_logind->registerObject(u"/org/freedesktop/login1"_qs, &m_manager,
                                         QDBusConnection::ExportAllSlots));
        QVERIFY(m_logind->registerObject(kSession, &m_session, QDBusConnection::ExportAllProperties));
        QVERIFY(m_logind->registerService(m_service));
    }

    void cleanupTestCase() {
        if (m_logind)
            QDBusConnection::disconnectFromBus(u"fake-logind"_qs);
    }

    // One listener through a day of logind's announcements.
    void wakingAndEachWayBackToTheSessionAreAnnounced() {
        m_session.locked = true;
        LogindSessionEvents events(QDBusConnection::sessionBus(), m_service);
        QSignalSpy found(&events, &LogindSessionEvents::sessionFound);
        QVERIFY(found.wait(5000));
        QCOMPARE(events.sessionPath(), kSession);
        QSignalSpy active(&events, &SessionEvents::sessionActive);

        // A change announced without its value is asked for.
        m_session.locked = false;
        propertiesChanged({}, {u"LockedHint"_qs});
        QVERIFY(active.wait(5000));
        QCOMPARE(active.size(), 1);

        propertiesChanged({{u"LockedHint"_qs, true}});
        propertiesChanged({{u"LockedHint"_qs, false}});
        QVERIFY(active.wait(5000));
        QCOMPARE(active.size(), 2);

        send(kSession, u"org.freedesktop.login1.Session"_qs, u"Unlock"_qs, {});
        QVERIFY(active.wait(5000));
        QCOMPARE(active.size(), 3);

        // Switching back to the session.
        propertiesChanged({{u"Active"_qs, false}});
        propertiesChanged({{u"Active"_qs, true}});
        QVERIFY(active.wait(5000));
        QCOMPARE(active.size(), 4);

        QSignalSpy woke(&events, &SessionEvents::woke);
        for (const bool sleeping : {true, false})
            send(u"/org/freedesktop/login1"_qs, u"org.freedesktop.login1.Manager"_qs, u"PrepareForSleep"_qs,
                 {sleeping});
        QVERIFY(woke.wait(5000));
        QCOMPARE(woke.size(), 1);
    }

    void withoutLogindNothingHappens() {
        LogindSessionEvents events(QDBusConnection::sessionBus(), u"com.dorvane.PemmoTest.nobody"_qs);
        QVERIFY(events.sessionPath().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestLogindSessionEvents)
#include "TestLogindSessionEvents.moc"
