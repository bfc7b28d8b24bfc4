#include "Shell/ShellLogging.h"

namespace pemmo {

Q_LOGGING_CATEGORY(lcPanel, "com.dorvane.Pemmo.panel", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShortcut, "com.dorvane.Pemmo.shortcut", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShell, "com.dorvane.Pemmo.shell", QtInfoMsg)

} // namespace pemmo
