// The logging category of update checks and reminders, "com.dorvane.Pemmo.updates".
#pragma once

#include <QLoggingCategory>

namespace pemmo {

Q_DECLARE_LOGGING_CATEGORY(lcUpdates)

} // namespace pemmo
