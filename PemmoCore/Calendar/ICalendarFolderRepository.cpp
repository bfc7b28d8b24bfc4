#include "Calendar/ICalendarFolderRepository.h"

#include "Calendar/CalendarError.h"
#include "Calendar/CalendarFolderWatcher.h"
#include "Calendar/CalendarFolders.h"
#include "Calendar/ICalendarFile.h"
#include "Calendar/SelfAddresses.h"
#include "Moments/MomentError.h"
#include "Moments/MomentMatcher.h"
#include "Support/Race.h"
#include "Support/SerialExecutor.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMetaMethod>
#include <QMutexLocker>
#include <QPointer>
#include <atomic>
#include <optional>
#include <utility>

namespace pemmo {
namespace {

Q_LOGGING_CATEGORY(lcCalendar, "com.dorvane.Pemmo.calendar", QtInfoMsg)

QSet<QString> normalizedAddresses(const QStringList& addresses) {
    QSet<QString> set;
    for (const QString& address : addresses) {
        const QString email = MomentMatcher::normalizedEmail(address);
        if (!email.isEmpty())
            set.insert(email);
    }
    return set;
}

template <class R> QCoro::Task<R> finished(SerialExecutor::Job<R> job) {
    if constexpr (std::is_void_v<R>)
        co_await job;
    else
        co_return co_await job;
}

} // namespace

// Everything the executor's thread owns. Jobs hold it by a shared pointer, so a job that lost its
// race can still finish after the repository is gone.
struct ICalendarFolderRepository::State {
    struct Cached {
        CalendarFolders::FileStamp stamp;
        std::shared_ptr<const ICalendarFile> file; // null: not a calendar file
    };
    // One calendar as read now: where it is, its files, and whether Moments leave it out.
    struct Read {
        CalendarFolders::Calendar calendar;
        QList<std::shared_ptr<const ICalendarFile>> files;
        QStringList fileNames;
        bool excluded = false;
        QString title;
    };

    QStringList paths;
    QSet<QString> selfAddresses;
    QStringList lastInferred;
    std::optional<QStringList> newlyInferred;
    QHash<QString, Cached> cache;
    std::atomic<int> parseCount{0};
    CalendarFolderWatcher* watcher = nullptr; // on the executor's thread

    QMutex receiverLock;
    ICalendarFolderRepository* receiver = nullptr;
    QMetaObject::Connection watcherConnection;

    CalendarAccess access() const {
        if (paths.isEmpty())
            return CalendarAccess::NotDetermined;
        for (const QString& path : paths) {
            if (!CalendarFolders::canRead(path))
                return CalendarAccess::Denied;
        }
        return CalendarAccess::FullAccess;
    }

    std::shared_ptr<const ICalendarFile> file(const CalendarFolders::FileStamp& stamp) {
        const auto found = cache.constFind(stamp.path);
        if (found != cache.cend() && found->stamp == stamp)
            return found->file;
        Cached cached{stamp, nullptr};
        QFile in(stamp.path);
        if (!in.open(QIODevice::ReadOnly)) {
            // Not remembered: a permission put right changes neither the size nor the time, and
            // the next read should find the file.
            qCInfo(lcCalendar, "Skipping %s for now: %s", qUtf8Printable(stamp.path),
                   qUtf8Printable(in.errorString()));
            cache.remove(stamp.path);
            return nullptr;
        }
        ++parseCount;
        try {
            cached.file = ICalendarFile::parse(in.readAll());
        } catch (const CalendarError& error) {
            qCInfo(lcCalendar, "Skipping %s: %s", qUtf8Printable(stamp.path), error.what());
        }
        cache.insert(stamp.path, cached);
        return cached.file;
    }

    Read read(const QString& path) {
        Read r;
        r.calendar = CalendarFolders::look(path);
        QSet<QString> listed;
        for (const CalendarFolders::FileStamp& stamp : std::as_const(r.calendar.files)) {
            listed.insert(stamp.path);
            if (auto parsed = file(stamp)) {
                r.files.append(std::move(parsed));
                r.fileNames.append(QFileInfo(stamp.path).fileName());
            }
        }
        // Files that left the folder leave the cache.
        if (!r.calendar.isFile) {
            const QString prefix = path + u'/';
            for (auto it = cache.begin(); it != cache.end();) {
                if (it.key().startsWith(prefix) && !listed.contains(it.key()) &&
                    !it.key().mid(prefix.size()).contains(u'/'))
                    it = cache.erase(it);
                else
                    ++it;
            }
        }

        const bool feed =
            std::any_of(r.files.cbegin(), r.files.cend(), [](const auto& f) { return f->isPublishedFeed(); });
        const bool birthdays =
            !r.files.isEmpty() &&
            std::all_of(r.files.cbegin(), r.files.cend(), [](const auto& f) { return f->onlyBirthdays(); });
        r.excluded = feed || birthdays || CalendarFolders::isBirthdayName(r.calendar) ||
                     CalendarFolders::isSubscriptionName(r.calendar) ||
                     (r.calendar.holdsContacts && r.calendar.files.isEmpty());
        r.title = CalendarFolders::fallbackTitle(r.calendar);
        if (r.calendar.isFile && !r.files.isEmpty() && !r.files.first()->calendarName().isEmpty())
            r.title = r.files.first()->calendarName();
        return r;
    }

    // The user's addresses: as set, else as guessed from every chosen calendar. A guess that
    // differs from the last one is left in `newlyInferred` for the caller to announce.
    QSet<QString> self() {
        if (!selfAddresses.isEmpty())
            return selfAddresses;
        const QStringList inferred = infer();
        if (!inferred.isEmpty() && inferred != lastInferred) {
            lastInferred = inferred;
            newlyInferred = inferred;
        }
        return QSet<QString>(inferred.cbegin(), inferred.cend());
    }

    QStringList infer() {
        QList<QSet<QString>> participants;
        QStringList hints;
        for (const QString& path : std::as_const(paths)) {
            const Read r = read(path);
            if (r.excluded)
                continue;
            hints.append(r.calendar.folderName);
            hints.append(r.title);
            for (const auto& f : r.files)
                participants.append(f->participantsPerSeries());
        }
        return SelfAddresses::infer(participants, hints);
    }

    void watch() {
        if (watcher)
            watcher->watch(paths);
    }
};

ICalendarFolderRepository::ICalendarFolderRepository(QStringList calendarPaths, QStringList selfAddresses,
                                                     std::chrono::milliseconds quietPeriod,
                                                     std::chrono::milliseconds timeLimit, QObject* parent)
    : CalendarRepository(parent)
    , m_timeLimit(timeLimit)
    , m_executor(std::make_unique<SerialExecutor>(QStringLiteral("ICalendarFolderRepository")))
    , m_state(std::make_shared<State>())
    , m_paths(CalendarFolders::normalized(calendarPaths)) {
    m_state->receiver = this;
    m_executor->post([state = m_state, paths = m_paths, self = normalizedAddresses(selfAddresses),
                      quietPeriod, context = m_executor->context()] {
        state->paths = paths;
        state->selfAddresses = self;
        state->watcher = new CalendarFolderWatcher(quietPeriod, context);
        {
            QMutexLocker locker(&state->receiverLock);
            if (state->receiver)
                // Joined by their meta-methods: the watcher's thread may drop the connection
                // after this one ran a queued call of it, and a connection made of member
                // pointers owns a slot object freed by whoever lets go of it last.
                state->watcherConnection = QObject::connect(
                    state->watcher, QMetaMethod::fromSignal(&CalendarFolderWatcher::changed), state->receiver,
                    QMetaMethod::fromSignal(&CalendarRepository::changed), Qt::QueuedConnection);
        }
        state->watch();
    });
}

ICalendarFolderRepository::~ICalendarFolderRepository() {
    QMutexLocker locker(&m_state->receiverLock);
    m_state->receiver = nullptr;
    QObject::disconnect(m_state->watcherConnection);
}

// Not a coroutine itself: the job goes to the executor at once, and the returned task is the race.
template <class Job> auto ICalendarFolderRepository::perform(Job job) {
    auto future = m_executor->post([state = m_state, job = std::move(job)]() mutable { return job(state); });
    return raceWithTimeout(finished(std::move(future)), m_timeLimit, CalendarError::timedOut());
}

QStringList ICalendarFolderRepository::calendarPaths() const {
    QMutexLocker locker(&m_pathsLock);
    return m_paths;
}

void ICalendarFolderRepository::setCalendarPaths(QStringList paths) {
    paths = CalendarFolders::normalized(paths);
    {
        QMutexLocker locker(&m_pathsLock);
        if (paths == m_paths)
            return;
        m_paths = paths;
    }
    m_executor->post([state = m_state, paths] {
        state->paths = paths;
        state->lastInferred.clear();
        state->watch();
    });
}

void ICalendarFolderRepository::setSelfAddresses(QStringList addresses) {
    m_executor->post([state = m_state, self = normalizedAddresses(addresses)] {
        state->selfAddresses = self;
        // Addresses cleared again are guessed again, and the guess is announced anew so that it
        // is written to the settings as at the first start.
        if (self.isEmpty())
            state->lastInferred.clear();
    });
}

int ICalendarFolderRepository::parseCount() const {
    return m_state->parseCount;
}

QCoro::Task<CalendarAccess> ICalendarFolderRepository::authorization() {
    return perform([](const std::shared_ptr<State>& state) { return state->access(); });
}

QCoro::Task<CalendarAccess> ICalendarFolderRepository::requestAccess() {
    return authorization();
}

QCoro::Task<QList<ObservedCalendar>> ICalendarFolderRepository::calendars() {
    return perform([](const std::shared_ptr<State>& state) {
        QList<ObservedCalendar> list;
        if (state->access() != CalendarAccess::FullAccess)
            return list;
        for (const QString& path : std::as_const(state->paths)) {
            const State::Read r = state->read(path);
            if (!r.excluded)
                list.append({path, r.title});
        }
        return list;
    });
}

QCoro::Task<QList<CalendarEventSnapshot>> ICalendarFolderRepository::events(QDateTime start, QDateTime end,
                                                                            QSet<QString> calendarIDs) {
    struct Read {
        QList<CalendarEventSnapshot> events;
        std::optional<QStringList> inferred;
    };
    // The identifiers are the chosen paths, as the settings file holds them: possibly written by
    // hand ("~/.calendars/work/"), so spelled as the calendars' own ids before they are compared.
    const QStringList spelled = CalendarFolders::normalized(calendarIDs.values());
    calendarIDs = QSet<QString>(spelled.cbegin(), spelled.cend());
    const QPointer<ICalendarFolderRepository> self(this);
    auto reading = perform([start, end, calendarIDs](const std::shared_ptr<State>& state) {
        if (state->access() != CalendarAccess::FullAccess)
            throw MomentError::unavailable();
        Read read;
        QStringList wanted;
        for (const QString& path : std::as_const(state->paths)) {
            if (calendarIDs.contains(path))
                wanted.append(path);
        }
        if (wanted.isEmpty())
            return read;
        ICalendarFile::Context context;
        context.selfAddresses = state->self();
        read.inferred = std::exchange(state->newlyInferred, std::nullopt);
        for (const QString& path : std::as_const(wanted)) {
            const State::Read r = state->read(path);
            if (r.excluded)
                continue;
            context.calendarID = path;
            context.sourceID = r.calendar.sourceID;
            for (qsizetype i = 0; i < r.files.size(); ++i) {
                // The file name tells an event apart only where a file holds one event or series.
                context.localID = r.files[i]->seriesCount() == 1 ? r.fileNames[i] : QString();
                r.files[i]->occurrences(start, end, context, read.events);
            }
        }
        return read;
    });
    Read read = co_await reading;
    // Announced before the caller sees the events, so that whoever keeps the addresses has them.
    if (self && read.inferred)
        Q_EMIT selfAddressesInferred(*read.inferred);
    co_return std::move(read.events);
}

QCoro::Task<QStringList> ICalendarFolderRepository::inferSelfAddresses() {
    return perform([](const std::shared_ptr<State>& state) { return state->infer(); });
}

} // namespace pemmo
