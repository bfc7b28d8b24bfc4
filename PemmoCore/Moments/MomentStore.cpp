#include "Moments/MomentStore.h"

#include "Support/AtomicFile.h"
#include "Support/DecodingError.h"
#include "Support/FileError.h"
#include "Support/IsoDate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <cmath>
#include <nlohmann/json.hpp>

namespace pemmo {
namespace {

Q_LOGGING_CATEGORY(lcMoments, "com.dorvane.Pemmo.moments", QtInfoMsg)

using Json = nlohmann::ordered_json;

// 2001-01-01 00:00:00 UTC in seconds since 1970.
constexpr qint64 kReferenceEpoch = 978'307'200;

std::string utf8(const QString& text) {
    return text.toStdString();
}

Json stringArray(const QStringList& values) {
    Json array = Json::array();
    for (const QString& value : values)
        array.push_back(utf8(value));
    return array;
}

// Whole seconds are written as whole numbers, as the reference encoder writes them.
Json instant(const QDateTime& date) {
    const double seconds = MomentStore::referenceSeconds(date);
    if (seconds == std::floor(seconds) && std::fabs(seconds) < 9.0e15)
        return static_cast<std::int64_t>(seconds);
    return seconds;
}

Json candidateJson(const MomentCandidate& c) {
    Json object = Json::object();
    object["id"] = utf8(c.id);
    object["aliases"] = stringArray(c.sortedAliases());
    object["calendarID"] = utf8(c.calendarID);
    object["profileID"] = utf8(c.profileID);
    object["eventTitle"] = utf8(c.eventTitle);
    object["startDate"] = instant(c.startDate);
    object["endDate"] = instant(c.endDate);
    object["createdAt"] = instant(c.createdAt);
    object["expiresAt"] = instant(c.expiresAt);
    if (c.seriesHash)
        object["seriesHash"] = utf8(*c.seriesHash);
    object["seriesAliases"] = stringArray(c.sortedSeriesAliases());
    object["status"] = utf8(MomentStatuses::rawValue(c.status));
    return object;
}

// ---- decoding ----------------------------------------------------------------------------------

[[noreturn]] void fail(DecodingError::Kind kind, const QString& path, const QString& why) {
    throw DecodingError(kind, path, why);
}

QString joined(const QString& path, const QString& key) {
    return path.isEmpty() ? key : path + u'.' + key;
}

const nlohmann::json& member(const nlohmann::json& object, const char* key, const QString& path) {
    const auto found = object.find(key);
    if (found == object.end())
        fail(DecodingError::Kind::KeyNotFound, joined(path, QString::fromLatin1(key)),
             QStringLiteral("missing"));
    return *found;
}

QString text(const nlohmann::json& value, const QString& path) {
    if (!value.is_string())
        fail(DecodingError::Kind::TypeMismatch, path, QStringLiteral("expected a string"));
    return QString::fromStdString(value.get<std::string>());
}

QDateTime date(const nlohmann::json& value, const QString& path) {
    if (!value.is_number())
        fail(DecodingError::Kind::TypeMismatch, path, QStringLiteral("expected a number"));
    const double seconds = value.get<double>();
    if (!std::isfinite(seconds) || std::fabs(seconds) > 1.0e12)
        fail(DecodingError::Kind::DataCorrupted, path, QStringLiteral("not a date"));
    return MomentStore::fromReferenceSeconds(seconds);
}

QSet<QString> textSet(const nlohmann::json& value, const QString& path) {
    if (!value.is_array())
        fail(DecodingError::Kind::TypeMismatch, path, QStringLiteral("expected an array"));
    QSet<QString> set;
    for (std::size_t i = 0; i < value.size(); ++i)
        set.insert(text(value[i], joined(path, QString::number(i))));
    return set;
}

MomentStatus status(const nlohmann::json& value, const QString& path) {
    const std::optional<MomentStatus> parsed = MomentStatuses::fromRawValue(text(value, path));
    if (!parsed)
        fail(DecodingError::Kind::DataCorrupted, path, QStringLiteral("not a Moment status"));
    return *parsed;
}

MomentCandidate candidate(const nlohmann::json& value, const QString& path) {
    if (!value.is_object())
        fail(DecodingError::Kind::TypeMismatch, path, QStringLiteral("expected an object"));
    MomentCandidate c;
    c.id = text(member(value, "id", path), joined(path, u"id"_qs));
    c.aliases = textSet(member(value, "aliases", path), joined(path, u"aliases"_qs));
    c.calendarID = text(member(value, "calendarID", path), joined(path, u"calendarID"_qs));
    c.profileID = text(member(value, "profileID", path), joined(path, u"profileID"_qs));
    c.eventTitle = text(member(value, "eventTitle", path), joined(path, u"eventTitle"_qs));
    c.startDate = date(member(value, "startDate", path), joined(path, u"startDate"_qs));
    c.endDate = date(member(value, "endDate", path), joined(path, u"endDate"_qs));
    c.createdAt = date(member(value, "createdAt", path), joined(path, u"createdAt"_qs));
    c.expiresAt = date(member(value, "expiresAt", path), joined(path, u"expiresAt"_qs));
    const auto series = value.find("seriesHash");
    if (series != value.end() && !series->is_null())
        c.seriesHash = text(*series, joined(path, u"seriesHash"_qs));
    c.seriesAliases = textSet(member(value, "seriesAliases", path), joined(path, u"seriesAliases"_qs));
    c.status = status(member(value, "status", path), joined(path, u"status"_qs));
    return c;
}

} // namespace

QString MomentStore::corruptBackupFileName(const QDateTime& when) {
    QString stamp = IsoDate::format(when);
    stamp.replace(u':', u'-');
    return QStringLiteral("calendar-moments.corrupt-") + stamp + QStringLiteral(".json");
}

double MomentStore::referenceSeconds(const QDateTime& instant) {
    return static_cast<double>(instant.toMSecsSinceEpoch() - kReferenceEpoch * 1000) / 1000.0;
}

QDateTime MomentStore::fromReferenceSeconds(double seconds) {
    return QDateTime::fromMSecsSinceEpoch(std::llround(seconds * 1000.0) + kReferenceEpoch * 1000, Qt::UTC);
}

QByteArray MomentStore::encode(const State& state) {
    Json pending = Json::array();
    for (const MomentCandidate& c : state.pending)
        pending.push_back(candidateJson(c));
    // Sorted, so that the same state always gives the same bytes.
    QStringList hashes = state.suppressed.keys();
    std::sort(hashes.begin(), hashes.end());
    Json suppressed = Json::object();
    for (const QString& hash : hashes)
        suppressed[utf8(hash)] = utf8(MomentStatuses::rawValue(state.suppressed.value(hash)));
    Json excluded = Json::array();
    for (const QSet<QString>& series : state.excludedSeries) {
        QStringList aliases(series.cbegin(), series.cend());
        std::sort(aliases.begin(), aliases.end());
        excluded.push_back(stringArray(aliases));
    }
    Json document = Json::object();
    document["pending"] = std::move(pending);
    document["suppressed"] = std::move(suppressed);
    document["excludedSeries"] = std::move(excluded);
    return QByteArray::fromStdString(document.dump());
}

MomentStore::State MomentStore::decode(const QByteArray& bytes) {
    const nlohmann::json document =
        nlohmann::json::parse(bytes.constData(), bytes.constData() + bytes.size(), nullptr, false);
    if (document.is_discarded())
        fail(DecodingError::Kind::DataCorrupted, {}, QStringLiteral("not JSON"));
    if (!document.is_object())
        fail(DecodingError::Kind::TypeMismatch, {}, QStringLiteral("expected an object"));
    State state;
    const nlohmann::json& pending = member(document, "pending", {});
    if (!pending.is_array())
        fail(DecodingError::Kind::TypeMismatch, u"pending"_qs, QStringLiteral("expected an array"));
    for (std::size_t i = 0; i < pending.size(); ++i)
        state.pending.append(candidate(pending[i], u"pending."_qs + QString::number(i)));
    const nlohmann::json& suppressed = member(document, "suppressed", {});
    if (!suppressed.is_object())
        fail(DecodingError::Kind::TypeMismatch, u"suppressed"_qs, QStringLiteral("expected an object"));
    for (auto it = suppressed.begin(); it != suppressed.end(); ++it) {
        const QString hash = QString::fromStdString(it.key());
        state.suppressed.insert(hash, status(it.value(), u"suppressed."_qs + hash));
    }
    const nlohmann::json& excluded = member(document, "excludedSeries", {});
    if (!excluded.is_array())
        fail(DecodingError::Kind::TypeMismatch, u"excludedSeries"_qs, QStringLiteral("expected an array"));
    for (std::size_t i = 0; i < excluded.size(); ++i)
        state.excludedSeries.append(textSet(excluded[i], u"excludedSeries."_qs + QString::number(i)));
    return state;
}

MomentStore::MomentStore(std::optional<QString> filePath, Clock clock, Access access)
    : m_filePath(std::move(filePath))
    , m_clock(std::move(clock))
    , m_access(access) {}

void MomentStore::load() {
    if (m_loaded)
        return;
    if (!m_filePath || !QFileInfo::exists(*m_filePath)) {
        m_state = {};
        m_loaded = true;
        m_fileMatchesState = false;
        return;
    }
    const QByteArray bytes = AtomicFile::read(*m_filePath);
    try {
        m_state = decode(bytes);
    } catch (const DecodingError& error) {
        if (m_access == Access::Reader) {
            // Not ours to move: read as empty, and let the owner deal with the file.
            m_state = {};
            m_loaded = true;
            m_fileMatchesState = false;
            return;
        }
        // Set aside, never deleted: the next attempt starts empty and writes a new file.
        const QString backup = QFileInfo(*m_filePath).dir().filePath(corruptBackupFileName(m_clock()));
        if (QFile::rename(*m_filePath, backup))
            qCCritical(lcMoments, "Could not decode %s (%s); moved it to %s", qUtf8Printable(*m_filePath),
                       error.what(), qUtf8Printable(backup));
        else
            qCCritical(lcMoments, "Could not decode %s (%s) nor move it aside to %s",
                       qUtf8Printable(*m_filePath), error.what(), qUtf8Printable(backup));
        throw;
    }
    m_loaded = true;
    m_fileMatchesState = true;
}

void MomentStore::update(const Mutation& mutation) {
    load();
    State next = m_state;
    mutation(next);
    if (next == m_state && (m_fileMatchesState || !m_filePath))
        return;
    write(next);
    m_state = std::move(next);
}

void MomentStore::write(const State& state) {
    if (!m_filePath || m_access == Access::Reader) {
        m_fileMatchesState = false;
        return;
    }
    AtomicFile::ensureDirectory(QFileInfo(*m_filePath).absolutePath());
    AtomicFile::write(*m_filePath, encode(state));
    ++m_writeCount;
    m_fileMatchesState = true;
}

void MomentStore::reconcile(const QList<MomentCandidate>& discovered, const QSet<QString>& committed) {
    update([&](State& state) { reconcile(state, discovered, committed); });
}

// For each discovery, in order: it takes over the id and first-seen time of a pending Moment of
// the same event; an event already on a timeline is saved; a decision recorded for any of its
// hashes (the strongest, when several) is recorded for all of them; then it is offered unless
// decided or its series is excluded. What is not discovered again is no longer offered.
void MomentStore::reconcile(State& state, const QList<MomentCandidate>& discovered,
                            const QSet<QString>& committed) {
    const QList<MomentCandidate> previous = state.pending;
    QList<MomentCandidate> pending;
    for (MomentCandidate d : discovered) {
        for (const MomentCandidate& p : previous) {
            if (!p.aliases.intersects(d.aliases))
                continue;
            d.id = p.id;
            d.createdAt = p.createdAt;
            d.aliases.unite(p.aliases);
            break;
        }
        if (d.aliases.intersects(committed)) {
            for (const QString& alias : std::as_const(d.aliases))
                state.suppressed.insert(alias, MomentStatus::Saved);
        }
        std::optional<MomentStatus> decided;
        for (const QString& alias : std::as_const(d.aliases)) {
            const auto found = state.suppressed.constFind(alias);
            if (found != state.suppressed.cend())
                decided = decided ? MomentStatuses::strongest(*decided, *found) : *found;
        }
        if (decided) {
            for (const QString& alias : std::as_const(d.aliases))
                state.suppressed.insert(alias, *decided);
            continue;
        }
        const bool excluded =
            std::any_of(state.excludedSeries.cbegin(), state.excludedSeries.cend(),
                        [&d](const QSet<QString>& series) { return series.intersects(d.seriesAliases); });
        if (excluded)
            continue;
        pending.append(std::move(d));
    }
    state.pending = std::move(pending);
}

void MomentStore::clearExcludedSeries() {
    update([](State& state) { state.excludedSeries.clear(); });
}

void MomentStore::reset() {
    if (m_filePath && m_access == Access::Owner && QFileInfo::exists(*m_filePath)) {
        QFile file(*m_filePath);
        if (!file.remove())
            throw FileError(u"Could not remove \u201C"_qs + *m_filePath + u"\u201D: "_qs +
                            file.errorString());
    }
    m_state = {};
    m_loaded = true;
    m_fileMatchesState = false;
}

} // namespace pemmo
