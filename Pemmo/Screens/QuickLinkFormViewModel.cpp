#include "Screens/QuickLinkFormViewModel.h"

#include "App/AppEnvironment.h"
#include "Links/LinkRouter.h"
#include "Links/QuickLinkPolicy.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Shell/AppRouter.h"

#include <QPointer>

namespace pemmo {
QuickLinkFormViewModel::QuickLinkFormViewModel(AppEnvironment& environment, const QString& contactID,
                                               std::optional<QUuid> linkID, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_contactID(contactID) {
    const auto profile = environment.sync().profile(contactID);
    m_personName = profile ? profile->person->displayName() : QString();
    if (profile && linkID) {
        for (const QuickLink& link : profile->record->links) {
            if (link.id == *linkID) {
                m_original = link;
                const Fields fields = fieldsOf(link);
                m_url = fields.url;
                m_linkTitle = fields.title;
                m_kindIndex = fields.kindIndex;
                break;
            }
        }
    }
}

QuickLinkFormViewModel::Fields QuickLinkFormViewModel::fieldsOf(const QuickLink& link) {
    Fields fields;
    fields.url = link.url;
    // A title the user chose stays; the default one follows the address.
    if (link.title != LinkRouter::defaultTitle(link.kind, link.url))
        fields.title = link.title;
    if (link.kind != LinkRouter::kind(link.url))
        fields.kindIndex = int(link.kind) + 1;
    return fields;
}

QString QuickLinkFormViewModel::title() const {
    return isEditing() ? tr("Edit link") : tr("Add link");
}

QStringList QuickLinkFormViewModel::kindTitles() {
    return {tr("From the address"), QStringLiteral("Instagram"), QStringLiteral("LinkedIn"),
            QStringLiteral("X"), tr("Other link")};
}

void QuickLinkFormViewModel::setURL(const QString& url) {
    if (m_url == url)
        return;
    m_url = url;
    Q_EMIT urlChanged();
    setError(QString());
}

void QuickLinkFormViewModel::setLinkTitle(const QString& title) {
    if (m_linkTitle == title)
        return;
    m_linkTitle = title;
    Q_EMIT linkTitleChanged();
}

void QuickLinkFormViewModel::setKindIndex(int index) {
    if (index < Automatic || index > Custom || index == m_kindIndex)
        return;
    m_kindIndex = index;
    Q_EMIT kindIndexChanged();
    Q_EMIT urlChanged();
}

void QuickLinkFormViewModel::setError(const QString& error) {
    if (m_error == error)
        return;
    m_error = error;
    Q_EMIT errorChanged();
}

std::optional<QuickLink> QuickLinkFormViewModel::link() const {
    return makeLink({m_url, m_linkTitle, m_kindIndex}, m_original ? m_original->id : QUuid::createUuid());
}

std::optional<QuickLink> QuickLinkFormViewModel::makeLink(const Fields& fields, const QUuid& id) {
    const auto normalized = LinkRouter::normalizedURL(fields.url);
    if (!normalized)
        return std::nullopt;
    QuickLink link;
    link.id = id;
    switch (fields.kindIndex) {
    case Instagram:
        link.kind = QuickLink::Kind::Instagram;
        break;
    case LinkedIn:
        link.kind = QuickLink::Kind::LinkedIn;
        break;
    case X:
        link.kind = QuickLink::Kind::X;
        break;
    case Custom:
        link.kind = QuickLink::Kind::Custom;
        break;
    default:
        link.kind = LinkRouter::kind(*normalized);
        break;
    }
    link.url = *normalized;
    link.title = Text::isBlank(fields.title) ? LinkRouter::defaultTitle(link.kind, *normalized)
                                             : Text::trimmed(fields.title);
    return link;
}

QString QuickLinkFormViewModel::preview() const {
    const auto l = link();
    return l ? l->title : QString();
}

QCoro::Task<void> QuickLinkFormViewModel::save() {
    if (m_isSaving)
        co_return;
    const auto saved = link();
    if (!saved) {
        setError(PemmoError::invalidURL(m_url).message());
        co_return;
    }
    m_isSaving = true;
    Q_EMIT isSavingChanged();
    QPointer<QuickLinkFormViewModel> self(this);
    AppEnvironment* env = &m_env;
    const bool editing = isEditing();
    const QuickLink value = *saved;
    QString failure;
    try {
        auto saving = m_env.sync().updateRecord(m_contactID, [value, editing](PemmoRecord& record) {
            if (editing)
                record.links = QuickLinkPolicy::replace(value, record.links);
            else
                record.links = QuickLinkPolicy::upsert(value, record.links);
        });
        co_await saving;
    } catch (const PemmoError& error) {
        failure = error.message();
    }
    if (!self)
        co_return;
    m_isSaving = false;
    Q_EMIT isSavingChanged();
    if (!failure.isEmpty()) {
        setError(failure);
        co_return;
    }
    env->router().pop();
    env->router().showSuccess(editing ? tr("Saved the link.") : tr("Added %1.").arg(value.title));
}

void QuickLinkFormViewModel::cancel() {
    m_env.router().pop();
}

KeyResult QuickLinkFormViewModel::handleKey(const KeyEvent& event) {
    return handleFormKey(
        event, [this] { save(); }, [this] { cancel(); });
}

} // namespace pemmo
