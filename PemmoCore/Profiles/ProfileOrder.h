// The order people are listed in: by display name as a reader expects it ("Anna 9" before
// "Anna 10", case ignored, accents counted), then by contact id.
#pragma once

#include "Records/Profile.h"

#include <QList>
#include <QString>
#include <string>

namespace pemmo::ProfileOrder {

// Negative, zero or positive as `a` sorts before, with or after `b` by name alone.
int compareNames(const QString& a, const QString& b);

// Bytes that compare as the names do under compareNames: for sorting many names once.
std::string sortKey(const QString& name);

// `profiles` sorted by display name, ties by id in plain text order; stable.
QList<Profile> sorted(QList<Profile> profiles);

} // namespace pemmo::ProfileOrder
