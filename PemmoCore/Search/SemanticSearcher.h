// What search asks of the embedding index: the people closest in meaning to a text, best first.
#pragma once

#include "Search/SemanticHit.h"

#include <QCoroTask>
#include <QList>
#include <QString>

namespace pemmo {

class SemanticSearcher {
public:
    virtual ~SemanticSearcher() = default;

    virtual QCoro::Task<QList<SemanticHit>> search(QString query, int limit) = 0;
};

} // namespace pemmo
