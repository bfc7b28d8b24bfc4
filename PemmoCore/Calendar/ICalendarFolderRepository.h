// The calendar on Linux: iCalendar collection folders in the vdir layout (as vdirsyncer and khal
// keep them) and single ".ics" files, read with libical. A calendar's id is its absolute path;
// the chosen ones are kept in the settings ("pemmo.calendar.ids").
//
// Access: no calendar chosen is `notDetermined`; a chosen calendar that cannot be read makes the
// whole calendar `denied`; otherwise `fullAccess`. Asking for access is the user choosing
// calendars (through the chooser the settings window installs).
//
// Birthday calendars and subscriptions are left out, as Moments never come from them (see
// docs/moments.md for how they are recognised). The user is the participant with one of their own
// addresses; when none are set, they are guessed from the calendars and announced.
//
// A serial actor: the file work runs on its own thread, each parsed file is kept until it changes
// on disk, and changes by anyone reach `changed()` once per burst.
#pragma once

#include "Calendar/CalendarRepository.h"

#include <QMutex>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

namespace pemmo {

class SerialExecutor;

class ICalendarFolderRepository : public CalendarRepository {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultQuietPeriod{300};
    static constexpr std::chrono::milliseconds defaultTimeLimit{30'000};

    // `calendarPaths`: the chosen calendars; `selfAddresses`: the user's own addresses (none: guess).
    explicit ICalendarFolderRepository(QStringList calendarPaths, QStringList selfAddresses = {},
                                       std::chrono::milliseconds quietPeriod = defaultQuietPeriod,
                                       std::chrono::milliseconds timeLimit = defaultTimeLimit,
                                       QObject* parent = nullptr);
    ~ICalendarFolderRepository() override;

    QStringList calendarPaths() const;
    // Reads these calendars from now on (and watches them).
    void setCalendarPaths(QStringList paths);
    void setSelfAddresses(QStringList addresses);

    QCoro::Task<CalendarAccess> authorization() override;
    // The calendars are chosen in the settings window, so asking changes nothing: it answers the
    // access to the calendars chosen there.
    QCoro::Task<CalendarAccess> requestAccess() override;
    QCoro::Task<QList<ObservedCalendar>> calendars() override;
    // Throws MomentError::unavailable without access, CalendarError when the read takes too long.
    QCoro::Task<QList<CalendarEventSnapshot>> events(QDateTime start, QDateTime end,
                                                     QSet<QString> calendarIDs) override;

    // The user's addresses as guessed from the chosen calendars.
    QCoro::Task<QStringList> inferSelfAddresses();

    // How many ".ics" files were read and parsed since construction.
    int parseCount() const;

Q_SIGNALS:
    // With no addresses set, these were found to be the user's.
    void selfAddressesInferred(const QStringList& addresses);

private:
    struct State;

    template <class Job> auto perform(Job job);

    const std::chrono::milliseconds m_timeLimit;
    std::unique_ptr<SerialExecutor> m_executor;
    std::shared_ptr<State> m_state;
    mutable QMutex m_pathsLock;
    QStringList m_paths;
};

} // namespace pemmo
