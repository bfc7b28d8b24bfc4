// Logging categories of the desktop shell.
#pragma once

#include <QLoggingCategory>

namespace pemmo {

Q_DECLARE_LOGGING_CATEGORY(lcPanel)
Q_DECLARE_LOGGING_CATEGORY(lcShortcut)
Q_DECLARE_LOGGING_CATEGORY(lcShell)

} // namespace pemmo
