// The address book's costs at 1,000 and 10,000 generated contacts in vCard folders: the first
// publish of a cold start (every file read, parsed, joined with the records and sorted), and the
// refresh that follows a change to one file (every file listed, one parsed again, all published).
#include "Contacts/VCardBook.h"
#include "Contacts/VCardFolderRepository.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Store/PemmoStore.h"
#include "Store/PhotoStore.h"
#include "Support/WaitFor.h"
#include "VdirGenerator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <chrono>
#include <map>
#include <memory>
#include <stdexcept>

namespace pemmo::bench {
namespace {

using namespace std::chrono_literals;

// Long enough that neither the watcher, the poll nor a time limit fires while a case runs: only
// what the case itself asks for is measured.
constexpr std::chrono::milliseconds kNever = 1h;

// One generated folder per size, kept for the whole run.
struct Fixture {
    std::vector<VdirGenerator::Contact> contacts;
    QTemporaryDir folder;
};

Fixture& fixture(int count) {
    static std::map<int, std::unique_ptr<Fixture>> fixtures;
    auto& slot = fixtures[count];
    if (!slot) {
        slot = std::make_unique<Fixture>();
        slot->contacts = VdirGenerator().generate(count);
        VdirGenerator::write(slot->contacts, slot->folder.path());
    }
    return *slot;
}

// What the application builds at start, on an empty data folder.
struct Session {
    explicit Session(const QString& contactsFolder)
        : contacts({contactsFolder}, QDir(data.path()).filePath(QStringLiteral("Contacts")), kNever, kNever)
        , store(data.path())
        , photos(QDir(data.path()).filePath(PhotoStore::folderName()))
        , engine(contacts, store, photos, kNever, kNever) {}

    QTemporaryDir data;
    VCardFolderRepository contacts;
    PemmoStore store;
    PhotoStore photos;
    ProfileSyncEngine engine;
};

void checkPublished(benchmark::State& state, const Session& session, qsizetype expected) {
    if (session.engine.profiles().size() != expected)
        state.SkipWithError("the engine did not publish every contact");
}

void firstPublish(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    qsizetype published = 0;
    for (auto _ : state) {
        // Constructing the repository starts its read, so it belongs to the measured time.
        auto session = std::make_unique<Session>(f.folder.path());
        pemmo::waitFor(session->engine.start());
        state.PauseTiming();
        checkPublished(state, *session, qsizetype(f.contacts.size()));
        published = session->engine.profiles().size();
        session.reset(); // waits for the repository's thumbnails, which come after the publish
        state.ResumeTiming();
    }
    state.counters["contacts"] = double(published);
}

// Spins the event loop until the engine has nothing left to do: the thumbnails made after the
// first read end in a change signal and one more refresh.
void settle(Session& session) {
    bool changed = false;
    QObject::connect(&session.contacts, &ContactRepository::changes, [&changed] { changed = true; });
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while ((!changed || session.engine.isRefreshing()) && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    pemmo::waitFor(session.engine.refresh());
}

void refreshAfterOneChange(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    Session session(f.folder.path());
    pemmo::waitFor(session.engine.start());
    settle(session);

    // The same contact each time, renamed back and forth, so the fixture ends as it began.
    VdirGenerator::Contact contact = f.contacts.at(f.contacts.size() / 2);
    const QString originalGiven = contact.given;
    const QString path = VdirGenerator::path(f.folder.path(), contact);
    QDateTime modified = QFileInfo(path).lastModified();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++round;
        contact.given = round % 2 ? u"Zsófia"_qs : originalGiven;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(VdirGenerator::encode(contact)) < 0)
            throw std::runtime_error("cannot rewrite the contact");
        // A later time stamp even when the rewrite lands within the file system's clock tick.
        modified = modified.addSecs(2);
        file.setFileTime(modified, QFileDevice::FileModificationTime);
        file.close();
        const int publishes = session.engine.publishCount();
        state.ResumeTiming();

        pemmo::waitFor(session.engine.refresh());

        state.PauseTiming();
        if (session.engine.publishCount() == publishes)
            state.SkipWithError("the refresh published nothing");
        state.ResumeTiming();
    }
    checkPublished(state, session, qsizetype(f.contacts.size()));
    state.counters["contacts"] = double(session.engine.profiles().size());
    state.counters["parses"] = double(session.contacts.parseCount());

    // Put the file back as generated.
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(VdirGenerator::encode(f.contacts.at(f.contacts.size() / 2)));
}

// The shares of the two cases above: the book's first read (list, read, parse, sort, on its own
// threads) and the listing every refresh starts with.
void bookFirstRead(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        auto book = std::make_unique<VCardBook>(QStringList{f.folder.path()});
        benchmark::DoNotOptimize(book->people());
        state.PauseTiming();
        book.reset();
        state.ResumeTiming();
    }
}

void bookListing(benchmark::State& state) {
    Fixture& f = fixture(static_cast<int>(state.range(0)));
    const QStringList folders{f.folder.path()};
    for (auto _ : state)
        benchmark::DoNotOptimize(VCardBook::list(folders));
}

void sizes(benchmark::internal::Benchmark* b) {
    // Wall time: the file work runs on the repository's threads.
    b->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

// A cold start at 10,000 contacts takes long enough that the default minimum time gives one
// iteration, and one iteration on a shared machine says little.
BENCHMARK(firstPublish)->Apply(sizes)->MinTime(3.0);
BENCHMARK(refreshAfterOneChange)->Apply(sizes);
BENCHMARK(bookFirstRead)->Apply(sizes);
BENCHMARK(bookListing)->Apply(sizes);

} // namespace
} // namespace pemmo::bench
