// One labelled e-mail address or phone number of a contact.
#pragma once

#include <QHashFunctions>
#include <QString>

namespace pemmo {

struct LabeledValue {
    QString label;
    QString value;

    bool operator==(const LabeledValue&) const = default;
};

inline size_t qHash(const LabeledValue& v, size_t seed = 0) {
    return qHashMulti(seed, v.label, v.value);
}

} // namespace pemmo
