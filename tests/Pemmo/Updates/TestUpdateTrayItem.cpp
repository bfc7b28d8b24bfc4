// The tray while a version waits: the "Update" item first in the menu and the dot on the icon,
// both gone when the reminder ends; choosing the item shows the update.
#include "TestSupport/FakeNotificationCenter.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"
#include "Updates/UpdateTrayItem.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>

using namespace pemmo;

class TestUpdateTrayItem : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theItemAndTheDotFollowTheWaitingVersion() {
        test::FakeNotificationCenter center;
        UpdateNotifications notifications(center);
        UpdateReminder reminder(notifications);
        QMenu menu;
        QAction* open = menu.addAction(u"Open Pemmo"_qs);
        QSystemTrayIcon icon(QIcon(u":/pemmo/icons/pemmo-tray.svg"_qs));
        const qint64 plain = icon.icon().cacheKey();
        int shown = 0;
        UpdateTrayItem item(menu, icon, reminder, [&shown] { ++shown; });

        QVERIFY(!item.action()->isVisible());
        QVERIFY(!item.showsDot());
        QCOMPARE(icon.icon().cacheKey(), plain);

        reminder.willHandleShowingUpdate(false, u"2.0.0"_qs);
        QVERIFY(item.action()->isVisible());
        QCOMPARE(item.action()->text(), u"Update"_qs);
        QCOMPARE(menu.actions().first(), item.action());
        QCOMPARE(menu.actions().last(), open);
        QVERIFY(item.showsDot());
        QVERIFY(icon.icon().cacheKey() != plain);
        QVERIFY(!icon.icon().pixmap(22, 22).isNull());

        item.action()->trigger();
        QCOMPARE(shown, 1);

        reminder.didReceiveUserAttention();
        QVERIFY(!item.action()->isVisible());
        QVERIFY(!item.showsDot());
        QCOMPARE(icon.icon().cacheKey(), plain);
    }
};

QTEST_MAIN(TestUpdateTrayItem)
#include "TestUpdateTrayItem.moc"
