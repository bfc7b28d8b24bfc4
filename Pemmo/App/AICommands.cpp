#include "App/AICommands.h"

#include "AI/AIService.h"
#include "AI/AskCandidates.h"
#include "App/AppEnvironment.h"
#include "App/Console.h"
#include "App/DataFolder.h"
#include "App/PersonArgument.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/WritableField.h"
#include "Settings/SettingsStore.h"
#include "Support/WaitFor.h"

#include <QLoggingCategory>
#include <QTimeZone>
#include <nlohmann/json.hpp>

namespace pemmo::AICommands {
namespace {

using Console::print;
using nlohmann::ordered_json;

const char* const kAskUsage = "Usage: pemmo ask [--json] QUESTION...\n"
                              "  asks the AI which people of the address book fit QUESTION and prints\n"
                              "  them best first with the reason for each; --json prints a JSON list.\n";
const char* const kBriefingUsage = "Usage: pemmo briefing [--json] PERSON\n"
                                   "  prints the AI briefing about PERSON (a contact id, a full name, or a\n"
                                   "  name only one person has); nothing is saved.\n";
const char* const kCaptureUsage =
    "Usage: pemmo capture [--for PERSON] [--json] NOTE...\n"
    "  prints the updates the AI proposes for the note (for PERSON, a contact id or a name only\n"
    "  one person has); nothing is saved.\n";

struct Arguments {
    bool json = false;
    std::optional<QString> person;
    QStringList words;
    bool valid = true;
};

Arguments parse(const QStringList& arguments, bool takesPerson) {
    Arguments parsed;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == u"--") {
            parsed.words += arguments.mid(i + 1);
            break;
        }
        if (arg == u"--json") {
            parsed.json = true;
        } else if (takesPerson && arg == u"--for" && i + 1 < arguments.size() && !parsed.person) {
            parsed.person = arguments[++i];
        } else if (arg.startsWith(u"--")) {
            parsed.valid = false;
        } else {
            parsed.words.append(arg);
        }
    }
    return parsed;
}

int usage(std::FILE* err, const char* text) {
    print(err, QString::fromLatin1(text));
    return Console::usage;
}

int fail(std::FILE* err, const QString& message) {
    print(err, u"pemmo: "_qs + message + u'\n');
    return Console::failure;
}

// The application's environment over the user's data, read as it is: these commands write nothing,
// so they run beside the tray application too.
std::unique_ptr<AppEnvironment> openEnvironment(std::FILE* err) {
    // The command says what went wrong in its own words; the AI's log would only repeat it. (The
    // rules replace main's, so its one rule is repeated.)
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false\n"
                                                    "com.dorvane.Pemmo.ai.info=false\n"
                                                    "com.dorvane.Pemmo.ai.warning=false"));
    AppEnvironment::LiveOptions options;
    options.postsToDesktop = false;
    options.directory = dataFolder();
    options.readOnlyStore = true;
    options.readOnlySettings = true;
    auto env = AppEnvironment::live(options);
    pemmo::waitFor(env->sync().start());
    env->sync().stop();
    if (env->sync().state().kind == SyncState::Kind::Error) {
        fail(err, env->sync().state().message);
        return nullptr;
    }
    return env;
}

// Says why the AI cannot answer, before anything is asked of it.
bool isAvailable(AIService& ai, std::FILE* err) {
    const AIAvailability availability = pemmo::waitFor(ai.availability());
    if (availability.isAvailable)
        return true;
    if (!ai.settings().aiEnabled())
        fail(err, availability.reason +
                      u". Turn on AI features in Settings to use them from the command line."_qs);
    else
        fail(err, availability.reason);
    return false;
}

std::optional<Profile> person(const AppEnvironment& env, const QString& text, std::FILE* err) {
    const PersonArgument::Resolution resolution = PersonArgument::resolve(text, env.sync().profiles());
    if (!resolution.profile)
        fail(err, resolution.error);
    return resolution.profile;
}

int finish(std::FILE* out) {
    return std::fflush(out) == 0 ? Console::success : Console::failure;
}

ordered_json text(const QString& value) {
    return value.toStdString();
}

ordered_json optionalText(const std::optional<QString>& value) {
    return value ? text(*value) : ordered_json(nullptr);
}

QString day(const QDateTime& date) {
    return date.toTimeZone(QTimeZone::utc()).date().toString(QStringLiteral("yyyy-MM-dd"));
}

// ---- capture's proposal ------------------------------------------------------------------------

QString detail(const ProposalItem& item) {
    if (const auto* c = item.as<ProposalItem::SetField>())
        return c->oldValue ? *c->oldValue + u" \u2192 "_qs + c->newValue : c->newValue;
    if (const auto* c = item.as<ProposalItem::AddLink>())
        return c->link.url;
    if (const auto* c = item.as<ProposalItem::AddInteraction>())
        return kindName(c->interaction.kind) + u", "_qs + day(c->interaction.date) + u": "_qs +
               c->interaction.text;
    if (const auto* c = item.as<ProposalItem::AppendAbout>())
        return c->text;
    return {};
}

ordered_json itemJson(const ProposalItem& item, bool selected) {
    ordered_json json{{"id", text(item.id())}, {"title", text(item.title())}, {"selected", selected}};
    if (const auto* c = item.as<ProposalItem::SetField>()) {
        json["kind"] = "setField";
        json["field"] = text(WritableFields::name(c->field));
        json["old"] = optionalText(c->oldValue);
        json["new"] = text(c->newValue);
    } else if (const auto* c = item.as<ProposalItem::AddTag>()) {
        json["kind"] = "addTag";
        json["circle"] = text(c->name);
    } else if (const auto* c = item.as<ProposalItem::RemoveTag>()) {
        json["kind"] = "removeTag";
        json["circle"] = text(c->name);
    } else if (const auto* c = item.as<ProposalItem::AddLink>()) {
        json["kind"] = "addLink";
        json["linkKind"] = text(kindName(c->link.kind));
        json["url"] = text(c->link.url);
    } else if (const auto* c = item.as<ProposalItem::AddInteraction>()) {
        json["kind"] = "addInteraction";
        json["interactionKind"] = text(kindName(c->interaction.kind));
        json["date"] = text(day(c->interaction.date));
        json["text"] = text(c->interaction.text);
    } else if (const auto* c = item.as<ProposalItem::AppendAbout>()) {
        json["kind"] = "appendAbout";
        json["text"] = text(c->text);
    }
    return json;
}

void printProposal(std::FILE* out, const AIService::CapturedNote& captured,
                   const std::optional<Profile>& profile, const AIService& ai, bool json) {
    const Proposal& proposal = captured.proposal;
    if (json) {
        auto items = ordered_json::array();
        for (const ProposalItem& item : proposal.items)
            items.push_back(itemJson(item, proposal.isSelected(item.id())));
        const ordered_json document{
            {"personID", optionalText(proposal.personID)},
            {"personName", profile ? text(profile->person->displayName()) : ordered_json(nullptr)},
            {"namedInNote", optionalText(captured.capture.personName)},
            {"summary", text(proposal.summary)},
            {"model", text(proposal.source.model)},
            {"leftDevice", proposal.leftDevice},
            {"items", items}};
        print(out, QString::fromStdString(document.dump(2)) + u'\n');
        return;
    }
    QString heading = proposal.summary;
    if (profile)
        heading += u" for "_qs + profile->person->displayName();
    print(out, heading + u" ("_qs + ai.lastProviderNameText() +
                   (proposal.leftDevice ? u", cloud)"_qs : u")"_qs) + u'\n');
    if (proposal.isEmpty())
        print(out, u"Nothing new to add.\n"_qs);
    for (const ProposalItem& item : proposal.items) {
        const QString more = detail(item);
        print(out, u"  "_qs + item.title() + (more.isEmpty() ? QString() : u": "_qs + more) + u'\n');
    }
    if (!profile && captured.capture.personName) {
        print(out, u"The note names \u201C"_qs + *captured.capture.personName +
                       u"\u201D: name them with --for to check the updates against their record.\n"_qs);
    }
    print(out, u"Nothing was saved.\n"_qs);
}

} // namespace

int ask(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    const Arguments args = parse(arguments, false);
    if (!args.valid || args.words.isEmpty())
        return usage(err, kAskUsage);
    const QString question = args.words.join(u' ');
    const auto env = openEnvironment(err);
    if (!env)
        return Console::failure;
    AIService& ai = env->ai();
    if (!isAvailable(ai, err))
        return Console::failure;

    QList<RankedProfile> ranked;
    try {
        ranked = pemmo::waitFor(ai.rank(question, AskCandidates::ordered(env->sync().profiles(), question)));
    } catch (const std::exception& error) {
        return fail(err, AIService::errorMessage(error));
    }
    if (args.json) {
        auto list = ordered_json::array();
        for (const RankedProfile& r : std::as_const(ranked)) {
            list.push_back({{"id", text(r.profile.id())},
                            {"name", text(r.profile.person->displayName())},
                            {"reason", text(r.reason)}});
        }
        print(out, QString::fromStdString(list.dump(2)) + u'\n');
        return finish(out);
    }
    if (ranked.isEmpty())
        print(out, u"No one fits that question.\n"_qs);
    for (qsizetype i = 0; i < ranked.size(); ++i) {
        print(out, QString::number(i + 1) + u". "_qs + ranked[i].profile.person->displayName() + u"\n   "_qs +
                       ranked[i].reason + u'\n');
    }
    return finish(out);
}

int briefing(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    const Arguments args = parse(arguments, false);
    if (!args.valid || args.words.isEmpty())
        return usage(err, kBriefingUsage);
    const auto env = openEnvironment(err);
    if (!env)
        return Console::failure;
    const auto profile = person(*env, args.words.join(u' '), err);
    if (!profile)
        return Console::failure;
    AIService& ai = env->ai();
    if (!isAvailable(ai, err))
        return Console::failure;

    Briefing result;
    try {
        result = pemmo::waitFor(ai.briefing(*profile));
    } catch (const std::exception& error) {
        return fail(err, AIService::errorMessage(error));
    }
    if (args.json) {
        const ordered_json document{{"id", text(profile->id())},
                                    {"name", text(profile->person->displayName())},
                                    {"summary", text(result.summary)},
                                    {"opener", text(result.opener)}};
        print(out, QString::fromStdString(document.dump(2)) + u'\n');
        return finish(out);
    }
    print(out, profile->person->displayName() + u"\n\n"_qs + result.summary + u"\n\nOpener: "_qs +
                   result.opener + u'\n');
    return finish(out);
}

int capture(const QStringList& arguments, std::FILE* out, std::FILE* err) {
    const Arguments args = parse(arguments, true);
    if (!args.valid || args.words.isEmpty())
        return usage(err, kCaptureUsage);
    const auto env = openEnvironment(err);
    if (!env)
        return Console::failure;
    std::optional<Profile> profile;
    if (args.person) {
        profile = person(*env, *args.person, err);
        if (!profile)
            return Console::failure;
    }
    AIService& ai = env->ai();
    if (!isAvailable(ai, err))
        return Console::failure;

    AIService::CapturedNote captured;
    try {
        captured = pemmo::waitFor(ai.captureProposal(args.words.join(u' '), profile));
    } catch (const std::exception& error) {
        return fail(err, AIService::errorMessage(error));
    }
    printProposal(out, captured, profile, ai, args.json);
    return finish(out);
}

} // namespace pemmo::AICommands
