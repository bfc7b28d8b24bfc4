#include "Contacts/ContactCache.h"

#include "Support/Hashing.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

namespace pemmo::ContactCache {
namespace {

Q_LOGGING_CATEGORY(lcContactCache, "com.dorvane.Pemmo.contacts.cache", QtInfoMsg)

constexpr char kMagic[8] = {'P', 'E', 'M', 'M', 'O', 'C', 'C', '\n'};
// magic, version, payload length, CRC-32
constexpr qsizetype kHeaderSize = 8 + 4 + 8 + 4;

quint32 checksum(const char* data, qsizetype size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt chunk = uInt(qMin<qsizetype>(size, 1 << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(data), chunk);
        data += chunk;
        size -= chunk;
    }
    return quint32(crc);
}

template <class T> void putRaw(QByteArray& bytes, qsizetype at, T value) {
    std::memcpy(bytes.data() + at, &value, sizeof value); // the header, like the payload, is little-endian
}

template <class T> T getRaw(const QByteArray& bytes, qsizetype at) {
    T value;
    std::memcpy(&value, bytes.constData() + at, sizeof value);
    return value;
}

void writeOptional(QDataStream& out, const std::optional<QString>& value) {
    out << value.has_value();
    if (value)
        out << *value;
}

void readOptional(QDataStream& in, std::optional<QString>& value) {
    bool has = false;
    in >> has;
    if (has) {
        QString text;
        in >> text;
        value = std::move(text);
    }
}

void writeValues(QDataStream& out, const QList<LabeledValue>& values) {
    out << quint32(values.size());
    for (const LabeledValue& value : values)
        out << value.label << value.value;
}

// Labels repeat across thousands of people ("home", "work", "mobile"): one shared copy of each.
void readValues(QDataStream& in, QList<LabeledValue>& values, QSet<QString>& labels) {
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > 1'000'000)
        return in.setStatus(QDataStream::ReadCorruptData);
    values.reserve(qsizetype(count));
    for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        LabeledValue value;
        in >> value.label >> value.value;
        value.label = *labels.insert(value.label);
        values.append(std::move(value));
    }
}

void writePerson(QDataStream& out, const Person& person) {
    out << person.id << person.givenName << person.familyName << person.nickname;
    writeOptional(out, person.organization);
    writeOptional(out, person.jobTitle);
    writeValues(out, person.emails);
    writeValues(out, person.phones);
    out << person.birthday.has_value();
    if (person.birthday)
        out << person.birthday->year.has_value() << qint32(person.birthday->year.value_or(0))
            << qint32(person.birthday->month) << qint32(person.birthday->day);
    out << person.thumbnail.has_value();
    if (person.thumbnail)
        out << *person.thumbnail;
    out << person.hasFullImage;
}

void readPerson(QDataStream& in, Person& person, QSet<QString>& labels) {
    in >> person.id >> person.givenName >> person.familyName >> person.nickname;
    readOptional(in, person.organization);
    readOptional(in, person.jobTitle);
    readValues(in, person.emails, labels);
    readValues(in, person.phones, labels);
    bool hasBirthday = false;
    in >> hasBirthday;
    if (hasBirthday) {
        bool hasYear = false;
        qint32 year = 0, month = 0, day = 0;
        in >> hasYear >> year >> month >> day;
        DateComponents birthday;
        if (hasYear)
            birthday.year = year;
        birthday.month = month;
        birthday.day = day;
        person.birthday = birthday;
    }
    bool hasThumbnail = false;
    in >> hasThumbnail;
    if (hasThumbnail) {
        QByteArray thumbnail;
        in >> thumbnail;
        person.thumbnail = std::move(thumbnail);
    }
    in >> person.hasFullImage;
}

} // namespace

QString pathFor(const QString& cacheFolder, const QStringList& folders) {
    return QDir(cacheFolder)
        .filePath(u"contacts-"_qs + Hashing::fnv1a64Hex(folders.join(u'\n')) + u".cache"_qs);
}

QByteArray encode(const QStringList& folders, const QList<File>& files) {
    QByteArray bytes(kHeaderSize, '\0');
    {
        QDataStream out(&bytes, QIODevice::WriteOnly | QIODevice::Append);
        out.setVersion(QDataStream::Qt_6_4);
        out.setByteOrder(QDataStream::LittleEndian);
        out << folders << quint32(files.size());
        for (const File& file : files) {
            out << file.stamp.path << file.stamp.modified << file.stamp.size << file.stamp.inode
                << quint32(file.cards.size());
            for (const Card& card : file.cards) {
                out << qint32(card.position) << card.thumbnailDue;
                writePerson(out, card.person);
            }
        }
    }
    std::memcpy(bytes.data(), kMagic, sizeof kMagic);
    putRaw<quint32>(bytes, 8, formatVersion);
    putRaw<quint64>(bytes, 12, quint64(bytes.size() - kHeaderSize));
    putRaw<quint32>(bytes, 20, checksum(bytes.constData() + kHeaderSize, bytes.size() - kHeaderSize));
    return bytes;
}

QHash<QString, File> decode(const QByteArray& bytes, const QStringList& folders) {
    if (bytes.size() < kHeaderSize || !bytes.startsWith(QByteArrayView(kMagic, sizeof kMagic)))
        return {};
    if (getRaw<quint32>(bytes, 8) != formatVersion)
        return {};
    const quint64 length = getRaw<quint64>(bytes, 12);
    if (length != quint64(bytes.size() - kHeaderSize) ||
        getRaw<quint32>(bytes, 20) != checksum(bytes.constData() + kHeaderSize, bytes.size() - kHeaderSize))
        return {};

    QDataStream in(bytes);
    in.setVersion(QDataStream::Qt_6_4);
    in.setByteOrder(QDataStream::LittleEndian);
    in.skipRawData(int(kHeaderSize));
    QStringList cachedFolders;
    quint32 fileCount = 0;
    in >> cachedFolders >> fileCount;
    if (in.status() != QDataStream::Ok || cachedFolders != folders || fileCount > 100'000'000)
        return {};

    QHash<QString, File> files;
    files.reserve(qsizetype(fileCount));
    QSet<QString> labels;
    for (quint32 i = 0; i < fileCount; ++i) {
        File file;
        quint32 cardCount = 0;
        in >> file.stamp.path >> file.stamp.modified >> file.stamp.size >> file.stamp.inode >> cardCount;
        if (in.status() != QDataStream::Ok || cardCount > 1'000'000)
            return {};
        file.cards.resize(qsizetype(cardCount));
        for (Card& card : file.cards) {
            qint32 position = 0;
            in >> position >> card.thumbnailDue;
            card.position = position;
            readPerson(in, card.person, labels);
        }
        if (in.status() != QDataStream::Ok)
            return {};
        QString path = file.stamp.path;
        files.emplace(std::move(path), std::move(file));
    }
    if (!in.atEnd())
        return {};
    return files;
}

QHash<QString, File> read(const QString& path, const QStringList& folders) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QHash<QString, File> files = decode(bytes, folders);
    if (files.isEmpty() && !bytes.isEmpty())
        qCDebug(lcContactCache, "Ignored the contact cache %s: not one this version can use; it is rebuilt",
                qUtf8Printable(path));
    return files;
}

bool write(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        qCWarning(lcContactCache, "Cannot make the cache folder %s", qUtf8Printable(info.absolutePath()));
        return false;
    }
    // Hidden, and unique to this process, so that two writers never share a temporary file.
    const QString temporary =
        info.absolutePath() + u"/."_qs + info.fileName() + u'.' + QString::number(::getpid()) + u".tmp"_qs;
    const QByteArray encodedTemporary = QFile::encodeName(temporary);
    const int fd = ::open(encodedTemporary.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0;
    for (qsizetype written = 0; ok && written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        written += n > 0 ? n : 0;
    }
    const int error = ok ? 0 : errno;
    if (fd >= 0 && ::close(fd) != 0)
        ok = false;
    if (ok && ::rename(encodedTemporary.constData(), QFile::encodeName(path).constData()) == 0)
        return true;
    qCWarning(lcContactCache, "Cannot write the contact cache %s: %s", qUtf8Printable(path),
              std::strerror(error ? error : errno));
    ::unlink(encodedTemporary.constData());
    return false;
}

} // namespace pemmo::ContactCache
