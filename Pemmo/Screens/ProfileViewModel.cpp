#include "Screens/ProfileViewModel.h"

#include "AI/AILabels.h"
#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "Links/DestinationOpener.h"
#include "Links/LinkRouter.h"
#include "Links/QuickLinkPolicy.h"
#include "Lists/StarredStore.h"
#include "Lists/Tag.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Profiles/RecordEdits.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Records/WritableField.h"
#include "Screens/OnboardingPractice.h"
#include "Screens/ProfileCard.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"
#include "Shell/PanelController.h"
#include "Shell/ShellLogging.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPointer>
#include <QThread>
#include <QUrl>
#include <algorithm>

namespace pemmo {

ProfileViewModel::ProfileViewModel(AppEnvironment& environment, const QString& contactID, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_contactID(contactID)
    , m_circles(new ProfileRowsModel(this))
    , m_rows(new ProfileRowsModel(this)) {
    connect(&environment, &AppEnvironment::changeCountChanged, this, &ProfileViewModel::onEnvironmentChanged);
    connect(&environment.settings(), &SettingsStore::aiEnabledChanged, this, [this] {
        rebuild();
        if (m_active)
            checkAvailability();
    });
    connect(&environment.settings(), &SettingsStore::aiProviderChanged, this, [this] {
        if (m_active)
            checkAvailability();
    });
    connect(&environment.settings(), &SettingsStore::primaryActionChanged, this, &ProfileViewModel::rebuild);
    reload();
    loadReplacementPhoto();
}

ProfileViewModel::~ProfileViewModel() = default;

// MARK: State

void ProfileViewModel::onEnvironmentChanged() {
    if (m_env.sync().photoVersion() != m_photoVersion)
        loadReplacementPhoto();
    if (m_active)
        reload();
    else
        m_stale = true;
}

void ProfileViewModel::setActive(bool active) {
    if (m_active == active)
        return;
    m_active = active;
    if (active && (m_stale || m_seenChangeCount != m_env.changeCount()))
        reload();
    if (active)
        checkAvailability();
    else if (!m_draft.isEmpty()) {
        m_draft.clear(); // a draft is for the moment it was asked for
        rebuild();
    }
    Q_EMIT activeChanged();
}

void ProfileViewModel::reload() {
    m_stale = false;
    m_seenChangeCount = m_env.changeCount();
    m_profile = m_env.sync().profile(m_contactID);
    rebuild();
}

QCoro::Task<void> ProfileViewModel::loadReplacementPhoto() {
    QPointer<ProfileViewModel> self(this);
    const int version = m_env.sync().photoVersion();
    m_photoVersion = version;
    auto task = m_env.sync().replacementPhoto(m_contactID);
    std::optional<QByteArray> photo;
    try {
        photo = co_await task;
    } catch (...) {
        // Reading never fails the card: no photo is shown.
    }
    if (!self)
        co_return;
    m_photo = photo ? PhotoOverride{std::move(*photo)} : PhotoOverride{};
    rebuild();
}

QString ProfileViewModel::name() const {
    return m_profile ? m_profile->person->displayName() : QString();
}

QString ProfileViewModel::initials() const {
    return m_profile ? m_profile->person->initials() : QString();
}

QString ProfileViewModel::headline() const {
    return m_profile ? m_profile->headline().value_or(QString()) : QString();
}

bool ProfileViewModel::isStarred() const {
    return m_env.starred().isStarred(m_contactID);
}

const QByteArray* ProfileViewModel::replacementPhoto() const {
    return std::get_if<QByteArray>(&m_photo.value);
}

QByteArray ProfileViewModel::photoData() const {
    if (const QByteArray* replacement = replacementPhoto())
        return *replacement;
    if (m_profile && m_profile->person->thumbnail)
        return *m_profile->person->thumbnail;
    return {};
}

QString ProfileViewModel::photoSource() const {
    if (!replacementPhoto() && !(m_profile && m_profile->person->thumbnail))
        return {};
    return QStringLiteral("image://pemmo/photo/%1?v=%2")
        .arg(QString::fromLatin1(QUrl::toPercentEncoding(m_contactID)))
        .arg(m_photoVersion);
}

QString ProfileViewModel::nameForMessages() const {
    const QString display = name();
    return display.isEmpty() ? QStringLiteral("this contact") : display;
}

QString ProfileViewModel::primaryActionTitle() const {
    switch (m_env.settings().primaryAction()) {
    case SettingsStore::PrimaryAction::Message:
        return tr("Message");
    case SettingsStore::PrimaryAction::Call:
        return tr("Call");
    case SettingsStore::PrimaryAction::Mail:
        return tr("Mail");
    }
    return {};
}

std::optional<SelectableItem> ProfileViewModel::selectedItem() const {
    if (m_selectedIndex < 0 || m_selectedIndex >= m_items.size())
        return std::nullopt;
    return m_items[m_selectedIndex];
}

QString ProfileViewModel::hint() const {
    if (const auto item = selectedItem())
        return item->hint;
    return tr("↵ %1").arg(primaryActionTitle());
}

QVariantList ProfileViewModel::hintKeys() const {
    // A hint is "key what-it-does" groups three spaces apart: "↵ Open   E Edit   Del Remove".
    QVariantList pairs;
    for (const QString& group : hint().split(u"   "_qs, Qt::SkipEmptyParts)) {
        const QString trimmed = group.trimmed();
        const qsizetype space = trimmed.indexOf(u' ');
        pairs.append(QStringList{trimmed.left(space), space < 0 ? QString() : trimmed.mid(space + 1)});
    }
    return pairs;
}

QString ProfileViewModel::selectedAccessibleName() const {
    if (m_selectedIndex < 0 || m_selectedIndex >= m_itemAccessibleNames.size())
        return {};
    return m_itemAccessibleNames[m_selectedIndex];
}

// MARK: Rows

void ProfileViewModel::rebuild() {
    const QString previous = selectedItem() ? selectedItem()->id : QString();
    ProfileCard::Layout layout;
    if (m_profile) {
        TagCatalog& tags = m_env.tags();
        layout = ProfileCard::build({.profile = *m_profile,
                                     .now = m_env.clock()(),
                                     .who = nameForMessages(),
                                     .tagWithID = [&tags](const QString& id) { return tags.tagWithID(id); },
                                     .aiEnabled = m_env.settings().aiEnabled(),
                                     .briefing = m_briefingState,
                                     .briefingError = m_briefingError,
                                     .aiUnavailableReason = m_aiUnavailableReason,
                                     .draft = m_draft,
                                     .draftLabel = m_draftLabel,
                                     .showsWholeTimeline = m_showsWholeTimeline,
                                     .hasReplacementPhoto = replacementPhoto() != nullptr});
    }

    const int previousIndex = m_selectedIndex;
    const int previousRow = selectedRow();
    m_items = std::move(layout.items);
    m_itemAccessibleNames = std::move(layout.spoken);
    int selected = -1;
    if (!previous.isEmpty()) {
        for (int i = 0; i < m_items.size(); ++i) {
            if (m_items[i].id == previous) {
                selected = i;
                break;
            }
        }
        // The selected row went (a deleted entry): stay at its place.
        if (selected < 0 && !m_items.isEmpty())
            selected = std::min(m_selectedIndex, int(m_items.size()) - 1);
    }
    m_selectedIndex = selected;
    for (QList<ProfileRow>* rows : {&layout.chips, &layout.rows})
        for (ProfileRow& row : *rows)
            row.selected = row.itemIndex >= 0 && row.itemIndex == selected;
    m_circles->setRows(std::move(layout.chips));
    m_rows->setRows(std::move(layout.rows));
    Q_EMIT changed();
    if (m_selectedIndex != previousIndex || selectedRow() != previousRow)
        Q_EMIT selectionChanged();
    Q_EMIT hintChanged();
    if (m_editingCircles)
        updateSuggestions();
}

void ProfileViewModel::setSelectedIndex(int index) {
    index = std::clamp(index, -1, int(m_items.size()) - 1);
    if (index == m_selectedIndex)
        return;
    m_selectedIndex = index;
    for (ProfileRowsModel* model : {m_circles, m_rows}) {
        QList<ProfileRow> rows = model->rows();
        for (ProfileRow& row : rows)
            row.selected = row.itemIndex >= 0 && row.itemIndex == index;
        model->setRows(std::move(rows));
    }
    Q_EMIT selectionChanged();
    Q_EMIT hintChanged();
}

void ProfileViewModel::select(int index) {
    setSelectedIndex(index);
}

void ProfileViewModel::moveSelection(int delta) {
    if (m_items.isEmpty())
        return;
    // Above the first row is "nothing selected", where Return runs the primary action.
    setSelectedIndex(std::clamp(m_selectedIndex + delta, -1, int(m_items.size()) - 1));
}

// MARK: Actions

QCoro::Task<void> ProfileViewModel::perform(ProfileAction action) {
    Q_ASSERT(thread() == QThread::currentThread());
    using Kind = ProfileAction::Kind;
    AppRouter& router = m_env.router();
    switch (action.kind) {
    case Kind::Link:
        co_await openLink(action.item);
        break;
    case Kind::EditLink:
        router.push(Route::quickLinkForm(m_contactID, action.item));
        break;
    case Kind::DeleteLink:
        co_await deleteLink(action.item);
        break;
    case Kind::EditMemory:
        router.push(Route::editInteraction(m_contactID, action.item));
        break;
    case Kind::DeleteMemory:
        confirmDeleteMemory(action.item);
        break;
    case Kind::Revert:
        co_await revert(action.item);
        break;
    case Kind::RemoveTag:
        co_await removeTag(action.circleName);
        break;
    case Kind::Back:
        router.pop();
        break;
    case Kind::ToggleStar:
        toggleStar();
        break;
    case Kind::Message:
        co_await message();
        break;
    case Kind::Call: {
        // Named rather than a conditional inside the co_await: g++ 12 destroys such a temporary
        // twice, which releases a reference to the number's text that the address book holds.
        std::optional<QString> number = m_profile ? m_profile->phone() : std::nullopt;
        co_await callNumber(std::move(number));
        break;
    }
    case Kind::Mail: {
        std::optional<QString> address = m_profile ? m_profile->email() : std::nullopt;
        co_await mailAddress(std::move(address));
        break;
    }
    case Kind::Gmail:
        co_await gmail();
        break;
    case Kind::FindMy:
        co_await findMy();
        break;
    case Kind::Draft:
        if (!refuseWithoutAI(tr("Turn on AI features in Settings to draft a message.")))
            co_await writeDraft();
        break;
    case Kind::GenerateBriefing:
        if (!refuseWithoutAI(tr("Turn on AI features in Settings to write a briefing.")))
            co_await writeBriefing();
        break;
    case Kind::ChangeAIProvider:
        if (m_env.openSettingsAction)
            m_env.openSettingsAction(QStringLiteral("ai"));
        else
            router.showInfo(tr("The settings window cannot be opened from here."));
        break;
    case Kind::AddLink:
        router.push(Route::quickLinkForm(m_contactID));
        break;
    case Kind::EditDetails:
        router.push(Route::contactFormEdit(m_contactID));
        break;
    case Kind::LogInteraction:
        router.push(Route::logInteraction(m_contactID));
        break;
    case Kind::ToggleTimeline:
        m_showsWholeTimeline = !m_showsWholeTimeline;
        rebuild();
        break;
    case Kind::AddTag:
        startEditingCircles();
        break;
    case Kind::Capture:
        if (m_env.practiceRefusesQuickCapture())
            break;
        if (!refuseWithoutAI(QStringLiteral("Turn on AI features in Settings to use Quick capture.")))
            router.push(Route::capture(std::nullopt, m_contactID));
        break;
    case Kind::UseContactsPhoto:
        co_await useContactsPhoto();
        break;
    }
}

QCoro::Task<void> ProfileViewModel::performPrimary() {
    switch (m_env.settings().primaryAction()) {
    case SettingsStore::PrimaryAction::Message:
        return perform(ProfileAction::plain(ProfileAction::Kind::Message));
    case SettingsStore::PrimaryAction::Call:
        return perform(ProfileAction::plain(ProfileAction::Kind::Call));
    case SettingsStore::PrimaryAction::Mail:
        return perform(ProfileAction::plain(ProfileAction::Kind::Mail));
    }
    return perform(ProfileAction::plain(ProfileAction::Kind::Message));
}

QCoro::Task<void> ProfileViewModel::activate(int index) {
    if (index < 0 || index >= m_items.size() || !m_profile)
        co_return;
    const SelectableItem item = m_items[index];
    // A phone or e-mail row reaches that number or address, not only the first one.
    if (item.id.startsWith(ProfileCard::phoneItemPrefix())) {
        const auto phones = m_profile->person->phones;
        const int at = item.id.mid(ProfileCard::phoneItemPrefix().size()).toInt();
        std::optional<QString> number = at < phones.size() ? std::optional(phones[at].value) : std::nullopt;
        co_await callNumber(std::move(number));
        co_return;
    }
    if (item.id.startsWith(ProfileCard::emailItemPrefix())) {
        const auto emails = m_profile->person->emails;
        const int at = item.id.mid(ProfileCard::emailItemPrefix().size()).toInt();
        std::optional<QString> address = at < emails.size() ? std::optional(emails[at].value) : std::nullopt;
        co_await mailAddress(std::move(address));
        co_return;
    }
    co_await perform(item.action);
}

void ProfileViewModel::run(const QString& actionName) {
    const auto kind = ProfileAction::kindFromName(actionName);
    if (!kind || ProfileAction::hasPayload(*kind)) {
        qCCritical(lcPanel, "ProfileViewModel: no action named %s", qPrintable(actionName));
        return;
    }
    perform(ProfileAction::plain(*kind));
}

void ProfileViewModel::activateItem(int index) {
    setSelectedIndex(index);
    activate(index);
}

void ProfileViewModel::deleteItem(int index) {
    if (index < 0 || index >= m_items.size())
        return;
    if (const auto action = deleteCounterpart(m_items[index]))
        perform(*action);
}

void ProfileViewModel::editItem(int index) {
    if (index < 0 || index >= m_items.size())
        return;
    if (const auto action = editCounterpart(m_items[index]))
        perform(*action);
}

std::optional<ProfileAction> ProfileViewModel::deleteCounterpart(const SelectableItem& item) const {
    switch (item.action.kind) {
    case ProfileAction::Kind::Link:
    case ProfileAction::Kind::EditLink:
        return ProfileAction::deleteLink(item.action.item);
    case ProfileAction::Kind::EditMemory:
        return ProfileAction::deleteMemory(item.action.item);
    case ProfileAction::Kind::RemoveTag:
        return item.action;
    default:
        return std::nullopt;
    }
}

bool ProfileViewModel::copySelected() {
    const auto item = selectedItem();
    if (!item)
        return false;
    const QList<ProfileRow>& rows = m_rows->rows();
    const auto row =
        std::find_if(rows.cbegin(), rows.cend(), [&](const ProfileRow& r) { return r.id == item->id; });
    if (row == rows.cend())
        return false;
    // The number or address as written, a link's address, a detail's value, a memory's text.
    QString text;
    if (row->kind == u"phone" || row->kind == u"email" || row->kind == u"entry" || row->kind == u"about")
        text = row->title;
    else if (row->kind == u"link" || row->kind == u"detail")
        text = row->detail;
    if (Text::isBlank(text))
        return false;
    if (auto* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
    m_env.router().showSuccess(tr("Copied \u201C%1\u201D.").arg(text));
    return true;
}

std::optional<ProfileAction> ProfileViewModel::editCounterpart(const SelectableItem& item) const {
    switch (item.action.kind) {
    case ProfileAction::Kind::Link:
        return ProfileAction::editLink(item.action.item);
    case ProfileAction::Kind::EditMemory:
        return item.action;
    default:
        return std::nullopt;
    }
}

QCoro::Task<void> ProfileViewModel::open(std::optional<QString> address,
                                         std::optional<std::pair<Interaction::Kind, QString>> log,
                                         bool background) {
    QPointer<ProfileViewModel> self(this);
    DestinationOpener* opener = m_env.destinationOpener();
    if (!opener) {
        m_env.router().showError(tr("Pemmo cannot open addresses here."));
        co_return;
    }
    // In the background the panel keeps the keyboard while the browser's window comes up.
    if (background) {
        if (PanelController* panel = m_env.panel())
            panel->holdFocus();
    }
    auto opening = opener->open(*address, DestinationOpener::Options{background});
    const std::optional<QString> problem = co_await opening;
    if (!self)
        co_return;
    if (problem) {
        m_env.router().showError(*problem);
        co_return;
    }
    if (log && m_env.settings().autoLogInteractions()) {
        Interaction entry;
        entry.id = QUuid::createUuid();
        entry.date = m_env.clock()();
        entry.kind = log->first;
        entry.text = log->second;
        entry.source = Interaction::Source::automatic();
        auto adding = m_env.sync().addInteraction(m_contactID, entry);
        co_await adding;
    }
}

QCoro::Task<void> ProfileViewModel::message() {
    const auto handle = m_profile ? m_profile->messageHandle() : std::nullopt;
    const auto address = handle ? LinkRouter::messagesURL(*handle) : std::nullopt;
    if (!address) {
        m_env.router().showError(QStringLiteral("No message handle for ") + nameForMessages());
        co_return;
    }
    co_await open(address, std::pair(Interaction::Kind::Message, QStringLiteral("Opened Messages")), false);
}

void ProfileViewModel::showCannotReach(const QString& message) {
    // The practice teaches Messages alone: any other way of reaching Alex says so, whether or not
    // there is an address for it.
    if (m_env.isPracticeDemo()) {
        BannerState banner = BannerState::info(OnboardingPractice::onlyMessagesAlexText());
        banner.timeout = OnboardingPractice::bannerTimeout;
        m_env.router().showBanner(std::move(banner));
        return;
    }
    m_env.router().showError(message);
}

QCoro::Task<void> ProfileViewModel::callNumber(std::optional<QString> number) {
    const auto address = number ? LinkRouter::callURL(*number) : std::nullopt;
    if (!address) {
        showCannotReach(QStringLiteral("No phone number for ") + nameForMessages());
        co_return;
    }
    co_await open(address, std::pair(Interaction::Kind::Call, QStringLiteral("Called")), false);
}

QCoro::Task<void> ProfileViewModel::mailAddress(std::optional<QString> email) {
    const auto address = email ? LinkRouter::mailURL(*email) : std::nullopt;
    if (!address) {
        showCannotReach(QStringLiteral("No email address for ") + nameForMessages());
        co_return;
    }
    co_await open(address, std::pair(Interaction::Kind::Email, QStringLiteral("Opened Mail")), false);
}

QCoro::Task<void> ProfileViewModel::gmail() {
    const auto templateText = m_profile ? m_profile->record->gmailTemplate : std::nullopt;
    if (Text::isBlank(templateText)) {
        showCannotReach(QStringLiteral("No Gmail template for ") + nameForMessages());
        co_return;
    }
    const auto email = m_profile->email();
    if (!email) {
        showCannotReach(QStringLiteral("No email address for ") + nameForMessages());
        co_return;
    }
    const auto address = LinkRouter::gmailURL(*templateText, *email);
    if (!address) {
        m_env.router().showError(QStringLiteral("\u201C") + *templateText +
                                 QStringLiteral("\u201D is not a link Pemmo can open."));
        co_return;
    }
    co_await open(address, std::pair(Interaction::Kind::Email, QStringLiteral("Opened Gmail")),
                  m_env.settings().openLinksInBackground());
}

QCoro::Task<void> ProfileViewModel::findMy() {
    // A saved text that is no address is no link either.
    const auto link = m_profile ? m_profile->record->findMyURL : std::nullopt;
    const auto address = Text::isBlank(link) ? std::nullopt : LinkRouter::webURL(*link);
    if (!address) {
        showCannotReach(QStringLiteral("No Find My link for ") + nameForMessages());
        co_return;
    }
    co_await open(address, std::nullopt, m_env.settings().openLinksInBackground());
}

QCoro::Task<void> ProfileViewModel::openLink(QUuid linkID) {
    if (!m_profile)
        co_return;
    const auto& links = m_profile->record->links;
    const auto it =
        std::find_if(links.cbegin(), links.cend(), [&](const QuickLink& l) { return l.id == linkID; });
    if (it == links.cend())
        co_return;
    const auto address = LinkRouter::webURL(it->url);
    if (!address) {
        m_env.router().showError(QStringLiteral("\u201C") + it->url +
                                 QStringLiteral("\u201D is not a link Pemmo can open."));
        co_return;
    }
    co_await open(address, std::nullopt, m_env.settings().openLinksInBackground());
}

QCoro::Task<void> ProfileViewModel::deleteLink(QUuid linkID) {
    if (!m_profile)
        co_return;
    const auto& links = m_profile->record->links;
    const auto at =
        std::find_if(links.cbegin(), links.cend(), [&](const QuickLink& l) { return l.id == linkID; });
    if (at == links.cend())
        co_return;
    const QuickLink removed = *at;
    const qsizetype position = at - links.cbegin();
    QPointer<ProfileViewModel> self(this);
    auto removing = m_env.sync().removeLink(m_contactID, linkID);
    co_await removing;
    if (!self)
        co_return;
    const QString id = m_contactID;
    AppEnvironment* env = &m_env;
    m_env.router().showBanner(
        BannerState::success(tr("Removed the link \u201C%1\u201D.").arg(removed.title))
            .withAction(tr("Undo"), QKeyCombination(Qt::ControlModifier, Qt::Key_Z),
                        [env, id, removed, position] {
                            env->sync().updateRecord(id, [removed, position](PemmoRecord& record) {
                                if (std::none_of(record.links.cbegin(), record.links.cend(),
                                                 [&](const QuickLink& l) { return l.id == removed.id; }))
                                    record.links.insert(std::min(position, record.links.size()), removed);
                            });
                        }));
}

void ProfileViewModel::confirmDeleteMemory(QUuid entryID) {
    ConfirmRequest request;
    request.title = QStringLiteral("Delete memory?");
    request.message = QStringLiteral("This removes your saved text from the timeline and search.");
    request.confirmTitle = QStringLiteral("Delete");
    request.destructive = true;
    QPointer<ProfileViewModel> self(this);
    request.onConfirm = [self, entryID] {
        if (self)
            self->deleteMemory(entryID);
    };
    m_env.router().present(request);
}

QCoro::Task<void> ProfileViewModel::deleteMemory(QUuid entryID) {
    QPointer<ProfileViewModel> self(this);
    AppEnvironment* env = &m_env;
    bool failed = false;
    try {
        auto removing = m_env.sync().commitRecord(
            m_contactID, [entryID](PemmoRecord& record) { RecordEdits::removeInteraction(record, entryID); });
        co_await removing;
    } catch (...) {
        failed = true;
    }
    if (failed)
        env->router().showError(QStringLiteral("Could not delete this memory. Try again."));
    else if (self)
        env->router().showSuccess(tr("Memory deleted."));
}

QCoro::Task<void> ProfileViewModel::revert(QUuid changeID) {
    if (!m_profile)
        co_return;
    const auto& changes = m_profile->record->changes;
    const auto it = std::find_if(changes.cbegin(), changes.cend(),
                                 [&](const FieldChange& c) { return c.id == changeID; });
    if (it == changes.cend())
        co_return;
    const auto field = WritableFields::fromName(it->field);
    if (!field) {
        m_env.router().showError(tr("Pemmo cannot undo a change of \u201C%1\u201D.").arg(it->field));
        co_return;
    }
    const FieldChange change = *it;
    QPointer<ProfileViewModel> self(this);
    AppEnvironment* env = &m_env;
    auto setting = m_env.sync().setField(m_contactID, *field, change.oldValue, Interaction::Source::user());
    co_await setting;
    if (self)
        env->router().showSuccess(change.oldValue
                                      ? tr("%1 is \u201C%2\u201D again.")
                                            .arg(ProfileCard::fieldTitle(change.field), *change.oldValue)
                                      : tr("%1 is empty again.").arg(ProfileCard::fieldTitle(change.field)));
}

QCoro::Task<void> ProfileViewModel::removeTag(QString name) {
    if (!m_profile)
        co_return;
    // The record keeps ids; the action names the circle. A circle's id is its normalised name, but an
    // id the catalogue names differently is found through its catalogue entry.
    const QString normalized = Tag::normalizedID(name);
    QString tagID;
    for (const QString& id : m_profile->record->tags) {
        const auto tag = m_env.tags().tagWithID(id);
        if (id == normalized || (tag && tag->name == name)) {
            tagID = id;
            break;
        }
    }
    if (tagID.isEmpty())
        co_return;
    const qsizetype position = m_profile->record->tags.indexOf(tagID);
    AppEnvironment* env = &m_env;
    const QString contact = m_contactID;
    auto removing = m_env.sync().removeTag(m_contactID, tagID);
    co_await removing;
    env->router().showBanner(
        BannerState::success(tr("Removed from \u201C%1\u201D.").arg(name))
            .withAction(tr("Undo"), QKeyCombination(Qt::ControlModifier, Qt::Key_Z),
                        [env, contact, tagID, position] {
                            env->sync().updateRecord(contact, [tagID, position](PemmoRecord& record) {
                                if (!record.tags.contains(tagID))
                                    record.tags.insert(std::min(position, record.tags.size()), tagID);
                            });
                        }));
}

void ProfileViewModel::toggleStar() {
    try {
        m_env.starred().toggle(m_contactID);
    } catch (const PemmoError& error) {
        if (error.errorCase() == PemmoError::Case::StarredLimitReached)
            m_env.router().showError(error.message());
        else
            m_env.router().showError(QStringLiteral("That contact could not be starred."));
        return;
    } catch (...) {
        m_env.router().showError(QStringLiteral("That contact could not be starred."));
        return;
    }
    rebuild();
}

QCoro::Task<void> ProfileViewModel::useContactsPhoto() {
    QPointer<ProfileViewModel> self(this);
    AppEnvironment* env = &m_env;
    bool failed = false;
    try {
        auto resetting = m_env.sync().resetPhoto(m_contactID);
        co_await resetting;
    } catch (...) {
        failed = true;
    }
    if (failed) {
        env->router().showError(QStringLiteral("That photo could not be restored."));
        co_return;
    }
    // The address book's photo shows at once, before the photo store is read again.
    if (self) {
        self->m_photo = PhotoOverride{PhotoOverride::Removed{}};
        self->rebuild();
    }
}

void ProfileViewModel::setAICloudOptOut(bool optOut) {
    m_env.sync().setAICloudOptOut(m_contactID, optOut);
}

QCoro::Task<void> ProfileViewModel::checkAvailability() {
    if (!m_env.settings().aiEnabled())
        co_return;
    QPointer<ProfileViewModel> self(this);
    auto asking = m_env.ai().availability();
    const AIAvailability availability = co_await asking;
    if (!self)
        co_return;
    const QString reason = availability.isAvailable ? QString() : availability.reason;
    if (reason != m_aiUnavailableReason) {
        m_aiUnavailableReason = reason;
        rebuild();
    }
}

QCoro::Task<void> ProfileViewModel::writeBriefing() {
    if (!m_profile || m_briefingState == BriefingState::Writing)
        co_return;
    QPointer<ProfileViewModel> self(this);
    AppEnvironment* env = &m_env;
    const QString id = m_contactID;
    Profile profile = *m_profile;
    // The user asked for a briefing: a new one, even when the cached one is still current.
    profile.record.edit().briefingCache.reset();
    m_briefingState = BriefingState::Writing;
    m_briefingError.clear();
    rebuild();
    Q_EMIT changed();
    try {
        auto asking = env->ai().briefing(profile);
        const Briefing briefing = co_await asking;
        const BriefingCache cache = env->ai().makeBriefingCache(briefing, profile, env->clock()());
        auto saving = env->sync().setBriefing(id, cache);
        co_await saving;
        if (!self)
            co_return;
        m_briefingState = BriefingState::Idle;
        reload();
    } catch (...) {
        const QString message = AIService::errorMessage(std::current_exception());
        if (!self)
            co_return;
        m_briefingState = BriefingState::Failed;
        m_briefingError = message;
        rebuild();
    }
    Q_EMIT changed();
}

QCoro::Task<void> ProfileViewModel::writeDraft() {
    if (!m_profile)
        co_return;
    QPointer<ProfileViewModel> self(this);
    AppEnvironment* env = &m_env;
    const Profile profile = *m_profile;
    env->router().showInfo(tr("Writing a draft for %1…").arg(nameForMessages()));
    try {
        auto asking = env->ai().draft(profile, Channel::Message, std::nullopt);
        const QString answer = co_await asking;
        const QString text = Text::trimmed(answer);
        if (auto* clipboard = QGuiApplication::clipboard())
            clipboard->setText(text);
        BannerState banner = BannerState::success(QStringLiteral("Draft copied. Paste it in Messages."));
        banner.timeout = std::chrono::seconds(10);
        banner.withAction(QStringLiteral("Open Messages"), Qt::ControlModifier | Qt::Key_M, [self] {
            if (self)
                self->perform(ProfileAction::plain(ProfileAction::Kind::Message));
        });
        env->router().showBanner(std::move(banner));
        if (!self)
            co_return;
        m_draft = text;
        m_draftLabel = AILabels::origin(env->ai().lastProviderNameText(), env->ai().lastLeftDevice());
        rebuild();
        Q_EMIT changed();
    } catch (...) {
        env->router().showError(AIService::errorMessage(std::current_exception()));
    }
}

bool ProfileViewModel::refuseWithoutAI(const QString& whenOff) {
    if (m_env.settings().aiEnabled())
        return false;
    m_env.router().showError(whenOff);
    return true;
}

// MARK: Circles

void ProfileViewModel::startEditingCircles() {
    m_editingCircles = true;
    m_circleQuery.clear();
    updateSuggestions();
}

void ProfileViewModel::stopEditingCircles() {
    if (!m_editingCircles)
        return;
    m_editingCircles = false;
    m_circleQuery.clear();
    m_circleSuggestions.clear();
    m_selectedSuggestion = -1;
    Q_EMIT circleEditingChanged();
}

void ProfileViewModel::setCircleQuery(const QString& query) {
    if (m_circleQuery == query)
        return;
    m_circleQuery = query;
    updateSuggestions();
}

void ProfileViewModel::updateSuggestions() {
    QSet<QString> carried;
    if (m_profile)
        carried = QSet<QString>(m_profile->record->tags.cbegin(), m_profile->record->tags.cend());
    m_circleSuggestions.clear();
    for (const Tag& tag : m_env.tags().suggestions(m_circleQuery, carried))
        m_circleSuggestions.append(tag.name);
    m_selectedSuggestion = m_circleSuggestions.isEmpty() || Text::isBlank(m_circleQuery) ? -1 : 0;
    Q_EMIT circleEditingChanged();
}

void ProfileViewModel::addCircle(const QString& name) {
    addCircleNamed(name);
}

QCoro::Task<void> ProfileViewModel::addCircleNamed(QString name) {
    if (Text::isBlank(name))
        co_return;
    const Tag tag = m_env.tags().findOrCreate(name);
    QPointer<ProfileViewModel> self(this);
    auto adding = m_env.sync().addTag(m_contactID, tag.id);
    co_await adding;
    if (!self)
        co_return;
    m_circleQuery.clear();
    updateSuggestions();
}

void ProfileViewModel::showActions() {
    AppRouter& router = m_env.router();
    if (router.showsActions())
        router.dismissOverlay();
    else
        router.present(ActionContext::profile(m_contactID));
}

// MARK: Keys

KeyResult ProfileViewModel::handleKey(const KeyEvent& event) {
    if (m_editingCircles) {
        if (event.isPlain(Qt::Key_Escape)) {
            stopEditingCircles();
            return KeyResult::Handled;
        }
        if (event.isPlain(Qt::Key_Down) || event.isPlain(Qt::Key_Up)) {
            if (!m_circleSuggestions.isEmpty()) {
                const int delta = event.key == Qt::Key_Down ? 1 : -1;
                m_selectedSuggestion =
                    std::clamp(m_selectedSuggestion + delta, -1, int(m_circleSuggestions.size()) - 1);
                Q_EMIT circleEditingChanged();
            }
            return KeyResult::Handled;
        }
        if (event.isPlain(Qt::Key_Return) || event.isPlain(Qt::Key_Enter)) {
            const QString name =
                m_selectedSuggestion >= 0 ? m_circleSuggestions[m_selectedSuggestion] : m_circleQuery;
            if (Text::isBlank(name))
                stopEditingCircles();
            else
                addCircleNamed(name);
            return KeyResult::Handled;
        }
        return KeyResult::Pass; // typing goes to the circle field
    }

    const auto perform = [this](ProfileAction::Kind kind) {
        this->perform(ProfileAction::plain(kind));
        return KeyResult::Handled;
    };

    if (event.hasControl()) {
        using K = ProfileAction::Kind;
        if (event.isCommand(u'k')) {
            showActions();
            return KeyResult::Handled;
        }
        if (event.isCommand(u',')) {
            if (m_env.openSettingsAction)
                m_env.openSettingsAction(QString()); // the pane the window showed last
            return KeyResult::Handled;
        }
        if (event.isCommand(u'm'))
            return perform(K::Message);
        if (event.isCommand(u'p'))
            return perform(K::Call);
        if (event.isCommand(u'e'))
            return perform(K::Mail);
        if (event.isCommand(u'g'))
            return perform(K::Gmail);
        if (event.isCommand(u'f'))
            return perform(K::FindMy);
        if (event.isCommand(u'j'))
            return perform(K::LogInteraction);
        if (event.isCommand(u's'))
            return perform(K::ToggleStar);
        if (event.isCommand(u'l'))
            return perform(K::AddLink);
        if (event.isCommand(u'd'))
            return perform(K::EditDetails);
        if (event.isCommand(u't'))
            return perform(K::AddTag);
        if (event.isCommand(u'n'))
            return perform(K::Capture);
        if (event.isCommand(u'['))
            return perform(K::Back);
        if (event.isCommand(u'c'))
            return copySelected() ? KeyResult::Handled : KeyResult::Pass;
        if (event.key == Qt::Key_Backspace && selectedItem()) {
            if (const auto action = deleteCounterpart(*selectedItem()))
                this->perform(*action);
            return KeyResult::Handled;
        }
        return KeyResult::Pass;
    }

    if (event.isPlain(Qt::Key_Up) || event.isPlain(Qt::Key_Down)) {
        moveSelection(event.key == Qt::Key_Down ? 1 : -1);
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Return) || event.isPlain(Qt::Key_Enter)) {
        if (m_selectedIndex >= 0)
            activate(m_selectedIndex);
        else
            performPrimary();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape) || event.isPlain(Qt::Key_Backspace) ||
        (event.key == Qt::Key_Left && event.modifiers.testFlag(Qt::AltModifier)))
        return perform(ProfileAction::Kind::Back);
    if (event.isPlain(Qt::Key_Delete)) {
        if (const auto item = selectedItem()) {
            if (const auto action = deleteCounterpart(*item)) {
                this->perform(*action);
                return KeyResult::Handled;
            }
        }
        return KeyResult::Pass;
    }
    if (event.characters == u"e" && !event.modifiers.testFlag(Qt::ShiftModifier) &&
        event.modifiers == Qt::NoModifier) {
        if (const auto item = selectedItem()) {
            if (const auto action = editCounterpart(*item)) {
                this->perform(*action);
                return KeyResult::Handled;
            }
        }
        return KeyResult::Pass;
    }
    // 1 to 9 open the X and custom links in the order the card shows them.
    if (event.characters.size() == 1 && event.characters.at(0) >= u'1' && event.characters.at(0) <= u'9' &&
        !(event.modifiers & (Qt::AltModifier | Qt::MetaModifier))) {
        const int digit = event.characters.at(0).digitValue();
        if (m_profile) {
            if (const auto link = QuickLinkPolicy::linkForDigit(digit, m_profile->record->links)) {
                this->perform(ProfileAction::link(link->id));
                return KeyResult::Handled;
            }
        }
        return KeyResult::Pass;
    }
    return KeyResult::Pass;
}

} // namespace pemmo
