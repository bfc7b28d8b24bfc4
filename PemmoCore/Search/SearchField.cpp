#include "Search/SearchField.h"

#include "Support/EnumTable.h"

namespace pemmo::SearchFields {
namespace {

constexpr auto kNames = enumTable<SearchField>({
    {SearchField::Name, "name"},
    {SearchField::Nickname, "nickname"},
    {SearchField::Company, "company"},
    {SearchField::Tags, "tags"},
    {SearchField::Role, "role"},
    {SearchField::School, "school"},
    {SearchField::Phone, "phone"},
    {SearchField::Email, "email"},
    {SearchField::City, "city"},
    {SearchField::About, "about"},
    {SearchField::Memory, "memory"},
});
static_assert(kNames.values() == all, "every field has a name, in scoring order");

} // namespace

QString name(SearchField field) {
    return kNames.name(field);
}

std::optional<SearchField> fromName(QStringView name) {
    return kNames.find(name);
}

} // namespace pemmo::SearchFields
