#include "Records/EntryDay.h"

#include <QLocale>

namespace pemmo::EntryDay {

std::optional<QDate> parse(const QString& text, QDate today) {
    const QString trimmed = text.trimmed();
    if (trimmed.compare(u"today", Qt::CaseInsensitive) == 0)
        return today;
    if (trimmed.compare(u"yesterday", Qt::CaseInsensitive) == 0)
        return today.addDays(-1);
    if (const QDate iso = QDate::fromString(trimmed, Qt::ISODate); iso.isValid())
        return iso;
    // The locale's short form with the whole year: a two-digit year would be read as 19xx.
    QString shortForm = QLocale().dateFormat(QLocale::ShortFormat);
    if (!shortForm.contains(u"yyyy"))
        shortForm.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    if (const QDate local = QLocale().toDate(trimmed, shortForm); local.isValid())
        return local;
    return std::nullopt;
}

QString format(QDate day, QDate today) {
    if (day == today)
        return QStringLiteral("today");
    if (day == today.addDays(-1))
        return QStringLiteral("yesterday");
    return day.toString(Qt::ISODate);
}

QDateTime instant(QDate day, const QDateTime& now) {
    if (day == now.toLocalTime().date())
        return now;
    return QDateTime(day, QTime(12, 0), Qt::LocalTime).toUTC();
}

} // namespace pemmo::EntryDay
