// The desktop's search answered by the running application: a misspelt name finds the person
// with their headline, and picking them shows the panel on their card through the router.
#include "App/AppEnvironment.h"
#include "Lists/RecentsStore.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Shell/AppRouter.h"
#include "Shell/DesktopSearchBridge.h"
#include "Shell/PanelController.h"
#include "TestSupport/Await.h"
#include "TestSupport/Environments.h"
#include "TestSupport/People.h"

#include <QTest>
#include <QWindow>

using namespace pemmo;
using test::await;

class TestDesktopSearchBridge : public QObject {
    Q_OBJECT

    std::unique_ptr<AppEnvironment> m_env;
    std::unique_ptr<QWindow> m_window;
    std::unique_ptr<PanelController> m_panel;

private Q_SLOTS:
    void init() {
        Person anna = test::person(u"anna"_qs, u"Anna"_qs, u"Berg"_qs);
        anna.jobTitle = u"Editor"_qs;
        anna.organization = u"Lantern Press"_qs;
        m_env = test::startedEnvironment({anna, test::person(u"bo"_qs, u"Bo"_qs, u"Lind"_qs)});
        m_window = std::make_unique<QWindow>();
        m_panel = std::make_unique<PanelController>(m_window.get());
        m_env->setPanel(m_panel.get());
    }
    void cleanup() {
        m_env->setPanel(nullptr);
        m_panel.reset();
        m_window.reset();
        m_env.reset();
    }

    void aMisspeltNameFindsThePersonWithTheirHeadline() {
        DesktopSearchBridge bridge(*m_env);
        const auto results = bridge.find(u"anna bergh"_qs);
        QVERIFY(!results.isEmpty());
        QCOMPARE(results.first().id, u"anna"_qs);
        QCOMPARE(results.first().headline, u"Editor @ Lantern Press"_qs);
        QCOMPARE(bridge.describe(u"bo"_qs)->name, u"Bo Lind"_qs);
    }

    void openingShowsThePanelOnTheCard() {
        DesktopSearchBridge bridge(*m_env);
        // Whatever was open before gives way.
        m_env->router().push(Route::profile(u"bo"_qs));
        bridge.open(u"anna"_qs);
        QCOMPARE(m_env->router().depth(), 2);
        QCOMPARE(m_env->router().topRoute(), Route::profile(u"anna"_qs));
        QVERIFY(m_panel->isVisible());
        QCOMPARE(m_env->recents().ids().value(0), u"anna"_qs);
    }

    void aFormInThePanelStaysUnderTheCard_data() {
        QTest::addColumn<Route>("form");
        QTest::newRow("contact form") << Route::contactFormEdit(u"bo"_qs);
        QTest::newRow("new contact") << Route::contactFormCreate();
        QTest::newRow("log form") << Route::logInteraction(u"bo"_qs);
    }
    void aFormInThePanelStaysUnderTheCard() {
        QFETCH(Route, form);
        DesktopSearchBridge bridge(*m_env);
        AppRouter& router = m_env->router();
        router.push(Route::profile(u"bo"_qs));
        router.push(form);
        ConfirmRequest question;
        question.title = u"Discard your changes?"_qs;
        bool discarded = false;
        question.onConfirm = [&] { discarded = true; };
        router.present(std::move(question));

        bridge.open(u"anna"_qs);
        QCOMPARE(router.depth(), 4);
        QCOMPARE(router.routeAt(2), form);
        QCOMPARE(router.topRoute(), Route::profile(u"anna"_qs));
        QVERIFY(!router.hasOverlay());
        QVERIFY(!discarded);
        router.pop();
        QCOMPARE(router.topRoute(), form);

        // A search from the desktop leaves the form on top and the words under it.
        bridge.searchFor(u"lantern"_qs);
        QCOMPARE(router.topRoute(), form);
        QCOMPARE(router.initialQuery(), std::optional<QString>(u"lantern"_qs));
        QVERIFY(m_panel->isVisible());
    }

    void someoneGoneOpensTheSearchScreen() {
        DesktopSearchBridge bridge(*m_env);
        m_env->router().push(Route::profile(u"bo"_qs));
        bridge.open(u"gone"_qs);
        QCOMPARE(m_env->router().depth(), 1);
        QVERIFY(m_panel->isVisible());
        QVERIFY(m_env->recents().ids().isEmpty());
    }

    void launchingASearchHandsTheWordsToTheSearchField() {
        DesktopSearchBridge bridge(*m_env);
        m_env->router().push(Route::profile(u"bo"_qs));
        bridge.searchFor(u"lantern press"_qs);
        QCOMPARE(m_env->router().depth(), 1);
        QVERIFY(m_panel->isVisible());
        QCOMPARE(m_env->router().initialQuery(), std::optional<QString>(u"lantern press"_qs));
    }
};

QTEST_MAIN(TestDesktopSearchBridge)
#include "TestDesktopSearchBridge.moc"
