// The panel's key routing: which screen gets a key, in which order, and which windows count.
#include "KeyPress.h"
#include "Shell/KeyEventRouter.h"

#include <QKeyEvent>
#include <QTest>
#include <QWindow>

using namespace pemmo;

using pemmo::test::key;

namespace {

// A handler that writes its name down and answers `result`.
KeyEventRouter::Handler recorder(QStringList& calls, const QString& name, KeyResult result) {
    return [&calls, name, result](const KeyEvent&) {
        calls << name;
        return result;
    };
}

} // namespace

class TestKeyEventRouter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void theFirstHandlerToTakeAKeyEndsItsWalk_data() {
        QTest::addColumn<QList<int>>("priorities");
        QTest::addColumn<KeyResult>("result");
        QTest::addColumn<QStringList>("called");
        QTest::newRow("the higher priority alone")
            << QList<int>{10, 20} << KeyResult::Handled << QStringList{u"20"_qs};
        QTest::newRow("passed on in priority order") << QList<int>{5, 30, -1, 10} << KeyResult::Pass
                                                     << QStringList{u"30"_qs, u"10"_qs, u"5"_qs, u"-1"_qs};
        QTest::newRow("no handlers") << QList<int>{} << KeyResult::Pass << QStringList{};
    }
    void theFirstHandlerToTakeAKeyEndsItsWalk() {
        QFETCH(QList<int>, priorities);
        QFETCH(KeyResult, result);
        QFETCH(QStringList, called);
        KeyEventRouter router;
        QStringList calls;
        for (int priority : priorities)
            router.registerHandler(priority, recorder(calls, QString::number(priority), result));
        QCOMPARE(router.dispatch(key(Qt::Key_Down)), result);
        QCOMPARE(calls, called);
    }

    void newestAmongEqualPrioritiesComesFirstAndOldestReturnsWhenItLeaves() {
        KeyEventRouter router;
        QStringList calls;
        router.registerHandler(10, recorder(calls, u"search"_qs, KeyResult::Handled));
        const auto form = router.registerHandler(10, recorder(calls, u"form"_qs, KeyResult::Handled));
        router.dispatch(key(Qt::Key_Return));
        router.unregister(form);
        router.dispatch(key(Qt::Key_Return));
        QCOMPARE(calls, (QStringList{u"form"_qs, u"search"_qs}));
        QCOMPARE(router.count(), 1);
    }

    void handlerThatUnregistersAnotherMidWalkSkipsIt() {
        KeyEventRouter router;
        QStringList calls;
        KeyEventRouter::Registration low =
            router.registerHandler(1, recorder(calls, u"low"_qs, KeyResult::Handled));
        router.registerHandler(5, [&](const KeyEvent&) {
            router.unregister(low);
            return KeyResult::Pass;
        });
        QCOMPARE(router.dispatch(key(Qt::Key_X)), KeyResult::Pass);
        QCOMPARE(calls, QStringList());
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

    // Presses in the installed window, and only there and while installed, reach the handlers.
    void onlyTheInstalledWindowsPressesAreRouted() {
        QWindow panel;
        QWindow settings;
        KeyEventRouter router;
        QStringList calls;
        router.registerHandler(0, recorder(calls, u"panel"_qs, KeyResult::Handled));
        QTest::sendKeyEvent(QTest::Press, &panel, Qt::Key_Up, QString(), Qt::NoModifier);
        QCOMPARE(calls.size(), 0);
        router.install(&panel);
        QTest::sendKeyEvent(QTest::Press, &panel, Qt::Key_Up, QString(), Qt::NoModifier);
        QCOMPARE(calls.size(), 1);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        settings.installEventFilter(&router);
        QVERIFY(!router.eventFilter(&settings, &down));
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QVERIFY(!router.eventFilter(&panel, &release));
        QCOMPARE(calls.size(), 1);
        router.uninstall();
        QTest::sendKeyEvent(QTest::Press, &panel, Qt::Key_Up, QString(), Qt::NoModifier);
        QCOMPARE(calls.size(), 1);
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
