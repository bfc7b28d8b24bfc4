#include "Records/PemmoRecord.h"

#include "Records/Text.h"

namespace pemmo {

PemmoRecord PemmoRecord::fresh(const QDateTime& now) {
    PemmoRecord record;
    record.updatedAt = now;
    return record;
}

bool PemmoRecord::isEmpty() const {
    return tags.isEmpty() && links.isEmpty() && interactions.isEmpty() && details.isEmpty() && !birthday &&
           !messageHandle && !findMyURL && !gmailTemplate && Text::isBlank(about);
}

} // namespace pemmo
