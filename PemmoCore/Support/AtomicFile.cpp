#include "Support/AtomicFile.h"

#include "Support/FileError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pemmo::AtomicFile {
namespace {

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

[[noreturn]] void fail(const QString& what, const QString& path, int error) {
    throw FileError(what + u" \u201C"_qs + path + u"\u201D: "_qs + systemError(error));
}

class Fd {
public:
    explicit Fd(int fd)
        : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

} // namespace

QString temporaryPrefix(const QString& path) {
    return path + QStringLiteral(".tmp-");
}

void write(const QString& path, std::string_view data, std::optional<unsigned> mode) {
    QByteArray tmpl = QFile::encodeName(temporaryPrefix(path) + QStringLiteral("XXXXXX"));
    Fd fd(::mkostemp(tmpl.data(), O_CLOEXEC));
    if (fd.get() < 0)
        fail(QStringLiteral("Could not create a temporary file for"), path, errno);
    const QString tmpPath = QFile::decodeName(tmpl);

    auto abandon = [&](const QString& what, int error) {
        ::close(fd.release());
        ::unlink(tmpl.constData());
        fail(what, tmpPath, error);
    };

    if (mode && ::fchmod(fd.get(), static_cast<mode_t>(*mode)) != 0)
        abandon(QStringLiteral("Could not set the permissions of"), errno);

    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), p, left);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            abandon(QStringLiteral("Could not write"), errno);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        abandon(QStringLiteral("Could not flush"), errno);
    if (::close(fd.release()) != 0) {
        const int error = errno;
        ::unlink(tmpl.constData());
        fail(QStringLiteral("Could not close"), tmpPath, error);
    }

    const QByteArray target = QFile::encodeName(path);
    if (::rename(tmpl.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(tmpl.constData());
        fail(QStringLiteral("Could not replace"), path, error);
    }

    // The rename is only durable once the folder entry is on disk too.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    Fd dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fsync(dir.get()) != 0)
        fail(QStringLiteral("Could not sync the folder of"), path, errno);
}

QByteArray read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw FileError(u"Could not read \u201C"_qs + path + u"\u201D: "_qs + file.errorString());
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw FileError(u"Could not read \u201C"_qs + path + u"\u201D: "_qs + file.errorString());
    return bytes;
}

void ensureDirectory(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir())
        return;
    if (info.exists() || info.isSymLink())
        throw FileError(u"Could not create the folder \u201C"_qs + path + u"\u201D: a file is in the way"_qs);
    if (!QDir().mkpath(path))
        throw FileError(u"Could not create the folder \u201C"_qs + path + u"\u201D"_qs);
}

} // namespace pemmo::AtomicFile
