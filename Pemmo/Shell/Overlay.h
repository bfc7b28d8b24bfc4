// What sits above the panel's screens: the action panel for a context, or a confirmation card.
#pragma once

#include "Shell/ActionContext.h"
#include "Shell/ConfirmRequest.h"

#include <variant>

namespace pemmo {

using Overlay = std::variant<ActionContext, ConfirmRequest>;

} // namespace pemmo
