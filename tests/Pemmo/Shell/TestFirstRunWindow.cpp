// The first-run window on a small screen at twice the scale (the offscreen screen's 800×800 is
// 400×400 at 200 %, smaller than the window's own size): it opens no bigger than the screen, its
// buttons stay in view while the steps scroll, Page Down and Page Up move the steps, and a control
// the keyboard moves to is scrolled into view.
#include "App/AppEnvironment.h"
#include "Screens/FirstRunViewModel.h"
#include "Shell/AppShell.h"
#include "Shell/FirstRunWindow.h"
#include "TestSupport/TempDir.h"

#include <QGuiApplication>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickView>
#include <QScreen>
#include <QTest>

using namespace pemmo;

namespace {

// Before the application exists, which reads it once.
void doubleTheScale() {
    qputenv("QT_SCALE_FACTOR", "2");
}
Q_CONSTRUCTOR_FUNCTION(doubleTheScale)

// A QML Text (its class is private to Qt Quick, so it goes by name).
bool isText(const QObject* item) {
    for (const QMetaObject* m = item->metaObject(); m; m = m->superClass())
        if (qstrcmp(m->className(), "QQuickText") == 0)
            return true;
    return false;
}

QString describe(const QRectF& r) {
    return u"%1,%2 %3x%4"_qs.arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

} // namespace

class TestFirstRunWindow : public QObject {
    Q_OBJECT

    test::TempDir m_home;
    std::unique_ptr<AppEnvironment> m_live;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<AppShell> m_shell;
    std::unique_ptr<FirstRunWindow> m_window;

    QQuickView* view() { return m_window->view(); }
    QQuickItem* item(const QString& name) {
        auto* found = view()->rootObject()->findChild<QQuickItem*>(name);
        if (!found)
            qFatal("no item %s in the first-run window", qPrintable(name));
        return found;
    }
    static QRectF inScene(const QQuickItem* item) {
        return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
    }
    qreal stepsY() { return item(u"steps"_qs)->property("contentY").toReal(); }
    qreal stepsEnd() {
        QQuickItem* steps = item(u"steps"_qs);
        return steps->property("contentHeight").toReal() - steps->height();
    }

private Q_SLOTS:
    void initTestCase() {
        // The window looks for address books in the home folder: an empty one of the test's own.
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", m_home.filePath(u"config"_qs).toUtf8());
        QCOMPARE(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
        m_live = AppEnvironment::inMemory({}, u"PemmoFirstRunWindowTest"_qs);
        m_engine = std::make_unique<QQmlEngine>();
        m_engine->addImportPath(u"qrc:/"_qs);
        m_shell = std::make_unique<AppShell>(m_live.get());
        AppShell::attach(*m_engine, *m_shell);
        m_window = std::make_unique<FirstRunWindow>(*m_live, *m_engine, [] { return true; });
        m_window->open();
        QVERIFY(view()->rootObject());
        QVERIFY(QTest::qWaitForWindowExposed(view()));
        view()->requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(view()));
    }
    void cleanupTestCase() {
        m_window.reset();
        m_shell.reset();
        m_engine.reset();
        m_live.reset();
    }

    // The window opens with the keyboard on the practice, not on Continue: one Return must not
    // skip the whole practice. The steps still start at their top.
    void theKeyboardStartsOnThePractice() {
        QTRY_VERIFY(item(u"practice"_qs)->hasActiveFocus());
        QVERIFY(!item(u"continue"_qs)->hasActiveFocus());
        QCOMPARE(stepsY(), 0.0);
        QTest::keyClick(view(), Qt::Key_Return);
        QVERIFY(item(u"continue"_qs)->isVisible()); // still on the practice step
    }

    void theWindowFitsOnTheScreen() {
        const QRect available = view()->screen()->availableGeometry();
        QVERIFY2(available.contains(view()->geometry()),
                 qPrintable(describe(view()->geometry()) + u" on "_qs + describe(available)));
    }

    void theButtonsStayInView_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("skip") << u"skip"_qs;
        QTest::newRow("continue") << u"continue"_qs;
    }
    void theButtonsStayInView() {
        QFETCH(QString, name);
        QQuickItem* button = item(name);
        QVERIFY(button->isVisible());
        const QRectF window(QPointF(0, 0), view()->size());
        // In the window, which is on the screen (theWindowFitsOnTheScreen): all of it in sight.
        QVERIFY2(window.contains(inScene(button)),
                 qPrintable(describe(inScene(button)) + u" in "_qs + describe(window)));
    }

    // Nothing on the welcome step takes the page and arrow keys (not the practice, not the buttons),
    // so they move the steps: to the end and back.
    void thePageKeysMoveTheSteps() {
        QVERIFY2(stepsEnd() > 0, "the steps fit the window: nothing to scroll at this size");
        QCOMPARE(stepsY(), 0.0);
        for (int i = 0; i < 20 && stepsY() < stepsEnd(); ++i)
            QTest::keyClick(view(), Qt::Key_PageDown);
        QCOMPARE(stepsY(), stepsEnd());
        for (int i = 0; i < 20 && stepsY() > 0; ++i)
            QTest::keyClick(view(), Qt::Key_PageUp);
        QCOMPARE(stepsY(), 0.0);
    }

    // On the contacts step with several folders to choose from the steps are more than a
    // screenful; every control Tab reaches there is scrolled into view, starting from the end.
    void everyControlTheKeyboardReachesComesIntoView() {
        int chosen = 0;
        m_window->model()->askForFolder = [this, &chosen] {
            return m_home.filePath(u"book %1"_qs.arg(++chosen));
        };
        m_window->model()->continueToContacts();
        for (int i = 0; i < 8; ++i)
            m_window->model()->chooseFolder();
        QQuickItem* steps = item(u"steps"_qs);
        QTRY_VERIFY(stepsEnd() > steps->height());
        steps->setProperty("contentY", stepsEnd());
        const auto shown = [steps](const QQuickItem* control) {
            return inScene(steps).contains(inScene(control));
        };
        QList<QQuickItem*> reached;
        for (int i = 0; i < 24; ++i) {
            QTest::keyClick(view(), Qt::Key_Tab);
            QQuickItem* focused = view()->activeFocusItem();
            if (!focused || !steps->isAncestorOf(focused) || reached.contains(focused))
                continue;
            reached.append(focused);
            QTRY_VERIFY2(shown(focused),
                         qPrintable(describe(inScene(focused)) + u" in "_qs + describe(inScene(steps))));
        }
        // The eight folders and "Choose folder…" ("Connect…" too, now that folders are ticked).
        QVERIFY2(reached.size() >= 9, qPrintable(QString::number(reached.size())));
    }

    // With the eight folders listed in a window this narrow, each folder's path and what it holds
    // wrap rather than being cut short.
    void noTextOfTheStepsIsCutShort() {
        QQuickItem* steps = item(u"steps"_qs);
        int texts = 0;
        QList<QQuickItem*> items = steps->childItems();
        while (!items.isEmpty()) {
            QQuickItem* child = items.takeLast();
            if (!child->isVisible())
                continue;
            items.append(child->childItems());
            if (!isText(child))
                continue;
            ++texts;
            QVERIFY2(!child->property("truncated").toBool(), qPrintable(child->property("text").toString()));
        }
        QVERIFY(texts > 8);
    }
};

QTEST_MAIN(TestFirstRunWindow)
#include "TestFirstRunWindow.moc"
