#include "Screens/ReviewViewModel.h"

#include "AI/AILabels.h"
#include "AI/AIService.h"
#include "AI/ProposalApplier.h"
#include "AI/ProposalBuilder.h"
#include "App/AppEnvironment.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/TextFolding.h"
#include "Shell/AppRouter.h"

#include <QLocale>
#include <QPointer>
#include <QSet>
#include <algorithm>

namespace pemmo {
namespace {

// What an item changes, under its title: the old and new value, the text, the address.
QString itemDetail(const ProposalItem& item) {
    if (const auto* set = item.as<ProposalItem::SetField>())
        return set->oldValue && !set->oldValue->trimmed().isEmpty()
                   ? QStringLiteral("%1 → %2").arg(set->oldValue->trimmed(), set->newValue)
                   : set->newValue;
    if (const auto* link = item.as<ProposalItem::AddLink>())
        return link->link.url;
    if (const auto* entry = item.as<ProposalItem::AddInteraction>()) {
        const QDate day = entry->interaction.date.toLocalTime().date();
        return QStringLiteral("%1 · %2 · %3")
            .arg(QLocale().toString(day, QStringLiteral("d MMM yyyy")), kindName(entry->interaction.kind),
                 entry->interaction.text);
    }
    if (const auto* about = item.as<ProposalItem::AppendAbout>())
        return about->text;
    return {};
}

} // namespace

ReviewViewModel::ReviewViewModel(AppEnvironment& environment, Proposal proposal, const QString& suggestedName,
                                 QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_proposal(std::move(proposal)) {
    if (needsPerson()) {
        m_personQuery = suggestedName.trimmed();
        updatePeople();
    }
}

QString ReviewViewModel::origin() const {
    const auto& model = m_proposal.source.model;
    return AILabels::origin(model, m_proposal.leftDevice);
}

QString ReviewViewModel::personName() const {
    if (!m_proposal.personID)
        return {};
    const auto profile = m_env.sync().profile(*m_proposal.personID);
    return profile ? profile->person->displayName() : QString();
}

QVariantList ReviewViewModel::itemsForView() const {
    QVariantList items;
    for (qsizetype i = 0; i < m_proposal.items.size(); ++i) {
        const ProposalItem& item = m_proposal.items[i];
        const bool checked = m_proposal.isSelected(item.id());
        const QString title = item.title();
        const QString detail = itemDetail(item);
        items.append(QVariantMap{
            {QStringLiteral("id"), item.id()},
            {QStringLiteral("title"), title},
            {QStringLiteral("detail"), detail},
            {QStringLiteral("checked"), checked},
            {QStringLiteral("selected"), i == m_selectedIndex},
            {QStringLiteral("accessibleName"),
             tr("%1, %2, %3").arg(title, detail, checked ? tr("checked") : tr("not checked"))},
        });
    }
    return items;
}

QVariantList ReviewViewModel::peopleForView() const {
    QVariantList people;
    for (qsizetype i = 0; i < m_people.size(); ++i) {
        const auto profile = m_env.sync().profile(m_people[i]);
        if (!profile)
            continue;
        people.append(QVariantMap{
            {QStringLiteral("id"), m_people[i]},
            {QStringLiteral("name"), profile->person->displayName()},
            {QStringLiteral("detail"), profile->headline().value_or(QString())},
            {QStringLiteral("selected"), i == m_selectedPerson},
        });
    }
    return people;
}

void ReviewViewModel::setPersonQuery(const QString& query) {
    if (m_personQuery == query)
        return;
    m_personQuery = query;
    updatePeople();
}

void ReviewViewModel::updatePeople() {
    // Names that start with what was typed come before names that only hold it.
    const QString wanted = TextFolding::fold(m_personQuery.trimmed());
    QList<std::pair<int, QString>> found;
    if (!wanted.isEmpty()) {
        for (const Profile& profile : m_env.sync().profiles()) {
            const QString name = TextFolding::fold(profile.person->displayName());
            const qsizetype at = name.indexOf(wanted);
            if (at < 0)
                continue;
            const bool wordStart = at == 0 || !name.at(at - 1).isLetterOrNumber();
            found.append({at == 0 ? 0 : (wordStart ? 1 : 2), profile.id()});
        }
    }
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    m_people.clear();
    for (const auto& match : std::as_const(found)) {
        if (m_people.size() >= peopleShown)
            break;
        m_people.append(match.second);
    }
    m_selectedPerson = 0;
    Q_EMIT peopleChanged();
}

void ReviewViewModel::toggle(int index) {
    if (index < 0 || index >= m_proposal.items.size())
        return;
    const QString id = m_proposal.items[index].id();
    m_proposal.setSelected(id, !m_proposal.isSelected(id));
    m_selectedIndex = index;
    Q_EMIT changed();
}

void ReviewViewModel::select(int index) {
    if (index < 0 || index >= m_proposal.items.size() || index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    Q_EMIT changed();
}

void ReviewViewModel::moveSelection(int delta) {
    if (needsPerson()) {
        if (m_people.isEmpty())
            return;
        m_selectedPerson = std::clamp(m_selectedPerson + delta, 0, int(m_people.size()) - 1);
        Q_EMIT peopleChanged();
        return;
    }
    if (!m_proposal.items.isEmpty())
        select(std::clamp(m_selectedIndex + delta, 0, int(m_proposal.items.size()) - 1));
}

void ReviewViewModel::pickPerson(const QString& contactID) {
    const auto profile = m_env.sync().profile(contactID);
    if (!profile)
        return;
    m_proposal = ProposalBuilder::forPerson(std::move(m_proposal), contactID, *profile->record);
    m_selectedIndex = 0;
    setError(QString());
    Q_EMIT changed();
}

void ReviewViewModel::setError(const QString& error) {
    if (m_error == error)
        return;
    m_error = error;
    Q_EMIT errorChanged();
}

QCoro::Task<void> ReviewViewModel::apply() {
    if (m_isApplying)
        co_return;
    if (!m_proposal.personID) {
        setError(tr("Choose who this was about first."));
        co_return;
    }
    AppEnvironment* env = &m_env;
    if (m_proposal.selectedItems().isEmpty()) {
        leave();
        env->router().showInfo(tr("Nothing was changed."));
        co_return;
    }
    QPointer<ReviewViewModel> self(this);
    const QList<ProposalItem> selected = m_proposal.selectedItems();
    const int count = int(selected.size());
    const QString name = personName();
    m_isApplying = true;
    Q_EMIT isApplyingChanged();
    try {
        auto applying = ProposalApplier::commit(env->sync(), m_proposal, env->clock());
        co_await applying;
        // The circles added get their catalogue entries now rather than at the next publish.
        QSet<QString> circles;
        for (const ProposalItem& item : selected) {
            if (const auto* add = item.as<ProposalItem::AddTag>())
                circles.insert(add->name);
        }
        env->tags().registerIDs(circles);
    } catch (...) {
        const QString message = AIService::errorMessage(std::current_exception());
        if (self) {
            m_isApplying = false;
            Q_EMIT isApplyingChanged();
            setError(message);
        }
        co_return;
    }
    if (self) {
        m_isApplying = false;
        Q_EMIT isApplyingChanged();
        leave();
    }
    env->router().showSuccess(count == 1 ? tr("Saved 1 change to %1's card.").arg(name)
                                         : tr("Saved %1 changes to %2's card.").arg(count).arg(name));
}

void ReviewViewModel::cancel() {
    m_env.router().pop();
}

void ReviewViewModel::leave() {
    AppRouter& router = m_env.router();
    router.pop();
    const Route::Kind below = router.topRoute().routeKind();
    if (below == Route::Kind::Capture || below == Route::Kind::Enrich)
        router.pop();
}

KeyResult ReviewViewModel::handleKey(const KeyEvent& event) {
    const bool returnKey = event.key == Qt::Key_Return || event.key == Qt::Key_Enter;
    if (event.isControlReturn()) {
        apply();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        cancel();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Up) || event.isPlain(Qt::Key_Down)) {
        moveSelection(event.key == Qt::Key_Down ? 1 : -1);
        return KeyResult::Handled;
    }
    if (needsPerson()) {
        if (returnKey && !event.hasControl()) {
            if (m_selectedPerson < m_people.size())
                pickPerson(m_people[m_selectedPerson]);
            return KeyResult::Handled;
        }
        return KeyResult::Pass; // typing goes to the person search
    }
    if (event.isPlain(Qt::Key_Space) || (returnKey && !event.hasControl())) {
        toggle(m_selectedIndex);
        return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

} // namespace pemmo
