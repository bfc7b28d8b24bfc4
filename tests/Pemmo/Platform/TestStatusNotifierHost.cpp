// Whether a StatusNotifierItem host shows the tray, asked of a stand-in watcher on a private session
// bus (run under scripts/with-test-services): a host registered, none yet, no watcher at all.
#include "Platform/StatusNotifierHost.h"

#include <QDBusConnection>
#include <QTest>
#include <QThread>

using namespace pemmo;

namespace {

// The one property of the watcher that says whether a panel shows the items.
class StandInWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered MEMBER hostRegistered)

public:
    bool hostRegistered = false;
};

} // namespace

class TestStatusNotifierHost : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("needs a session bus: run it under scripts/with-test-services");
    }

    void aHostIsSeenOnlyWhenTheWatcherSaysOne_data() {
        QTest::addColumn<bool>("watcher");
        QTest::addColumn<bool>("hostRegistered");
        QTest::newRow("a host registered") << true << true;
        QTest::newRow("a watcher without a host") << true << false;
        QTest::newRow("no watcher") << false << false;
    }
    void aHostIsSeenOnlyWhenTheWatcherSaysOne() {
        QFETCH(bool, watcher);
        QFETCH(bool, hostRegistered);
        StandInWatcher standIn;
        standIn.hostRegistered = hostRegistered;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, u"watcher"_qs);
        if (watcher) {
            QVERIFY(bus.registerObject(u"/StatusNotifierWatcher"_qs, &standIn,
                                       QDBusConnection::ExportAllProperties));
            QVERIFY(bus.registerService(u"org.kde.StatusNotifierWatcher"_qs));
        }
        // The watcher answers on its own connection while this one waits for it.
        bool registered = false;
        QThread* asking = QThread::create([&registered] { registered = StatusNotifierHost::isRegistered(); });
        asking->start();
        QTRY_VERIFY(asking->isFinished());
        delete asking;
        QDBusConnection::disconnectFromBus(u"watcher"_qs);
        QCOMPARE(registered, hostRegistered);
    }
};

QTEST_GUILESS_MAIN(TestStatusNotifierHost)
#include "TestStatusNotifierHost.moc"
