// Builds what a model is told about one person, and the JSON text that carries it in a prompt.
#pragma once

#include "AI/PersonContext.h"
#include "Records/Profile.h"

#include <QString>
#include <optional>

namespace pemmo::PersonContextBuilder {

// Every operation that sends a person uses these limits.
constexpr int aboutLimit = 400;     // characters of the about text
constexpr int interactionLimit = 5; // timeline entries, each cut to aboutLimit characters

PersonContext build(const Profile& profile, int aboutLimit = PersonContextBuilder::aboutLimit,
                    int interactionLimit = PersonContextBuilder::interactionLimit);

// "School · Class of 2012", "Class of 2012", "School", or absent.
std::optional<QString> schoolLine(const PemmoRecord& record);

// The context as indented JSON with sorted keys; absent values are left out, slashes are not
// escaped. "{}" if it cannot be encoded.
QString contextJSON(const PersonContext& context);

} // namespace pemmo::PersonContextBuilder
