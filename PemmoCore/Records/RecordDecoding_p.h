// Record decoding over a parsed simdjson document; private to the core library.
#pragma once

#include "Records/PemmoRecord.h"

#include <QDateTime>
#include <QString>
#include <simdjson.h>

namespace pemmo::RecordCoding {

// `path` is the coding path of `element`, used in error descriptions.
PemmoRecord decode(simdjson::dom::element element, const QDateTime& now, const QString& path);

} // namespace pemmo::RecordCoding
