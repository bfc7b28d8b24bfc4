// The tray while a version waits: the "Update" item first in the menu and the dot on the icon,
// both gone when the reminder ends; choosing the item shows the update. And the panel's banner,
// which mentions a waiting version once.
#include "Settings/InMemoryKeyValueStore.h"
#include "Shell/AppRouter.h"
#include "Shell/PanelController.h"
#include "TestSupport/FakeNotificationCenter.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"
#include "Updates/UpdateService.h"
#include "Updates/UpdateTrayItem.h"

#include <QMenu>
#include <QSystemTrayIcon>
#include <QTest>
#include <QWindow>

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

    // Once per version, at the next opening of the panel; a new version is mentioned again.
    void thePanelMentionsAWaitingVersionOnce() {
        test::FakeNotificationCenter center;
        UpdateNotifications notifications(center);
        UpdateReminder reminder(notifications);
        InMemoryKeyValueStore settings;
        UpdateService updates(settings, reminder, notifications, u"1.0.0"_qs);
        QWindow window;
        PanelController panel(&window);
        AppRouter router;
        updates.attachPanel(panel, router);
        const auto reopen = [&] {
            router.dismissBanner();
            panel.hide();
            panel.show();
            return router.banner() ? router.banner()->message : QString();
        };

        QCOMPARE(reopen(), QString());
        reminder.willHandleShowingUpdate(false, u"2.0.0"_qs);
        QCOMPARE(reopen(), u"Pemmo 2.0.0 is ready to install."_qs);
        QCOMPARE(router.banner()->actionTitle, std::optional(u"Update"_qs));
        QCOMPARE(router.banner()->actionKey, std::optional(QKeyCombination(Qt::ControlModifier, Qt::Key_U)));
        QCOMPARE(reopen(), QString());

        reminder.didReceiveUserAttention();
        reminder.willHandleShowingUpdate(false, u"2.1.0"_qs);
        QCOMPARE(reopen(), u"Pemmo 2.1.0 is ready to install."_qs);
    }
};

QTEST_MAIN(TestUpdateTrayItem)
#include "TestUpdateTrayItem.moc"
