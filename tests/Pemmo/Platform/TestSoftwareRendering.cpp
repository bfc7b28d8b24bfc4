// Pemmo draws with Qt Quick's software renderer unless the environment names another one: a user
// who asks Qt for OpenGL (or Vulkan) must get it, and one who asks for software changes nothing.
#include "Platform/SoftwareRendering.h"

#include <QTest>

using namespace pemmo;

class TestSoftwareRendering : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void choosesSoftwareUnlessARendererIsNamed_data() {
        QTest::addColumn<QString>("quickBackend");
        QTest::addColumn<QString>("rhiBackend");
        QTest::addColumn<bool>("chosen");
        QTest::newRow("nothing named") << QString() << QString() << true;
        QTest::newRow("set but empty") << u""_qs << u""_qs << true;
        QTest::newRow("software asked for") << u"software"_qs << QString() << true;
        QTest::newRow("graphics API named") << QString() << u"opengl"_qs << false;
        QTest::newRow("another backend named") << u"openvg"_qs << QString() << false;
        QTest::newRow("software with an API") << u"software"_qs << u"vulkan"_qs << false;
    }

    void choosesSoftwareUnlessARendererIsNamed() {
        QFETCH(QString, quickBackend);
        QFETCH(QString, rhiBackend);
        QFETCH(bool, chosen);
        QProcessEnvironment environment;
        if (!quickBackend.isNull())
            environment.insert(u"QT_QUICK_BACKEND"_qs, quickBackend);
        if (!rhiBackend.isNull())
            environment.insert(u"QSG_RHI_BACKEND"_qs, rhiBackend);
        QCOMPARE(SoftwareRendering::isChosen(environment), chosen);
    }
};

QTEST_GUILESS_MAIN(TestSoftwareRendering)
#include "TestSoftwareRendering.moc"
