// The features of one generated avatar, all chosen from a contact's identifier.
#pragma once

#include <QString>

namespace pemmo {

// The sixteen silhouettes a head can take.
enum class AvatarShape {
    Round,
    Organic,
    Boxy,
    Capsule,
    Nub,
    Cloud,
    Droplet,
    Hexagon,
    Sun,
    Triangle,
    Egg,
    Bean,
    Pill,
    Flower,
    Diamond,
    Star,
};

inline constexpr int avatarShapeCount = 16;

enum class AvatarEyes { Dots, Googly, Sleepy, Ovals, Happy, Single };
inline constexpr int avatarEyesCount = 6;

enum class AvatarMouth { Smile, Open, Flat, Grin };
inline constexpr int avatarMouthCount = 4;

struct AvatarFigure {
    AvatarShape shape = AvatarShape::Round;
    // Hues in degrees (0–359) of the head, the body and the background.
    int headHue = 0;
    int bodyHue = 0;
    int backgroundHue = 0;
    AvatarEyes eyes = AvatarEyes::Dots;
    // Half the distance between two eyes, in view-box units.
    int eyeSpread = 9;
    // Where the pupils look, −1 (left) to 1 (right).
    int gaze = 0;
    AvatarMouth mouth = AvatarMouth::Smile;
    bool cheeks = false;
    // How far the shoulders reach from the middle, in view-box units.
    int shoulders = 32;

    bool operator==(const AvatarFigure&) const = default;
};

} // namespace pemmo
