#include "App/SearchCommand.h"

#include "App/AppEnvironment.h"
#include "App/Console.h"
#include "App/DataFolder.h"
#include "Contacts/VCardFolderRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/SearchViewModel.h"
#include "Semantic/EmbeddingIndex.h"
#include "Settings/SettingsStore.h"
#include "Support/WaitFor.h"

#include <QEventLoop>
#include <QFileInfo>
#include <nlohmann/json.hpp>

namespace pemmo::SearchCommand {
namespace {

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

void printJson(std::FILE* out, const QString& query, const QList<SearchSectionRows>& sections) {
    auto list = nlohmann::ordered_json::array();
    for (const SearchSectionRows& section : sections) {
        auto rows = nlohmann::ordered_json::array();
        for (const SearchRowItem& row : section.rows)
            rows.push_back(rowJson(row));
        list.push_back({{"section", SearchSections::name(section.section).toStdString()}, {"rows", rows}});
    }
    const nlohmann::ordered_json line{{"query", query.toStdString()}, {"sections", list}};
    print(out, QString::fromStdString(line.dump()) + u'\n');
}

void printText(std::FILE* out, const QString& query, const SearchViewModel& model) {
    print(out, u"\u201C"_qs + query + u"\u201D\n"_qs);
    if (model.sections().isEmpty())
        print(out, u"  "_qs + model.emptyText() + u'\n');
    for (const SearchSectionRows& section : model.sections()) {
        print(out, u"  "_qs + SearchSections::name(section.section) + u'\n');
        for (const SearchRowItem& row : section.rows) {
            QString line = u"    "_qs + row.title;
            if (row.subtitle)
                line += u" \u2014 "_qs + *row.subtitle;
            if (row.score)
                line += u"  ("_qs + QString::number(*row.score, 'f', 3) + u')';
            if (row.reason)
                line += u"\n      "_qs + *row.reason;
            print(out, line + u'\n');
        }
    }
}

} // namespace

int run(const QStringList& arguments, std::FILE* out, std::FILE* err, Console::Ending ending) {
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
            if (!ok || limit < 0) {
                print(err, QString::fromLatin1(kUsageText));
                return Console::usage;
            }
        } else if (arg == u"--contacts" && i + 1 < arguments.size()) {
            folders.append(QFileInfo(arguments[++i]).absoluteFilePath());
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
    // While the application runs it owns the folder; a search then reads the records as they are.
    const auto lock = lockDataFolder(folder);
    AppEnvironment::LiveOptions options;
    options.directory = folder;
    options.readOnlyStore = !lock;
    if (!folders.isEmpty())
        options.contactFolders = folders;
    const auto env = AppEnvironment::live(options);
    auto* book = dynamic_cast<VCardFolderRepository*>(&env->contacts());
    if (book)
        book->setMakesThumbnails(false); // nothing here shows a picture
    pemmo::waitFor(env->sync().start());
    env->sync().stop();
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

    // The panel's own model, with no typing pause: each query is searched once, with "now" read
    // when it runs.
    SearchViewModel model(env->sync(), env->starred(), env->recents(), env->tags(), env->settings(), semantic,
                          systemClock(), std::chrono::milliseconds(0));
    model.setResultsLimit(limit);
    for (const QString& query : std::as_const(queries)) {
        QEventLoop loop;
        const auto connection =
            QObject::connect(&model, &SearchViewModel::searchFinished, &loop, &QEventLoop::quit);
        model.setQuery(query);
        model.refresh();
        loop.exec();
        QObject::disconnect(connection);
        if (json)
            printJson(out, query, model.sections());
        else
            printText(out, query, model);
    }
    const int status = std::fflush(out) == 0 ? Console::success : Console::failure;
    // The contact cache the reading queued is written first. (A pending write of the records is
    // dropped either way, as when the store is destroyed.)
    if (book)
        book->finishQueuedWork();
    return Console::finish(ending, status, out, err);
}

} // namespace pemmo::SearchCommand
