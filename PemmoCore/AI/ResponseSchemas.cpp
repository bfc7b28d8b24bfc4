#include "AI/ResponseSchemas.h"

#include <initializer_list>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

namespace pemmo::ResponseSchemas {
namespace {

using nlohmann::ordered_json;

using Property = std::pair<std::string, ordered_json>;

ordered_json string() {
    return {{"type", "string"}};
}

ordered_json nullableString() {
    return {{"type", ordered_json::array({"string", "null"})}};
}

ordered_json arrayOf(ordered_json items) {
    return {{"type", "array"}, {"items", std::move(items)}};
}

ordered_json objectOf(std::initializer_list<Property> properties) {
    ordered_json props = ordered_json::object();
    ordered_json required = ordered_json::array();
    for (const auto& [name, schema] : properties) {
        props[name] = schema;
        required.push_back(name);
    }
    return {{"type", "object"},
            {"properties", std::move(props)},
            {"required", std::move(required)},
            {"additionalProperties", false}};
}

// The guide text of a generated field, given to the model as the property's description.
ordered_json guided(ordered_json schema, const char* guide) {
    schema["description"] = guide;
    return schema;
}

} // namespace

namespace Cloud {

const ordered_json& briefing() {
    static const ordered_json schema = objectOf({{"summary", string()}, {"opener", string()}});
    return schema;
}

const ordered_json& extractedProfile() {
    static const ordered_json schema =
        objectOf({{"givenName", nullableString()},
                  {"familyName", nullableString()},
                  {"jobTitle", nullableString()},
                  {"company", nullableString()},
                  {"team", nullableString()},
                  {"school", nullableString()},
                  {"major", nullableString()},
                  {"graduationYear", nullableString()},
                  {"currentCity", nullableString()},
                  {"hometown", nullableString()},
                  {"email", nullableString()},
                  {"phone", nullableString()},
                  {"links", arrayOf(objectOf({{"kind", string()}, {"url", string()}}))},
                  {"tags", arrayOf(string())},
                  {"summary", nullableString()}});
    return schema;
}

const ordered_json& captureResult() {
    static const ordered_json schema =
        objectOf({{"personName", nullableString()},
                  {"fieldUpdates", arrayOf(objectOf({{"field", string()}, {"value", string()}}))},
                  {"interactionKind", nullableString()},
                  {"interactionText", nullableString()},
                  {"interactionDate", nullableString()},
                  {"tags", arrayOf(string())},
                  {"aboutAppend", nullableString()}});
    return schema;
}

const ordered_json& ranking() {
    static const ordered_json schema =
        objectOf({{"items", arrayOf(objectOf({{"id", string()}, {"reason", string()}}))}});
    return schema;
}

} // namespace Cloud

namespace Generable {

const ordered_json& briefing() {
    static const ordered_json schema = objectOf(
        {{"summary",
          guided(string(),
                 "2\u20133 sentences on who this person is and the user's relationship with them.")},
         {"opener",
          guided(string(), "One natural thing the user could say to start the next conversation.")}});
    return schema;
}

const ordered_json& extractedProfile() {
    static const ordered_json link =
        objectOf({{"kind", guided(string(), "Short kind hint, e.g. linkedin, x, github, website.")},
                  {"url", string()}});
    static const ordered_json schema =
        objectOf({{"givenName", nullableString()},
                  {"familyName", nullableString()},
                  {"jobTitle", nullableString()},
                  {"company", nullableString()},
                  {"team", nullableString()},
                  {"school", nullableString()},
                  {"major", nullableString()},
                  {"graduationYear", nullableString()},
                  {"currentCity", nullableString()},
                  {"hometown", nullableString()},
                  {"email", nullableString()},
                  {"phone", nullableString()},
                  {"links", arrayOf(link)},
                  {"tags", guided(arrayOf(string()), "At most 3 short lowercase labels.")},
                  {"summary", guided(nullableString(), "One sentence describing the person.")}});
    return schema;
}

const ordered_json& captureResult() {
    static const ordered_json update =
        objectOf({{"field", guided(string(), "The record field name to set.")}, {"value", string()}});
    static const ordered_json schema = objectOf(
        {{"personName", nullableString()},
         {"fieldUpdates", arrayOf(update)},
         {"interactionKind", guided(nullableString(), "One of: note, met, message, call, email, other.")},
         {"interactionText", nullableString()},
         {"interactionDate", guided(nullableString(), "The interaction date as yyyy-MM-dd.")},
         {"tags", guided(arrayOf(string()), "At most 3 short lowercase labels.")},
         {"aboutAppend", nullableString()}});
    return schema;
}

const ordered_json& ranking() {
    static const ordered_json item =
        objectOf({{"id", guided(string(), "An id copied exactly from the candidate list.")},
                  {"reason", guided(string(), "One line on why this candidate matches.")}});
    static const ordered_json schema =
        objectOf({{"items", guided(arrayOf(item), "Best match first, at most 8.")}});
    return schema;
}

} // namespace Generable

} // namespace pemmo::ResponseSchemas
