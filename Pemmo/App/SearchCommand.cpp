#include "App/SearchCommand.h"

#include "App/AppEnvironment.h"
#include "App/Console.h"
#include "App/DataFolder.h"
#include "App/RunningPemmo.h"
#include "Contacts/VCardFolderRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/QueryParser.h"
#include "Search/SearchLayout.h"
#include "Search/SearchViewModel.h"
#include "Semantic/EmbeddingIndex.h"
#include "Settings/SettingsStore.h"
#include "Support/WaitFor.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QPointer>
#include <algorithm>
#include <nlohmann/json.hpp>

namespace pemmo::SearchCommand {
namespace {

constexpr QByteArrayView kRequestName = "search";

const char* const kUsageText =
    "Usage: pemmo search [--json] [--limit N] [--contacts DIR]... QUERY...\n"
    "  runs each QUERY as the panel would and prints its sections and rows; with --json one\n"
    "  JSON object per query and line. --limit N shows up to N results instead of 50.\n";

using Console::print;

nlohmann::ordered_json text(const std::optional<QString>& value) {
    return value ? nlohmann::ordered_json(value->toStdString()) : nlohmann::ordered_json(nullptr);
}

qsizetype codePoints(QStringView text) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (!(text[i].isLowSurrogate() && i > 0 && text[i - 1].isHighSurrogate()))
            ++count;
    }
    return count;
}

// The highlighted ranges as [start, length] pairs counted in code points, as scripts count them.
nlohmann::ordered_json nameRanges(const SearchRowItem& row) {
    auto ranges = nlohmann::ordered_json::array();
    for (const TextRange& range : row.titleRanges) {
        const QStringView title(row.title);
        ranges.push_back(
            {codePoints(title.first(range.start)), codePoints(title.sliced(range.start, range.length))});
    }
    return ranges;
}

nlohmann::ordered_json rowJson(const SearchRowItem& row) {
    nlohmann::ordered_json tier = nullptr;
    if (row.tier)
        tier = *row.tier == MatchTier::Lexical ? "lexical" : "semantic";
    return {{"id", row.id.toStdString()},
            {"profileID", text(row.profileID)},
            {"title", row.title.toStdString()},
            {"subtitle", text(row.subtitle)},
            {"score", row.score ? nlohmann::ordered_json(*row.score) : nlohmann::ordered_json(nullptr)},
            {"nameRanges", nameRanges(row)},
            {"tier", tier},
            {"reason", text(row.reason)}};
}

void appendJson(QByteArray& out, const QString& query, const QList<SearchSectionRows>& sections) {
    auto list = nlohmann::ordered_json::array();
    for (const SearchSectionRows& section : sections) {
        auto rows = nlohmann::ordered_json::array();
        for (const SearchRowItem& row : section.rows)
            rows.push_back(rowJson(row));
        list.push_back({{"section", SearchSections::name(section.section).toStdString()}, {"rows", rows}});
    }
    const nlohmann::ordered_json line{{"query", query.toStdString()}, {"sections", list}};
    out += QByteArray::fromStdString(line.dump());
    out += '\n';
}

void appendText(QByteArray& out, const QString& query, const QList<SearchSectionRows>& sections) {
    out += (u"\u201C"_qs + query + u"\u201D\n"_qs).toUtf8();
    if (sections.isEmpty())
        out += (u"  "_qs + SearchLayout::emptyText(query, false).value_or(QString()) + u'\n').toUtf8();
    for (const SearchSectionRows& section : sections) {
        out += (u"  "_qs + SearchSections::name(section.section) + u'\n').toUtf8();
        for (const SearchRowItem& row : section.rows) {
            QString line = u"    "_qs + row.title;
            if (row.subtitle)
                line += u" \u2014 "_qs + *row.subtitle;
            if (row.score)
                line += u"  ("_qs + QString::number(*row.score, 'f', 3) + u')';
            if (row.reason)
                line += u"\n      "_qs + *row.reason;
            out += (line + u'\n').toUtf8();
        }
    }
}

bool anyEmpty(const QStringList& queries) {
    return std::any_of(queries.cbegin(), queries.cend(),
                       [](const QString& query) { return QueryParser::parse(query).isEmpty; });
}

// Every query searched in turn over the model's people, printed one after the other.
QCoro::Task<QByteArray> searchAll(SearchViewModel& model, Request request) {
    QByteArray out;
    QPointer<SearchViewModel> guard(&model);
    for (const QString& query : std::as_const(request.queries)) {
        if (!guard)
            co_return out;
        auto searching = model.searchOnce(query, request.limit);
        const QList<SearchSectionRows> sections = co_await searching;
        if (request.json)
            appendJson(out, query, sections);
        else
            appendText(out, query, sections);
    }
    co_return out;
}

QJsonObject requestArguments(const Request& request) {
    return {{u"queries"_qs, QJsonArray::fromStringList(request.queries)},
            {u"json"_qs, request.json},
            {u"limit"_qs, request.limit},
            {u"dataFolder"_qs, request.dataFolder}};
}

std::optional<Request> requestFrom(const QJsonObject& arguments) {
    Request request;
    const QJsonValue queries = arguments.value(u"queries"_qs);
    const QJsonValue limit = arguments.value(u"limit"_qs);
    if (!queries.isArray() || !arguments.value(u"json"_qs).isBool() || !limit.isDouble())
        return std::nullopt;
    for (const QJsonValue& query : queries.toArray()) {
        if (!query.isString())
            return std::nullopt;
        request.queries.append(query.toString());
    }
    request.json = arguments.value(u"json"_qs).toBool();
    request.limit = limit.toInt(-1);
    request.dataFolder = arguments.value(u"dataFolder"_qs).toString();
    if (request.queries.isEmpty() || request.limit < 0 || request.dataFolder.isEmpty())
        return std::nullopt;
    return request;
}

} // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err, Console::Ending ending,
        std::optional<std::chrono::milliseconds> askTimeout) {
    bool json = false;
    int limit = SearchLayout::resultsLimit;
    QStringList folders;
    QStringList queries;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        if (arg == u"--json") {
            json = true;
        } else if (arg == u"--limit" && i + 1 < arguments.size()) {
            bool ok = false;
            limit = arguments[++i].toInt(&ok);
            // No results at all would read as "No matches", which would be untrue.
            if (!ok || limit < 1) {
                print(err, QString::fromLatin1(kUsageText));
                return Console::usage;
            }
        } else if (arg == u"--contacts" && i + 1 < arguments.size()) {
            // A folder that is not there would read as an address book without people.
            const QFileInfo folder(arguments[++i]);
            if (!folder.isDir()) {
                print(err, u"pemmo: no address book folder at “"_qs + arguments[i] + u"”\n"_qs);
                return Console::failure;
            }
            folders.append(folder.absoluteFilePath());
        } else if (arg == u"--") {
            queries.append(arguments.mid(i + 1));
            break;
        } else if (arg.startsWith(u"--")) {
            print(err, QString::fromLatin1(kUsageText));
            return Console::usage;
        } else {
            queries.append(arg);
        }
    }
    if (queries.isEmpty()) {
        print(err, QString::fromLatin1(kUsageText));
        return Console::usage;
    }

    const QString folder = dataFolder();
    const Request request{queries, json, limit, folder};
    // The running application has the people indexed already and answers at once; it is only
    // asked for the user's own address book, which is the one it holds.
    if (askTimeout && folders.isEmpty()) {
        if (const auto answer = RunningPemmo::ask(command(request), *askTimeout)) {
            std::fwrite(answer->constData(), 1, std::size_t(answer->size()), out);
            return Console::finish(ending, std::fflush(out) == 0 ? Console::success : Console::failure, out,
                                   err);
        }
    }

    // While the application runs it owns the folder; a search then reads the records as they are.
    auto lock = lockDataFolder(folder);
    AppEnvironment::LiveOptions options;
    options.postsToDesktop = false;
    options.directory = folder;
    options.readOnlyStore = !lock;
    options.readOnlySettings = true;
    if (!folders.isEmpty())
        options.contactFolders = folders;
    const auto env = AppEnvironment::live(options);
    auto* book = dynamic_cast<VCardFolderRepository*>(&env->contacts());
    // Without an address book every query would read as "No matches": say what is missing.
    if (book && book->folders().isEmpty()) {
        print(err, Console::noAddressBookText(true));
        lock.reset(); // a quick ending skips destructors
        return Console::finish(ending, Console::failure, out, err);
    }
    if (book)
        book->setMakesThumbnails(false); // nothing here shows a picture
    pemmo::waitFor(env->sync().start());
    env->sync().stop();
    // A store that cannot be read would make every answer look like no one has a record.
    if (const QString unread = env->sync().loadError(); !unread.isEmpty()) {
        print(err, u"pemmo: "_qs + unread + u'\n');
        return Console::failure;
    }
    if (env->sync().state().kind == SyncState::Kind::Error) {
        print(err, u"pemmo: "_qs + env->sync().state().message + u'\n');
        return Console::failure;
    }

    // The semantic tier uses "embeddings.json" where it is current and embeds what is missing or
    // stale. The file is brought up to date only when this process owns the data folder and
    // searches the user's own address book: while the application runs it is the one writer,
    // and people of other folders (--contacts) do not belong in it.
    EmbeddingIndex* semantic = env->settings().semanticSearchEnabled() ? env->embeddings() : nullptr;
    if (semantic) {
        pemmo::waitFor(semantic->update(env->sync().profiles()));
        if (lock && folders.isEmpty()) {
            try {
                pemmo::waitFor(semantic->persist());
            } catch (const std::exception& error) {
                print(err, u"pemmo: could not save the semantic index: "_qs +
                               QString::fromUtf8(error.what()) + u'\n');
            }
        }
    }

    // The panel's own model, with no typing pause; each query is searched once, with "now" read
    // when it runs.
    SearchViewModel model(env->sync(), env->starred(), env->recents(), env->tags(), env->settings(), semantic,
                          systemClock(), std::chrono::milliseconds(0));
    // The Moments are read only for an empty query, the one that shows them first. A calendar
    // that cannot be read shows none, as in the panel.
    if (anyEmpty(queries) && env->settings().calendarConnected() &&
        !env->settings().calendarIDs().isEmpty()) {
        MomentService& moments = env->moments();
        pemmo::waitFor(moments.refreshAccess());
        pemmo::waitFor(moments.refresh(systemNow()));
        model.setMoments(&moments);
    }
    const QByteArray printed = pemmo::waitFor(searchAll(model, request));
    std::fwrite(printed.constData(), 1, std::size_t(printed.size()), out);
    const int status = std::fflush(out) == 0 ? Console::success : Console::failure;
    // The contact cache the reading queued is written first. (A pending write of the records is
    // dropped either way, as when the store is destroyed.)
    if (book)
        book->finishQueuedWork();
    // A quick ending skips destructors: the data folder is unlocked by hand.
    lock.reset();
    return Console::finish(ending, status, out, err);
}

QByteArray command(const Request& request) {
    return RunningPemmo::request(kRequestName, requestArguments(request));
}

std::optional<Request> parseRequest(QByteArrayView line) {
    const auto arguments = RunningPemmo::parseRequest(line, kRequestName);
    return arguments ? requestFrom(*arguments) : std::nullopt;
}

QCoro::Task<QByteArray> serve(SearchViewModel& model, QString dataFolder, bool ready, QByteArray line) {
    const std::optional<Request> request = parseRequest(line);
    if (!request)
        co_return RunningPemmo::declined(u"the search request was not understood"_qs);
    // Another folder's records are not the ones this Pemmo holds.
    if (QDir::cleanPath(request->dataFolder) != QDir::cleanPath(dataFolder))
        co_return RunningPemmo::declined(u"the records are in "_qs + dataFolder);
    if (!ready)
        co_return RunningPemmo::declined(u"the people are being read"_qs);
    auto searching = searchAll(model, *request);
    const QByteArray printed = co_await searching;
    co_return RunningPemmo::answer(printed);
}

} // namespace pemmo::SearchCommand
