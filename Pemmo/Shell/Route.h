// The screens the panel can show. Only `search` and `profile` have screens so far; the other
// cases are named so that routes can be pushed by the code that will own them.
#pragma once

#include <QString>
#include <QVariantMap>

namespace pemmo {

struct Route {
    enum class Kind {
        Profile,
        ContactForm,
        QuickLinkForm,
        LogInteraction,
        Capture,
        Enrich,
        Review,
        MomentCapture,
        EditInteraction,
        Search,
        ManageTags,
        Diagnostics,
    };

    Kind kind = Kind::Search;
    // The contact the screen is about, for the routes that have one.
    QString contactID;

    static Route search() { return {Kind::Search, {}}; }
    static Route profile(const QString& id) { return {Kind::Profile, id}; }

    bool operator==(const Route&) const = default;

    // The case name in lower camel case ("profile", "search"), as QML matches on it.
    static QString kindName(Kind kind);
    // {"kind": name, "contactID": id} for QML.
    QVariantMap toVariant() const;
};

} // namespace pemmo
