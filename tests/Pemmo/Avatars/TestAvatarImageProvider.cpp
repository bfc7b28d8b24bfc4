// Avatars as QML asks for them: drawn afresh at the requested size, the contact id
// decoded from the URL, the dark variant on request, and the same picture a QML Image shows.
#include "Avatars/AvatarGenerator.h"
#include "Avatars/AvatarImageProvider.h"

#include <QPainter>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickImageProvider>
#include <QQuickItem>
#include <QSvgRenderer>
#include <QTest>
#include <QUrl>

using namespace pemmo;

class TestAvatarImageProvider : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void drawnAtTheRequestedSize_data() {
        QTest::addColumn<QSize>("requested");
        QTest::addColumn<int>("side");
        QTest::newRow("row at 1x") << QSize(28, 28) << 28;
        QTest::newRow("width only") << QSize(64, 0) << 64;
        QTest::newRow("nothing asked") << QSize() << AvatarImageProvider::defaultSide;
    }
    void drawnAtTheRequestedSize() {
        QFETCH(QSize, requested);
        QFETCH(int, side);
        AvatarImageProvider provider;
        QSize size;
        const QImage image = provider.requestImage(u"alex"_qs, &size, requested);
        QCOMPARE(image.size(), QSize(side, side));
        QCOMPARE(size, image.size());
        // Round: the corners stay clear, the middle is drawn.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(side / 2, side / 2)), 255);
    }

    void theContactIDIsDecodedAndTheThemeRead() {
        AvatarImageProvider provider;
        const QString id = u"urn:uuid:a/b?c d"_qs;
        const QString encoded = QString::fromUtf8(QUrl::toPercentEncoding(id));
        const QImage light = provider.requestImage(encoded, nullptr, QSize(100, 100));
        const QImage dark = provider.requestImage(encoded + u"?dark"_qs, nullptr, QSize(100, 100));

        // The person's own picture, not the one of the id as it was written in the URL.
        QImage expected(100, 100, QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QSvgRenderer renderer(AvatarGenerator::svg(id, AvatarGenerator::Theme::Light).toUtf8());
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter);
        painter.end();
        QCOMPARE(light, expected);
        QVERIFY(light != dark);
        // The same person in both themes: the head's colour does not change.
        QCOMPARE(light.pixelColor(50, 26), dark.pixelColor(50, 26));
    }

    void qmlShowsTheAvatarOfTheContact() {
        QQmlEngine engine;
        engine.addImageProvider(AvatarImageProvider::providerID(), new AvatarImageProvider);
        QQmlComponent component(&engine);
        component.setData(R"(
            import QtQuick
            Image { width: 40; height: 40; sourceSize: Qt.size(40, 40)
                    source: "image://avatar/" + encodeURIComponent("urn:uuid:a/b?c") + "?dark" })",
                          QUrl());
        std::unique_ptr<QObject> image(component.create());
        QVERIFY2(image, qPrintable(component.errorString()));
        QTRY_COMPARE(image->property("status").toInt(), 1 /* Image.Ready */);
        QCOMPARE(image->property("implicitWidth").toInt(), 40);
    }
};

QTEST_MAIN(TestAvatarImageProvider)
#include "TestAvatarImageProvider.moc"
