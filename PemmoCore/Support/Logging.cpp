#include "Support/Logging.h"

namespace pemmo {

Q_LOGGING_CATEGORY(lcStore, "com.dorvane.Pemmo.store", QtInfoMsg)

} // namespace pemmo
