#include "Screens/ProfileAction.h"

#include <array>
#include <utility>

namespace pemmo {
namespace {

constexpr std::array<std::pair<ProfileAction::Kind, const char16_t*>, 24> kNames{{
    {ProfileAction::Kind::Link, u"link"},
    {ProfileAction::Kind::EditLink, u"editLink"},
    {ProfileAction::Kind::DeleteLink, u"deleteLink"},
    {ProfileAction::Kind::EditMemory, u"editMemory"},
    {ProfileAction::Kind::DeleteMemory, u"deleteMemory"},
    {ProfileAction::Kind::Revert, u"revert"},
    {ProfileAction::Kind::RemoveTag, u"removeTag"},
    {ProfileAction::Kind::Back, u"back"},
    {ProfileAction::Kind::ToggleStar, u"toggleStar"},
    {ProfileAction::Kind::Message, u"message"},
    {ProfileAction::Kind::Call, u"call"},
    {ProfileAction::Kind::Mail, u"mail"},
    {ProfileAction::Kind::Gmail, u"gmail"},
    {ProfileAction::Kind::FindMy, u"findMy"},
    {ProfileAction::Kind::Draft, u"draft"},
    {ProfileAction::Kind::GenerateBriefing, u"generateBriefing"},
    {ProfileAction::Kind::ChangeAIProvider, u"changeAIProvider"},
    {ProfileAction::Kind::AddLink, u"addLink"},
    {ProfileAction::Kind::EditDetails, u"editDetails"},
    {ProfileAction::Kind::LogInteraction, u"logInteraction"},
    {ProfileAction::Kind::ToggleTimeline, u"toggleTimeline"},
    {ProfileAction::Kind::AddTag, u"addTag"},
    {ProfileAction::Kind::Capture, u"capture"},
    {ProfileAction::Kind::UseContactsPhoto, u"useContactsPhoto"},
}};

} // namespace

QString ProfileAction::kindName(Kind kind) {
    for (const auto& [k, name] : kNames) {
        if (k == kind)
            return QString::fromUtf16(name);
    }
    return {};
}

std::optional<ProfileAction::Kind> ProfileAction::kindFromName(QStringView name) {
    for (const auto& [k, text] : kNames) {
        if (name == QStringView(text))
            return k;
    }
    return std::nullopt;
}

bool ProfileAction::hasPayload(Kind kind) {
    return int(kind) <= int(Kind::RemoveTag);
}

} // namespace pemmo
