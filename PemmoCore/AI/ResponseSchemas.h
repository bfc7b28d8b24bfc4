// The JSON schemas the models answer in: the cloud's, strict, and the local model's, built from
// the same shapes with a guide text for the fields that need one. Each is built once.
#pragma once

#include <nlohmann/json_fwd.hpp>

namespace pemmo::ResponseSchemas {

namespace Cloud {
const nlohmann::ordered_json& briefing();
const nlohmann::ordered_json& extractedProfile();
const nlohmann::ordered_json& captureResult();
const nlohmann::ordered_json& ranking();
} // namespace Cloud

// For the local model server's "format": every property is required so that the model goes
// through each in order; optional texts may be null and lists may be empty.
namespace Generable {
const nlohmann::ordered_json& briefing();
const nlohmann::ordered_json& extractedProfile();
const nlohmann::ordered_json& captureResult();
const nlohmann::ordered_json& ranking();
} // namespace Generable

} // namespace pemmo::ResponseSchemas
