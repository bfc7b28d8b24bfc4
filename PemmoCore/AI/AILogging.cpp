#include "AI/AILogging.h"

namespace pemmo {

Q_LOGGING_CATEGORY(lcAI, "com.dorvane.Pemmo.ai", QtInfoMsg)

} // namespace pemmo
