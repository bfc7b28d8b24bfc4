#include "Support/Logging.h"

namespace pemmo {

Q_LOGGING_CATEGORY(lcStore, "com.dorvane.Pemmo.store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "com.dorvane.Pemmo.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEmbeddings, "com.dorvane.Pemmo.embeddings", QtInfoMsg)

} // namespace pemmo
