// The panel's screen stack and its banners.
#include "Shell/AppRouter.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;

namespace {

BannerState banner(const QString& message, int timeoutMs) {
    BannerState b;
    b.message = message;
    b.timeout = std::chrono::milliseconds(timeoutMs);
    return b;
}

} // namespace

class TestAppRouter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsOnSearchAndPopNeverLeavesIt() {
        AppRouter router;
        QCOMPARE(router.stack(), QList<Route>{Route::search()});
        QSignalSpy changed(&router, &AppRouter::stackChanged);
        router.pop();
        QCOMPARE(router.stack(), QList<Route>{Route::search()});
        QCOMPARE(changed.count(), 0);
    }

    void pushAndPopWalkTheStack() {
        AppRouter router;
        router.push(Route::profile(u"A"_qs));
        router.push(Route::profile(u"B"_qs));
        QCOMPARE(router.topRoute(), Route::profile(u"B"_qs));
        QCOMPARE(router.topVariant().value(u"kind"_qs).toString(), u"profile"_qs);
        QCOMPARE(router.topVariant().value(u"contactID"_qs).toString(), u"B"_qs);
        router.pop();
        QCOMPARE(router.topRoute(), Route::profile(u"A"_qs));
        router.pop();
        QCOMPARE(router.topRoute(), Route::search());
    }

    void resetReturnsToSearchClearsTheBannerAndRunsTheHook() {
        AppRouter router;
        int resets = 0;
        router.onReset = [&] { ++resets; };
        router.push(Route::profile(u"A"_qs));
        router.showBanner(banner(u"Saved"_qs, 60'000));
        router.reset();
        QCOMPARE(router.stack(), QList<Route>{Route::search()});
        QVERIFY(!router.hasBanner());
        QCOMPARE(resets, 1);
    }

    void bannerDisappearsAfterItsTimeout() {
        AppRouter router;
        router.showBanner(banner(u"Copied"_qs, 20));
        QVERIFY(router.hasBanner());
        QTRY_VERIFY(!router.hasBanner());
    }

    void anOlderBannersTimerDoesNotHideANewerOne() {
        AppRouter router;
        router.showBanner(banner(u"first"_qs, 30));
        router.showBanner(banner(u"second"_qs, 400));
        QTest::qWait(120);
        QVERIFY(router.hasBanner());
        QCOMPARE(router.bannerVariant().value(u"message"_qs).toString(), u"second"_qs);
        QTRY_VERIFY(!router.hasBanner());
    }

    void bannerActionRunsOnceAndDismisses() {
        AppRouter router;
        int runs = 0;
        BannerState b = banner(u"Removed"_qs, 60'000);
        b.actionTitle = u"Undo"_qs;
        b.action = [&] { ++runs; };
        router.showBanner(b);
        router.performBannerAction();
        router.performBannerAction();
        QCOMPARE(runs, 1);
        QVERIFY(!router.hasBanner());
    }

    void focusSearchCountsRequests() {
        AppRouter router;
        QSignalSpy spy(&router, &AppRouter::searchFocusRequestChanged);
        router.focusSearch();
        router.focusSearch();
        QCOMPARE(router.searchFocusRequest(), 2);
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_GUILESS_MAIN(TestAppRouter)
#include "TestAppRouter.moc"
