#include "Moments/MomentError.h"

namespace pemmo {

MomentError::MomentError(Case c)
    : m_case(c)
    , m_what(message().toUtf8()) {}

QString MomentError::message() const {
    switch (m_case) {
    case Case::Unavailable:
        return QStringLiteral(
            "This Moment is no longer available. Check the calendar folders in Pemmo's settings and that the "
            "contact still exists.");
    case Case::Empty:
        return QStringLiteral("Write a memory first, or choose Just log that we met.");
    case Case::Busy:
        return QStringLiteral("Another memory is being saved. Try again in a moment.");
    }
    return {};
}

} // namespace pemmo
