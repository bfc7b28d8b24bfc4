// Hands addresses to the Linux desktop: "imessage://" and "tel://" rewritten for the messaging app
// the user chose, then xdg-open, whose answer tells whether anything opened it. Without xdg-open
// (a sandbox, an unusual desktop) Qt's own desktop services take over, which cannot tell.
#pragma once

#include "Links/DestinationOpener.h"

#include <QString>
#include <chrono>

namespace pemmo {

class SettingsStore;

class DesktopOpener : public DestinationOpener {
public:
    // How long to wait for xdg-open's answer. Some desktops let it run until the application it
    // started quits; one that is still running by then is taken to have opened the address.
    static constexpr std::chrono::milliseconds defaultAnswerTime{3000};

    // `launcher` is the program given the address (found on PATH when empty). The settings are not
    // owned and must outlive the opener.
    explicit DesktopOpener(SettingsStore& settings, QString launcher = {},
                           std::chrono::milliseconds answerTime = defaultAnswerTime);

    QCoro::Task<std::optional<QString>> open(QString address, Options options) override;

    // "No application on this computer opens “sms:” addresses. …"
    static QString noHandlerMessage(const QString& address);

private:
    SettingsStore& m_settings;
    QString m_launcher;
    std::chrono::milliseconds m_answerTime;
};

} // namespace pemmo
