// Logging categories, one per area, named "com.dorvane.Pemmo.<area>".
#pragma once

#include <QLoggingCategory>

namespace pemmo {

Q_DECLARE_LOGGING_CATEGORY(lcStore)
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
Q_DECLARE_LOGGING_CATEGORY(lcEmbeddings)

} // namespace pemmo
