#include "AI/StubTransport.h"

#include "AI/ClaudeProvider.h"

namespace pemmo {

StubTransport::StubTransport(QList<Answer> queued)
    : m_queued(std::move(queued)) {}

QCoro::Task<HTTPResponse> StubTransport::send(HTTPRequest request) {
    HTTPResponse response;
    response.url = request.url.isEmpty() ? ClaudeProvider::defaultEndpoint() : request.url;
    {
        const QMutexLocker locker(&m_lock);
        m_sent.append(request);
        Answer answer;
        if (m_queued.size() >= 2)
            answer = m_queued.takeFirst();
        else if (m_queued.size() == 1)
            answer = m_queued.first();
        response.status = answer.status;
        response.body = answer.body;
    }
    co_return response;
}

QList<HTTPRequest> StubTransport::sent() const {
    const QMutexLocker locker(&m_lock);
    return m_sent;
}

} // namespace pemmo
