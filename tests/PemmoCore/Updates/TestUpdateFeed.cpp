// Reading the update feed and choosing what to offer over the running version.
#include "Support/DecodingError.h"
#include "Updates/UpdateFeed.h"

#include <QTest>

using namespace pemmo;

class TestUpdateFeed : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void newerRelease_data() {
        QTest::addColumn<QString>("current");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("offered");
        QTest::newRow("one newer") << u"1.0.0"_qs << QStringList{u"1.1.0"_qs} << u"1.1.0"_qs;
        QTest::newRow("newest of several, in any order")
            << u"1.0.0"_qs << QStringList{u"1.2.0"_qs, u"1.10.0"_qs, u"1.9.3"_qs} << u"1.10.0"_qs;
        QTest::newRow("only older and equal")
            << u"1.4.0"_qs << QStringList{u"1.3.9"_qs, u"1.4.0"_qs} << QString();
        QTest::newRow("trailing zeros are the same release")
            << u"1.4"_qs << QStringList{u"1.4.0"_qs} << QString();
        QTest::newRow("a leading v") << u"1.4.0"_qs << QStringList{u"v1.5"_qs} << u"v1.5"_qs;
        QTest::newRow("pre-releases are never offered")
            << u"1.4.0"_qs << QStringList{u"1.5.0-beta1"_qs} << QString();
    }
    void newerRelease() {
        QFETCH(QString, current);
        QFETCH(QStringList, listed);
        QFETCH(QString, offered);
        QList<UpdateRelease> releases;
        for (const QString& version : listed)
            releases.append({version, QUrl(u"https://example.org/pemmo/"_qs + version)});
        const std::optional<UpdateRelease> newer = UpdateFeed::newerRelease(releases, current);
        QCOMPARE(newer ? newer->version : QString(), offered);
        if (newer)
            QCOMPARE(newer->url, QUrl(u"https://example.org/pemmo/"_qs + offered));
    }

    void unusableEntriesAreSkipped() {
        const QList<UpdateRelease> releases = UpdateFeed::parse(
            "{\"releases\": ["
            "{\"version\": \"2.0.0\", \"url\": \"https://example.org/2.0.0\", \"notes\": \"Faster search.\"},"
            "{\"version\": \"3.0.0\"},"
            "{\"version\": \"4.0.0\", \"url\": \"javascript:alert(1)\"},"
            "{\"version\": \"five\", \"url\": \"https://example.org/5\"},"
            "{\"url\": \"https://example.org/6\"},"
            "\"7.0.0\"]}");
        QCOMPARE(releases, (QList<UpdateRelease>{{u"2.0.0"_qs, QUrl(u"https://example.org/2.0.0"_qs)}}));
    }

    void notAFeed_data() {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("not JSON") << QByteArray("<html>Not found</html>");
        QTest::newRow("an array") << QByteArray("[]");
        QTest::newRow("no releases") << QByteArray(R"({"version": "1.0"})");
        QTest::newRow("releases not a list") << QByteArray(R"({"releases": {"version": "1.0"}})");
    }
    void notAFeed() {
        QFETCH(QByteArray, json);
        QVERIFY_THROWS_EXCEPTION(DecodingError, UpdateFeed::parse(json));
    }
};

QTEST_GUILESS_MAIN(TestUpdateFeed)
#include "TestUpdateFeed.moc"
