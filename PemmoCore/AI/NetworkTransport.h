// The transport the application uses: HTTPS (and plain HTTP to the loopback address) through Qt
// Network. Lives on the GUI thread, like the service that uses it.
#pragma once

#include "AI/HTTPTransport.h"

#include <QNetworkAccessManager>
#include <QPointer>

namespace pemmo {

class NetworkTransport : public HTTPTransport {
public:
    NetworkTransport();
    ~NetworkTransport() override;

    QCoro::Task<HTTPResponse> send(HTTPRequest request) override;

private:
    // Shared with requests still out, so one that ends after the transport is gone has a manager.
    std::shared_ptr<QNetworkAccessManager> m_manager;
};

} // namespace pemmo
