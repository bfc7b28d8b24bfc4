// Generated avatars for people without a photo: a figure chosen from the contact's identifier, so a
// person always looks the same, drawn as SVG in a 100 × 100 view box.
#pragma once

#include "Avatars/AvatarFigure.h"

#include <QString>

namespace pemmo::AvatarGenerator {

enum class Theme { Light, Dark };

// The silhouette's name as users and the documentation know it ("round", "organic", …).
QString shapeName(AvatarShape shape);

// The figure for a contact identifier: the same identifier gives the same figure on every run and
// every machine.
AvatarFigure figure(const QString& contactID);

// The figure drawn as a complete SVG document. Only the background differs between the themes, so
// a person is recognisable in both.
QString svg(const AvatarFigure& figure, Theme theme);
QString svg(const QString& contactID, Theme theme);

} // namespace pemmo::AvatarGenerator
