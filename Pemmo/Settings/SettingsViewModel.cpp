#include "Settings/SettingsViewModel.h"

#include "AI/AIService.h"
#include "AI/LocalModelProvider.h"
#include "App/AppEnvironment.h"
#include "App/DoctorCommand.h"
#include "App/ImportCommand.h"
#include "Calendar/CalendarFolders.h"
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Search/SearchLayout.h"
#include "Semantic/EmbeddingIndex.h"
#include "Settings/KeyValueStore.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppDelegate.h"
#include "Store/PemmoStore.h"
#include "Support/AtomicFile.h"
#include "Support/Logging.h"

#include <QCoroFuture>
#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QRegularExpression>
#include <QUrl>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace pemmo {
namespace {

// Folders are compared as the same place on disk, however they were typed.
QString normalFolder(const QString& folder) {
    QString path = folder.trimmed();
    if (path.startsWith(u"~/"_qs))
        path = QDir::homePath() + path.mid(1);
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool containsFolder(const QStringList& folders, const QString& folder) {
    const QString wanted = normalFolder(folder);
    return std::any_of(folders.begin(), folders.end(),
                       [&](const QString& each) { return normalFolder(each) == wanted; });
}

// `folder` lies below `outer` (both normal).
bool isInside(const QString& folder, const QString& outer) {
    return folder.startsWith(outer.endsWith(u'/') ? outer : outer + u'/');
}

} // namespace

SettingsViewModel::SettingsViewModel(AppEnvironment& environment, AutostartEntry autostart, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_autostart(std::move(autostart)) {
    connect(&settings(), &SettingsStore::contactFoldersChanged, this,
            &SettingsViewModel::contactFoldersChanged);
    // Another server has other models.
    connect(&settings(), &SettingsStore::localModelServerChanged, this,
            [this] { QCoro::connect(refreshLocalModels(), this, [] {}); });
    connect(&settings(), &SettingsStore::localModelChanged, this, &SettingsViewModel::localModelsChanged);
    // A result is about the settings it ran with; any change makes it stale.
    for (const auto signal :
         {&SettingsStore::aiEnabledChanged, &SettingsStore::aiProviderChanged,
          &SettingsStore::localModelServerChanged, &SettingsStore::localModelChanged,
          &SettingsStore::anthropicBaseURLChanged, &SettingsStore::claudeReasoningModelChanged,
          &SettingsStore::claudeFastModelChanged})
        connect(&settings(), signal, this, &SettingsViewModel::forgetConnectionTest);
    // Who is in the address book changes with every publish: an import, an erase, a contact
    // deleted in another program.
    connect(&m_env.sync(), &ProfileSyncEngine::publishCountChanged, this,
            [this] { QCoro::connect(refreshOrphans(), this, [] {}); });
}

SettingsStore& SettingsViewModel::settings() const {
    return m_env.settings();
}

void SettingsViewModel::setMessage(const QString& message) {
    m_message = message;
    Q_EMIT messageChanged();
}

bool SettingsViewModel::setLaunchAtLogin(bool enabled) {
    QString error;
    const bool done = m_autostart.setEnabled(enabled, &error);
    setMessage(done ? QString() : error);
    return done;
}

QKeySequence SettingsViewModel::shortcut() const {
    return AppDelegate::storedShortcut(m_env.keyValueStore());
}

bool SettingsViewModel::recordShortcut(const QKeySequence& shortcut) {
    if (shortcut.count() != 1 || shortcut[0].key() == Qt::Key_unknown) {
        setMessage(tr("A shortcut is one key with modifiers, such as Ctrl+K."));
        return false;
    }
    // A key alone would be taken from every other program as the user types.
    const Qt::KeyboardModifiers modifiers = shortcut[0].keyboardModifiers() & ~Qt::KeypadModifier;
    if (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier) {
        setMessage(tr("Add Ctrl, Alt or Super to the key, so typing elsewhere does not open Pemmo."));
        return false;
    }
    const QKeySequence single(shortcut[0]);
    if (m_binder) {
        if (const std::optional<QString> problem = m_binder(single)) {
            setMessage(*problem + u' ' +
                       tr("Pemmo keeps %1.").arg(this->shortcut().toString(QKeySequence::NativeText)));
            return false;
        }
    }
    m_env.keyValueStore().set(single.toString(QKeySequence::PortableText), AppDelegate::shortcutKey());
    setMessage(QString());
    Q_EMIT shortcutChanged();
    return true;
}

QStringList SettingsViewModel::contactFolders() const {
    // Until the user chose, the data folder's own address book is read when it exists: show it.
    return AppEnvironment::contactFolders(settings().contactFolders(), m_env.directory());
}

bool SettingsViewModel::addContactFolder(const QString& folder) {
    // Adding a folder must not silently drop the data folder's own address book in use so far.
    QStringList folders = contactFolders();
    if (!QFileInfo(normalFolder(folder)).isDir()) {
        setMessage(tr("%1 is not a folder.").arg(folder));
        return false;
    }
    if (containsFolder(folders, folder)) {
        setMessage(tr("%1 is already in the address book.").arg(folder));
        return false;
    }
    // The folders are read with everything below them: a folder inside another would have each
    // of its cards read twice.
    const QString wanted = normalFolder(folder);
    for (const QString& each : std::as_const(folders)) {
        const QString listed = normalFolder(each);
        if (isInside(wanted, listed)) {
            setMessage(tr("%1 is inside %2, which is already in the address book.").arg(folder, each));
            return false;
        }
        if (isInside(listed, wanted)) {
            setMessage(tr("%1 holds %2, which is already in the address book. Remove that one first.")
                           .arg(folder, each));
            return false;
        }
    }
    folders.append(wanted);
    settings().setContactFolders(folders);
    setMessage(QString());
    QCoro::connect(refreshFolderStates(), this, [] {});
    return true;
}

void SettingsViewModel::removeContactFolder(const QString& folder) {
    QStringList folders = contactFolders();
    folders.removeIf([&](const QString& each) { return normalFolder(each) == normalFolder(folder); });
    // With no folder chosen Pemmo reads its own, so removing that one alone would change nothing.
    const QString own = AppEnvironment::defaultContactFolder(m_env.directory());
    if (folders.isEmpty() && normalFolder(folder) == normalFolder(own) && QFileInfo(own).isDir()) {
        setMessage(tr("Pemmo reads its own folder %1 while no other is chosen. Add another folder "
                      "before removing it.")
                       .arg(folder));
        return;
    }
    setMessage(QString());
    settings().setContactFolders(folders);
    m_folderStates.remove(folder);
    Q_EMIT folderStatesChanged();
}

void SettingsViewModel::useForNewContacts(const QString& folder) {
    // A folder named in the settings file would still win over the list's order: the choice made
    // here replaces it.
    settings().setNewContactsFolder(QString());
    QStringList folders = contactFolders();
    const qsizetype at = folders.indexOf(folder);
    if (at <= 0)
        return;
    folders.move(at, 0);
    settings().setContactFolders(folders);
}

QCoro::Task<void> SettingsViewModel::refreshFolderStates() {
    const QPointer<SettingsViewModel> self(this);
    const QStringList folders = contactFolders();
    const QString fallback = AppEnvironment::defaultContactFolder(m_env.directory());
    QHash<QString, QString> states;
    for (const QString& folder : folders) {
        auto counting = DoctorCommand::folderState(folder, fallback);
        const QString state = co_await counting;
        if (!self)
            co_return;
        states.insert(folder, state);
    }
    m_folderStates = states;
    Q_EMIT folderStatesChanged();
}

QCoro::Task<bool> SettingsViewModel::addCalendarFolder(QString folder) {
    if (!QFileInfo(normalFolder(folder)).isDir()) {
        setMessage(tr("%1 is not a folder.").arg(folder));
        co_return false;
    }
    if (containsFolder(settings().calendarIDs(), folder)) {
        setMessage(tr("%1 is already chosen.").arg(folder));
        co_return false;
    }
    // A root of accounts (~/.calendars) or an account folder stands for the calendars below it; a
    // folder with no calendar yet (vdirsyncer has not synced) is taken as it is. Two levels of
    // folders are looked through away from the window: the folder may be a slow mount.
    const QPointer<SettingsViewModel> self(this);
    auto discovering = QtConcurrent::run([folder] { return CalendarFolders::discover(folder); });
    QStringList found = co_await discovering;
    if (!self)
        co_return false;
    if (found.isEmpty())
        found.append(normalFolder(folder));
    QStringList ids = settings().calendarIDs();
    for (const QString& calendar : std::as_const(found)) {
        if (!containsFolder(ids, calendar))
            ids.append(calendar);
    }
    settings().setCalendarIDs(ids);
    setMessage(QString());
    // The first folder connects the calendar, which also turns Moments on; later ones only add to it.
    if (!settings().calendarConnected())
        environment().moments().connect();
    co_return true;
}

void SettingsViewModel::removeCalendarFolder(const QString& folder) {
    QStringList ids = settings().calendarIDs();
    ids.removeAll(folder);
    settings().setCalendarIDs(ids);
}

void SettingsViewModel::setSelfAddresses(const QString& text) {
    static const QRegularExpression separators(u"[\\s,;]+"_qs);
    QStringList addresses;
    for (const QString& each : text.split(separators, Qt::SkipEmptyParts)) {
        if (!addresses.contains(each, Qt::CaseInsensitive))
            addresses.append(each);
    }
    if (addresses != settings().calendarSelfAddresses())
        settings().setCalendarSelfAddresses(addresses);
}

QString SettingsViewModel::exportFileName(QDate day) {
    // The format's digits do not depend on the locale.
    return u"pemmo-export-"_qs + day.toString(u"yyyy-MM-dd") + u".json"_qs;
}

QCoro::Task<QString> SettingsViewModel::exportTo(QString file) {
    const QPointer<SettingsViewModel> self(this);
    try {
        auto exporting = m_env.store().exportData();
        const QByteArray bytes = co_await exporting;
        AtomicFile::write(file, bytes);
    } catch (const std::exception& error) {
        const QString text = tr("Could not export to %1: %2")
                                 .arg(QFileInfo(file).fileName(), ProfileSyncEngine::errorMessage(error));
        if (self)
            setMessage(text);
        co_return text;
    }
    const QString text = tr("Exported to %1.").arg(QFileInfo(file).fileName());
    if (self)
        setMessage(text);
    co_return text;
}

QCoro::Task<QString> SettingsViewModel::importFrom(QString file) {
    const QPointer<SettingsViewModel> self(this);
    ImportCommand::Request request{QFileInfo(file).absoluteFilePath(), QFileInfo(file).fileName(),
                                   m_env.directory()};
    auto importing = ImportCommand::run(m_env.store(), request, false);
    const ImportCommand::Outcome outcome = co_await importing;
    if (!self)
        co_return QString();
    // The panel shows what was merged at once; an import is also a moment to read the book again.
    if (outcome.exitCode == Console::success)
        m_env.sync().refresh();
    QString text = (outcome.exitCode == Console::success ? outcome.out : outcome.err).trimmed();
    if (text.startsWith(u"pemmo: "_qs))
        text = text.mid(7);
    setMessage(text);
    co_return text;
}

QCoro::Task<QString> SettingsViewModel::eraseAllData() {
    const QPointer<SettingsViewModel> self(this);
    m_eraseSucceeded = false;
    try {
        auto removing = m_env.store().removeAll({});
        const QStringList removed = co_await removing;
        auto writing = m_env.store().flush();
        co_await writing;
        if (!self)
            co_return QString();
        m_env.starred().prune({});
        m_env.recents().clear();
        auto photos = m_env.sync().removeAllPhotos();
        co_await photos;
        if (!self)
            co_return QString();
        if (EmbeddingIndex* index = m_env.embeddings()) {
            auto erasing = index->erase();
            co_await erasing;
        }
        if (!self)
            co_return QString();
        m_env.sync().refresh();
        const QString text =
            (removed.size() == 1 ? tr("Erased 1 record.") : tr("Erased %1 records.").arg(removed.size())) +
            u' ' + tr("The contacts in your address book stay.");
        m_eraseSucceeded = true;
        setMessage(text);
        co_return text;
    } catch (const std::exception& error) {
        const QString text = tr("Nothing was erased: %1").arg(ProfileSyncEngine::errorMessage(error));
        if (self)
            setMessage(text);
        co_return text;
    }
}

QCoro::Task<QString> SettingsViewModel::readAddressBookAgain() {
    const QPointer<SettingsViewModel> self(this);
    ProfileSyncEngine& sync = m_env.sync();
    auto reading = sync.refreshAndWait();
    co_await reading;
    if (!self)
        co_return QString();
    const QString text =
        sync.state().isError()
            ? tr("The address book could not be read: %1").arg(sync.state().message)
            : tr("Read the address book: %1.").arg(SearchLayout::peopleCount(sync.profiles().size()));
    setMessage(text);
    co_return text;
}

QString SettingsViewModel::orphanCountText(int count) {
    return tr("%1 no longer in your address book").arg(count);
}

QString SettingsViewModel::removeOrphansText(int count) {
    return tr("Remove data for %1").arg(SearchLayout::peopleCount(count));
}

QCoro::Task<void> SettingsViewModel::refreshOrphans() {
    const QPointer<SettingsViewModel> self(this);
    const quint64 generation = ++m_orphanGeneration;
    QStringList orphans;
    try {
        auto counting = m_env.sync().orphanIDs();
        orphans = co_await counting;
    } catch (const std::exception& error) {
        qCCritical(lcStore, "Could not count the records of people who left the address book: %s",
                   error.what());
        co_return;
    }
    if (!self || generation != m_orphanGeneration || int(orphans.size()) == m_orphanCount)
        co_return;
    m_orphanCount = int(orphans.size());
    Q_EMIT orphansChanged();
}

QCoro::Task<QString> SettingsViewModel::removeOrphans() {
    const QPointer<SettingsViewModel> self(this);
    QString text;
    try {
        auto removing = m_env.sync().removeOrphanedData();
        const QStringList removed = co_await removing;
        text = tr("Removed the data of %1 no longer in your address book.")
                   .arg(SearchLayout::peopleCount(removed.size()));
    } catch (const std::exception& error) {
        text = tr("Nothing was removed: %1").arg(ProfileSyncEngine::errorMessage(error));
    }
    if (!self)
        co_return text;
    setMessage(text);
    auto counting = refreshOrphans();
    co_await counting;
    co_return text;
}

QCoro::Task<void> SettingsViewModel::refreshCloudKey() {
    const QPointer<SettingsViewModel> self(this);
    const quint64 generation = ++m_keyGeneration;
    auto asking =
        QtConcurrent::run([keyring = m_env.sharedSecrets()] { return AIService::hasCloudKey(*keyring); });
    const std::optional<bool> stored = co_await asking;
    if (!self || generation != m_keyGeneration)
        co_return;
    m_cloudKey = !stored ? CloudKey::Unreadable : *stored ? CloudKey::Stored : CloudKey::None;
    Q_EMIT cloudKeyChanged();
}

QCoro::Task<bool> SettingsViewModel::saveCloudKey(QString key) {
    const QPointer<SettingsViewModel> self(this);
    ++m_keyGeneration;
    auto saving = QtConcurrent::run(
        [keyring = m_env.sharedSecrets(), key] { return AIService::saveCloudKey(*keyring, key); });
    const QString problem = co_await saving;
    if (!self)
        co_return problem.isEmpty();
    forgetConnectionTest();
    setMessage(problem);
    auto asking = refreshCloudKey();
    co_await asking;
    co_return problem.isEmpty();
}

// ---- the AI pane ------------------------------------------------------------------------------

QCoro::Task<void> SettingsViewModel::refreshLocalModels() {
    const QPointer<SettingsViewModel> self(this);
    const quint64 generation = ++m_listingGeneration;
    LocalModelProvider local(settings().localModelServer(), settings().localModel(), m_env.httpTransport());
    ++m_listingModels;
    Q_EMIT localModelsChanged();
    auto listing = local.installedModels();
    LocalModelList list = co_await listing;
    if (!self)
        co_return;
    --m_listingModels;
    if (generation == m_listingGeneration) {
        m_localModels = std::move(list);
        m_listedOnce = true;
    }
    Q_EMIT localModelsChanged();
}

QStringList SettingsViewModel::localModelChoices() const {
    QStringList choices = m_localModels.models;
    // A blank setting means the default model, which the box shows as its placeholder.
    const QString chosen = Text::trimmed(settings().localModel());
    if (!chosen.isEmpty() && !m_localModels.lists(chosen))
        choices.prepend(chosen);
    return choices;
}

QString SettingsViewModel::localModelsNote() const {
    if (!m_listedOnce)
        return tr("Asking the model server which models it has…");
    const QString chosen = Text::trimmed(settings().localModel());
    const QString model = chosen.isEmpty() ? LocalModelProvider::defaultModel() : chosen;
    const QString server = Text::isBlank(settings().localModelServer())
                               ? LocalModelProvider::defaultServer()
                               : Text::trimmed(settings().localModelServer());
    switch (m_localModels.problem) {
    case LocalModelList::Problem::NotRunning:
        return tr("Pemmo cannot reach a model server at %1. Is it running (\u201Collama serve\u201D)? "
                  "The model name stays as typed.")
            .arg(server);
    case LocalModelList::Problem::NotAModelServer:
    case LocalModelList::Problem::InvalidAddress:
        return m_localModels.message + u' ' + tr("The model name stays as typed.");
    case LocalModelList::Problem::None:
        break;
    }
    if (m_localModels.models.isEmpty())
        return tr("The server has no models yet. Install one with: ollama pull %1").arg(model);
    if (!m_localModels.lists(model))
        return tr("%1 is not installed on the server. Install it with: ollama pull %1").arg(model);
    return {};
}

void SettingsViewModel::testConnection() {
    if (m_testingConnection)
        return;
    QCoro::connect(runConnectionTest(), this, [](const QString&) {});
}

QCoro::Task<QString> SettingsViewModel::runConnectionTest() {
    const QPointer<SettingsViewModel> self(this);
    AIService& ai = m_env.ai();
    const quint64 generation = m_aiSettingsGeneration;
    m_testingConnection = true;
    m_connectionResult.clear();
    Q_EMIT connectionTestChanged();

    // The description of what answered, taken before anything is sent.
    const std::shared_ptr<AIProvider> provider = ai.currentProvider();
    QString success;
    if (provider && provider->id() == AIProviderID::Claude) {
        success = tr("Connected: Claude accepted the key and answered.");
    } else if (provider) {
        const auto* local = dynamic_cast<const LocalModelProvider*>(provider.get());
        success = local
                      ? tr("Connected: the model %1 answered at %2.").arg(local->modelName(), local->server())
                      : tr("Connected: %1 answered.").arg(provider->displayName());
    }

    std::optional<QString> failure;
    auto checking = ai.availability();
    const AIAvailability availability = co_await checking;
    if (!self)
        co_return QString();
    if (!availability.isAvailable) {
        failure = availability.reason;
    } else {
        try {
            auto testing = ai.testConnection();
            co_await testing;
        } catch (const PemmoError& error) {
            if (error.errorCase() == PemmoError::Case::Network && error.number() == 401)
                failure =
                    tr("Claude refused the key (%1). Paste a valid key and save it again.").arg(error.text());
            else
                failure = AIService::errorMessage(error);
        } catch (...) {
            failure = AIService::errorMessage(std::current_exception());
        }
        if (!self)
            co_return QString();
    }
    const QString result = failure ? tr("Failed: %1").arg(*failure) : success;
    m_testingConnection = false;
    // Settings changed while it ran: the result would be about what is no longer chosen.
    const bool current = generation == m_aiSettingsGeneration;
    m_connectionSucceeded = current && !failure;
    m_connectionResult = current ? result : QString();
    Q_EMIT connectionTestChanged();
    co_return result;
}

void SettingsViewModel::forgetConnectionTest() {
    ++m_aiSettingsGeneration;
    if (m_connectionResult.isEmpty() && !m_connectionSucceeded)
        return;
    m_connectionResult.clear();
    m_connectionSucceeded = false;
    Q_EMIT connectionTestChanged();
}

QString SettingsViewModel::updateFeedURL() const {
    return m_env.keyValueStore().text(updateFeedKey()).value_or(QString());
}

bool SettingsViewModel::setUpdateFeedURL(const QString& url) {
    const QString trimmed = url.trimmed();
    if (trimmed.isEmpty()) {
        m_env.keyValueStore().set(std::nullopt, updateFeedKey());
        setMessage(QString());
        return true;
    }
    const QUrl address(trimmed, QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != u"http" && scheme != u"https") || address.host().isEmpty()) {
        setMessage(tr("%1 is not a web address: the update feed is an http:// or https:// address. "
                      "Pemmo keeps %2.")
                       .arg(trimmed, updateFeedURL().isEmpty() ? tr("the default") : updateFeedURL()));
        return false;
    }
    m_env.keyValueStore().set(trimmed, updateFeedKey());
    setMessage(QString());
    return true;
}

void SettingsViewModel::allowAllSeries() {
    try {
        m_env.moments().allowAllSeries();
    } catch (const std::exception& error) {
        setMessage(QString::fromUtf8(error.what()));
    }
}

} // namespace pemmo
