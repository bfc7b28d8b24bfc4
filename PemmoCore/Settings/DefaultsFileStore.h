// The user's preferences on disk: a JSON file (normally $XDG_CONFIG_HOME/Pemmo/defaults.json) in
// which every value carries its kind, so a number is never mistaken for a truth value or a text.
//
// The whole file is read once at creation and rewritten atomically on every change. A file that is
// not JSON is set aside as "defaults.corrupt-<time>.json" and Pemmo starts with its defaults; an
// entry it cannot make sense of (a kind from a newer release, say) reads as absent but is written
// back untouched. A reader (a command that only reads) never writes the file nor sets a damaged one
// aside: its changes stay in memory. Safe to use from any thread.
#pragma once

#include "Settings/KeyValueStore.h"
#include "Support/Clock.h"

#include <QMutex>
#include <map>
#include <memory>

namespace pemmo {

class DefaultsFileStore : public KeyValueStore {
public:
    // The owner writes every change and sets a damaged file aside; a reader keeps its changes in
    // memory (the defaults a first start seeds, say) and leaves the file as it is.
    enum class Access { Owner, Reader };

    static QString fileName() { return QStringLiteral("defaults.json"); }
    // "defaults.corrupt-2026-03-04T10-15-00Z.json" for that time.
    static QString corruptBackupFileName(const QDateTime& when);
    // $XDG_CONFIG_HOME/Pemmo/defaults.json.
    static QString standardPath();

    explicit DefaultsFileStore(QString path = standardPath(), Clock clock = systemClock(),
                               Access access = Access::Owner);
    // A reader of the file at `path`.
    static std::unique_ptr<DefaultsFileStore> reader(QString path = standardPath());
    ~DefaultsFileStore() override;

    std::optional<StoredValue> object(const QString& key) const override;
    void set(std::optional<StoredValue> value, const QString& key) override;

    const QString& path() const { return m_path; }
    Access access() const { return m_access; }
    // What went wrong when the file was last read or written; absent when all went well.
    std::optional<QString> lastError() const;

private:
    struct Entries;

    void load();
    void save();

    const QString m_path;
    const Clock m_clock;
    const Access m_access;
    mutable QMutex m_lock;
    std::unique_ptr<Entries> m_entries;
    std::optional<QString> m_lastError;
};

} // namespace pemmo
