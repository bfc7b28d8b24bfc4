// A temporary folder for one test, with small helpers to read and write files in it.
#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

namespace pemmo::test {

class TempDir {
public:
    TempDir();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.filePath(name); }

    // Writes `bytes` to `name`, making the folders on its way.
    void write(const QString& name, const QByteArray& bytes) const;
    QByteArray read(const QString& name) const;
    bool exists(const QString& name) const;
    // File names in the folder, sorted.
    QStringList entries() const;

private:
    QTemporaryDir m_dir;
};

} // namespace pemmo::test
