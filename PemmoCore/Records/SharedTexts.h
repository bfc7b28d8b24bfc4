// Makes equal short texts decoded on one thread one shared string while an instance is alive.
#pragma once

#include <QString>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace pemmo {

// Records repeat short values: every member of a circle holds its id, colleagues the same company,
// neighbours the same city. Decoded one by one, each would be a string of its own; while a
// SharedTexts is alive on a thread, `text` gives every short value met before the string already
// made for it (strings are copied on write, so sharing changes nothing a holder sees). Longer texts
// (notes, memories) are rarely equal and are always made afresh.
class SharedTexts {
public:
    // Texts up to this many UTF-8 bytes are shared.
    static constexpr std::size_t maximumLength = 32;

    SharedTexts();
    ~SharedTexts();
    SharedTexts(const SharedTexts&) = delete;
    SharedTexts& operator=(const SharedTexts&) = delete;

    // The text of `utf8`: shared while a SharedTexts is alive on this thread, else a new string.
    static QString text(std::string_view utf8);

private:
    struct Hash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, QString, Hash, std::equal_to<>> m_texts;
    SharedTexts* m_outer;
};

} // namespace pemmo
