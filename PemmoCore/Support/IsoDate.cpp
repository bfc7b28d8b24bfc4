#include "Support/IsoDate.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace pemmo::IsoDate {
namespace {

// Days since 1970-01-01 for a proleptic Gregorian date, and back (Howard Hinnant's algorithms).
// Hand-written because the store codes hundreds of thousands of dates per write and the general
// QDateTime formatter and parser cost microseconds each.
constexpr std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct Civil {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

constexpr Civil civilFromDays(std::int64_t z) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2), m, d};
}

constexpr bool isLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

constexpr unsigned daysInMonth(std::int64_t y, unsigned m) {
    constexpr std::array<unsigned, 12> days{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeap(y) ? 29 : days[m - 1];
}

// The instants the format can write: 0000-01-01T00:00:00Z to 9999-12-31T23:59:59Z.
constexpr std::int64_t kFirstSecond = daysFromCivil(0, 1, 1) * 86400;
constexpr std::int64_t kLastSecond = daysFromCivil(9999, 12, 31) * 86400 + 86399;

bool digits(std::string_view s, std::size_t pos, std::size_t count, int& value) {
    if (pos + count > s.size())
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        const char c = s[i];
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

void put2(char* p, unsigned v) {
    p[0] = static_cast<char>('0' + v / 10);
    p[1] = static_cast<char>('0' + v % 10);
}

} // namespace

void appendTo(std::string& out, const QDateTime& date) {
    // The format has four-digit years. An instant outside them is written as the nearest one
    // inside: a date no text can hold would otherwise make the whole file unreadable.
    const std::int64_t secs = std::clamp<std::int64_t>(date.toSecsSinceEpoch(), kFirstSecond, kLastSecond);
    std::int64_t days = secs / 86400;
    std::int64_t rem = secs % 86400;
    if (rem < 0) {
        rem += 86400;
        --days;
    }
    const Civil c = civilFromDays(days);
    char buf[20];
    const auto y = static_cast<unsigned>(c.year);
    put2(buf, y / 100);
    put2(buf + 2, y % 100);
    buf[4] = '-';
    put2(buf + 5, c.month);
    buf[7] = '-';
    put2(buf + 8, c.day);
    buf[10] = 'T';
    put2(buf + 11, static_cast<unsigned>(rem / 3600));
    buf[13] = ':';
    put2(buf + 14, static_cast<unsigned>(rem % 3600 / 60));
    buf[16] = ':';
    put2(buf + 17, static_cast<unsigned>(rem % 60));
    buf[19] = 'Z';
    out.append(buf, sizeof buf);
}

QString format(const QDateTime& date) {
    std::string s;
    appendTo(s, date);
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

std::optional<QDateTime> parse(std::string_view s) {
    int year, month, day, hour, minute, second;
    if (!digits(s, 0, 4, year) || s.size() < 20 || s[4] != '-' || !digits(s, 5, 2, month) || s[7] != '-' ||
        !digits(s, 8, 2, day) || (s[10] != 'T' && s[10] != 't') || !digits(s, 11, 2, hour) || s[13] != ':' ||
        !digits(s, 14, 2, minute) || s[16] != ':' || !digits(s, 17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || static_cast<unsigned>(day) > daysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return std::nullopt;

    std::size_t pos = 19;
    if (s[pos] == '.' || s[pos] == ',') {
        ++pos;
        const std::size_t start = pos;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9')
            ++pos;
        if (pos == start)
            return std::nullopt;
    }
    if (pos >= s.size())
        return std::nullopt;

    int offsetSeconds = 0;
    const char zone = s[pos];
    if (zone == 'Z' || zone == 'z') {
        ++pos;
    } else if (zone == '+' || zone == '-') {
        int oh, om;
        if (!digits(s, pos + 1, 2, oh))
            return std::nullopt;
        std::size_t after = pos + 3;
        if (after < s.size() && s[after] == ':')
            ++after;
        if (!digits(s, after, 2, om) || oh > 23 || om > 59)
            return std::nullopt;
        offsetSeconds = (oh * 3600 + om * 60) * (zone == '-' ? -1 : 1);
        pos = after + 2;
    } else {
        return std::nullopt;
    }
    if (pos != s.size())
        return std::nullopt;

    const std::int64_t secs =
        daysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second - offsetSeconds;
    // An offset can carry year 0000 or 9999 over the edge; such an instant could not be written
    // back, so it is not a date of ours.
    if (secs < kFirstSecond || secs > kLastSecond)
        return std::nullopt;
    return QDateTime::fromSecsSinceEpoch(secs, Qt::UTC);
}

std::optional<QDateTime> parse(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return parse(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

} // namespace pemmo::IsoDate
