#include "Settings/DefaultsFileStore.h"

#include "Support/AtomicFile.h"
#include "Support/FileError.h"
#include "Support/IsoDate.h"
#include "Support/Logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QStandardPaths>
#include <nlohmann/json.hpp>

namespace pemmo {

using nlohmann::json;

namespace {

// The kinds as the file names them.
constexpr const char* kKind = "kind";
constexpr const char* kValue = "value";
constexpr const char* kData = "data";
constexpr const char* kTextList = "textList";
constexpr const char* kText = "text";
constexpr const char* kInteger = "integer";
constexpr const char* kFloat = "float";
constexpr const char* kBool = "bool";

std::string utf8(const QString& text) {
    return text.toStdString();
}

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

json encode(const StoredValue& value) {
    struct Encoder {
        json operator()(const QByteArray& v) const {
            return {{kKind, kData}, {kValue, v.toBase64().toStdString()}};
        }
        json operator()(const QStringList& v) const {
            json list = json::array();
            for (const QString& item : v)
                list.push_back(utf8(item));
            return {{kKind, kTextList}, {kValue, std::move(list)}};
        }
        json operator()(const QString& v) const { return {{kKind, kText}, {kValue, utf8(v)}}; }
        json operator()(qint64 v) const {
            return {{kKind, kInteger}, {kValue, static_cast<std::int64_t>(v)}};
        }
        // A value JSON cannot hold (infinity, not-a-number) is written as null and reads as absent.
        json operator()(double v) const { return {{kKind, kFloat}, {kValue, v}}; }
        json operator()(bool v) const { return {{kKind, kBool}, {kValue, v}}; }
    };
    return std::visit(Encoder{}, value);
}

std::optional<StoredValue> decode(const json& entry) {
    if (!entry.is_object())
        return std::nullopt;
    const auto kind = entry.find(kKind);
    const auto value = entry.find(kValue);
    if (kind == entry.end() || value == entry.end() || !kind->is_string())
        return std::nullopt;
    const std::string& name = kind->get_ref<const std::string&>();
    if (name == kText && value->is_string())
        return fromUtf8(value->get<std::string>());
    if (name == kBool && value->is_boolean())
        return value->get<bool>();
    if (name == kInteger && value->is_number_integer()) {
        if (value->is_number_unsigned() && value->get<std::uint64_t>() > std::uint64_t(INT64_MAX))
            return std::nullopt;
        return static_cast<qint64>(value->get<std::int64_t>());
    }
    if (name == kFloat && value->is_number())
        return value->get<double>();
    if (name == kTextList && value->is_array()) {
        QStringList list;
        for (const json& item : *value) {
            if (!item.is_string())
                return std::nullopt;
            list.append(fromUtf8(item.get<std::string>()));
        }
        return list;
    }
    if (name == kData && value->is_string()) {
        const auto decoded = QByteArray::fromBase64Encoding(
            QByteArray::fromStdString(value->get<std::string>()), QByteArray::AbortOnBase64DecodingErrors);
        if (!decoded)
            return std::nullopt;
        return *decoded;
    }
    return std::nullopt;
}

} // namespace

struct DefaultsFileStore::Entries {
    json document = json::object();
};

QString DefaultsFileStore::corruptBackupFileName(const QDateTime& when) {
    QString stamp = IsoDate::format(when);
    stamp.replace(u':', u'-');
    return QStringLiteral("defaults.corrupt-") + stamp + QStringLiteral(".json");
}

QString DefaultsFileStore::standardPath() {
    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(config).filePath(QStringLiteral("Pemmo/") + fileName());
}

DefaultsFileStore::DefaultsFileStore(QString path, Clock clock, Access access)
    : m_path(std::move(path))
    , m_clock(std::move(clock))
    , m_access(access)
    , m_entries(std::make_unique<Entries>()) {
    load();
}

DefaultsFileStore::~DefaultsFileStore() = default;

std::unique_ptr<DefaultsFileStore> DefaultsFileStore::reader(QString path) {
    return std::make_unique<DefaultsFileStore>(std::move(path), systemClock(), Access::Reader);
}

std::optional<StoredValue> DefaultsFileStore::object(const QString& key) const {
    const QMutexLocker locker(&m_lock);
    const json& document = m_entries->document;
    const auto found = document.find(utf8(key));
    if (found == document.end())
        return std::nullopt;
    return decode(*found);
}

void DefaultsFileStore::set(std::optional<StoredValue> value, const QString& key) {
    const QMutexLocker locker(&m_lock);
    json& document = m_entries->document;
    if (value)
        document[utf8(key)] = encode(*value);
    else
        document.erase(utf8(key));
    if (m_access == Access::Owner)
        save();
}

std::optional<QString> DefaultsFileStore::lastError() const {
    const QMutexLocker locker(&m_lock);
    return m_lastError;
}

void DefaultsFileStore::load() {
    if (!QFileInfo::exists(m_path))
        return; // a first start: every preference has its default
    QByteArray bytes;
    try {
        bytes = AtomicFile::read(m_path);
    } catch (const FileError& error) {
        // Left where it is: a file we cannot read is not known to be damaged.
        m_lastError = error.description();
        qCCritical(lcSettings, "Failed to read %s: %s; starting with the default settings",
                   qUtf8Printable(m_path), qUtf8Printable(error.description()));
        return;
    }
    json document = json::parse(bytes.constData(), bytes.constData() + bytes.size(), nullptr, false);
    if (document.is_object()) {
        m_entries->document = std::move(document);
        return;
    }
    if (m_access == Access::Reader) {
        // Setting it aside is the owner's to do, at the application's next start.
        m_lastError = QStringLiteral("The settings file could not be read; the defaults apply.");
        qCWarning(lcSettings, "Failed to decode %s; reading the default settings", qUtf8Printable(m_path));
        return;
    }
    const QString backup = QFileInfo(m_path).dir().filePath(corruptBackupFileName(m_clock()));
    if (QFile::rename(m_path, backup)) {
        m_lastError = QStringLiteral("The settings file could not be read; it was set aside as ") +
                      QFileInfo(backup).fileName() + QStringLiteral(".");
        qCCritical(lcSettings,
                   "Failed to decode %s; set it aside as %s and starting with the default settings",
                   qUtf8Printable(m_path), qUtf8Printable(backup));
    } else {
        m_lastError = QStringLiteral("The settings file could not be read or set aside.");
        qCCritical(lcSettings,
                   "Failed to decode %s and to set it aside as %s; starting with the default settings",
                   qUtf8Printable(m_path), qUtf8Printable(backup));
    }
}

void DefaultsFileStore::save() {
    try {
        AtomicFile::ensureDirectory(QFileInfo(m_path).absolutePath());
        AtomicFile::write(m_path, m_entries->document.dump(2) + '\n');
        m_lastError.reset();
    } catch (const FileError& error) {
        // The value stays in memory, so the running application keeps it until it quits.
        m_lastError = error.description();
        qCCritical(lcSettings, "Failed to write %s: %s", qUtf8Printable(m_path),
                   qUtf8Printable(error.description()));
    }
}

} // namespace pemmo
