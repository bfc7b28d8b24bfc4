#include "Shell/Route.h"

#include "Moments/MomentCandidate.h"

namespace pemmo {

Route Route::profile(const QString& contactID) {
    Route r(Kind::Profile);
    r.m_contactID = contactID;
    return r;
}

Route Route::contactFormCreate() {
    Route r(Kind::ContactForm);
    r.m_formMode = ContactFormMode::Create;
    return r;
}

Route Route::contactFormEdit(const QString& contactID) {
    Route r(Kind::ContactForm);
    r.m_formMode = ContactFormMode::Edit;
    r.m_contactID = contactID;
    return r;
}

Route Route::quickLinkForm(const QString& contactID, std::optional<QUuid> linkID) {
    Route r(Kind::QuickLinkForm);
    r.m_contactID = contactID;
    r.m_itemID = linkID;
    return r;
}

Route Route::logInteraction(const QString& contactID) {
    Route r(Kind::LogInteraction);
    r.m_contactID = contactID;
    return r;
}

Route Route::capture(std::optional<QString> text, std::optional<QString> contactID) {
    Route r(Kind::Capture);
    r.m_text = std::move(text);
    r.m_contactID = std::move(contactID);
    return r;
}

Route Route::enrich(const QString& contactID) {
    Route r(Kind::Enrich);
    r.m_contactID = contactID;
    return r;
}

Route Route::review(std::shared_ptr<const Proposal> proposal, std::optional<QString> suggestedName) {
    Route r(Kind::Review);
    r.m_proposal = std::move(proposal);
    r.m_text = std::move(suggestedName);
    return r;
}

Route Route::momentCapture(std::shared_ptr<const MomentCandidate> moment) {
    Route r(Kind::MomentCapture);
    // The screen is about the Moment's person, so it leaves the stack with them.
    if (moment)
        r.m_contactID = moment->profileID;
    r.m_moment = std::move(moment);
    return r;
}

Route Route::editInteraction(const QString& contactID, const QUuid& entryID) {
    Route r(Kind::EditInteraction);
    r.m_contactID = contactID;
    r.m_itemID = entryID;
    return r;
}

bool Route::operator==(const Route& other) const {
    return m_kind == other.m_kind && m_contactID == other.m_contactID && m_itemID == other.m_itemID &&
           m_text == other.m_text && m_formMode == other.m_formMode && m_proposal == other.m_proposal &&
           m_moment == other.m_moment;
}

QString Route::kindName(Kind kind) {
    switch (kind) {
    case Kind::Profile:
        return QStringLiteral("profile");
    case Kind::ContactForm:
        return QStringLiteral("contactForm");
    case Kind::QuickLinkForm:
        return QStringLiteral("quickLinkForm");
    case Kind::LogInteraction:
        return QStringLiteral("logInteraction");
    case Kind::Capture:
        return QStringLiteral("capture");
    case Kind::Enrich:
        return QStringLiteral("enrich");
    case Kind::Review:
        return QStringLiteral("review");
    case Kind::MomentCapture:
        return QStringLiteral("momentCapture");
    case Kind::EditInteraction:
        return QStringLiteral("editInteraction");
    case Kind::Search:
        return QStringLiteral("search");
    case Kind::ManageTags:
        return QStringLiteral("manageTags");
    case Kind::Diagnostics:
        return QStringLiteral("diagnostics");
    }
    return {};
}

} // namespace pemmo
