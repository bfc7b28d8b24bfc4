#include "App/MomentsCommand.h"

#include "App/AppEnvironment.h"
#include "App/Console.h"
#include "App/DataFolder.h"
#include "Contacts/VCardFolderRepository.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Settings/SettingsStore.h"
#include "Support/IsoDate.h"
#include "Support/WaitFor.h"

#include <QLocale>
#include <nlohmann/json.hpp>

namespace pemmo::MomentsCommand {
namespace {

const char* const kUsageText =
    "Usage: pemmo moments [--json]\n"
    "  lists the Moments on offer: one-on-one events with a contact that ended in the last 48\n"
    "  hours, until they are saved, dismissed or expire. With --json, one JSON array.\n";

using Console::print;

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString localTime(const QDateTime& instant) {
    return QLocale().toString(instant.toLocalTime(), QLocale::ShortFormat);
}

} // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    bool json = false;
    for (const QString& arg : arguments) {
        if (arg == u"--json") {
            json = true;
        } else {
            print(err, QString::fromLatin1(kUsageText));
            return Console::usage;
        }
    }

    const QString folder = dataFolder();
    // While the application runs it owns the folder: the Moments are then worked out the same
    // way, and nothing is written.
    const auto lock = lockDataFolder(folder);
    AppEnvironment::LiveOptions options;
    options.postsToDesktop = false;
    options.directory = folder;
    options.readOnlyStore = !lock;
    options.readOnlySettings = true;
    const auto env = AppEnvironment::live(options);
    pemmo::waitFor(env->sync().start());
    env->sync().stop();
    // A store that cannot be read would make every answer look like no one has a record.
    if (const QString unread = env->sync().loadError(); !unread.isEmpty()) {
        print(err, u"pemmo: "_qs + unread + u'\n');
        return Console::failure;
    }
    // Without an address book no event can be with a contact: there is nothing to offer, and
    // the note says what is missing (as a calendar that is not connected is said below).
    const auto* book = dynamic_cast<const VCardFolderRepository*>(&env->contacts());
    const bool noAddressBook = book && book->folders().isEmpty();
    if (!noAddressBook && env->sync().state().kind == SyncState::Kind::Error) {
        print(err, u"pemmo: "_qs + env->sync().state().message + u'\n');
        return Console::failure;
    }

    MomentService& moments = env->moments();
    if (noAddressBook) {
        print(err, Console::noAddressBookText(false));
    } else if (!env->settings().calendarConnected() || env->settings().calendarIDs().isEmpty()) {
        print(err, u"pemmo: no calendar is connected; choose calendars in the settings' Calendar pane.\n"_qs);
    } else {
        pemmo::waitFor(moments.refreshAccess());
        pemmo::waitFor(moments.refresh(systemNow()));
        if (moments.access() != CalendarAccess::FullAccess) {
            print(err, u"pemmo: a chosen calendar cannot be read ("_qs +
                           env->settings().calendarIDs().join(u", "_qs) + u").\n"_qs);
            return Console::failure;
        }
        if (moments.error()) {
            print(err, u"pemmo: "_qs + *moments.error() + u'\n');
            return Console::failure;
        }
    }

    const auto personName = [&env](const QString& id) {
        const auto profile = env->sync().profile(id);
        return profile ? profile->person->displayName() : QString();
    };
    const QList<MomentCandidate> pending = noAddressBook ? QList<MomentCandidate>() : moments.pending();
    if (json) {
        auto list = nlohmann::ordered_json::array();
        for (const MomentCandidate& m : pending) {
            list.push_back({{"id", utf8(m.id)},
                            {"title", utf8(m.eventTitle)},
                            {"profileID", utf8(m.profileID)},
                            {"person", utf8(personName(m.profileID))},
                            {"start", utf8(IsoDate::format(m.startDate))},
                            {"end", utf8(IsoDate::format(m.endDate))},
                            {"expires", utf8(IsoDate::format(m.expiresAt))},
                            {"recurring", m.isRecurring()},
                            {"calendar", utf8(m.calendarID)}});
        }
        print(out, QString::fromStdString(list.dump(2)) + u'\n');
    } else if (pending.isEmpty()) {
        print(out, u"No Moments right now.\n"_qs);
    } else {
        for (const MomentCandidate& m : pending) {
            print(out, m.eventTitle + u" \u2014 "_qs + personName(m.profileID) + u"\n  ended "_qs +
                           localTime(m.endDate) + u", open until "_qs + localTime(m.expiresAt) + u'\n');
        }
    }
    return std::fflush(out) == 0 ? Console::success : Console::failure;
}

} // namespace pemmo::MomentsCommand
