// Where the panel appears on screens of different sizes.
#include "Shell/PanelFrame.h"

#include <QTest>

using namespace pemmo;

class TestPanelFrame : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void frameIsSixtyPercentHighUpTo640AndCentred_data() {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<int>("width");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("800 high") << QRect(0, 0, 1280, 800) << 640 << QRect(320, 160, 640, 480);
        QTest::newRow("1200 high") << QRect(0, 0, 1920, 1200) << 640 << QRect(640, 280, 640, 640);
        QTest::newRow("1080 with a top bar") << QRect(0, 32, 1920, 1048) << 760 << QRect(580, 242, 760, 629);
        QTest::newRow("second screen to the right")
            << QRect(1920, 0, 1280, 1024) << 560 << QRect(2280, 205, 560, 614);
        QTest::newRow("odd sizes round to whole pixels")
            << QRect(0, 0, 1365, 767) << 641 << QRect(362, 153, 641, 460);
    }
    void frameIsSixtyPercentHighUpTo640AndCentred() {
        QFETCH(QRect, available);
        QFETCH(int, width);
        QFETCH(QRect, expected);
        QCOMPARE(PanelFrame::frame(available, width), expected);
    }
};

QTEST_GUILESS_MAIN(TestPanelFrame)
#include "TestPanelFrame.moc"
