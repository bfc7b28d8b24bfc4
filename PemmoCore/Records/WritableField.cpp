#include "Records/WritableField.h"

#include "Support/EnumTable.h"

namespace pemmo::WritableFields {
namespace {

constexpr auto kNames = enumTable<WritableField>({
    {WritableField::Company, "company"},
    {WritableField::JobTitle, "jobTitle"},
    {WritableField::Team, "team"},
    {WritableField::WorkLocation, "workLocation"},
    {WritableField::School, "school"},
    {WritableField::Major, "major"},
    {WritableField::GraduationYear, "graduationYear"},
    {WritableField::HowWeMet, "howWeMet"},
    {WritableField::Mutuals, "mutuals"},
    {WritableField::Hometown, "hometown"},
    {WritableField::CurrentCity, "currentCity"},
    {WritableField::Email, "email"},
    {WritableField::MessageHandle, "messageHandle"},
    {WritableField::FindMyURL, "findMyURL"},
    {WritableField::GmailTemplate, "gmailTemplate"},
});

} // namespace

const QList<WritableField>& all() {
    static const QList<WritableField> fields = [] {
        QList<WritableField> list;
        for (const WritableField field : kNames.values())
            list.append(field);
        return list;
    }();
    return fields;
}

QString name(WritableField field) {
    return kNames.name(field);
}

std::optional<WritableField> fromName(QStringView name) {
    return kNames.find(name);
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
