#include "AI/ProposalItem.h"

#include <array>

namespace pemmo {
namespace {

constexpr std::array kLabels{
    u"Company",      u"Job title",       u"Team",           u"Work location",      u"School",
    u"Major",        u"Graduation year", u"How we met",     u"Mutual connections", u"Hometown",
    u"Current city", u"Email",           u"Message handle", u"Location link",      u"Gmail template"};

template <class... F> struct Visitor : F... { using F::operator()...; };
template <class... F> Visitor(F...) -> Visitor<F...>;

} // namespace

QString fieldLabel(WritableField field) {
    return QString::fromUtf16(kLabels[static_cast<std::size_t>(field)]);
}

QString ProposalItem::id() const {
    return std::visit<QString>(
        Visitor{
            [](const SetField& c) -> QString {
                return QStringLiteral("field:") + WritableFields::name(c.field);
            },
            [](const AddTag& c) -> QString { return QStringLiteral("tag+") + c.name; },
            [](const RemoveTag& c) -> QString { return QStringLiteral("tag-") + c.name; },
            [](const AddLink& c) -> QString { return QStringLiteral("link:") + c.link.url; },
            [](const AddInteraction& c) -> QString {
                return QStringLiteral("interaction:") +
                       c.interaction.id.toString(QUuid::WithoutBraces).toUpper();
            },
            [](const AppendAbout&) -> QString { return QStringLiteral("about"); },
        },
        change);
}

QString ProposalItem::title() const {
    return std::visit<QString>(
        Visitor{
            [](const SetField& c) -> QString { return fieldLabel(c.field); },
            [](const AddTag& c) -> QString { return u"Add to circle \u00AB"_qs + c.name + u"\u00BB"_qs; },
            [](const RemoveTag& c) -> QString {
                return u"Remove from circle \u00AB"_qs + c.name + u"\u00BB"_qs;
            },
            [](const AddLink& c) -> QString { return QStringLiteral("Add link: ") + c.link.title; },
            [](const AddInteraction&) -> QString { return QStringLiteral("Log interaction"); },
            [](const AppendAbout&) -> QString { return QStringLiteral("Append to notes"); },
        },
        change);
}

} // namespace pemmo
