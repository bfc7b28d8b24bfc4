// File operations that fail where a test says and otherwise do the real thing, remembering every
// write they were asked for. Root reads and renames whatever the permission bits say, so tests
// that need a file to be unreadable or a copy to fail inject it here.
#pragma once

#include "Support/FileError.h"
#include "Support/FileOperations.h"

#include <QFileInfo>
#include <QMutex>
#include <QStringList>

namespace pemmo::test {

class FailingFileOperations : public FileOperations {
public:
    // Reading a file whose name starts with `prefix` fails as an I/O error would.
    void failReading(const QString& prefix) {
        QMutexLocker lock(&m_mutex);
        m_unreadable.append(prefix);
    }
    // Writing a file whose name starts with `prefix` fails as a full disk would.
    void failWriting(const QString& prefix) {
        QMutexLocker lock(&m_mutex);
        m_unwritable.append(prefix);
    }
    // Every operation works again.
    void heal() {
        QMutexLocker lock(&m_mutex);
        m_unreadable.clear();
        m_unwritable.clear();
    }
    // The names of the files writes were asked for, failed ones included, in order.
    QStringList writes() const {
        QMutexLocker lock(&m_mutex);
        return m_writes;
    }

    QByteArray read(const QString& path) const override {
        if (matches(m_unreadable, path))
            throw FileError(u"Could not read \u201C"_qs + path + u"\u201D: Input/output error"_qs);
        return FileOperations::read(path);
    }

    void write(const QString& path, std::string_view data) const override {
        {
            QMutexLocker lock(&m_mutex);
            m_writes.append(QFileInfo(path).fileName());
        }
        if (matches(m_unwritable, path))
            throw FileError(u"Could not replace \u201C"_qs + path + u"\u201D: No space left on device"_qs);
        FileOperations::write(path, data);
    }

private:
    bool matches(const QStringList& prefixes, const QString& path) const {
        QMutexLocker lock(&m_mutex);
        const QString name = QFileInfo(path).fileName();
        for (const QString& prefix : prefixes) {
            if (name.startsWith(prefix))
                return true;
        }
        return false;
    }

    mutable QMutex m_mutex;
    QStringList m_unreadable;
    QStringList m_unwritable;
    mutable QStringList m_writes;
};

} // namespace pemmo::test
