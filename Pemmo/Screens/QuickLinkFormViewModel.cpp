#include "Screens/QuickLinkFormViewModel.h"

#include "App/AppEnvironment.h"
#include "Links/LinkRouter.h"
#include "Links/QuickLinkPolicy.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Shell/AppRouter.h"

#include <QPointer>
#include <algorithm>

namespace pemmo {
namespace {

// A link edited in place: it keeps its place, and a site link pushes out another link of its site.
void replaceLink(PemmoRecord& record, const QuickLink& link) {
    QList<QuickLink> links = record.links;
    const auto at =
        std::find_if(links.begin(), links.end(), [&](const QuickLink& l) { return l.id == link.id; });
    if (at == links.end()) {
        record.links = QuickLinkPolicy::upsert(link, links);
        return;
    }
    const bool wasCustom = at->kind == QuickLink::Kind::Custom;
    qsizetype position = at - links.begin();
    links.erase(at);
    if (link.kind != QuickLink::Kind::Custom) {
        for (qsizetype i = links.size() - 1; i >= 0; --i) {
            if (links[i].kind == link.kind) {
                links.removeAt(i);
                if (i < position)
                    --position;
            }
        }
    } else if (!wasCustom) {
        const auto custom = std::count_if(links.cbegin(), links.cend(), [](const QuickLink& l) {
            return l.kind == QuickLink::Kind::Custom;
        });
        if (custom >= QuickLinkPolicy::customLinkLimit)
            throw PemmoError::customLinkLimitReached(QuickLinkPolicy::customLinkLimit);
    }
    links.insert(std::min(position, links.size()), link);
    record.links = links;
}

} // namespace

QuickLinkFormViewModel::QuickLinkFormViewModel(AppEnvironment& environment, const QString& contactID,
                                               std::optional<QUuid> linkID, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_contactID(contactID) {
    const auto profile = environment.sync().profile(contactID);
    m_personName = profile ? profile->person.displayName() : QString();
    if (profile && linkID) {
        for (const QuickLink& link : profile->record.links) {
            if (link.id == *linkID) {
                m_original = link;
                m_url = link.url;
                // A title the user chose stays; the default one follows the address.
                if (link.title != LinkRouter::defaultTitle(link.kind, link.url))
                    m_linkTitle = link.title;
                if (link.kind != LinkRouter::kind(link.url))
                    m_kindIndex = int(link.kind) + 1;
                break;
            }
        }
    }
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
    const auto normalized = LinkRouter::normalizedURL(m_url);
    if (!normalized)
        return std::nullopt;
    QuickLink link;
    link.id = m_original ? m_original->id : QUuid::createUuid();
    switch (m_kindIndex) {
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
    link.title = Text::isBlank(m_linkTitle) ? LinkRouter::defaultTitle(link.kind, *normalized)
                                            : Text::trimmed(m_linkTitle);
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
                replaceLink(record, value);
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
