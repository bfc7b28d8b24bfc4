// Small text helpers shared by the records and everything above them.
#pragma once

#include <QString>
#include <optional>

namespace pemmo::Text {

// Trimmed of white space and line breaks.
QString trimmed(const QString& text);
// Empty after trimming.
bool isBlank(const QString& text);
bool isBlank(const std::optional<QString>& text);
// The first `count` user-perceived characters (grapheme clusters) of `text`.
QString firstCharacters(const QString& text, int count);

} // namespace pemmo::Text
