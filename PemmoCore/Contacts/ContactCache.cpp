#include "Contacts/ContactCache.h"

#include "Support/Hashing.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <QtEndian>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
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

void writeValues(QDataStream& out, const QList<LabeledValue>& values) {
    out << quint32(values.size());
    for (const LabeledValue& value : values)
        out << value.label << value.value;
}

// Reads the payload QDataStream wrote (Qt 6.4 stream version, little-endian) straight from its
// bytes: going through QDataStream's device for each of some two hundred thousand values cost
// more than the rest of a start. Every length is checked against the bytes left; the first
// failure sets `failed` and every later read yields nothing.
class PayloadReader {
public:
    // Labels looked for one by one before a hash: there are a handful in most address books.
    static constexpr qsizetype kSeenLabels = 32;

    PayloadReader(const QByteArray& bytes, qsizetype offset)
        : m_at(bytes.constData() + offset)
        , m_end(bytes.constData() + bytes.size()) {}

    bool failed() const { return m_failed; }
    bool atEnd() const { return m_at == m_end; }
    std::size_t remaining() const { return std::size_t(m_end - m_at); }

    template <class T> T number() {
        T value{};
        if (!take(sizeof value))
            return value;
        std::memcpy(&value, m_at - sizeof value, sizeof value);
        return qFromLittleEndian(value);
    }
    bool boolean() { return number<qint8>() != 0; }

    // A text's UTF-16 bytes: their count (all ones for a null string), then the bytes. No value for
    // a null string or a damaged stream.
    std::optional<QByteArrayView> utf16() {
        const quint32 bytes = number<quint32>();
        if (m_failed || bytes == 0xffffffffu)
            return std::nullopt;
        if (bytes % 2 != 0) {
            fail();
            return std::nullopt;
        }
        if (!take(bytes))
            return std::nullopt;
        return QByteArrayView(m_at - bytes, qsizetype(bytes));
    }
    static QString textOf(QByteArrayView bytes) {
        if (bytes.isEmpty())
            return QString(QLatin1StringView(""));
        // The stream is little-endian, as is every machine Pemmo runs on.
        static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN);
        QString result(bytes.size() / 2, Qt::Uninitialized);
        std::memcpy(result.data(), bytes.data(), std::size_t(bytes.size()));
        return result;
    }

    QString text() {
        const auto bytes = utf16();
        return bytes ? textOf(*bytes) : QString();
    }

    // A text that repeats across the file, such as a label: the copy in `seen` when the bytes
    // match one (compared before any string is made or hashed), else a new one, remembered while
    // `seen` is short and otherwise shared through `more`.
    QString sharedText(QList<QString>& seen, QSet<QString>& more) {
        const auto bytes = utf16();
        if (!bytes)
            return {};
        for (const QString& known : std::as_const(seen)) {
            if (known.size() * 2 == bytes->size() &&
                std::memcmp(known.constData(), bytes->data(), bytes->size()) == 0)
                return known;
        }
        const QString made = textOf(*bytes);
        if (seen.size() < kSeenLabels) {
            seen.append(made);
            return made;
        }
        return *more.insert(made);
    }

    // A QByteArray: its length (all ones for a null array), then the bytes.
    QByteArray data() {
        const quint32 bytes = number<quint32>();
        if (m_failed || bytes == 0xffffffffu)
            return {};
        if (!take(bytes))
            return {};
        return QByteArray(m_at - bytes, qsizetype(bytes));
    }

    QStringList texts() {
        const quint32 count = number<quint32>();
        QStringList result;
        if (m_failed || count > remaining() / 4) {
            fail();
            return result;
        }
        result.reserve(qsizetype(count));
        for (quint32 i = 0; i < count && !m_failed; ++i)
            result.append(text());
        return result;
    }

    void fail() { m_failed = true; }

private:
    bool take(std::size_t size) {
        if (m_failed || size > std::size_t(m_end - m_at)) {
            m_failed = true;
            return false;
        }
        m_at += size;
        return true;
    }

    const char* m_at;
    const char* m_end;
    bool m_failed = false;
};

// The labels met so far: they repeat across thousands of people ("home", "work", "mobile"), and
// each is kept once.
struct Labels {
    QList<QString> seen;
    QSet<QString> more;
};

void readValues(PayloadReader& in, QList<LabeledValue>& values, Labels& labels) {
    const quint32 count = in.number<quint32>();
    if (in.failed() || count > in.remaining() / 8)
        return in.fail();
    values.reserve(qsizetype(count));
    for (quint32 i = 0; i < count && !in.failed(); ++i) {
        LabeledValue value;
        value.label = in.sharedText(labels.seen, labels.more);
        value.value = in.text();
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

// Given names, family names, companies and titles repeat across an address book: equal ones
// become one string.
QString sharedName(PayloadReader& in, QSet<QString>& names) {
    const QString text = in.text();
    return text.isEmpty() ? text : *names.insert(text);
}

void readPerson(PayloadReader& in, Person& person, Labels& labels, QSet<QString>& names) {
    person.id = in.text();
    person.givenName = sharedName(in, names);
    person.familyName = sharedName(in, names);
    person.nickname = in.text();
    if (in.boolean())
        person.organization = sharedName(in, names);
    if (in.boolean())
        person.jobTitle = sharedName(in, names);
    readValues(in, person.emails, labels);
    readValues(in, person.phones, labels);
    if (in.boolean()) {
        const bool hasYear = in.boolean();
        const qint32 year = in.number<qint32>();
        DateComponents birthday;
        if (hasYear)
            birthday.year = year;
        birthday.month = in.number<qint32>();
        birthday.day = in.number<qint32>();
        person.birthday = birthday;
    }
    if (in.boolean())
        person.thumbnail = in.data();
    person.hasFullImage = in.boolean();
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

QList<File> decode(const QByteArray& bytes, const QStringList& folders) {
    if (bytes.size() < kHeaderSize || !bytes.startsWith(QByteArrayView(kMagic, sizeof kMagic)))
        return {};
    if (getRaw<quint32>(bytes, 8) != formatVersion)
        return {};
    const quint64 length = getRaw<quint64>(bytes, 12);
    if (length != quint64(bytes.size() - kHeaderSize) ||
        getRaw<quint32>(bytes, 20) != checksum(bytes.constData() + kHeaderSize, bytes.size() - kHeaderSize))
        return {};

    PayloadReader in(bytes, kHeaderSize);
    const QStringList cachedFolders = in.texts();
    const quint32 fileCount = in.number<quint32>();
    // A file takes at least 32 bytes and a card at least 32: a damaged count cannot make this
    // reserve more than the cache could hold.
    if (in.failed() || cachedFolders != folders || fileCount > in.remaining() / 32)
        return {};

    QList<File> files(static_cast<qsizetype>(fileCount));
    Labels labels;
    QSet<QString> names;
    names.reserve(qsizetype(fileCount) * 2);
    for (File& file : files) {
        file.stamp.path = in.text();
        file.stamp.modified = in.number<qint64>();
        file.stamp.size = in.number<qint64>();
        file.stamp.inode = in.number<quint64>();
        const quint32 cardCount = in.number<quint32>();
        if (in.failed() || cardCount > in.remaining() / 32)
            return {};
        file.cards.resize(qsizetype(cardCount));
        for (Card& card : file.cards) {
            card.position = in.number<qint32>();
            card.thumbnailDue = in.boolean();
            readPerson(in, card.person, labels, names);
            if (in.failed())
                return {};
        }
    }
    if (!in.atEnd())
        return {};
    return files;
}

QList<File> read(const QString& path, const QStringList& folders) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QList<File> files = decode(bytes, folders);
    if (files.isEmpty() && !bytes.isEmpty())
        qCDebug(lcContactCache, "Ignored the contact cache %s: not one this version can use; it is rebuilt",
                qUtf8Printable(path));
    return files;
}

bool write(const QString& path, const QByteArray& bytes) {
    const QFileInfo info(path);
    if (!QDir().mkpath(info.absolutePath())) {
        qCCritical(lcContactCache, "Cannot make the cache folder %s", qUtf8Printable(info.absolutePath()));
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
    qCCritical(lcContactCache, "Cannot write the contact cache %s: %s", qUtf8Printable(path),
               std::strerror(error ? error : errno));
    ::unlink(encodedTemporary.constData());
    return false;
}

} // namespace pemmo::ContactCache
