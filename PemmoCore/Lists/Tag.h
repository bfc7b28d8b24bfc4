// One circle: its identifier (the normalised name records refer to), the name as typed, and its
// slot in the ten-colour palette.
#pragma once

#include <QMetaType>
#include <QObject>
#include <QString>

namespace pemmo {

struct Tag {
    Q_GADGET
    Q_PROPERTY(QString id MEMBER id)
    Q_PROPERTY(QString name MEMBER name)
    Q_PROPERTY(int colorIndex MEMBER colorIndex)
    Q_PROPERTY(bool isDefault MEMBER isDefault)

public:
    static constexpr int paletteSize = 10;

    QString id;
    QString name;
    int colorIndex = 0;
    bool isDefault = false;

    // Lower-cased, split at white space, empty pieces dropped, joined with one space:
    // "  Movie   LOVER " gives "movie lover".
    static QString normalizedID(const QString& text);
    // Trimmed, inner runs of white space collapsed to one space; case is kept.
    static QString cleanedName(const QString& text);

    bool operator==(const Tag&) const = default;
};

} // namespace pemmo

Q_DECLARE_METATYPE(pemmo::Tag)
