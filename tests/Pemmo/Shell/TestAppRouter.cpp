// The panel's screen stack, its overlay and its banners, and the keys the router answers itself.
#include "KeyPress.h"
#include "Shell/AppRouter.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;
using pemmo::test::key;

namespace {

BannerState banner(const QString& message, int timeoutMs) {
    BannerState b = BannerState::info(message);
    b.timeout = std::chrono::milliseconds(timeoutMs);
    return b;
}

ConfirmRequest question(int* answers) {
    ConfirmRequest request;
    request.title = u"Delete memory?"_qs;
    request.onConfirm = [answers] { ++*answers; };
    return request;
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

    void pushAndPopWalkTheStackAndEachPushIsTold() {
        AppRouter router;
        router.push(Route::profile(u"A"_qs));
        router.push(Route::profile(u"A"_qs));
        QCOMPARE(router.depth(), 3);
        // Two equal routes are still two screens: their keys tell them apart.
        QVERIFY(router.routeAt(1).key() != router.routeAt(2).key());
        QCOMPARE(router.routeAt(1), router.routeAt(2));
        // Equal means the same kind with the same payload.
        QVERIFY(Route::quickLinkForm(u"A"_qs) != Route::quickLinkForm(u"A"_qs, QUuid::createUuid()));
        QVERIFY(Route::capture(std::nullopt, u"A"_qs) != Route::capture(std::nullopt, u"B"_qs));
        QCOMPARE(router.topRoute().kindName(), u"profile"_qs);
        router.pop();
        router.pop();
        QCOMPARE(router.topRoute(), Route::search());
    }

    void aContactThatIsGoneLeavesEveryScreenAboutThem() {
        AppRouter router;
        router.push(Route::profile(u"A"_qs));
        router.push(Route::logInteraction(u"A"_qs));
        router.push(Route::profile(u"B"_qs));
        router.present(ActionContext::profile(u"A"_qs));
        router.removeRoutesFor(u"A"_qs);
        QCOMPARE(router.stack(), (QList<Route>{Route::search(), Route::profile(u"B"_qs)}));
        QVERIFY(!router.hasOverlay());
    }

    void resetReturnsToSearchClearsOverlayAndBannerAndRunsTheHook() {
        AppRouter router;
        int resets = 0;
        router.onReset = [&] { ++resets; };
        router.push(Route::profile(u"A"_qs));
        router.present(ActionContext::search(std::nullopt, std::nullopt));
        router.showBanner(banner(u"Saved"_qs, 60'000));
        router.reset();
        QCOMPARE(router.stack(), QList<Route>{Route::search()});
        QVERIFY(!router.hasOverlay());
        QVERIFY(!router.hasBanner());
        QCOMPARE(resets, 1);
    }

    void confirmingTakesTheCardAwayBeforeRunningItsAction() {
        AppRouter router;
        int answers = 0;
        bool overlayDuringAction = true;
        ConfirmRequest request = question(&answers);
        request.onConfirm = [&] {
            ++answers;
            overlayDuringAction = router.hasOverlay();
        };
        router.present(request);
        QVERIFY(router.showsConfirm());
        QCOMPARE(router.confirmRequest().title, u"Delete memory?"_qs);
        router.confirm();
        QCOMPARE(answers, 1);
        QVERIFY(!overlayDuringAction);
        router.confirm(); // nothing left to confirm
        QCOMPARE(answers, 1);
    }

    void aConfirmationTakesEveryKeyAndAnswersReturnAndEscape() {
        AppRouter router;
        int answers = 0;
        router.present(question(&answers));
        QCOMPARE(router.handleKey(key(Qt::Key_M, Qt::ControlModifier)), KeyResult::Handled);
        QCOMPARE(router.handleKey(key(Qt::Key_Down)), KeyResult::Handled);
        QVERIFY(router.showsConfirm());
        QCOMPARE(router.handleKey(key(Qt::Key_Escape)), KeyResult::Handled);
        QVERIFY(!router.hasOverlay());
        QCOMPARE(answers, 0);
        router.present(question(&answers));
        QCOMPARE(router.handleKey(key(Qt::Key_Enter, Qt::KeypadModifier)), KeyResult::Handled);
        QCOMPARE(answers, 1);
        // Without a card, keys go on to the screens.
        QCOMPARE(router.handleKey(key(Qt::Key_Return)), KeyResult::Pass);
    }

    // Tab and Shift-Tab go between the card's two buttons (and never past the scrim); Return and
    // Space press the one with the keyboard.
    void aConfirmationsButtonsAreReachedWithTab_data() {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("onCancel");
        QTest::addColumn<int>("answers");
        QTest::addColumn<bool>("stillShown");
        QTest::newRow("opens on the answer") << QList<int>{} << false << 0 << true;
        QTest::newRow("Tab to Cancel") << QList<int>{Qt::Key_Tab} << true << 0 << true;
        QTest::newRow("Tab, Tab back") << QList<int>{Qt::Key_Tab, Qt::Key_Tab} << false << 0 << true;
        QTest::newRow("Shift-Tab to Cancel") << QList<int>{Qt::Key_Backtab} << true << 0 << true;
        QTest::newRow("Return on Cancel") << QList<int>{Qt::Key_Tab, Qt::Key_Return} << false << 0 << false;
        QTest::newRow("Space on Cancel") << QList<int>{Qt::Key_Tab, Qt::Key_Space} << false << 0 << false;
        QTest::newRow("Space on the answer") << QList<int>{Qt::Key_Space} << false << 1 << false;
        QTest::newRow("back to the answer, Return")
            << QList<int>{Qt::Key_Tab, Qt::Key_Backtab, Qt::Key_Return} << false << 1 << false;
    }
    void aConfirmationsButtonsAreReachedWithTab() {
        QFETCH(QList<int>, keys);
        QFETCH(bool, onCancel);
        QFETCH(int, answers);
        QFETCH(bool, stillShown);
        AppRouter router;
        int answered = 0;
        router.present(question(&answered));
        for (const int k : keys) {
            const auto modifiers = k == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier;
            QCOMPARE(router.handleKey(key(k, modifiers)), KeyResult::Handled);
        }
        QCOMPARE(router.confirmFocusOnCancel(), onCancel);
        QCOMPARE(answered, answers);
        QCOMPARE(router.showsConfirm(), stillShown);
        // The next card starts on its answer again.
        router.present(question(&answered));
        QVERIFY(!router.confirmFocusOnCancel());
    }

    // A banner speaks of the screen it came up on: it goes when the screen changes.
    void aBannerGoesWithTheScreen_data() {
        QTest::addColumn<bool>("push");
        QTest::newRow("push") << true;
        QTest::newRow("pop") << false;
    }
    void aBannerGoesWithTheScreen() {
        QFETCH(bool, push);
        AppRouter router;
        router.push(Route::profile(u"A"_qs));
        router.showBanner(banner(u"Removed the link."_qs, 60'000));
        if (push)
            router.push(Route::quickLinkForm(u"A"_qs));
        else
            router.pop();
        QVERIFY(!router.hasBanner());
        // What the new screen says after the change stays.
        router.showSuccess(u"Saved the link."_qs);
        QVERIFY(router.hasBanner());
    }

    // A failure goes when the next command starts (it succeeds, or says so itself); moving and
    // typing leave it, and other banners wait for their time.
    void aFailureGoesWithTheNextCommand_data() {
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("key");
        QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
        QTest::addColumn<bool>("stays");
        const auto none = Qt::KeyboardModifiers();
        const auto control = Qt::KeyboardModifiers(Qt::ControlModifier);
        QTest::newRow("error, Control-P") << true << int(Qt::Key_P) << control << false;
        QTest::newRow("error, Return") << true << int(Qt::Key_Return) << none << false;
        QTest::newRow("error, Down") << true << int(Qt::Key_Down) << none << true;
        QTest::newRow("error, typing") << true << int(Qt::Key_A) << none << true;
        QTest::newRow("error, Control alone") << true << int(Qt::Key_Control) << control << true;
        QTest::newRow("success, Control-P") << false << int(Qt::Key_P) << control << true;
    }
    void aFailureGoesWithTheNextCommand() {
        QFETCH(bool, error);
        QFETCH(int, key);
        QFETCH(Qt::KeyboardModifiers, modifiers);
        QFETCH(bool, stays);
        AppRouter router;
        if (error)
            router.showError(u"No Find My link for Anna"_qs);
        else
            router.showSuccess(u"Saved Anna."_qs);
        // The router does not take the key: the screen runs its command.
        QCOMPARE(router.handleKey(test::key(key, modifiers)), KeyResult::Pass);
        QCOMPARE(router.hasBanner(), stays);
    }

    // A banner goes after its own time, not after the time of the one it replaced.
    void anOlderBannersTimerDoesNotHideANewerOne() {
        AppRouter router;
        router.showBanner(banner(u"first"_qs, 30));
        router.showBanner(banner(u"second"_qs, 400));
        QTest::qWait(120);
        QVERIFY(router.hasBanner());
        QCOMPARE(router.bannerMessage(), u"second"_qs);
        QTRY_VERIFY(!router.hasBanner());
    }

    void aBannersActionRunsOnceFromItsKey() {
        AppRouter router;
        int runs = 0;
        router.showBanner(
            BannerState::success(u"Removed"_qs)
                .withAction(u"Undo"_qs, QKeyCombination(Qt::ControlModifier, Qt::Key_Z), [&] { ++runs; }));
        QCOMPARE(router.bannerActionTitle(), u"Undo"_qs);
        QVERIFY(!router.bannerActionShortcut().isEmpty());
        QCOMPARE(router.handleKey(key(Qt::Key_Y, Qt::ControlModifier)), KeyResult::Pass);
        QCOMPARE(router.handleKey(key(Qt::Key_Z, Qt::ControlModifier)), KeyResult::Handled);
        QCOMPARE(router.handleKey(key(Qt::Key_Z, Qt::ControlModifier)), KeyResult::Pass);
        router.performBannerAction();
        QCOMPARE(runs, 1);
        QVERIFY(!router.hasBanner());
    }

    void theNoticeStaysUntilCleared() {
        AppRouter router;
        QSignalSpy spy(&router, &AppRouter::noticeChanged);
        router.setNotice(u"Pemmo can only read its data."_qs);
        router.setNotice(u"Pemmo can only read its data."_qs);
        router.reset();
        QCOMPARE(router.notice(), u"Pemmo can only read its data."_qs);
        router.setNotice(QString());
        QCOMPARE(spy.count(), 2);
    }

    void initialQueryAndSuggestedNameAreTakenOnce() {
        AppRouter router;
        router.setInitialQuery(u"anna"_qs);
        router.setPendingSuggestedName(u"Anna Berg"_qs);
        QCOMPARE(router.takeInitialQuery(), std::optional<QString>(u"anna"_qs));
        QCOMPARE(router.takeInitialQuery(), std::nullopt);
        QCOMPARE(router.takePendingSuggestedName(), std::optional<QString>(u"Anna Berg"_qs));
        QCOMPARE(router.takePendingSuggestedName(), std::nullopt);
    }
};

QTEST_GUILESS_MAIN(TestAppRouter)
#include "TestAppRouter.moc"
