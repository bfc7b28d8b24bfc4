#include "Records/WritableField.h"

#include <array>

namespace pemmo::WritableFields {
namespace {

constexpr std::array kNames{u"company",       u"jobTitle",  u"team",           u"workLocation",
                            u"school",        u"major",     u"graduationYear", u"howWeMet",
                            u"mutuals",       u"hometown",  u"currentCity",    u"email",
                            u"messageHandle", u"findMyURL", u"gmailTemplate"};

} // namespace

const QList<WritableField>& all() {
    static const QList<WritableField> fields = [] {
        QList<WritableField> list;
        for (std::size_t i = 0; i < kNames.size(); ++i)
            list.append(static_cast<WritableField>(i));
        return list;
    }();
    return fields;
}

QString name(WritableField field) {
    return QString::fromUtf16(kNames[static_cast<std::size_t>(field)]);
}

std::optional<WritableField> fromName(QStringView name) {
    for (std::size_t i = 0; i < kNames.size(); ++i) {
        if (name == QStringView(kNames[i]))
            return static_cast<WritableField>(i);
    }
    return std::nullopt;
}

std::optional<QString>& slot(PemmoRecord& record, WritableField field) {
    Details& d = record.details;
    switch (field) {
    case WritableField::Company:
        return d.company;
    case WritableField::JobTitle:
        return d.jobTitle;
    case WritableField::Team:
        return d.team;
    case WritableField::WorkLocation:
        return d.workLocation;
    case WritableField::School:
        return d.school;
    case WritableField::Major:
        return d.major;
    case WritableField::GraduationYear:
        return d.graduationYear;
    case WritableField::HowWeMet:
        return d.howWeMet;
    case WritableField::Mutuals:
        return d.mutuals;
    case WritableField::Hometown:
        return d.hometown;
    case WritableField::CurrentCity:
        return d.currentCity;
    case WritableField::Email:
        return d.email;
    case WritableField::MessageHandle:
        return record.messageHandle;
    case WritableField::FindMyURL:
        return record.findMyURL;
    case WritableField::GmailTemplate:
        return record.gmailTemplate;
    }
    Q_UNREACHABLE();
}

const std::optional<QString>& slot(const PemmoRecord& record, WritableField field) {
    return slot(const_cast<PemmoRecord&>(record), field);
}

} // namespace pemmo::WritableFields
