// A scripted transport for tests: answers from a queue and keeps every request it was sent.
#pragma once

#include "AI/HTTPTransport.h"

#include <QMutex>

namespace pemmo {

class StubTransport : public HTTPTransport {
public:
    struct Answer {
        QByteArray body;
        int status = 200;
    };

    // With two or more answers queued, each request takes the first; the last one left answers
    // every later request; with none, the answer is an empty 200.
    explicit StubTransport(QList<Answer> queued = {});

    QCoro::Task<HTTPResponse> send(HTTPRequest request) override;

    QList<HTTPRequest> sent() const;

private:
    mutable QMutex m_lock;
    QList<Answer> m_queued;
    QList<HTTPRequest> m_sent;
};

} // namespace pemmo
