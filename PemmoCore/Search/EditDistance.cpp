#include "Search/EditDistance.h"

#include "Search/TextFolding.h"

#include <algorithm>
#include <vector>

namespace pemmo::EditDistance {

std::optional<int> distance(std::u32string_view a, std::u32string_view b, int max) {
    if (max < 0)
        return std::nullopt;
    const int n = static_cast<int>(a.size());
    const int m = static_cast<int>(b.size());
    if (std::abs(n - m) > max)
        return std::nullopt;
    if (n == 0)
        return m;
    if (m == 0)
        return n;
    // Three rows of the table: two back for transpositions.
    std::vector<int> before(static_cast<std::size_t>(m + 1));
    std::vector<int> previous(static_cast<std::size_t>(m + 1));
    std::vector<int> current(static_cast<std::size_t>(m + 1));
    for (int j = 0; j <= m; ++j)
        previous[static_cast<std::size_t>(j)] = j;
    for (int i = 1; i <= n; ++i) {
        current[0] = i;
        int rowMinimum = i;
        for (int j = 1; j <= m; ++j) {
            const auto uj = static_cast<std::size_t>(j);
            const int cost = a[static_cast<std::size_t>(i - 1)] == b[uj - 1] ? 0 : 1;
            int value = std::min({previous[uj] + 1, current[uj - 1] + 1, previous[uj - 1] + cost});
            if (i > 1 && j > 1 && a[static_cast<std::size_t>(i - 1)] == b[uj - 2] &&
                a[static_cast<std::size_t>(i - 2)] == b[uj - 1])
                value = std::min(value, before[uj - 2] + 1);
            current[uj] = value;
            rowMinimum = std::min(rowMinimum, value);
        }
        // Every later row only grows from this one's smallest value.
        if (rowMinimum > max)
            return std::nullopt;
        std::swap(before, previous);
        std::swap(previous, current);
    }
    const int result = previous[static_cast<std::size_t>(m)];
    return result <= max ? std::optional<int>(result) : std::nullopt;
}

std::optional<int> distance(QStringView a, QStringView b, int max) {
    return distance(TextFolding::toUtf32(a), TextFolding::toUtf32(b), max);
}

namespace {

template <typename View> bool oneApart(View a, View b) {
    if (a.size() < b.size())
        std::swap(a, b);
    const std::size_t n = a.size();
    const std::size_t m = b.size();
    if (n - m > 1)
        return false;
    std::size_t i = 0;
    while (i < m && a[i] == b[i])
        ++i;
    if (i == m) // equal, or a is b with one more character at the end
        return true;
    if (n == m) {
        if (a.substr(i + 1) == b.substr(i + 1)) // one substitution
            return true;
        return i + 1 < n && a[i] == b[i + 1] && a[i + 1] == b[i] && a.substr(i + 2) == b.substr(i + 2);
    }
    return a.substr(i + 1) == b.substr(i); // one insertion into b
}

} // namespace

bool withinOne(std::u32string_view a, std::u32string_view b) {
    return oneApart(a, b);
}

bool withinOne(std::u16string_view a, std::u16string_view b) {
    return oneApart(a, b);
}

} // namespace pemmo::EditDistance
