// The panel's key routing: which screen gets a key, in which order, and which windows count.
#include "KeyPress.h"
#include "Shell/KeyEventRouter.h"

#include <QKeyEvent>
#include <QTest>
#include <QWindow>

using namespace pemmo;

using pemmo::test::key;

class TestKeyEventRouter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void higherPriorityHandlerGetsTheKeyAlone() {
        KeyEventRouter router;
        QStringList calls;
        router.registerHandler(10, [&](const KeyEvent&) {
            calls << u"10"_qs;
            return KeyResult::Handled;
        });
        router.registerHandler(20, [&](const KeyEvent&) {
            calls << u"20"_qs;
            return KeyResult::Handled;
        });
        QCOMPARE(router.dispatch(key(Qt::Key_Down)), KeyResult::Handled);
        QCOMPARE(calls, QStringList{u"20"_qs});
    }

    void passedKeyFallsThroughInPriorityOrder() {
        KeyEventRouter router;
        QStringList calls;
        for (int priority : {5, 30, -1, 10})
            router.registerHandler(priority, [&calls, priority](const KeyEvent&) {
                calls << QString::number(priority);
                return KeyResult::Pass;
            });
        QCOMPARE(router.dispatch(key(Qt::Key_A)), KeyResult::Pass);
        QCOMPARE(calls, (QStringList{u"30"_qs, u"10"_qs, u"5"_qs, u"-1"_qs}));
    }

    void newestAmongEqualPrioritiesComesFirstAndOldestReturnsWhenItLeaves() {
        KeyEventRouter router;
        QString got;
        router.registerHandler(10, [&](const KeyEvent&) {
            got = u"search"_qs;
            return KeyResult::Handled;
        });
        const auto form = router.registerHandler(10, [&](const KeyEvent&) {
            got = u"form"_qs;
            return KeyResult::Handled;
        });
        router.dispatch(key(Qt::Key_Return));
        QCOMPARE(got, u"form"_qs);
        router.unregister(form);
        router.dispatch(key(Qt::Key_Return));
        QCOMPARE(got, u"search"_qs);
        QCOMPARE(router.count(), 1);
    }

    void withoutHandlersEveryKeyPasses() {
        KeyEventRouter router;
        QCOMPARE(router.dispatch(key(Qt::Key_Escape)), KeyResult::Pass);
    }

    void handlerThatUnregistersAnotherMidWalkSkipsIt() {
        KeyEventRouter router;
        bool lowCalled = false;
        KeyEventRouter::Registration low = router.registerHandler(1, [&](const KeyEvent&) {
            lowCalled = true;
            return KeyResult::Handled;
        });
        router.registerHandler(5, [&](const KeyEvent&) {
            router.unregister(low);
            return KeyResult::Pass;
        });
        QCOMPARE(router.dispatch(key(Qt::Key_X)), KeyResult::Pass);
        QVERIFY(!lowCalled);
    }

    void installedWindowsKeysAreRoutedAndConsumed() {
        QWindow panel;
        KeyEventRouter router;
        router.install(&panel);
        QList<KeyEvent> seen;
        router.registerHandler(0, [&](const KeyEvent& e) {
            seen << e;
            return e.key == Qt::Key_Down ? KeyResult::Handled : KeyResult::Pass;
        });
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QKeyEvent letter(QEvent::KeyPress, Qt::Key_K, Qt::ControlModifier, u"\x0b"_qs);
        QVERIFY(router.eventFilter(&panel, &down));
        QVERIFY(!router.eventFilter(&panel, &letter));
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[1].characters, u"k"_qs);
        QVERIFY(seen[1].hasControl());
    }

    void keysOfAnotherWindowAndReleasesAreNotRouted() {
        QWindow panel;
        QWindow settings;
        KeyEventRouter router;
        router.install(&panel);
        int calls = 0;
        router.registerHandler(0, [&](const KeyEvent&) {
            ++calls;
            return KeyResult::Handled;
        });
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        settings.installEventFilter(&router);
        QVERIFY(!router.eventFilter(&settings, &down));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QVERIFY(!router.eventFilter(&panel, &release));
        QCOMPARE(calls, 0);
    }

    void keysReachTheRouterThroughTheWindowAndOnlyAfterInstall() {
        QWindow panel;
        KeyEventRouter router;
        int calls = 0;
        router.registerHandler(0, [&](const KeyEvent&) {
            ++calls;
            return KeyResult::Handled;
        });
        QTest::sendKeyEvent(QTest::Press, &panel, Qt::Key_Up, QString(), Qt::NoModifier);
        QCOMPARE(calls, 0);
        router.install(&panel);
        QTest::sendKeyEvent(QTest::Press, &panel, Qt::Key_Up, QString(), Qt::NoModifier);
        QCOMPARE(calls, 1);
        router.uninstall();
        QTest::sendKeyEvent(QTest::Press, &panel, Qt::Key_Up, QString(), Qt::NoModifier);
        QCOMPARE(calls, 1);
    }

    void keypadEnterKeepsItsKeypadFlag() {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Enter, Qt::KeypadModifier | Qt::GroupSwitchModifier);
        const KeyEvent e = KeyEvent::from(enter);
        QCOMPARE(e.key, int(Qt::Key_Enter));
        QCOMPARE(e.modifiers, Qt::KeyboardModifiers(Qt::KeypadModifier));
    }
};

QTEST_MAIN(TestKeyEventRouter)
#include "TestKeyEventRouter.moc"
