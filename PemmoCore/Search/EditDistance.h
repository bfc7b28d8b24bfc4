// How many single-character edits apart two words are, counting a swap of neighbours as one
// (optimal string alignment), stopping as soon as the answer is known to exceed a bound.
#pragma once

#include <QStringView>
#include <optional>
#include <string_view>

namespace pemmo::EditDistance {

// The distance when it is at most `max`, else nothing. Counted in characters (code points).
std::optional<int> distance(std::u32string_view a, std::u32string_view b, int max);
std::optional<int> distance(QStringView a, QStringView b, int max);

// distance(a, b, 1) has a value: the typo test of every keystroke, without a table.
bool withinOne(std::u32string_view a, std::u32string_view b);
// The same over 16-bit code points, each one character.
bool withinOne(std::u16string_view a, std::u16string_view b);

} // namespace pemmo::EditDistance
