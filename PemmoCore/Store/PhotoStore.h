// Replacement photos Pemmo keeps of its own, one JPEG per contact in the "Photos" folder, shown
// instead of the address book's picture without touching the address book.
#pragma once

#include "Support/SerialExecutor.h"

#include <QByteArray>
#include <QCoroTask>
#include <QSet>
#include <QString>
#include <memory>
#include <optional>
#include <variant>

namespace pemmo {

// The photo a profile screen shows: a replacement, none, or a replacement just removed.
struct PhotoOverride {
    struct None {
        bool operator==(const None&) const = default;
    };
    struct Removed {
        bool operator==(const Removed&) const = default;
    };
    std::variant<None, QByteArray, Removed> value;

    bool operator==(const PhotoOverride&) const = default;
};

class PhotoStore {
public:
    static QString folderName() { return QStringLiteral("Photos"); }
    // "ABC:ABPerson" → "ABC_ABPerson": ":" and "/" become "_".
    static QString fileStem(const QString& id);

    explicit PhotoStore(QString directory);
    ~PhotoStore();

    const QString& directory() const { return m_directory; }

    // The photo's bytes; absent when there is none or it cannot be read.
    QCoro::Task<std::optional<QByteArray>> photo(QString id);
    // Writes the bytes atomically, creating the folder if needed. Throws FileError.
    QCoro::Task<void> save(QByteArray jpeg, QString id);
    // Deletes the photo if there is one. Throws FileError.
    QCoro::Task<void> removePhoto(QString id);
    // Deletes every .jpg whose name is not the stem of a kept id; other files stay. Returns how
    // many were deleted.
    QCoro::Task<int> prune(QSet<QString> keeping);

private:
    QString pathFor(const QString& id) const;

    const QString m_directory;
    std::unique_ptr<SerialExecutor> m_executor;
};

} // namespace pemmo
