#include "Search/SearchField.h"

namespace pemmo::SearchFields {
namespace {

constexpr std::array<const char16_t*, count> kNames{u"name", u"nickname", u"company", u"tags",
                                                    u"role", u"school",   u"phone",   u"email",
                                                    u"city", u"about",    u"memory"};

} // namespace

QString name(SearchField field) {
    return QString::fromUtf16(kNames[static_cast<std::size_t>(index(field))]);
}

std::optional<SearchField> fromName(QStringView name) {
    for (const SearchField field : all) {
        if (name == QStringView(kNames[static_cast<std::size_t>(index(field))]))
            return field;
    }
    return std::nullopt;
}

} // namespace pemmo::SearchFields
