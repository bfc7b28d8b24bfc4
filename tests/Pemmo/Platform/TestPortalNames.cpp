// The portal answers each request on an object whose path it derives from the caller's bus name
// and the request's token; Pemmo listens there before it calls, so the two must agree.
#include "Platform/PortalNames.h"

#include <QTest>

using namespace pemmo;

class TestPortalNames : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void requestPathFollowsTheCallersUniqueName_data() {
        QTest::addColumn<QString>("uniqueName");
        QTest::addColumn<QString>("token");
        QTest::addColumn<QString>("path");
        QTest::newRow("short") << u":1.42"_qs << u"pemmo1"_qs
                               << u"/org/freedesktop/portal/desktop/request/1_42/pemmo1"_qs;
        QTest::newRow("every dot") << u":1.2.3"_qs << u"pemmo7"_qs
                                   << u"/org/freedesktop/portal/desktop/request/1_2_3/pemmo7"_qs;
    }

    void requestPathFollowsTheCallersUniqueName() {
        QFETCH(QString, uniqueName);
        QFETCH(QString, token);
        QFETCH(QString, path);
        QCOMPARE(Portal::requestPath(uniqueName, token), path);
    }
};

QTEST_GUILESS_MAIN(TestPortalNames)
#include "TestPortalNames.moc"
