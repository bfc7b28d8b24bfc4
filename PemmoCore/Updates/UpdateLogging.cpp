#include "Updates/UpdateLogging.h"

namespace pemmo {

Q_LOGGING_CATEGORY(lcUpdates, "com.dorvane.Pemmo.updates", QtInfoMsg)

} // namespace pemmo
