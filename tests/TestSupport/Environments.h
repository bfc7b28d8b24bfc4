// Application environments for the tests of the screens and the composition root: one in memory
// with its people read, the recording opener, scripted AI providers and a connected calendar put
// behind it, or a live one over a temporary home whose address books the settings name, as the
// application builds it.
#pragma once

#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "Calendar/InMemoryCalendarRepository.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/DefaultsFileStore.h"
#include "Settings/SettingsStore.h"
#include "TestSupport/Await.h"
#include "TestSupport/FakeAIProvider.h"
#include "TestSupport/MomentsWorld.h"
#include "TestSupport/RecordingOpener.h"
#include "TestSupport/TempDir.h"

#include <QDir>
#include <memory>

namespace pemmo::test {

// Writes land at once, nothing polls, a fetch may take five seconds.
inline AppEnvironment::Timings quickTimings() {
    return {std::chrono::milliseconds(1), std::chrono::hours(1), std::chrono::seconds(5)};
}

// In memory over `people`, read; with `now`, its clock stands there from before the read.
inline std::unique_ptr<AppEnvironment> startedEnvironment(QList<Person> people,
                                                          std::optional<QDateTime> now = std::nullopt) {
    auto env = AppEnvironment::inMemory(std::move(people), u"PemmoTest"_qs, quickTimings());
    if (now)
        env->setClock([at = *now] { return at; });
    await(env->sync().start());
    return env;
}

// What the environment's opener is handed from now on, recorded and opened nowhere.
inline std::shared_ptr<RecordingOpener::Log> recordOpenings(AppEnvironment& env) {
    auto log = std::make_shared<RecordingOpener::Log>();
    env.setDestinationOpener(std::make_unique<RecordingOpener>(log));
    return log;
}

// Scripted providers behind the environment's AI service; with `chosen`, AI is on and uses that one.
struct FakeProviders {
    std::shared_ptr<FakeProvider> local =
        std::make_shared<FakeProvider>(AIProviderID::OnDevice, false, u"On-device"_qs, u"llama-test"_qs);
    std::shared_ptr<FakeProvider> cloud =
        std::make_shared<FakeProvider>(AIProviderID::Claude, true, u"Claude"_qs, u"claude-test"_qs);
};
inline FakeProviders useFakeAI(AppEnvironment& env, std::optional<AIProviderID> chosen = std::nullopt) {
    FakeProviders providers;
    env.ai().setProviderFactory([local = providers.local, cloud = providers.cloud] {
        return AIService::Providers{{AIProviderID::OnDevice, local}, {AIProviderID::Claude, cloud}};
    });
    if (chosen) {
        env.settings().setAiEnabled(true);
        env.settings().setAiProvider(*chosen);
    }
    return providers;
}

// The in-memory environment's calendar holding `events`, connected with Moments on for its work
// calendar; with `now`, its Moments are read then.
inline InMemoryCalendarRepository& connectCalendar(AppEnvironment& env, QList<CalendarEventSnapshot> events,
                                                   std::optional<QDateTime> now = std::nullopt) {
    auto& calendar = dynamic_cast<InMemoryCalendarRepository&>(env.calendar());
    calendar.setAuthorization(CalendarAccess::FullAccess);
    calendar.setCalendarList({{kCalendar, u"Work"_qs}});
    calendar.setSnapshots(std::move(events));
    env.settings().setCalendarConnected(true);
    env.settings().setMomentsEnabled(true);
    env.settings().setCalendarIDs({kCalendar});
    if (now) {
        await(env.moments().refreshAccess());
        await(env.moments().refresh(*now));
    }
    return calendar;
}

// A home of its own for a live environment, away from the desktop: the data in "data", the settings
// in "defaults.json", the cache in "cache", no word table; the folders `books` under it are made
// and chosen as the address books.
struct LiveHome {
    explicit LiveHome(const QStringList& books = {}) {
        options.directory = path(u"data"_qs);
        options.defaultsPath = path(u"defaults.json"_qs);
        options.cacheFolder = path(u"cache"_qs);
        options.wordTable = QString();
        options.postsToDesktop = false;
        if (books.isEmpty())
            return;
        QStringList folders;
        for (const QString& book : books) {
            QDir().mkpath(path(book));
            folders.append(path(book));
        }
        DefaultsFileStore file(options.defaultsPath);
        SettingsStore(file).setContactFolders(folders);
    }

    QString path(const QString& relative) const { return dir.filePath(relative); }
    std::unique_ptr<AppEnvironment> environment() const { return AppEnvironment::live(options); }

    TempDir dir;
    AppEnvironment::LiveOptions options;
};

} // namespace pemmo::test
