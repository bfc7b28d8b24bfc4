// The update notification against a scripted notification centre: one notification per version,
// none once its reminder is over, none opened from an earlier launch, and a failed post retried
// by the next check.
#include "TestSupport/FakeNotificationCenter.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"

#include <QTest>

using namespace pemmo;
using pemmo::test::FakeNotificationCenter;

namespace {

const QString kInstance = u"launch-B"_qs;

// The reminder and its notifications as the application builds them.
struct Rig {
    FakeNotificationCenter center;
    UpdateNotifications notifications{center, kInstance};
    UpdateReminder reminder{notifications};
    int opened = 0;

    Rig() {
        notifications.setOnOpen([this] { ++opened; });
    }

    // A scheduled check found `version` and held it back.
    void heldBack(const QString& version) { reminder.willHandleShowingUpdate(false, version); }
    // What the notification's failure handling does runs as a later turn of the main loop.
    static void settle() { QCoreApplication::sendPostedEvents(); }
};

} // namespace

class TestUpdateNotifications : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theSameVersionHeldBackTwicePostsOneNotification() {
        Rig rig;
        rig.heldBack(u"2.1.0"_qs);
        QTest::ignoreMessage(QtInfoMsg, "Pemmo 2.1.0 is held back again; menu item and dot only");
        rig.heldBack(u"2.1.0"_qs);
        Rig::settle();

        QCOMPARE(rig.center.added.size(), 1);
        const NotificationRequest& request = rig.center.added.first();
        QCOMPARE(request.identifier, u"com.dorvane.Pemmo.update.launch-B.1"_qs);
        QCOMPARE(request.title, u"Pemmo 2.1.0 is ready to install."_qs);
        QCOMPARE(request.categoryIdentifier, UpdateNotifications::categoryIdentifier());
        // The menu item stands both times.
        QCOMPARE(rig.reminder.pendingVersionText(), u"2.1.0"_qs);
    }

    // The end of the reminder takes down every notification still outstanding.
    void aNewerVersionReplacesTheOlderNotificationUntilTheEnd() {
        Rig rig;
        rig.heldBack(u"2.1.0"_qs);
        rig.heldBack(u"2.2.0"_qs);
        QCOMPARE(rig.center.added.size(), 2);
        QVERIFY(rig.center.deliver(rig.center.added[1].identifier));
        // The older one is no longer the reminder in force: it is not shown, and it is taken down.
        QVERIFY(!rig.center.deliver(rig.center.added[0].identifier));
        QVERIFY(!rig.center.isUp(rig.center.added[0].identifier));
        QCOMPARE(rig.reminder.pendingVersionText(), u"2.2.0"_qs);

        QCOMPARE(rig.notifications.outstanding().size(), 2);
        rig.reminder.didReceiveUserAttention();
        QVERIFY(!rig.center.isUp(rig.center.added[1].identifier));
        QVERIFY(rig.notifications.outstanding().isEmpty());
        QVERIFY(!rig.notifications.waitingVersion());
    }

    void endedBeforeAuthorisationPostsNothing() {
        Rig rig;
        rig.center.holdAuthorization = true;
        rig.heldBack(u"2.1.0"_qs);
        rig.reminder.willFinishUpdateSession();
        QTest::ignoreMessage(
            QtInfoMsg,
            "The reminder for Pemmo 2.1.0 was over before notifications were authorized; nothing to post");
        rig.center.releaseAuthorization();
        Rig::settle();

        QVERIFY(rig.center.added.isEmpty());
        QVERIFY(!rig.reminder.pendingVersion());
        QVERIFY(rig.notifications.outstanding().isEmpty());
    }

    void endedBeforeTheAddCompletedTakesTheNotificationDown() {
        Rig rig;
        rig.center.holdAdds = true;
        rig.heldBack(u"2.1.0"_qs);
        const QString id = rig.center.added.value(0).identifier;
        QVERIFY(rig.center.isUp(id));
        rig.reminder.didReceiveUserAttention();
        // The end took down what was outstanding; the late completion takes it down again.
        QVERIFY(!rig.center.isUp(id));
        rig.center.pending.append(id);
        rig.center.releaseAdds();
        QVERIFY(!rig.center.isUp(id));
    }

    void lateDeliveryIsNotShown() {
        Rig rig;
        rig.heldBack(u"2.1.0"_qs);
        const QString id = rig.center.added.value(0).identifier;
        // The session finished while the request still waited to be shown.
        rig.reminder.willFinishUpdateSession();
        rig.center.pending.append(id); // as if the centre had not yet taken the removal in
        QTest::ignoreMessage(QtInfoMsg,
                             "An update notification arrived after its reminder was over; not showing it");
        QVERIFY(!rig.center.deliver(id));
        QVERIFY(!rig.center.isUp(id));
    }

    void othersNotificationsAreShownUntouched() {
        Rig rig;
        rig.center.pending << u"org.example.Chat.message.7"_qs;
        QVERIFY(rig.center.deliver(u"org.example.Chat.message.7"_qs));
        QVERIFY(rig.center.removedPending.isEmpty() && rig.center.removedDelivered.isEmpty());
    }

    void clicks_data() {
        QTest::addColumn<QString>("identifier");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<bool>("opens");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("this launch, reminder in force")
            << u"com.dorvane.Pemmo.update.launch-B.1"_qs << false << true << false;
        QTest::newRow("this launch, reminder over")
            << u"com.dorvane.Pemmo.update.launch-B.1"_qs << true << false << true;
        QTest::newRow("this launch, older generation")
            << u"com.dorvane.Pemmo.update.launch-B.0"_qs << false << false << true;
        QTest::newRow("earlier launch, same generation")
            << u"com.dorvane.Pemmo.update.launch-A.1"_qs << false << false << true;
        QTest::newRow("earlier launch whose name begins like ours")
            << u"com.dorvane.Pemmo.update.launch-B2.1"_qs << false << false << true;
        QTest::newRow("not a number") << u"com.dorvane.Pemmo.update.launch-B.+1"_qs << false << false << true;
        QTest::newRow("another application's") << u"org.example.Chat.message.1"_qs << false << false << false;
    }
    void clicks() {
        QFETCH(QString, identifier);
        QFETCH(bool, ended);
        QFETCH(bool, opens);
        QFETCH(bool, cleared);
        Rig rig;
        rig.heldBack(u"2.1.0"_qs);
        QCOMPARE(rig.notifications.generation(), qint64(1));
        if (ended)
            rig.reminder.didReceiveUserAttention();

        for (const QString& action : {UpdateNotifications::openActionIdentifier(), u"default"_qs}) {
            if (!rig.center.delivered.contains(identifier))
                rig.center.delivered << identifier;
            QVERIFY(rig.center.click(identifier, action));
            QCOMPARE(rig.opened > 0, opens);
            QCOMPARE(!rig.center.isUp(identifier), cleared);
            rig.opened = 0;
        }
    }

    void aFailedPostIsTriedAgainByTheNextCheck_data() {
        QTest::addColumn<bool>("denied");
        QTest::newRow("add failed") << false;
        QTest::newRow("notifications not allowed") << true;
    }
    void aFailedPostIsTriedAgainByTheNextCheck() {
        QFETCH(bool, denied);
        Rig rig;
        if (denied)
            rig.center.granted = false;
        else
            rig.center.addError = u"org.freedesktop.DBus.Error.ServiceUnknown"_qs;
        rig.heldBack(u"2.1.0"_qs);
        Rig::settle();
        QVERIFY(!rig.reminder.notifiedFor());
        QCOMPARE(rig.reminder.pendingVersionText(), u"2.1.0"_qs);

        rig.center.granted = true;
        rig.center.addError.reset();
        rig.heldBack(u"2.1.0"_qs);
        QCOMPARE(rig.center.added.size(), denied ? 1 : 2);
        QVERIFY(rig.center.deliver(rig.center.added.last().identifier));
    }

    void aFailureAfterTheEndLeavesTheVersionAnnounced() {
        Rig rig;
        rig.center.addError = u"no server"_qs;
        rig.heldBack(u"2.1.0"_qs);
        // The end comes before the failure handling gets its turn on the main loop.
        rig.reminder.willFinishUpdateSession();
        QTest::ignoreMessage(
            QtInfoMsg,
            "The reminder for Pemmo 2.1.0 was over before it could fail; leaving it counted as announced");
        Rig::settle();
        QCOMPARE(rig.reminder.notifiedFor().value_or(QString()), u"2.1.0"_qs);
        rig.center.addError.reset();
        rig.heldBack(u"2.1.0"_qs);
        QCOMPARE(rig.center.added.size(), 1);
    }

    void constructionRemovesLeftoversOnly() {
        FakeNotificationCenter center;
        center.delivered << u"com.dorvane.Pemmo.update.launch-A.3"_qs << u"org.example.Chat.message.1"_qs;
        center.pending << u"com.dorvane.Pemmo.update.launch-A.4"_qs << u"org.example.Chat.message.2"_qs;
        UpdateNotifications notifications(center, kInstance);
        QCOMPARE(center.delivered, QStringList{u"org.example.Chat.message.1"_qs});
        QCOMPARE(center.pending, QStringList{u"org.example.Chat.message.2"_qs});
        QCOMPARE(center.delegate, &notifications);
        QCOMPARE(center.categories.value(0).actions.value(0).identifier,
                 UpdateNotifications::openActionIdentifier());
    }

    void eachLaunchHasItsOwnInstance() {
        FakeNotificationCenter center;
        UpdateNotifications first(center);
        UpdateNotifications second(center);
        QVERIFY(!first.instance().isEmpty());
        QVERIFY(first.instance() != second.instance());
        QVERIFY(!second.generationOf(first.identifier(1)));
        QCOMPARE(first.generationOf(first.identifier(12)).value_or(-1), qint64(12));
    }
};

QTEST_GUILESS_MAIN(TestUpdateNotifications)
#include "TestUpdateNotifications.moc"
