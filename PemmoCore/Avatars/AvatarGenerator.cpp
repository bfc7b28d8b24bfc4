#include "Avatars/AvatarGenerator.h"

#include "Support/Hashing.h"

#include <QColor>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace pemmo::AvatarGenerator {

namespace {

// The head sits above the middle of the picture, the body below it.
constexpr double headX = 50;
constexpr double headY = 44;
constexpr const char* ink = "#26212e";

// The head's lightness for each of the twelve hues (10°, 40°, … 340°), chosen so every head has
// about the same luminance (0.34): yellows and greens are darker, blues and purples lighter. The
// same head then stands out as well on the pale background of light panels as on the deep one
// of dark panels.
constexpr std::array<int, 12> headLightness = {66, 47, 39, 42, 42, 42, 46, 68, 74, 70, 67, 69};

// A small, well-mixed stream of numbers from one seed (splitmix64): every feature takes its own
// draw, so changing how one feature is chosen never changes the others.
class Draws {
public:
    explicit Draws(quint64 seed)
        : m_state(seed) {}

    int below(int count) { return int(next() % quint64(count)); }

private:
    quint64 next() {
        quint64 z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }

    quint64 m_state;
};

QString num(double value) {
    // One decimal is finer than any screen shows a 100-unit picture; fixed so output is stable.
    QString text = QString::number(value, 'f', 1);
    if (text.endsWith(u".0"_qs))
        text.chop(2);
    if (text == u"-0"_qs)
        text = u"0"_qs;
    return text;
}

QString colour(int hue, int saturation, int lightness) {
    return QColor::fromHsl(hue % 360, saturation * 255 / 100, lightness * 255 / 100).name();
}

// Points on a circle, alternating between two radii when `inner` is given (stars, the sun's rays).
QString polygonPoints(int corners, double outer, double inner, double rotationDegrees) {
    QStringList points;
    const int count = inner > 0 ? corners * 2 : corners;
    for (int i = 0; i < count; ++i) {
        const double radius = (inner > 0 && i % 2 == 1) ? inner : outer;
        const double angle = (rotationDegrees + 360.0 * i / count) * std::numbers::pi / 180.0;
        points << num(radius * std::cos(angle)) + u',' + num(radius * std::sin(angle));
    }
    return points.join(u' ');
}

QString circle(double x, double y, double r, const QString& fill) {
    return u"<circle cx=\"%1\" cy=\"%2\" r=\"%3\" fill=\"%4\"/>"_qs.arg(num(x), num(y), num(r), fill);
}

// The head's silhouette around (0, 0), about 60 units across.
QString head(AvatarShape shape, const QString& fill) {
    // Polygons get rounded corners from a stroke of their own colour.
    const auto rounded = [&fill](const QString& points, int width) {
        return u"<polygon points=\"%1\" fill=\"%2\" stroke=\"%2\" stroke-width=\"%3\" stroke-linejoin=\"round\"/>"_qs
            .arg(points, fill, QString::number(width));
    };
    const auto path = [&fill](const char* d) {
        return u"<path d=\"%1\" fill=\"%2\"/>"_qs.arg(QString::fromLatin1(d), fill);
    };
    switch (shape) {
    case AvatarShape::Round:
        return circle(0, 0, 28, fill);
    case AvatarShape::Organic:
        return path("M2 -29C19 -30 30 -17 29 -1C28 15 18 29 1 28C-16 27 -30 17 -29 0C-28 -17 -15 -28 2 -29Z");
    case AvatarShape::Boxy:
        return u"<rect x=\"-27\" y=\"-27\" width=\"54\" height=\"54\" rx=\"9\" fill=\"%1\"/>"_qs.arg(fill);
    case AvatarShape::Capsule:
        return u"<rect x=\"-22\" y=\"-31\" width=\"44\" height=\"62\" rx=\"22\" fill=\"%1\"/>"_qs.arg(fill);
    case AvatarShape::Nub:
        return u"<rect x=\"-1.5\" y=\"-36\" width=\"3\" height=\"12\" fill=\"%1\"/>"_qs.arg(fill) +
               circle(0, -36, 4.5, fill) + circle(0, 2, 26, fill);
    case AvatarShape::Cloud:
        return circle(-14, 4, 16, fill) + circle(14, 4, 16, fill) + circle(0, -9, 19, fill) +
               u"<rect x=\"-14\" y=\"2\" width=\"28\" height=\"18\" fill=\"%1\"/>"_qs.arg(fill);
    case AvatarShape::Droplet:
        return path("M0 -33C13 -18 27 -4 27 9A27 23 0 0 1 -27 9C-27 -4 -13 -18 0 -33Z");
    case AvatarShape::Hexagon:
        return rounded(polygonPoints(6, 28, 0, 30), 6);
    case AvatarShape::Sun:
        return rounded(polygonPoints(12, 32, 25, -90), 3) + circle(0, 0, 25, fill);
    case AvatarShape::Triangle:
        return rounded(u"0,-27 29,22 -29,22"_qs, 10);
    case AvatarShape::Egg:
        return path("M0 -32C17 -32 26 -6 26 9C26 24 15 31 0 31C-15 31 -26 24 -26 9C-26 -6 -17 -32 0 -32Z");
    case AvatarShape::Bean:
        return path(
            "M-8 -28C8 -33 27 -24 28 -4C29 16 16 29 -2 29C-20 29 -29 18 -28 5C-27 -4 -19 -6 -19 -14C-19 -21 "
            "-15 -26 -8 -28Z");
    case AvatarShape::Pill:
        return u"<rect x=\"-32\" y=\"-21\" width=\"64\" height=\"42\" rx=\"21\" fill=\"%1\"/>"_qs.arg(fill);
    case AvatarShape::Flower: {
        QString petals;
        for (int i = 0; i < 6; ++i) {
            const double angle = (60.0 * i - 90) * std::numbers::pi / 180.0;
            petals += circle(19 * std::cos(angle), 19 * std::sin(angle), 12, fill);
        }
        return petals + circle(0, 0, 21, fill);
    }
    case AvatarShape::Diamond:
        return rounded(u"0,-30 29,0 0,30 -29,0"_qs, 8);
    case AvatarShape::Star:
        return rounded(polygonPoints(5, 31, 19, -90), 6);
    }
    return circle(0, 0, 28, fill);
}

QString eyes(const AvatarFigure& figure) {
    const double y = -4;
    const double s = figure.eyeSpread;
    const QString inkColour = QLatin1String(ink);
    const auto stroke = [&inkColour](const QString& d) {
        return u"<path d=\"%1\" fill=\"none\" stroke=\"%2\" stroke-width=\"2.6\" stroke-linecap=\"round\"/>"_qs
            .arg(d, inkColour);
    };
    QString out;
    switch (figure.eyes) {
    case AvatarEyes::Dots:
        out = circle(-s, y, 3.6, inkColour) + circle(s, y, 3.6, inkColour);
        break;
    case AvatarEyes::Googly:
        for (const double x : {-s, s})
            out += circle(x, y, 6.5, u"#ffffff"_qs) + circle(x + 2.2 * figure.gaze, y + 0.5, 3.2, inkColour);
        break;
    case AvatarEyes::Sleepy:
        for (const double x : {-s, s})
            out += stroke(
                u"M%1 %2Q%3 %4 %5 %2"_qs.arg(num(x - 4.5), num(y - 1), num(x), num(y + 3.5), num(x + 4.5)));
        break;
    case AvatarEyes::Ovals:
        for (const double x : {-s, s})
            out += u"<ellipse cx=\"%1\" cy=\"%2\" rx=\"3\" ry=\"5\" fill=\"%3\"/>"_qs.arg(num(x), num(y),
                                                                                          inkColour);
        break;
    case AvatarEyes::Happy:
        for (const double x : {-s, s})
            out += stroke(
                u"M%1 %2Q%3 %4 %5 %2"_qs.arg(num(x - 4.5), num(y + 1.5), num(x), num(y - 4.5), num(x + 4.5)));
        break;
    case AvatarEyes::Single:
        out = circle(0, y - 1, 9, u"#ffffff"_qs) + circle(3 * figure.gaze, y - 0.5, 4.5, inkColour);
        break;
    }
    return out;
}

QString mouth(AvatarMouth kind) {
    const double y = 11;
    const QString inkColour = QLatin1String(ink);
    switch (kind) {
    case AvatarMouth::Smile:
        return u"<path d=\"M-6 %1Q0 %2 6 %1\" fill=\"none\" stroke=\"%3\" stroke-width=\"2.6\" stroke-linecap=\"round\"/>"_qs
            .arg(num(y), num(y + 5), inkColour);
    case AvatarMouth::Open:
        return u"<ellipse cx=\"0\" cy=\"%1\" rx=\"3.4\" ry=\"4\" fill=\"%2\"/>"_qs.arg(num(y + 1.5),
                                                                                       inkColour);
    case AvatarMouth::Flat:
        return u"<path d=\"M-5 %1H5\" fill=\"none\" stroke=\"%2\" stroke-width=\"2.6\" stroke-linecap=\"round\"/>"_qs
            .arg(num(y + 1.5), inkColour);
    case AvatarMouth::Grin:
        return u"<path d=\"M-7 %1H7A7 7 0 0 1 -7 %1Z\" fill=\"%2\"/>"_qs.arg(num(y), inkColour);
    }
    return {};
}

// The body's shoulders, closed by the bottom of the round picture so it never leaves the circle.
QString body(const AvatarFigure& figure, const QString& fill) {
    const double left = headX - figure.shoulders;
    const double right = headX + figure.shoulders;
    const double edge = 50 + std::sqrt(50.0 * 50.0 - double(figure.shoulders) * figure.shoulders);
    return u"<path d=\"M%1 %2C%1 78 %3 70 50 70C%4 70 %5 78 %5 %2A50 50 0 0 1 %1 %2Z\" fill=\"%6\"/>"_qs.arg(
        num(left), num(edge), num(left + 14), num(right - 14), num(right), fill);
}

} // namespace

QString shapeName(AvatarShape shape) {
    static const std::array<const char*, avatarShapeCount> names = {
        "round", "organic",  "boxy", "capsule", "nub",  "cloud",  "droplet", "hexagon",
        "sun",   "triangle", "egg",  "bean",    "pill", "flower", "diamond", "star",
    };
    return QLatin1String(names[size_t(shape)]);
}

AvatarFigure figure(const QString& contactID) {
    Draws draws(Hashing::fnv1a64(contactID.toUtf8()));
    AvatarFigure f;
    f.shape = AvatarShape(draws.below(avatarShapeCount));
    // Twelve hues a step apart; the body takes another hue than the head so the two read apart.
    f.headHue = draws.below(12) * 30 + 10;
    f.bodyHue = (f.headHue + 90 + draws.below(6) * 30) % 360;
    f.backgroundHue = (f.headHue + 180 + (draws.below(3) - 1) * 40 + 360) % 360;
    f.eyes = AvatarEyes(draws.below(avatarEyesCount));
    f.eyeSpread = 8 + draws.below(4);
    f.gaze = draws.below(3) - 1;
    f.mouth = AvatarMouth(draws.below(avatarMouthCount));
    f.cheeks = draws.below(2) == 1;
    f.shoulders = 28 + draws.below(3) * 5;
    return f;
}

QString svg(const AvatarFigure& figure, Theme theme) {
    const bool dark = theme == Theme::Dark;
    // The background is a soft tint on light panels and a deep one on dark panels; the figure keeps
    // the same mid-tone colours in both, so it stands out against either.
    const QString background =
        dark ? colour(figure.backgroundHue, 30, 24) : colour(figure.backgroundHue, 55, 90);
    const QString headFill = colour(figure.headHue, 66, headLightness[size_t(figure.headHue / 30) % 12]);
    const QString bodyFill = colour(figure.bodyHue, 50, dark ? 52 : 46);
    QString out =
        u"<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 100 100\" width=\"100\" height=\"100\">"_qs;
    out += circle(50, 50, 50, background);
    out += body(figure, bodyFill);
    out += u"<g transform=\"translate(%1 %2)\">"_qs.arg(num(headX), num(headY));
    out += head(figure.shape, headFill);
    if (figure.cheeks) {
        const double x = figure.eyeSpread + 5;
        const QString blush = u"#ff7a8a"_qs;
        out += u"<g fill-opacity=\"0.45\">"_qs + circle(-x, 5, 3.5, blush) + circle(x, 5, 3.5, blush) +
               u"</g>"_qs;
    }
    out += eyes(figure);
    out += mouth(figure.mouth);
    out += u"</g></svg>"_qs;
    return out;
}

QString svg(const QString& contactID, Theme theme) {
    return svg(figure(contactID), theme);
}

} // namespace pemmo::AvatarGenerator
