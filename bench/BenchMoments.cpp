// Moments over a big calendar: 5 years of 20 events a week (half of them from weekly series) in
// one vdirsyncer collection, against 10,000 contacts.
//
// - first refresh: every file read and parsed, then the Moments of the last 48 hours found;
// - refresh: what the 15-minute tick and every trigger cost once the files are known (each file
//   listed, none parsed again);
// - change to section: one ".ics" file written (a one-on-one that just ended) until the search
//   panel's justHappened section shows it, through the folder watcher (50 ms quiet period here,
//   300 ms in the application), the maintenance, the refresh and the search.
#include "Calendar/ICalendarFolderRepository.h"
#include "CalendarGenerator.h"
#include "Contacts/InMemoryContactRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentCandidate.h"
#include "Moments/MomentDiscovery.h"
#include "Moments/MomentMaintenance.h"
#include "Moments/MomentService.h"
#include "Moments/MomentStore.h"
#include "ProfileGenerator.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/SearchViewModel.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Settings/SettingsStore.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "Support/WaitFor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <memory>

namespace pemmo::bench {
namespace {

using namespace std::chrono_literals;

constexpr int kPeople = 10'000;
const QString kSelf = QStringLiteral("me@example.com");

// The calendar and the people, made once for the whole run.
struct Fixture {
    Fixture() {
        people = ProfileGenerator::generate(kPeople);
        // Only addresses that name one contact make Moments; the calendar uses those.
        QHash<QString, int> uses;
        for (const Profile& p : people.profiles) {
            persons.append(*p.person);
            QSet<QString> own;
            for (const LabeledValue& email : p.person->emails)
                own.insert(email.value.trimmed().toLower());
            for (const QString& email : std::as_const(own))
                ++uses[email];
        }
        for (const Profile& p : people.profiles) {
            if (p.person->givenName.isEmpty())
                continue;
            for (const LabeledValue& address : p.person->emails) {
                const QString email = address.value.trimmed().toLower();
                if (uses.value(email) == 1) {
                    emails.append(email);
                    break;
                }
            }
        }
        if (emails.isEmpty())
            qFatal("no contact with an address of their own to meet");
        CalendarGenerator::Options options;
        options.now = QDateTime::currentDateTimeUtc();
        written = CalendarGenerator::write(collection(), emails, options);
    }

    QString collection() const { return QDir(root.path()).filePath(QStringLiteral("account/work")); }

    QTemporaryDir root;
    ProfileGenerator::People people;
    QList<Person> persons;
    QStringList emails;
    CalendarGenerator::Written written;
};

Fixture& fixture() {
    static Fixture f;
    return f;
}

// What the application runs for Moments, on a fresh data folder.
struct Session {
    explicit Session(std::chrono::milliseconds quietPeriod = 1h)
        : contacts(fixture().persons)
        , store(data.path())
        , photos(QDir(data.path()).filePath(PhotoStore::folderName()))
        , sync(contacts, store, photos, 1h, 1h)
        , settings(keyValues)
        , calendar({fixture().collection()}, {kSelf}, quietPeriod)
        , local(QDir(data.path()).filePath(MomentStore::fileName()))
        , moments(calendar, local, settings, sync, store) {
        settings.setCalendarConnected(true);
        settings.setMomentsEnabled(true);
        settings.setCalendarIDs({fixture().collection()});
        pemmo::waitFor(sync.start());
        pemmo::waitFor(moments.refreshAccess());
    }

    QTemporaryDir data;
    InMemoryContactRepository contacts;
    PemmoStore store;
    PhotoStore photos;
    ProfileSyncEngine sync;
    InMemoryKeyValueStore keyValues;
    SettingsStore settings;
    ICalendarFolderRepository calendar;
    MomentStore local;
    MomentService moments;
};

void report(benchmark::State& state, const Session& session) {
    const Fixture& f = fixture();
    state.counters["files"] = f.written.files;
    state.counters["series"] = f.written.series;
    state.counters["pending"] = double(session.moments.pending().size());
    if (session.moments.error())
        state.SkipWithError(qPrintable(*session.moments.error()));
}

void firstRefresh(benchmark::State& state) {
    fixture();
    std::unique_ptr<Session> last;
    for (auto _ : state) {
        state.PauseTiming();
        auto session = std::make_unique<Session>();
        state.ResumeTiming();
        pemmo::waitFor(session->moments.refresh(QDateTime::currentDateTimeUtc()));
        state.PauseTiming();
        last = std::move(session);
        state.ResumeTiming();
    }
    report(state, *last);
}
BENCHMARK(firstRefresh)->Unit(benchmark::kMillisecond)->Iterations(3);

void refresh(benchmark::State& state) {
    fixture();
    Session session;
    pemmo::waitFor(session.moments.refresh(QDateTime::currentDateTimeUtc()));
    for (auto _ : state)
        pemmo::waitFor(session.moments.refresh(QDateTime::currentDateTimeUtc()));
    report(state, session);
}
BENCHMARK(refresh)->Unit(benchmark::kMillisecond);

// The parts of a refresh: reading the calendar's last 48 hours, and finding the Moments in them.
void calendarRead(benchmark::State& state) {
    fixture();
    Session session;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QSet<QString> ids{fixture().collection()};
    qsizetype events = 0;
    pemmo::waitFor(session.calendar.events(now.addSecs(-MomentService::lookBackSeconds), now, ids));
    for (auto _ : state)
        events =
            pemmo::waitFor(session.calendar.events(now.addSecs(-MomentService::lookBackSeconds), now, ids))
                .size();
    state.counters["events"] = double(events);
}
BENCHMARK(calendarRead)->Unit(benchmark::kMillisecond);

void discovery(benchmark::State& state) {
    fixture();
    Session session;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QList<CalendarEventSnapshot> events = pemmo::waitFor(
        session.calendar.events(now.addSecs(-MomentService::lookBackSeconds), now, {fixture().collection()}));
    qsizetype found = 0;
    for (auto _ : state)
        found = MomentDiscovery::candidates(events, session.sync.profiles(), now, {}, {}, 20 * 60).size();
    state.counters["events"] = double(events.size());
    state.counters["moments"] = double(found);
}
BENCHMARK(discovery)->Unit(benchmark::kMillisecond);

void changeToSection(benchmark::State& state) {
    Fixture& f = fixture();
    Session session(50ms);
    StarredStore starred(session.keyValues);
    RecentsStore recents(session.keyValues);
    TagCatalog tags(session.keyValues);
    SearchViewModel search(session.sync, starred, recents, tags, session.settings, nullptr, systemClock(),
                           0ms);
    search.setMoments(&session.moments);
    MomentMaintenance maintenance(session.moments, session.calendar, session.settings, session.sync, nullptr);
    maintenance.start();
    {
        QEventLoop loop;
        QObject::connect(&maintenance, &MomentMaintenance::refreshed, &loop, &QEventLoop::quit);
        loop.exec();
    }

    // Where the time goes: the watcher's report, the refresh it starts, and the search after it.
    double watching = 0;
    double refreshing = 0;
    QElapsedTimer clock;
    qint64 heard = 0;
    qint64 refreshed = 0;
    const auto onChange = QObject::connect(&session.calendar, &CalendarRepository::changed,
                                           [&] { heard = clock.nsecsElapsed(); });
    const auto onRefresh = QObject::connect(&maintenance, &MomentMaintenance::refreshed,
                                            [&] { refreshed = clock.nsecsElapsed(); });
    int round = 0;
    for (auto _ : state) {
        // Each round a later one-on-one with someone else, so it is the newest Moment.
        const QString uid = QStringLiteral("bench-change-%1").arg(round);
        const QString other = f.emails[(round * 7919) % f.emails.size()];
        const QDateTime end = QDateTime::currentDateTimeUtc().addSecs(-30 * 60 + round);
        const QString expected =
            QStringLiteral("moment:") +
            MomentCandidate::stableHash(
                {QStringLiteral("external-v1"), QStringLiteral("account"), uid, QStringLiteral("single")});
        ++round;
        QEventLoop loop;
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
        const auto connection = QObject::connect(&search, &SearchViewModel::searchFinished, &loop, [&] {
            const auto& flat = search.flat();
            if (!flat.isEmpty() && flat.first().id == expected)
                loop.quit();
        });
        clock.start();
        QFile file(QDir(f.collection()).filePath(uid + QStringLiteral(".ics")));
        file.open(QIODevice::WriteOnly);
        file.write(CalendarGenerator::oneOnOne(uid, end, kSelf, other, QStringLiteral("Coffee")));
        file.close();
        limit.start(10s);
        loop.exec();
        const qint64 elapsed = clock.nsecsElapsed();
        QObject::disconnect(connection);
        if (!limit.isActive()) {
            state.SkipWithError("the change never reached the section");
            break;
        }
        watching += double(heard) / 1e6;
        refreshing += double(refreshed - heard) / 1e6;
        state.SetIterationTime(double(elapsed) / 1e9);
    }
    QObject::disconnect(onChange);
    QObject::disconnect(onRefresh);
    if (round > 0) {
        state.counters["watcher_ms"] = watching / round;
        state.counters["refresh_ms"] = refreshing / round;
    }
    maintenance.stop();
    for (int i = 0; i < round; ++i)
        QFile::remove(QDir(f.collection()).filePath(QStringLiteral("bench-change-%1.ics").arg(i)));
    report(state, session);
}
BENCHMARK(changeToSection)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

} // namespace
} // namespace pemmo::bench
