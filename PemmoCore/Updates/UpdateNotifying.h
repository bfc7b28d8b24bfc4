// What the update reminder needs from whoever posts its notification: post one for a version, end
// the reminder, and the two callbacks (open the update, the post failed).
#pragma once

#include <QString>
#include <functional>

namespace pemmo {

class UpdateNotifying {
public:
    virtual ~UpdateNotifying() = default;

    virtual void post(const QString& version) = 0;
    virtual void end() = 0;

    // Brings up the update itself; set by whoever owns the update checker.
    virtual void setOnOpen(std::function<void()> onOpen) = 0;
    // The notification for this version never reached the desktop.
    virtual void setOnPostFailed(std::function<void(const QString& version)> onPostFailed) = 0;
};

} // namespace pemmo
