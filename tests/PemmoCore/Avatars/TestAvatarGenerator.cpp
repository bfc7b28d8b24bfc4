// Generated avatars: one figure per identifier on every run, every silhouette in use, and pictures
// that render, stay inside their circle and stand out on light and dark panels.
#include "Avatars/AvatarGenerator.h"

#include <QImage>
#include <QPainter>
#include <QSet>
#include <QSvgRenderer>
#include <QTest>
#include <QUuid>
#include <cmath>

using namespace pemmo;

namespace {

QImage render(const QString& svg, int size) {
    QSvgRenderer renderer(svg.toUtf8());
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    return image;
}

// Relative luminance contrast, as WCAG defines it.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return std::max(la, lb) / std::min(la, lb);
}

AvatarFigure withShape(AvatarShape shape, int headHue) {
    AvatarFigure figure;
    figure.shape = shape;
    figure.headHue = headHue;
    figure.bodyHue = (headHue + 120) % 360;
    figure.backgroundHue = (headHue + 180) % 360;
    return figure;
}

} // namespace

class TestAvatarGenerator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sameIdentifierGivesTheSamePicture_data() {
        QTest::addColumn<QString>("id");
        QTest::newRow("vCard UID") << u"urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1"_qs;
        QTest::newRow("file name") << u"alex-morgan.vcf"_qs;
        QTest::newRow("non-Latin") << u"Łukasz 山田 👋"_qs;
        QTest::newRow("empty") << QString();
    }
    void sameIdentifierGivesTheSamePicture() {
        QFETCH(QString, id);
        // A copy with its own storage: nothing may depend on where the text lives.
        const QString copy = QString::fromUtf8(id.toUtf8());
        QCOMPARE(AvatarGenerator::svg(copy, AvatarGenerator::Theme::Light),
                 AvatarGenerator::svg(id, AvatarGenerator::Theme::Light));
        QCOMPARE(AvatarGenerator::figure(copy), AvatarGenerator::figure(id));
    }

    // The figure must not depend on the process (a seeded hash) or the machine: these were
    // recorded once and must never change, or every person's face changes after an update.
    void figureIsStableAcrossRuns() {
        const AvatarFigure alex = AvatarGenerator::figure(u"pemmo-practice-alex"_qs);
        const AvatarFigure other =
            AvatarGenerator::figure(u"urn:uuid:4fbe8971-0bc3-424c-9c26-36c3e1eff6b1"_qs);
        QCOMPARE(AvatarGenerator::shapeName(alex.shape), u"boxy"_qs);
        QCOMPARE(alex.headHue, 40);
        QCOMPARE(AvatarGenerator::shapeName(other.shape), u"nub"_qs);
        QCOMPARE(other.headHue, 160);
    }

    void everyFeatureOccursOverManyPeople() {
        QSet<int> shapes, eyes, mouths, hues;
        for (int i = 0; i < 2000; ++i) {
            const AvatarFigure figure =
                AvatarGenerator::figure(QUuid::createUuidV5(QUuid(), QString::number(i)).toString());
            shapes.insert(int(figure.shape));
            eyes.insert(int(figure.eyes));
            mouths.insert(int(figure.mouth));
            hues.insert(figure.headHue);
            QVERIFY(figure.bodyHue != figure.headHue);
        }
        QCOMPARE(shapes.size(), avatarShapeCount);
        QCOMPARE(eyes.size(), avatarEyesCount);
        QCOMPARE(mouths.size(), avatarMouthCount);
        QCOMPARE(hues.size(), 12);
    }

    void neighbouringIdentifiersLookDifferent() {
        // Contacts imported together get similar identifiers; they must not share one face.
        QSet<QString> pictures;
        for (int i = 0; i < 50; ++i)
            pictures.insert(AvatarGenerator::svg(u"contact-%1"_qs.arg(i), AvatarGenerator::Theme::Light));
        QVERIFY2(pictures.size() >= 48, qPrintable(QString::number(pictures.size())));
    }

    void everyShapeRendersInsideItsCircle_data() {
        QTest::addColumn<int>("shape");
        QTest::addColumn<int>("theme");
        for (int s = 0; s < avatarShapeCount; ++s) {
            for (const auto theme : {AvatarGenerator::Theme::Light, AvatarGenerator::Theme::Dark}) {
                const QString name = AvatarGenerator::shapeName(AvatarShape(s)) +
                                     (theme == AvatarGenerator::Theme::Dark ? u" dark"_qs : u" light"_qs);
                QTest::newRow(qPrintable(name)) << s << int(theme);
            }
        }
    }
    void everyShapeRendersInsideItsCircle() {
        QFETCH(int, shape);
        QFETCH(int, theme);
        for (const AvatarEyes eyes : {AvatarEyes::Googly, AvatarEyes::Single, AvatarEyes::Sleepy}) {
            AvatarFigure figure = withShape(AvatarShape(shape), 40);
            figure.eyes = eyes;
            figure.cheeks = true;
            figure.shoulders = 38;
            const QString svg = AvatarGenerator::svg(figure, AvatarGenerator::Theme(theme));
            QSvgRenderer renderer(svg.toUtf8());
            QVERIFY(renderer.isValid());
            QCOMPARE(renderer.viewBoxF(), QRectF(0, 0, 100, 100));

            const QImage image = render(svg, 200);
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qAlpha(image.pixel(x, y)) == 0)
                        continue;
                    const double distance = std::hypot(x + 0.5 - 100, y + 0.5 - 100);
                    QVERIFY2(distance <= 101.5, qPrintable(u"ink at %1,%2"_qs.arg(x).arg(y)));
                }
            }
            // The head is drawn above the middle, where the background would otherwise show.
            const QColor head = image.pixelColor(100, 52);
            const QColor background = image.pixelColor(14, 100);
            QVERIFY(head != background);
        }
    }

    void figuresStandOutOnLightAndDarkPanels_data() {
        QTest::addColumn<int>("hue");
        for (int hue = 10; hue < 360; hue += 30)
            QTest::newRow(qPrintable(QString::number(hue))) << hue;
    }
    // The themes share the figure and differ in the background behind it.
    void figuresStandOutOnLightAndDarkPanels() {
        QFETCH(int, hue);
        QList<QColor> heads, backgrounds;
        for (const auto theme : {AvatarGenerator::Theme::Light, AvatarGenerator::Theme::Dark}) {
            const QImage image = render(AvatarGenerator::svg(withShape(AvatarShape::Boxy, hue), theme), 100);
            heads.append(image.pixelColor(50, 26));
            backgrounds.append(image.pixelColor(8, 50));
            QVERIFY2(contrast(heads.last(), backgrounds.last()) >= 1.5,
                     qPrintable(u"head %1 on %2"_qs.arg(heads.last().name(), backgrounds.last().name())));
        }
        QCOMPARE(heads[0], heads[1]);
        QVERIFY(backgrounds[0] != backgrounds[1]);
    }
};

QTEST_MAIN(TestAvatarGenerator)
#include "TestAvatarGenerator.moc"
