#include "Store/PemmoStore.h"

#include "Store/LegacyMigration.h"
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

} // namespace

QString PemmoStore::corruptBackupFileName(const QDateTime& when) {
    QString stamp = IsoDate::format(when);
    stamp.replace(u':', u'-');
    return QStringLiteral("pemmo-store.corrupt-") + stamp + QStringLiteral(".json");
}

PemmoStore::PemmoStore(QString directory, std::chrono::milliseconds writeDelay, Clock clock, Access access)
    : m_directory(std::move(directory))
    , m_writeDelay(writeDelay)
    , m_clock(std::move(clock))
    , m_access(access)
    , m_executor(std::make_unique<SerialExecutor>(QStringLiteral("PemmoStore"))) {}

PemmoStore::~PemmoStore() {
    // A pending debounced write is dropped, as at process exit; its timer dies with the executor.
    m_executor.reset();
}

QString PemmoStore::storeFilePath() const {
    return QDir(m_directory).filePath(storeFileName());
}

QCoro::Task<void> PemmoStore::load() {
    auto job = m_executor->post([this] { loadNow(); });
    co_await job;
}

void PemmoStore::loadNow() {
    if (m_access == Access::Reader) {
        readSnapshotNow();
        return;
    }
    AtomicFile::ensureDirectory(m_directory);
    removeStaleTemporaries();

    const QString path = storeFilePath();
    if (!QFileInfo::exists(path))
        return;
    const QByteArray bytes = AtomicFile::read(path);

    try {
        m_records = StoreFile::decode(bytes, m_clock());
        return;
    } catch (const DecodingError&) {
        // Not the current layout: the earlier one, or damaged.
    }

    const QDir dir(m_directory);
    if (LegacyMigration::isLegacy(bytes)) {
        const QString backupPath = dir.filePath(legacyBackupFileName());
        try {
            AtomicFile::write(backupPath, bytes);
        } catch (const FileError& error) {
            qCCritical(lcStore,
                       "Failed to back up legacy store to %s before migrating (%s); leaving %s untouched and "
                       "not migrating",
                       qUtf8Printable(backupPath), qUtf8Printable(error.description()), qUtf8Printable(path));
            return;
        }
        try {
            m_records = LegacyMigration::migrate(bytes, m_clock());
        } catch (const DecodingError&) {
            // The backup holds the bytes; start empty as with any unreadable file.
            return;
        }
        m_didMigrateLegacy = true;
        writeNow();
        return;
    }

    const QString backupPath = dir.filePath(corruptBackupFileName(m_clock()));
    try {
        AtomicFile::write(backupPath, bytes);
        qCCritical(lcStore,
                   "Failed to decode %s; backed up unreadable data to %s and starting with an empty store",
                   qUtf8Printable(path), qUtf8Printable(backupPath));
    } catch (const FileError& error) {
        qCCritical(
            lcStore,
            "Failed to decode %s and failed to back it up to %s (%s); starting with an empty store anyway",
            qUtf8Printable(path), qUtf8Printable(backupPath), qUtf8Printable(error.description()));
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
    const QString path = storeFilePath();
    if (!QFileInfo::exists(path))
        return;
    const QByteArray bytes = AtomicFile::read(path);
    try {
        m_records = StoreFile::decode(bytes, m_clock());
        return;
    } catch (const DecodingError&) {
    }
    try {
        if (LegacyMigration::isLegacy(bytes)) {
            m_records = LegacyMigration::migrate(bytes, m_clock());
            return;
        }
    } catch (const DecodingError&) {
    }
    qCWarning(lcStore, "Failed to decode %s; reading it as empty and leaving it to the running Pemmo",
              qUtf8Printable(path));
}

void PemmoStore::writeNow() {
    if (m_access == Access::Reader)
        return; // the owner of the folder writes; a reader's changes stay in memory
    AtomicFile::ensureDirectory(m_directory);
    AtomicFile::write(storeFilePath(), StoreFile::encode(m_records));
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
        return *it;
    });
    co_return co_await job;
}

QCoro::Task<PemmoRecord> PemmoStore::put(PemmoRecord record, QString id) {
    auto job = m_executor->post([this, record = std::move(record), id]() mutable {
        record.updatedAt = m_clock();
        m_records.insert(id, record);
        scheduleWrite();
        return record;
    });
    co_return co_await job;
}

QCoro::Task<void> PemmoStore::commit(PemmoRecord record, QString id) {
    auto job = m_executor->post([this, record = std::move(record), id]() mutable {
        const auto it = m_records.constFind(id);
        const std::optional<PemmoRecord> before =
            it == m_records.cend() ? std::nullopt : std::optional<PemmoRecord>(*it);
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
        m_records.remove(id);
        scheduleWrite();
    });
    co_await job;
}

QCoro::Task<QStringList> PemmoStore::removeAll(QSet<QString> keep) {
    auto job = m_executor->post([this, keep = std::move(keep)] {
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
        cancelPendingWrite();
        writeNow();
    });
    co_await job;
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
        const RecordMap incoming = StoreFile::decode(bytes, m_clock());
        int taken = 0;
        for (auto it = incoming.cbegin(); it != incoming.cend(); ++it) {
            const auto stored = m_records.constFind(it.key());
            if (stored != m_records.cend() && stored->updatedAt > it->updatedAt)
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
