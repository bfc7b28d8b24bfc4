#include "Store/PhotoStore.h"

#include "Support/AtomicFile.h"
#include "Support/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace pemmo {

QString PhotoStore::fileStem(const QString& id) {
    QString stem = id;
    stem.replace(u':', u'_');
    stem.replace(u'/', u'_');
    return stem;
}

PhotoStore::PhotoStore(QString directory)
    : m_directory(std::move(directory))
    , m_executor(std::make_unique<SerialExecutor>(QStringLiteral("PhotoStore"))) {}

PhotoStore::~PhotoStore() = default;

QString PhotoStore::pathFor(const QString& id) const {
    return QDir(m_directory).filePath(fileStem(id) + QStringLiteral(".jpg"));
}

QCoro::Task<std::optional<QByteArray>> PhotoStore::photo(QString id) {
    auto job = m_executor->post([this, id]() -> std::optional<QByteArray> {
        QFile file(pathFor(id));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return std::nullopt;
        return bytes;
    });
    co_return co_await job;
}

QCoro::Task<void> PhotoStore::save(QByteArray jpeg, QString id) {
    auto job = m_executor->post([this, jpeg = std::move(jpeg), id] {
        AtomicFile::ensureDirectory(m_directory);
        AtomicFile::write(pathFor(id), jpeg);
    });
    co_await job;
}

QCoro::Task<void> PhotoStore::removePhoto(QString id) {
    auto job = m_executor->post([this, id] {
        QFile file(pathFor(id));
        if (!file.exists())
            return;
        if (!file.remove())
            throw FileError(u"Could not delete \u201C"_qs + file.fileName() + u"\u201D: "_qs +
                            file.errorString());
    });
    co_await job;
}

QCoro::Task<int> PhotoStore::prune(QSet<QString> keeping) {
    auto job = m_executor->post([this, keeping = std::move(keeping)] {
        QSet<QString> keptStems;
        for (const QString& id : keeping)
            keptStems.insert(fileStem(id));
        const QDir dir(m_directory);
        const QFileInfoList files = dir.entryInfoList(QDir::Files | QDir::Hidden);
        int deleted = 0;
        for (const QFileInfo& file : files) {
            if (file.suffix() == u"jpg" && !keptStems.contains(file.completeBaseName()) &&
                QFile::remove(file.absoluteFilePath()))
                ++deleted;
        }
        return deleted;
    });
    co_return co_await job;
}

} // namespace pemmo
