// Showing, hiding and the hiding when the user clicks elsewhere, on the offscreen platform.
#include "Shell/PanelController.h"
#include "Shell/PanelFrame.h"

#include <QGuiApplication>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace pemmo;

class TestPanelController : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showPlacesThePanelByTheFrameRuleWithTheChosenWidth() {
        QWindow panel;
        int width = 560;
        PanelController controller(&panel, [&] { return width; });
        controller.show();
        QVERIFY(panel.isVisible());
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(panel.geometry(), PanelFrame::frame(available, 560));
        controller.hide();
        width = 760;
        controller.show();
        QCOMPARE(panel.geometry().width(), 760);
    }

    void toggleAlternatesAndHideOfAHiddenPanelDoesNothing() {
        QWindow panel;
        PanelController controller(&panel);
        QSignalSpy hidden(&controller, &PanelController::hidden);
        controller.hide();
        QCOMPARE(hidden.count(), 0);
        controller.toggle();
        QVERIFY(controller.isVisible());
        controller.toggle();
        QVERIFY(!controller.isVisible());
        QCOMPARE(hidden.count(), 1);
    }

    void losingFocusAfterActivationHidesThePanelUnlessAutoHideIsOff_data() {
        QTest::addColumn<bool>("autoHides");
        QTest::addColumn<bool>("staysVisible");
        QTest::newRow("by default: hidden") << true << false;
        QTest::newRow("auto-hide off: stays") << false << true;
    }
    void losingFocusAfterActivationHidesThePanelUnlessAutoHideIsOff() {
        QFETCH(bool, autoHides);
        QFETCH(bool, staysVisible);
        QWindow panel;
        QWindow other;
        PanelController controller(&panel);
        if (!autoHides)
            controller.setAutoHides(false);
        controller.show();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        other.show();
        other.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_COMPARE(panel.isVisible(), staysVisible);
    }

    void aPanelShownWhileStillActiveHidesWhenTheFocusLeavesLater() {
        QWindow panel;
        QWindow other;
        PanelController controller(&panel, {}, std::chrono::milliseconds(20));
        controller.show();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        controller.hide();
        // Nothing else took the focus: the system sends no new activation when it comes back.
        QVERIFY(panel.isActive());
        controller.show();
        QTRY_VERIFY(controller.hidesWhenFocusLeaves());
        other.show();
        other.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QTRY_VERIFY(!panel.isVisible());
    }
};

QTEST_MAIN(TestPanelController)
#include "TestPanelController.moc"
