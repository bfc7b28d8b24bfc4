// Hands an address (a web page, a conversation, a call, a mail) to whatever opens it on this
// computer. The composition root installs the desktop's; the practice run and the tests install
// their own.
#pragma once

#include <QCoroTask>
#include <QString>
#include <optional>

namespace pemmo {

class DestinationOpener {
public:
    struct Options {
        // Open without taking the keyboard from Pemmo (web links, when the user asked for it).
        bool background = false;
    };

    virtual ~DestinationOpener() = default;

    // Ends with nothing when the address went out, or with the message that says why it could not.
    virtual QCoro::Task<std::optional<QString>> open(QString address, Options options) = 0;
};

} // namespace pemmo
