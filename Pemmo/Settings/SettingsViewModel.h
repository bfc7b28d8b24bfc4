// What the settings window does beyond showing a setting of SettingsStore: starting at login,
// re-recording the global shortcut, the address book folders, export, import and erasing the
// records, the records of people who left the address book, the AI key, the local models on offer, the AI
// connection test and the update feed. The window binds simple settings to SettingsStore itself.
#pragma once

#include "AI/LocalModelList.h"
#include "Settings/AutostartEntry.h"

#include <QCoroTask>
#include <QDate>
#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace pemmo {

class AppEnvironment;
class SettingsStore;

class SettingsViewModel : public QObject {
    Q_OBJECT

public:
    // Binds a shortcut system-wide: nothing when it took, else why not (another program holds it).
    // A binder that refuses must leave the shortcut it had bound before.
    using ShortcutBinder = std::function<std::optional<QString>(const QKeySequence&)>;

    // Where the feed of update reminders is read from.
    static QString updateFeedKey() { return QStringLiteral("pemmo.updates.feedURL"); }

    // The environment is not owned and must outlive this object.
    explicit SettingsViewModel(AppEnvironment& environment, AutostartEntry autostart = AutostartEntry(),
                               QObject* parent = nullptr);

    AppEnvironment& environment() const { return m_env; }
    SettingsStore& settings() const;

    // Starting at login.
    bool launchAtLogin() const { return m_autostart.isEnabled(); }
    // False, with `message` set, when the entry could not be changed.
    bool setLaunchAtLogin(bool enabled);
    QString autostartPath() const { return m_autostart.path(); }

    // The global shortcut.
    QKeySequence shortcut() const;
    void setShortcutBinder(ShortcutBinder binder) { m_binder = std::move(binder); }
    // Binds and keeps `shortcut`; a combination without a modifier, or one another program holds,
    // is refused with `message` set and the old one stays. True when the new one was kept.
    bool recordShortcut(const QKeySequence& shortcut);

    // The address book folders, as chosen (the first is where new contacts are written).
    QStringList contactFolders() const;
    // Adds a folder; false, with `message` set, when it is not a folder or already chosen.
    bool addContactFolder(const QString& folder);
    void removeContactFolder(const QString& folder);
    // Makes `folder` the one new contacts are written to (the first).
    void useForNewContacts(const QString& folder);
    // What each chosen folder holds ("3 contacts", "does not exist", …), as last counted.
    QString folderState(const QString& folder) const { return m_folderStates.value(folder); }
    // Counts every folder again (on the folders' own threads) and emits folderStatesChanged.
    QCoro::Task<void> refreshFolderStates();

    // Calendar folders and the user's own addresses, one list each.
    // Adds the calendars at or below `folder`; false, with `message` set, when it is no folder or
    // already chosen. The first one connects the calendar.
    QCoro::Task<bool> addCalendarFolder(QString folder);
    void removeCalendarFolder(const QString& folder);
    // Addresses separated by commas, spaces or lines; blanks and repeats dropped.
    void setSelfAddresses(const QString& text);

    // The name an export is offered under: "pemmo-export-2026-03-04.json" for that day.
    static QString exportFileName(QDate day);
    // The records: export to a file, import (merge) one; each returns what to tell the user.
    QCoro::Task<QString> exportTo(QString file);
    QCoro::Task<QString> importFrom(QString file);
    // Erases every record Pemmo keeps, the starred and recent lists and the semantic index; the
    // contacts in the address book stay. Returns what to tell the user.
    QCoro::Task<QString> eraseAllData();
    // The last erase went through (the semantic index, if any, is then empty).
    bool lastEraseSucceeded() const { return m_eraseSucceeded; }

    // Reads the address book folders again now, without waiting for a change to be noticed.
    // Returns what to tell the user: how many people it holds, or why it could not be read.
    QCoro::Task<QString> readAddressBookAgain();
    // Records kept for people who are no longer in the address book: how many, as last counted
    // (0 before the first count and before the address book was first read).
    int orphanCount() const { return m_orphanCount; }
    // Counts them again; orphansChanged tells the answer. Done whenever the people are published.
    QCoro::Task<void> refreshOrphans();
    // Deletes those records in one step. Returns what to tell the user.
    QCoro::Task<QString> removeOrphans();
    // "3 no longer in your address book"; "Remove data for 3 people", "Remove data for 1 person".
    static QString orphanCountText(int count);
    static QString removeOrphansText(int count);
    // The cloud key in the keyring. The keyring is asked on a worker thread, since it can take
    // its time (a daemon starting, a prompt to unlock it); cloudKeyChanged tells when it answered.
    enum class CloudKey { Asking, Stored, None, Unreadable };
    CloudKey cloudKey() const { return m_cloudKey; }
    QCoro::Task<void> refreshCloudKey();
    // Stores the key (a blank one removes it); false with `message` set when the keyring refused.
    QCoro::Task<bool> saveCloudKey(QString key);

    // The models the local model server offers. Asked anew when the server address changes, and
    // on refreshLocalModels; an answer to an older address is dropped.
    QCoro::Task<void> refreshLocalModels();
    bool isListingModels() const { return m_listingModels > 0; }
    // What the model box offers: the installed models, and the chosen model first when the
    // server does not list it (so the setting is never lost from the box). A blank setting (the
    // default model) adds nothing.
    QStringList localModelChoices() const;
    // What to tell the user about the listing in plain words; empty when all is well.
    QString localModelsNote() const;
    const LocalModelList& localModels() const { return m_localModels; }

    // "Test connection": the chosen provider's availability, then one real request through the
    // AI service (the local model answers; Claude accepts the key). Not started twice at once.
    void testConnection();
    // The same, as a task ending with the result line.
    QCoro::Task<QString> runConnectionTest();
    bool isTestingConnection() const { return m_testingConnection; }
    // The last result in one line ("Connected: …" or "Failed: …"); empty before the first test
    // and after a change to the AI settings.
    const QString& connectionTestResult() const { return m_connectionResult; }
    bool connectionTestSucceeded() const { return m_connectionSucceeded; }

    QString updateFeedURL() const;
    // Stores the feed's address (blank: the default); anything but an http(s) address is refused
    // with `message` set and the old one kept. True when stored.
    bool setUpdateFeedURL(const QString& url);
    // Offers every repeating event the user turned off again; a failure becomes the message.
    void allowAllSeries();

    // The last thing to tell the user (an error, or what was done).
    const QString& message() const { return m_message; }

Q_SIGNALS:
    void folderStatesChanged();
    void contactFoldersChanged();
    void shortcutChanged();
    void messageChanged();
    void localModelsChanged();
    void connectionTestChanged();
    void cloudKeyChanged();
    void orphansChanged();

private:
    void setMessage(const QString& message);
    void forgetConnectionTest();

    AppEnvironment& m_env;
    AutostartEntry m_autostart;
    ShortcutBinder m_binder;
    QHash<QString, QString> m_folderStates;
    QString m_message;
    int m_orphanCount = 0;
    bool m_eraseSucceeded = false;
    quint64 m_orphanGeneration = 0; // a count older than the last one asked for is dropped
    CloudKey m_cloudKey = CloudKey::Asking;
    quint64 m_keyGeneration = 0; // an answer older than the last save is dropped

    LocalModelList m_localModels;
    // Until the first answer there is nothing to say about the models but that they are asked for.
    bool m_listedOnce = false;
    int m_listingModels = 0;
    quint64 m_listingGeneration = 0;

    bool m_testingConnection = false;
    bool m_connectionSucceeded = false;
    QString m_connectionResult;
    // Bumped by every change to the AI settings: a test that ends after one reports nothing.
    quint64 m_aiSettingsGeneration = 0;
};

} // namespace pemmo
