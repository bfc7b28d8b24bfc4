// The screens the panel can show, each with what it is about. The router keeps a stack of them;
// QML reads a route as the value type `route` to pick and set up the screen.
#pragma once

#include <QObject>
#include <QString>
#include <QUuid>
#include <QtQml/qqmlregistration.h>
#include <memory>
#include <optional>

namespace pemmo {

// The AI review and the Moment capture screens carry these; they are defined with those features.
struct Proposal;
struct MomentCandidate;

class Route {
    Q_GADGET
    QML_VALUE_TYPE(route)
    Q_PROPERTY(QString kind READ kindName CONSTANT)
    Q_PROPERTY(QString contactID READ contactIDText CONSTANT)
    Q_PROPERTY(QString itemID READ itemIDText CONSTANT)
    Q_PROPERTY(QString text READ textValue CONSTANT)
    Q_PROPERTY(bool createsContact READ createsContact CONSTANT)
    Q_PROPERTY(int key READ key CONSTANT)

public:
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

    // The contact form creates a contact or edits the one named by `contactID`.
    enum class ContactFormMode { Create, Edit };

    Route() = default;

    static Route search() { return Route(Kind::Search); }
    static Route profile(const QString& contactID);
    static Route contactFormCreate();
    static Route contactFormEdit(const QString& contactID);
    static Route quickLinkForm(const QString& contactID, std::optional<QUuid> linkID = std::nullopt);
    static Route logInteraction(const QString& contactID);
    static Route capture(std::optional<QString> text, std::optional<QString> contactID);
    static Route enrich(const QString& contactID);
    // `suggestedName`: the name the captured note gave, for finding the person it was about.
    static Route review(std::shared_ptr<const Proposal> proposal,
                        std::optional<QString> suggestedName = std::nullopt);
    static Route momentCapture(std::shared_ptr<const MomentCandidate> moment);
    static Route editInteraction(const QString& contactID, const QUuid& entryID);
    // Manage circles, optionally with one circle selected (its id is the route's text).
    static Route manageTags(std::optional<QString> selectedTagID = std::nullopt) {
        Route r(Kind::ManageTags);
        r.m_text = std::move(selectedTagID);
        return r;
    }
    static Route diagnostics() { return Route(Kind::Diagnostics); }

    Kind routeKind() const { return m_kind; }
    // The contact the screen is about, when there is one.
    const std::optional<QString>& contactID() const { return m_contactID; }
    // The link of the quick-link form, the entry of the entry editor.
    const std::optional<QUuid>& itemID() const { return m_itemID; }
    // The text quick capture starts with; the name a reviewed note gave.
    const std::optional<QString>& text() const { return m_text; }
    ContactFormMode contactFormMode() const { return m_formMode; }
    const std::shared_ptr<const Proposal>& proposal() const { return m_proposal; }
    const std::shared_ptr<const MomentCandidate>& moment() const { return m_moment; }

    // A number the router gives each pushed route, so that QML tells two equal routes apart.
    int key() const { return m_key; }
    void setKey(int key) { m_key = key; }

    // Equal kinds and payloads; the key is not compared.
    bool operator==(const Route& other) const;

    // The case name in lower camel case ("profile", "contactForm"), as QML matches on it.
    static QString kindName(Kind kind);
    QString kindName() const { return kindName(m_kind); }
    QString contactIDText() const { return m_contactID.value_or(QString()); }
    QString itemIDText() const { return m_itemID ? m_itemID->toString(QUuid::WithoutBraces) : QString(); }
    QString textValue() const { return m_text.value_or(QString()); }
    bool createsContact() const {
        return m_kind == Kind::ContactForm && m_formMode == ContactFormMode::Create;
    }

private:
    explicit Route(Kind kind)
        : m_kind(kind) {}

    Kind m_kind = Kind::Search;
    std::optional<QString> m_contactID;
    std::optional<QUuid> m_itemID;
    std::optional<QString> m_text;
    ContactFormMode m_formMode = ContactFormMode::Create;
    std::shared_ptr<const Proposal> m_proposal;
    std::shared_ptr<const MomentCandidate> m_moment;
    int m_key = 0;
};

} // namespace pemmo
