#include "TestSupport/TempDir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

namespace pemmo::test {

TempDir::TempDir() {
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
}

void TempDir::write(const QString& name, const QByteArray& bytes) const {
    QFile file(filePath(name));
    QDir().mkpath(QFileInfo(file).path());
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qUtf8Printable(file.fileName()));
}

QByteArray TempDir::read(const QString& name) const {
    QFile file(filePath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool TempDir::exists(const QString& name) const {
    return QFile::exists(filePath(name));
}

QStringList TempDir::entries() const {
    return QDir(path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
}

} // namespace pemmo::test
