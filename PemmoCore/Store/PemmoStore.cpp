#include "Store/PemmoStore.h"

#include "Records/PemmoError.h"
#include "Store/StoreClassifier.h"
#include "Support/AtomicFile.h"
#include "Support/DecodingError.h"
#include "Support/FileError.h"
#include "Support/IsoDate.h"
#include "Support/Logging.h"

#include <QDir>
#include <QFileInfo>
#include <QTimer>

namespace pemmo {
namespace {

QString describe(const std::exception& error) {
    return QString::fromUtf8(error.what());
}

// The reasons a store is read-only, as the panel, the tray and `pemmo doctor` show them and as
// every refused change reports them.
QString unreadableReason(const QString& error) {
    return u"Pemmo can't save changes: its data file couldn't be read ("_qs + error +
           u"). Nothing has been changed."_qs;
}

QString damagedReason(const QString& error) {
    return u"Pemmo can't save changes: its data file is damaged and couldn't be copied aside "_qs
           u"before starting over ("_qs +
           error + u"). Nothing has been changed."_qs;
}

QString legacyReason(const QString& error) {
    return u"Pemmo can't save changes: its data file comes from an earlier Pemmo and couldn't "_qs
           u"be backed up before converting it ("_qs +
           error + u"). Nothing has been changed."_qs;
}

// What `pemmo doctor` says of a file that does not decode.
QString damageNote(const QString& problem, const QString& keptIn) {
    QString why = problem.trimmed();
    if (why.endsWith(u'.'))
        why.chop(1);
    QString note = PemmoStore::storeFileName() + u" could not be decoded: "_qs + why;
    if (!keptIn.isEmpty())
        note += u"; its bytes are kept in "_qs + keptIn;
    return note;
}

} // namespace

QString PemmoStore::newerStoreReason() {
    return QStringLiteral("This store was written by a newer Pemmo; update Pemmo to change it.");
}

QString PemmoStore::corruptBackupFileName(const QDateTime& when) {
    QString stamp = IsoDate::format(when);
    stamp.replace(u':', u'-');
    return QStringLiteral("pemmo-store.corrupt-") + stamp + QStringLiteral(".json");
}

PemmoStore::PemmoStore(QString directory, std::chrono::milliseconds writeDelay, Clock clock, Access access,
                       std::shared_ptr<const FileOperations> files)
    : m_directory(std::move(directory))
    , m_writeDelay(writeDelay)
    , m_clock(std::move(clock))
    , m_access(access)
    , m_files(files ? std::move(files) : FileOperations::real())
    , m_executor(std::make_unique<SerialExecutor>(QStringLiteral("PemmoStore"))) {}

PemmoStore::~PemmoStore() {
    // A pending debounced write is dropped; whoever owns the store flushes it first. The jobs still
    // queued run against the whole store, and may still schedule on its thread.
    m_executor->finish();
}

QString PemmoStore::storeFilePath() const {
    return QDir(m_directory).filePath(storeFileName());
}

QCoro::Task<void> PemmoStore::load() {
    auto job = m_executor->post([this] { loadNow(); });
    co_await job;
}

QCoro::Task<bool> PemmoStore::retryLoad() {
    auto job = m_executor->post([this] {
        if (m_readOnlyReason)
            loadNow();
        return !m_readOnlyReason;
    });
    co_return co_await job;
}

QCoro::Task<std::optional<QString>> PemmoStore::readOnlyReason() {
    auto job = m_executor->post([this] { return m_readOnlyReason; });
    co_return co_await job;
}

QCoro::Task<std::optional<QString>> PemmoStore::damage() {
    auto job = m_executor->post([this] { return m_damage; });
    co_return co_await job;
}

// A copy of `bytes` already set aside by an earlier start, so that a damaged file that stays in
// place until the first change is not copied again at every start.
std::optional<QString> PemmoStore::earlierBackupOf(const QByteArray& bytes) const {
    const QDir dir(m_directory);
    const QFileInfoList backups =
        dir.entryInfoList({QStringLiteral("pemmo-store.corrupt-*.json")}, QDir::Files);
    for (const QFileInfo& backup : backups) {
        if (backup.size() != bytes.size())
            continue;
        try {
            if (m_files->read(backup.filePath()) == bytes)
                return backup.filePath();
        } catch (const FileError&) {
            // An unreadable copy is no copy: set the bytes aside again.
        }
    }
    return std::nullopt;
}

void PemmoStore::refuseWhenReadOnly() const {
    if (m_readOnlyReason)
        throw PemmoError::storeReadOnly(*m_readOnlyReason);
}

QByteArray PemmoStore::readStoreBytes(const QString& path) {
    try {
        return m_files->read(path);
    } catch (const FileError& error) {
        // The bytes on disk may be all the user has: nothing may replace them unread.
        m_readOnlyReason = unreadableReason(error.description());
        qCCritical(lcStore, "Failed to read %s (%s); changing nothing until it can be read",
                   qUtf8Printable(path), qUtf8Printable(error.description()));
        throw;
    }
}

void PemmoStore::loadNow() {
    // A load starts from nothing: a retry replaces whatever an earlier one could read.
    m_records.clear();
    m_readOnlyReason.reset();
    m_damage.reset();
    if (m_access == Access::Reader) {
        readSnapshotNow();
        return;
    }
    m_files->ensureDirectory(m_directory);
    removeStaleTemporaries();

    const QString path = storeFilePath();
    if (!m_files->exists(path))
        return;
    const QByteArray bytes = readStoreBytes(path);
    StoreClassifier::Result found = StoreClassifier::classify(bytes, m_clock());
    const QDir dir(m_directory);

    switch (found.kind) {
    case StoreClassifier::Kind::Current:
        m_records = std::move(found.records);
        return;

    case StoreClassifier::Kind::Newer:
        // Readable and searchable, but writing it back would drop what this version cannot hold.
        m_records = std::move(found.records);
        m_readOnlyReason = PemmoStore::newerStoreReason();
        qCInfo(lcStore, "%s was written by a newer Pemmo; reading it and changing nothing",
               qUtf8Printable(path));
        return;

    case StoreClassifier::Kind::Legacy: {
        const QString backupPath = dir.filePath(legacyBackupFileName());
        try {
            m_files->write(backupPath,
                           std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
        } catch (const FileError& error) {
            qCCritical(lcStore,
                       "Failed to back up legacy store to %s before migrating (%s); leaving %s untouched and "
                       "not migrating",
                       qUtf8Printable(backupPath), qUtf8Printable(error.description()), qUtf8Printable(path));
            // Shown as converted, never written: the earlier file stays the only copy.
            m_records = std::move(found.records);
            m_readOnlyReason = legacyReason(error.description());
            return;
        }
        m_records = std::move(found.records);
        m_didMigrateLegacy = true;
        writeNow();
        return;
    }

    case StoreClassifier::Kind::Damaged: {
        if (const std::optional<QString> earlier = earlierBackupOf(bytes)) {
            m_damage = damageNote(found.problem, *earlier);
            qCCritical(lcStore,
                       "Failed to decode %s; its bytes are already kept in %s; starting with an empty store",
                       qUtf8Printable(path), qUtf8Printable(*earlier));
            return;
        }
        const QString backupPath = dir.filePath(corruptBackupFileName(m_clock()));
        try {
            m_files->write(backupPath,
                           std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
            m_damage = damageNote(found.problem, backupPath);
            qCCritical(
                lcStore,
                "Failed to decode %s; backed up unreadable data to %s and starting with an empty store",
                qUtf8Printable(path), qUtf8Printable(backupPath));
        } catch (const FileError& error) {
            m_damage = damageNote(found.problem, {});
            qCCritical(
                lcStore,
                "Failed to decode %s and failed to back it up to %s (%s); starting with an empty store "
                "anyway",
                qUtf8Printable(path), qUtf8Printable(backupPath), qUtf8Printable(error.description()));
            // Empty, and the damaged file stays the only copy of its bytes until it can be set aside.
            m_readOnlyReason = damagedReason(error.description());
        }
        return;
    }
    }
}

void PemmoStore::removeStaleTemporaries() {
    // A process killed mid-write leaves its temporary file behind; only one instance owns the
    // folder, so any such file at load time is garbage.
    const QFileInfo prefix(AtomicFile::temporaryPrefix(storeFilePath()));
    const QDir dir(m_directory);
    const QStringList stale = dir.entryList({prefix.fileName() + u'*'}, QDir::Files | QDir::Hidden);
    for (const QString& name : stale)
        QFile::remove(dir.filePath(name));
}

void PemmoStore::readSnapshotNow() {
    m_damage.reset();
    const QString path = storeFilePath();
    if (!m_files->exists(path))
        return;
    const QByteArray bytes = readStoreBytes(path);
    StoreClassifier::Result found = StoreClassifier::classify(bytes, m_clock());
    switch (found.kind) {
    case StoreClassifier::Kind::Current:
    case StoreClassifier::Kind::Legacy: // converted in memory only; converting on disk is the owner's
        m_records = std::move(found.records);
        return;
    case StoreClassifier::Kind::Newer:
        m_records = std::move(found.records);
        m_readOnlyReason = PemmoStore::newerStoreReason();
        return;
    case StoreClassifier::Kind::Damaged:
        m_damage = damageNote(found.problem, earlierBackupOf(bytes).value_or(QString()));
        qCInfo(lcStore, "Failed to decode %s; reading it as empty and leaving it to the running Pemmo",
               qUtf8Printable(path));
        return;
    }
}

void PemmoStore::writeNow() {
    refuseWhenReadOnly(); // the last guard: nothing replaces bytes that could not be read and kept
    if (m_access == Access::Reader)
        return; // the owner of the folder writes; a reader's changes stay in memory
    m_files->ensureDirectory(m_directory);
    m_files->write(storeFilePath(), StoreFile::encode(m_records));
    ++m_writeCount;
    m_lastWriteError.reset();
}

void PemmoStore::cancelPendingWrite() {
    if (m_pendingWrite)
        m_pendingWrite->stop();
}

void PemmoStore::scheduleWrite() {
    if (!m_pendingWrite) {
        m_pendingWrite = new QTimer(m_executor->context());
        m_pendingWrite->setSingleShot(true);
        m_pendingWrite->setTimerType(Qt::PreciseTimer);
        QObject::connect(m_pendingWrite, &QTimer::timeout, m_executor->context(), [this] {
            try {
                writeNow();
            } catch (const std::exception& error) {
                const QString description = describe(error);
                qCCritical(lcStore, "Debounced write to %s failed: %s", qUtf8Printable(storeFilePath()),
                           qUtf8Printable(description));
                m_lastWriteError = description;
            }
        });
    }
    // Restarting the timer is "cancel the pending write, schedule a new one".
    m_pendingWrite->start(m_writeDelay);
}

QCoro::Task<RecordMap> PemmoStore::allRecords() {
    auto job = m_executor->post([this] { return m_records; });
    co_return co_await job;
}

QCoro::Task<std::optional<PemmoRecord>> PemmoStore::record(QString id) {
    auto job = m_executor->post([this, id]() -> std::optional<PemmoRecord> {
        const auto it = m_records.constFind(id);
        if (it == m_records.cend())
            return std::nullopt;
        return **it;
    });
    co_return co_await job;
}

QCoro::Task<PemmoRecord> PemmoStore::put(PemmoRecord record, QString id) {
    auto job = m_executor->post([this, record = std::move(record), id]() mutable {
        refuseWhenReadOnly();
        record.updatedAt = m_clock();
        m_records.insert(id, record);
        scheduleWrite();
        return record;
    });
    co_return co_await job;
}

QCoro::Task<void> PemmoStore::commit(PemmoRecord record, QString id) {
    auto job = m_executor->post([this, record = std::move(record), id]() mutable {
        refuseWhenReadOnly();
        const auto it = m_records.constFind(id);
        const std::optional<Shared<PemmoRecord>> before =
            it == m_records.cend() ? std::nullopt : std::optional<Shared<PemmoRecord>>(*it);
        record.updatedAt = m_clock();
        m_records.insert(id, std::move(record));
        try {
            writeNow();
        } catch (const std::exception& error) {
            if (before)
                m_records.insert(id, *before);
            else
                m_records.remove(id);
            m_lastWriteError = describe(error);
            throw;
        }
        cancelPendingWrite();
    });
    co_await job;
}

QCoro::Task<void> PemmoStore::remove(QString id) {
    auto job = m_executor->post([this, id] {
        refuseWhenReadOnly();
        m_records.remove(id);
        scheduleWrite();
    });
    co_await job;
}

QCoro::Task<QStringList> PemmoStore::removeAll(QSet<QString> keep) {
    auto job = m_executor->post([this, keep = std::move(keep)] {
        refuseWhenReadOnly();
        QStringList removed;
        for (auto it = m_records.begin(); it != m_records.end();) {
            if (keep.contains(it.key())) {
                ++it;
            } else {
                removed.append(it.key());
                it = m_records.erase(it);
            }
        }
        if (!removed.isEmpty())
            scheduleWrite();
        return removed;
    });
    co_return co_await job;
}

QCoro::Task<void> PemmoStore::flush() {
    auto job = m_executor->post([this] {
        refuseWhenReadOnly();
        cancelPendingWrite();
        writeNow();
    });
    co_await job;
}

bool PemmoStore::flushPendingNow() {
    if (!m_pendingWrite || !m_pendingWrite->isActive())
        return false;
    cancelPendingWrite();
    try {
        writeNow();
    } catch (const std::exception& error) {
        m_lastWriteError = describe(error);
        throw;
    }
    return true;
}

QCoro::Task<bool> PemmoStore::flushPending() {
    auto job = m_executor->post([this] { return flushPendingNow(); });
    co_return co_await job;
}

bool PemmoStore::flushPendingAndWait() {
    auto job = m_executor->post([this] { return flushPendingNow(); });
    job.waitForFinished();
    return job.future().result(); // rethrows the job's exception
}

QCoro::Task<QByteArray> PemmoStore::exportData() {
    auto job = m_executor->post([this] {
        const std::string bytes = StoreFile::encodeForExport(m_records);
        return QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
    });
    co_return co_await job;
}

QCoro::Task<int> PemmoStore::importData(QByteArray bytes) {
    auto job = m_executor->post([this, bytes = std::move(bytes)] {
        refuseWhenReadOnly();
        const StoreFile::Document document = StoreFile::decodeDocument(bytes, m_clock());
        if (StoreClassifier::isNewer(document))
            throw PemmoError::newerFile();
        const RecordMap& incoming = document.records;
        int taken = 0;
        for (auto it = incoming.cbegin(); it != incoming.cend(); ++it) {
            const auto stored = m_records.constFind(it.key());
            if (stored != m_records.cend() && (*stored)->updatedAt > (*it)->updatedAt)
                continue;
            m_records.insert(it.key(), *it);
            ++taken;
        }
        if (taken > 0)
            scheduleWrite();
        return taken;
    });
    co_return co_await job;
}

QCoro::Task<int> PemmoStore::writeCount() {
    auto job = m_executor->post([this] { return m_writeCount; });
    co_return co_await job;
}

QCoro::Task<bool> PemmoStore::didMigrateLegacy() {
    auto job = m_executor->post([this] { return m_didMigrateLegacy; });
    co_return co_await job;
}

QCoro::Task<std::optional<QString>> PemmoStore::lastWriteError() {
    auto job = m_executor->post([this] { return m_lastWriteError; });
    co_return co_await job;
}

} // namespace pemmo
