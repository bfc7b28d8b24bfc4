// The AI area's log category, "com.dorvane.Pemmo.ai". Prompts, answers and keys are never logged.
#pragma once

#include <QLoggingCategory>

namespace pemmo {

Q_DECLARE_LOGGING_CATEGORY(lcAI)

} // namespace pemmo
