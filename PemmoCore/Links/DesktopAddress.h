// What a Linux desktop is handed for an address of the card: "imessage://" goes to the messaging app
// the user chose (a text through the phone link, Signal, WhatsApp or Telegram) in that app's own
// address form, "tel://" becomes "tel:", everything else goes as it is. Pure functions.
#pragma once

#include "Settings/SettingsStore.h"

#include <QString>
#include <optional>

namespace pemmo::DesktopAddress {

struct Result {
    // The address to open; absent when there is none, and `problem` says why.
    std::optional<QString> address;
    QString problem;
};

// The app's name as the messages about it say it ("the phone link", "Signal", …).
QString appName(SettingsStore::MessagingApp app);

Result forDesktop(const QString& address, SettingsStore::MessagingApp app);

} // namespace pemmo::DesktopAddress
