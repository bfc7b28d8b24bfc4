// The feed checker over a real HTTP server on the loopback address: nothing without a feed, one
// reminder per version however often it is found, the reminder's end when nothing newer is
// listed, and checks a day apart across restarts.
#include "AI/NetworkTransport.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/FakeNotificationCenter.h"
#include "TestSupport/LoopbackHTTPServer.h"
#include "Updates/UpdateChecker.h"
#include "Updates/UpdateNotifications.h"
#include "Updates/UpdateReminder.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using namespace std::chrono_literals;
using pemmo::test::FakeNotificationCenter;
using pemmo::test::LoopbackHTTPServer;

namespace {

QByteArray feed(const QStringList& versions) {
    QByteArray out = R"({"releases": [)";
    for (qsizetype i = 0; i < versions.size(); ++i) {
        out += (i ? "," : "") +
               uR"({"version": "%1", "url": "https://example.org/pemmo/%1"})"_qs.arg(versions[i]).toUtf8();
    }
    return out + "]}";
}

struct Rig {
    LoopbackHTTPServer server;
    NetworkTransport transport;
    InMemoryKeyValueStore settings;
    FakeNotificationCenter center;
    UpdateNotifications notifications{center};
    UpdateReminder reminder{notifications};
    QDateTime now = QDateTime(QDate(2025, 3, 1), QTime(9, 0), Qt::UTC);
    UpdateChecker checker{transport, settings, reminder, u"1.4.0"_qs, [this] { return now; }, 24h, 2min, 1h};
    QList<QUrl> opened;
    bool opens = true; // whether the desktop opens the page

    Rig() {
        settings.set(server.url().resolved(QUrl(u"/feed.json"_qs)).toString(), UpdateChecker::feedKey());
        checker.setOpener([this](const QUrl& url) {
            opened.append(url);
            return opens;
        });
    }
    void check() { pemmo::test::await(checker.check()); }
};

} // namespace

class TestUpdateChecker : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void withoutAFeedNothingIsAsked() {
        Rig rig;
        rig.settings.set(std::nullopt, UpdateChecker::feedKey());
        rig.check();
        QVERIFY(rig.server.requests().isEmpty());
        QVERIFY(!rig.settings.contains(UpdateChecker::lastCheckKey()));
    }

    void aVersionFoundOnEveryCheckIsAnnouncedOnceUntilOpened() {
        Rig rig;
        rig.server.enqueue(200, feed({u"1.3.0"_qs, u"1.5.0"_qs}), "/feed.json");
        rig.check();
        rig.check();
        QCOMPARE(rig.server.requests().size(), 2);
        QCOMPARE(rig.server.requests().first().method, QByteArray("GET"));
        QCOMPARE(rig.center.added.size(), 1);
        QCOMPARE(rig.reminder.pendingVersionText(), u"1.5.0"_qs);
        QCOMPARE(rig.checker.waitingRelease()->url, QUrl(u"https://example.org/pemmo/1.5.0"_qs));
        QCOMPARE(rig.settings.text(UpdateChecker::lastCheckKey()).value_or(QString()),
                 u"2025-03-01T09:00:00Z"_qs);
        QCOMPARE(rig.checker.nextCheckDelay().count(), std::chrono::milliseconds(24h).count());

        // A page the desktop could not open shows nothing: the reminder stays.
        rig.opens = false;
        QSignalSpy failed(&rig.checker, &UpdateChecker::openFailed);
        rig.checker.showUpdate();
        QCOMPARE(failed.size(), 1);
        QCOMPARE(rig.reminder.pendingVersionText(), u"1.5.0"_qs);
        rig.opened.clear();
        rig.opens = true;

        // Opening the update ends the reminder; not installed yet, the next check brings the menu
        // item back, without a second notification.
        rig.checker.showUpdate();
        QCOMPARE(rig.opened, QList<QUrl>{QUrl(u"https://example.org/pemmo/1.5.0"_qs)});
        QVERIFY(!rig.reminder.pendingVersion());
        rig.check();
        QCOMPARE(rig.reminder.pendingVersionText(), u"1.5.0"_qs);
        QCOMPARE(rig.center.added.size(), 1);
    }

    void nothingNewerEndsTheReminder() {
        Rig rig;
        rig.server.enqueue(200, feed({u"1.5.0"_qs}), "/feed.json");
        rig.server.enqueue(200, feed({u"1.4.0"_qs}), "/feed.json");
        rig.check();
        const QString id = rig.center.added.value(0).identifier;
        QVERIFY(rig.center.deliver(id));
        rig.check();
        QVERIFY(!rig.reminder.pendingVersion());
        QVERIFY(!rig.checker.waitingRelease());
        QVERIFY(!rig.center.isUp(id));
    }

    void anUnreadableFeedKeepsTheReminderAndTriesSooner_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("server error") << 500 << QByteArray("oops");
        QTest::newRow("not a feed") << 200 << QByteArray("<html></html>");
        QTest::newRow("no server there") << 0 << QByteArray();
    }
    void anUnreadableFeedKeepsTheReminderAndTriesSooner() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        Rig rig;
        rig.server.enqueue(200, feed({u"1.5.0"_qs}), "/feed.json");
        if (status)
            rig.server.enqueue(status, body, "/feed.json");
        rig.check();
        if (!status)
            rig.settings.set(u"http://127.0.0.1:1/feed.json"_qs, UpdateChecker::feedKey());
        rig.now = rig.now.addDays(1);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(u"^The update check at .* failed"_qs));
        rig.check();
        QCOMPARE(rig.reminder.pendingVersionText(), u"1.5.0"_qs);
        QCOMPARE(rig.checker.nextCheckDelay().count(), std::chrono::milliseconds(1h).count());
        QCOMPARE(rig.settings.text(UpdateChecker::lastCheckKey()).value_or(QString()),
                 u"2025-03-01T09:00:00Z"_qs);
    }

    void withTheUsersAttentionTheUpdateIsShownAtOnce() {
        Rig rig;
        rig.checker.setImmediateFocus([] { return true; });
        rig.server.enqueue(200, feed({u"1.5.0"_qs}), "/feed.json");
        rig.check();
        QCOMPARE(rig.opened.size(), 1);
        QVERIFY(rig.center.added.isEmpty());
        QVERIFY(!rig.reminder.pendingVersion());
    }

    void checksStayADayApartAcrossRestarts_data() {
        QTest::addColumn<QString>("lastCheck");
        QTest::addColumn<qint64>("expectedMinutes");
        QTest::newRow("never checked") << QString() << qint64(2);
        QTest::newRow("23 hours ago") << u"2025-02-28T10:00:00Z"_qs << qint64(60);
        QTest::newRow("two days ago") << u"2025-02-27T09:00:00Z"_qs << qint64(2);
        QTest::newRow("in the future (clock set back)") << u"2025-03-09T09:00:00Z"_qs << qint64(24 * 60);
        QTest::newRow("unreadable") << u"yesterday"_qs << qint64(2);
    }
    void checksStayADayApartAcrossRestarts() {
        QFETCH(QString, lastCheck);
        QFETCH(qint64, expectedMinutes);
        Rig rig;
        if (!lastCheck.isEmpty())
            rig.settings.set(lastCheck, UpdateChecker::lastCheckKey());
        rig.checker.start();
        QCOMPARE(std::chrono::duration_cast<std::chrono::minutes>(rig.checker.nextCheckDelay()).count(),
                 expectedMinutes);
    }
};

QTEST_GUILESS_MAIN(TestUpdateChecker)
#include "TestUpdateChecker.moc"
