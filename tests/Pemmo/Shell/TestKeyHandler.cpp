// Screens declare their key handling in QML: registered while active, in the router's order, and
// always calling the function they hold now.
#include "KeyPress.h"
#include "Shell/KeyEventRouter.h"
#include "Shell/KeyHandler.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QTest>
#include <memory>

using namespace pemmo;

using pemmo::test::key;

// A view model that takes Return and lets everything else by.
class ReturnTaker : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)

public:
    int returns = 0;
    KeyResult handleKey(const KeyEvent& event) override {
        if (event.key != Qt::Key_Return)
            return KeyResult::Pass;
        ++returns;
        return KeyResult::Handled;
    }
};

class TestKeyHandler : public QObject {
    Q_OBJECT

    QQmlEngine m_engine;
    KeyEventRouter m_router;
    ReturnTaker m_model;

    std::unique_ptr<QObject> load(const QByteArray& qml) {
        QQmlComponent component(&m_engine);
        component.setData("import QtQuick\nimport Pemmo 1.0\n" + qml, QUrl());
        std::unique_ptr<QObject> object(component.create());
        if (!object)
            qFatal("%s", qPrintable(component.errorString()));
        return object;
    }

private Q_SLOTS:
    void initTestCase() {
        qmlRegisterType<KeyHandler>("Pemmo", 1, 0, "KeyHandler");
        qmlRegisterUncreatableType<KeyEventRouter>("Pemmo", 1, 0, "KeyEventRouter", u"shell"_qs);
        m_engine.rootContext()->setContextProperty(u"keys"_qs, &m_router);
        m_engine.rootContext()->setContextProperty(u"model"_qs, &m_model);
    }

    void aTargetAnswersBeforeTheFunction() {
        auto item = load(R"(Item {
            property int others: 0
            KeyHandler { router: keys; target: model
                handleKey: function(e) { others++; return true } } })");
        QCOMPARE(m_router.dispatch(key(Qt::Key_Return)), KeyResult::Handled);
        QCOMPARE(m_model.returns, 1);
        QCOMPARE(item->property("others").toInt(), 0);
        // What the target passes, the function still gets.
        QCOMPARE(m_router.dispatch(key(Qt::Key_A)), KeyResult::Handled);
        QCOMPARE(item->property("others").toInt(), 1);
    }

    void activeHandlerRegistersAndInactiveOneLeaves() {
        auto item = load(R"(Item {
            property bool shown: true
            property int downs: 0
            KeyHandler { router: keys; priority: 10; active: shown
                handleKey: function(e) { if (e.key === Qt.Key_Down) { downs++; return true } return false } }
        })");
        QCOMPARE(m_router.count(), 1);
        QCOMPARE(m_router.dispatch(key(Qt::Key_Down)), KeyResult::Handled);
        QCOMPARE(m_router.dispatch(key(Qt::Key_A)), KeyResult::Pass);
        QCOMPARE(item->property("downs").toInt(), 1);
        item->setProperty("shown", false);
        QCOMPARE(m_router.count(), 0);
        QCOMPARE(m_router.dispatch(key(Qt::Key_Down)), KeyResult::Pass);
        item->setProperty("shown", true);
        QCOMPARE(m_router.count(), 1);
        item.reset();
        QCOMPARE(m_router.count(), 0);
    }

    void screenPushedLaterWinsAtEqualPriorityAndRebindingKeepsTheOrder() {
        auto search = load(R"(Item {
            property string got
            KeyHandler { router: keys; priority: 10; handleKey: function(e) { got = "search"; return true } } })");
        auto form = load(R"(Item {
            property string got
            property bool second: false
            KeyHandler { router: keys; priority: 10
                handleKey: second ? function(e) { got = "form 2"; return true }
                              : function(e) { got = "form 1"; return true } } })");
        m_router.dispatch(key(Qt::Key_Return));
        QCOMPARE(form->property("got").toString(), u"form 1"_qs);
        form->setProperty("second", true);
        m_router.dispatch(key(Qt::Key_Return));
        QCOMPARE(form->property("got").toString(), u"form 2"_qs);
        QVERIFY(search->property("got").toString().isEmpty());
        form.reset();
        m_router.dispatch(key(Qt::Key_Return));
        QCOMPARE(search->property("got").toString(), u"search"_qs);
    }

    void handlerSeesControlAndLowerCaseCharacters() {
        auto item = load(R"(Item {
            property var seen
            KeyHandler { router: keys; handleKey: function(e) { seen = [e.text, e.control, e.keypad]; return false } } })");
        KeyEvent e = key(Qt::Key_3, Qt::ControlModifier);
        e.characters = u"3"_qs;
        m_router.dispatch(e);
        const QVariantList seen = item->property("seen").toList();
        QCOMPARE(seen, (QVariantList{u"3"_qs, true, false}));
    }

    void aThrowingHandlerPassesTheKey() {
        auto item = load(R"(Item {
            KeyHandler { router: keys; handleKey: function(e) { throw new Error("broken screen") } } })");
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression(u"broken screen"_qs));
        QCOMPARE(m_router.dispatch(key(Qt::Key_A)), KeyResult::Pass);
    }
};

QTEST_MAIN(TestKeyHandler)
#include "TestKeyHandler.moc"
