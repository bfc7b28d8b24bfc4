#include "Contacts/VCardFolderRepository.h"

#include "Contacts/VCardBook.h"
#include "Contacts/VCardFolderWatcher.h"
#include "Records/PemmoError.h"
#include "Support/AtomicFile.h"
#include "Support/Race.h"
#include "Support/SerialExecutor.h"

#include <QElapsedTimer>
#include <QMetaMethod>
#include <QMutexLocker>
#include <QPointer>
#include <QStandardPaths>

namespace pemmo {

// Everything the executor's thread owns. Jobs hold it by a shared pointer, so a job that lost its
// race can still finish after the repository is gone.
struct VCardFolderRepository::State {
    // Files whose thumbnails one job makes: small enough that a fetch never waits long behind it.
    static constexpr qsizetype thumbnailBatch = 32;

    SerialExecutor* executor = nullptr; // alive while any of its jobs runs
    std::chrono::milliseconds quietPeriod{0};
    VCardBook book;
    VCardFolderWatcher* watcher = nullptr; // on the executor's thread
    bool thumbnailsQueued = false;
    bool makesThumbnails = true;

    // The read made at construction can answer the first fetch by itself, saving a second
    // listing of every file at start, when nothing can have changed since: no event came in, we
    // wrote nothing, and less than a quiet period went by. A change whose event is still on its
    // way is reported by the watcher as usual.
    bool warmReadUnused = false;
    quint64 eventsAtWarmRead = 0;
    QElapsedTimer warmReadAge;

    bool warmReadStillHolds() const {
        return warmReadUnused && watcher && watcher->eventCount() == eventsAtWarmRead &&
               warmReadAge.isValid() && warmReadAge.elapsed() < quietPeriod.count();
    }

    // Reads the book; the watcher takes what the read found as the state changes count from.
    // Without `wanted` no list of the people is made (the read at construction only warms up).
    QList<Shared<Person>> read(const std::shared_ptr<State>& self, bool wanted = true) {
        const bool trustLastListing = warmReadStillHolds();
        warmReadUnused = false;
        try {
            QList<Shared<Person>> people;
            if (wanted)
                people = book.people(trustLastListing);
            else
                book.read();
            if (watcher && book.lastListing())
                watcher->adopt(book.folders(), *book.lastListing());
            queueCacheWrite(self);
            queueThumbnails(self);
            return people;
        } catch (...) {
            if (watcher)
                watcher->watch(book.folders()); // still notice the folders coming back
            throw;
        }
    }

    // Thumbnails are made a batch per job after a read; when the last batch is done, the change
    // is announced like any other, and the next fetch carries them.
    static void queueThumbnails(const std::shared_ptr<State>& self) {
        if (!self->makesThumbnails || self->thumbnailsQueued || self->book.pendingThumbnails() == 0)
            return;
        self->thumbnailsQueued = true;
        self->executor->post([self] {
            self->thumbnailsQueued = false;
            if (!self->makesThumbnails)
                return;
            if (self->book.makeThumbnails(thumbnailBatch) > 0) {
                queueThumbnails(self);
            } else {
                queueCacheWrite(self);
                self->announce();
            }
        });
    }

    // The cache is written by a job of its own, after the read has answered.
    static void queueCacheWrite(const std::shared_ptr<State>& self) {
        if (self->cacheWriteQueued)
            return;
        self->cacheWriteQueued = true;
        self->executor->post([self] {
            self->cacheWriteQueued = false;
            self->book.saveCache();
        });
    }
    bool cacheWriteQueued = false;

    void announce() {
        QMutexLocker locker(&receiverLock);
        if (ContactRepository* target = receiver)
            QMetaObject::invokeMethod(
                target, [target] { Q_EMIT target->changes(); }, Qt::QueuedConnection);
    }

    // Who hears the watcher; cleared when the repository goes, so that a late job connects nothing.
    QMutex receiverLock;
    ContactRepository* receiver = nullptr;
    QMetaObject::Connection watcherConnection;
};

VCardFolderRepository::VCardFolderRepository(QStringList folders, QString defaultFolder,
                                             std::chrono::milliseconds timeLimit,
                                             std::chrono::milliseconds quietPeriod,
                                             std::shared_ptr<SerialExecutor> executor, QString cacheFolder,
                                             FolderCheck folderCheck, QObject* parent)
    : ContactRepository(parent)
    , m_defaultFolder(VCardBook::normalized({defaultFolder}).value(0))
    , m_timeLimit(timeLimit)
    , m_folderCheck(folderCheck ? std::move(folderCheck) : FolderCheck(&VCardBook::canRead))
    , m_executor(executor ? std::move(executor)
                          : std::make_shared<SerialExecutor>(QStringLiteral("VCardFolderRepository")))
    , m_state(std::make_shared<State>())
    , m_folders(VCardBook::normalized(folders)) {
    m_state->receiver = this;
    m_state->executor = m_executor.get();
    m_state->quietPeriod = quietPeriod;
    // The watcher is a child of the executor's context, so that it goes with the executor even if
    // the job that deletes it never runs. The book is read at once, while the rest of the
    // application starts, and the watcher starts from what that read found.
    m_executor->post([state = m_state, folders = m_folders, quietPeriod, context = m_executor->context(),
                      cacheFolder = std::move(cacheFolder)] {
        state->book.setFolders(folders);
        state->book.setCacheFolder(cacheFolder);
        state->watcher = new VCardFolderWatcher(quietPeriod, context);
        {
            QMutexLocker locker(&state->receiverLock);
            if (state->receiver)
                // Joined by their meta-methods: the watcher's thread may drop the connection
                // after this one ran a queued call of it, and a connection made of member
                // pointers owns a slot object freed by whoever lets go of it last.
                state->watcherConnection = QObject::connect(
                    state->watcher, QMetaMethod::fromSignal(&VCardFolderWatcher::changed), state->receiver,
                    QMetaMethod::fromSignal(&ContactRepository::changes), Qt::QueuedConnection);
        }
        state->read(state, false);
        state->warmReadUnused = true;
        state->eventsAtWarmRead = state->watcher->eventCount();
        state->warmReadAge.start();
    });
}

VCardFolderRepository::~VCardFolderRepository() {
    {
        // Cut the tie here, not in QObject's destructor, which would reach over to the watcher
        // while its own thread may be deleting it.
        QMutexLocker locker(&m_state->receiverLock);
        m_state->receiver = nullptr;
        QObject::disconnect(m_state->watcherConnection);
    }
    // The watcher lives on the executor's thread and dies there; queued after every job so far.
    m_executor->post([state = m_state] {
        delete state->watcher;
        state->watcher = nullptr;
    });
}

namespace {

template <class R> QCoro::Task<R> finished(SerialExecutor::Job<R> job) {
    if constexpr (std::is_void_v<R>)
        co_await job;
    else
        co_return co_await job;
}

// No folder chosen yet: not determined; one that cannot be read makes the whole book denied.
ContactsAuthorization statusOf(const QStringList& folders,
                               const VCardFolderRepository::FolderCheck& canRead) {
    if (folders.isEmpty())
        return ContactsAuthorization::NotDetermined;
    for (const QString& folder : folders) {
        if (!canRead(folder))
            return ContactsAuthorization::Denied;
    }
    return ContactsAuthorization::Authorized;
}

} // namespace

// Not a coroutine itself: the job goes to the executor at once, and the returned task is the race.
template <class Job> auto VCardFolderRepository::perform(Job job) {
    auto posted =
        m_executor->post([state = m_state, job = std::move(job)]() mutable { return job(state->book); });
    return raceWithTimeout(finished(std::move(posted)), m_timeLimit, PemmoError::timedOut());
}

QString VCardFolderRepository::standardCacheFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u"/Pemmo"_qs;
}

QStringList VCardFolderRepository::folders() const {
    QMutexLocker locker(&m_foldersLock);
    return m_folders;
}

void VCardFolderRepository::setFolderForNewContacts(QString folder) {
    m_executor->post([state = m_state, folder] { state->book.setFolderForNewContacts(folder); });
}

QCoro::Task<QString> VCardFolderRepository::folderForNewContacts() {
    return perform([](VCardBook& book) { return book.folderForNewContacts(); });
}

void VCardFolderRepository::setFolders(QStringList folders) {
    folders = VCardBook::normalized(folders);
    {
        QMutexLocker locker(&m_foldersLock);
        if (folders == m_folders)
            return;
        m_folders = folders;
    }
    m_executor->post([state = m_state, folders] {
        state->book.setFolders(folders);
        state->warmReadUnused = false;
        if (state->watcher)
            state->watcher->watch(folders);
    });
    Q_EMIT foldersChanged(folders);
}

void VCardFolderRepository::setMakesThumbnails(bool makes) {
    m_executor->post([state = m_state, makes] {
        state->makesThumbnails = makes;
        if (makes)
            State::queueThumbnails(state);
    });
}

void VCardFolderRepository::finishQueuedWork() {
    // The cache is written by the job a read queues; a job queued after the last read runs after it.
    auto queued = m_executor->post([] {});
    queued.waitForFinished();
}

int VCardFolderRepository::parseCount() const {
    return m_state->book.parseCount();
}

ContactsAuthorization VCardFolderRepository::authorizationStatus() const {
    return statusOf(folders(), m_folderCheck);
}

QCoro::Task<ContactsAuthorization> VCardFolderRepository::checkAuthorization() {
    return perform(
        [folders = folders(), check = m_folderCheck](VCardBook&) { return statusOf(folders, check); });
}

QCoro::Task<ContactsAuthorization> VCardFolderRepository::requestAccess() {
    const QPointer<VCardFolderRepository> self(this);
    auto checking = checkAuthorization();
    const ContactsAuthorization status = co_await std::move(checking);
    if (!self)
        co_return status;
    if (canRead(status))
        co_return status;
    if (status != ContactsAuthorization::NotDetermined)
        throw PemmoError::contactsDenied();
    const QString folder = m_defaultFolder;
    // Named, not a temporary of the co_await: g++ 12 would destroy the captures twice.
    auto making = perform([folder](VCardBook&) { AtomicFile::ensureDirectory(folder); });
    co_await std::move(making);
    if (!self)
        co_return ContactsAuthorization::Authorized;
    setFolders({folder});
    auto rechecking = checkAuthorization();
    co_return co_await std::move(rechecking);
}

QCoro::Task<QList<Shared<Person>>> VCardFolderRepository::fetchPeople() {
    return perform([state = m_state](VCardBook&) { return state->read(state); });
}

QCoro::Task<std::optional<QByteArray>> VCardFolderRepository::fullImage(QString id) {
    return perform([id](VCardBook& book) { return book.fullImage(id); });
}

QCoro::Task<QString> VCardFolderRepository::create(ContactDraft draft) {
    return perform([state = m_state, draft](VCardBook& book) {
        state->warmReadUnused = false;
        return book.create(draft);
    });
}

QCoro::Task<void> VCardFolderRepository::update(QString id, ContactDraft draft) {
    return perform([state = m_state, id, draft](VCardBook& book) {
        state->warmReadUnused = false;
        book.update(id, draft);
    });
}

QCoro::Task<void> VCardFolderRepository::deleteContact(QString id) {
    return perform([state = m_state, id](VCardBook& book) {
        state->warmReadUnused = false;
        book.remove(id);
    });
}

} // namespace pemmo
