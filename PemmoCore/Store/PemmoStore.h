// Every PemmoRecord, kept in memory and persisted together in "pemmo-store.json".
//
// A serial actor: its state lives on its own thread and every operation is a task that runs there
// and resumes the caller on the caller's thread. Ordinary changes are written after a quiet period
// (debounced); `commit` writes through at once and undoes itself if the write fails.
//
// A store never writes over bytes it could not first read and keep: when the file cannot be read,
// when a damaged or earlier-layout file cannot be copied aside, or when a newer Pemmo wrote it,
// the store is read-only. It still answers with the records it could read, refuses every change
// with PemmoError::storeReadOnly and writes nothing until a load succeeds (`retryLoad`).
#pragma once

#include "Records/PemmoRecord.h"
#include "Store/StoreFile.h"
#include "Support/Clock.h"
#include "Support/FileOperations.h"
#include "Support/SerialExecutor.h"

#include <QCoroTask>
#include <QSet>
#include <QString>
#include <QStringList>
#include <chrono>
#include <memory>
#include <optional>

class QTimer;

namespace pemmo {

class PemmoStore {
public:
    static constexpr std::chrono::milliseconds defaultWriteDelay{250};

    static QString storeFileName() { return QStringLiteral("pemmo-store.json"); }
    // Why a store written by a newer Pemmo takes no changes (`readOnlyReason`).
    static QString newerStoreReason();
    static QString legacyBackupFileName() { return QStringLiteral("pemmo-store.v1.backup.json"); }
    // "pemmo-store.corrupt-2026-03-04T10-15-00Z.json" for that time.
    static QString corruptBackupFileName(const QDateTime& when);

    // The owner keeps the folder: it repairs, converts and writes. A reader (the command line
    // while the application owns the folder) reads the file as it is and never changes the disk:
    // an earlier layout is converted in memory only, a damaged file reads as empty, and changes
    // stay in memory.
    enum class Access { Owner, Reader };

    explicit PemmoStore(QString directory, std::chrono::milliseconds writeDelay = defaultWriteDelay,
                        Clock clock = systemClock(), Access access = Access::Owner,
                        std::shared_ptr<const FileOperations> files = FileOperations::real());
    ~PemmoStore();

    PemmoStore(const PemmoStore&) = delete;
    PemmoStore& operator=(const PemmoStore&) = delete;

    const QString& directory() const { return m_directory; }
    QString storeFilePath() const;

    // Reads the store file once at start. A damaged file is set aside and the store starts empty;
    // a file of the earlier layout is backed up and converted. Fails (FileError) when the folder
    // cannot be made, leaving the store empty, or when the file cannot be read, leaving it empty
    // and read-only. A damaged or earlier file that cannot be copied aside, and a file of a newer
    // Pemmo, make it read-only too (the newer and the earlier records still read).
    QCoro::Task<void> load();
    // While the store is read-only, loads again from scratch (what stood in the way may be gone);
    // otherwise does nothing, so that changes not yet written are never dropped. True when the
    // store takes changes afterwards. Fails as `load` does.
    QCoro::Task<bool> retryLoad();
    // Why the store refuses changes, in words for the user; absent while it takes them.
    QCoro::Task<std::optional<QString>> readOnlyReason();
    // When the last load found a file that does not decode: why, and where its bytes were set aside
    // (a reader sets nothing aside); absent otherwise.
    QCoro::Task<std::optional<QString>> damage();

    QCoro::Task<RecordMap> allRecords();
    QCoro::Task<std::optional<PemmoRecord>> record(QString id);

    // Every change below throws PemmoError::storeReadOnly, changing nothing, while the store is
    // read-only.

    // Stores a copy stamped with now and schedules a debounced write; returns the stored copy.
    QCoro::Task<PemmoRecord> put(PemmoRecord record, QString id);
    // Stores like `put` and writes at once; on failure the change is undone and the error thrown.
    QCoro::Task<void> commit(PemmoRecord record, QString id);
    QCoro::Task<void> remove(QString id);
    // Removes, in one step, every record whose id is not in `keep`; returns the removed ids.
    QCoro::Task<QStringList> removeAll(QSet<QString> keep);
    // Cancels any pending debounced write and writes now.
    QCoro::Task<void> flush();
    // Writes now only when a debounced write is waiting; true when it wrote. Throws the write's
    // error, which also becomes lastWriteError.
    QCoro::Task<bool> flushPending();
    // The same, blocking the caller until it is done: for the process's last moments, when no
    // event loop can be relied on to resume a task (a second quit ends every loop at once).
    bool flushPendingAndWait();

    // The export document: pretty-printed, keys sorted.
    QCoro::Task<QByteArray> exportData();
    // Merges an export document: an incoming record wins unless the stored one is newer.
    // Returns how many records were taken over. Throws DecodingError and changes nothing when
    // the bytes are not an export document, and PemmoError::newerFile when a newer Pemmo wrote it.
    QCoro::Task<int> importData(QByteArray bytes);

    QCoro::Task<int> writeCount();
    QCoro::Task<bool> didMigrateLegacy();
    QCoro::Task<std::optional<QString>> lastWriteError();

private:
    // Everything below runs on the executor thread only.
    void loadNow();
    void readSnapshotNow();
    QByteArray readStoreBytes(const QString& path);
    std::optional<QString> earlierBackupOf(const QByteArray& bytes) const;
    void refuseWhenReadOnly() const;
    void writeNow();
    void scheduleWrite();
    bool flushPendingNow();
    void cancelPendingWrite();
    void removeStaleTemporaries();

    const QString m_directory;
    const std::chrono::milliseconds m_writeDelay;
    const Clock m_clock;
    const Access m_access;
    const std::shared_ptr<const FileOperations> m_files;
    std::unique_ptr<SerialExecutor> m_executor;

    RecordMap m_records;
    QTimer* m_pendingWrite = nullptr;
    int m_writeCount = 0;
    bool m_didMigrateLegacy = false;
    std::optional<QString> m_lastWriteError;
    std::optional<QString> m_readOnlyReason;
    std::optional<QString> m_damage;
};

} // namespace pemmo
