// The address book on Linux: vCard folders in the vdir layout that vdirsyncer, khard and khal
// share (one contact per ".vcf"; a folder of folders is a set of address books).
//
// The file work runs on a serial executor off the GUI thread; every operation races a time limit
// and fails with `timedOut` when the limit wins (the file work itself still runs to its end).
// Access: no folder chosen yet is `notDetermined`, a folder that cannot be read makes the whole
// book `denied`. Changes made by anyone, Pemmo included, reach `changes()` once per burst.
#pragma once

#include "Contacts/ContactRepository.h"

#include <QMutex>
#include <QStringList>
#include <chrono>
#include <functional>
#include <memory>

namespace pemmo {

class SerialExecutor;

class VCardFolderRepository : public ContactRepository {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds defaultTimeLimit{10'000};
    static constexpr std::chrono::milliseconds defaultQuietPeriod{300};

    // Whether a folder's entries can be read. It opens the folder, so it can block as long as
    // the disk behind it does.
    using FolderCheck = std::function<bool(const QString& folder)>;

    // `folders`: the address-book folders chosen so far (none: access not determined yet).
    // `defaultFolder`: the folder `requestAccess` creates and adopts. `executor`: where the file
    // work runs; a private one when none is given. `cacheFolder`: where the contact cache is kept
    // (see ContactCache.h); none when empty. `folderCheck`: how access to a folder is checked
    // (VCardBook::canRead).
    VCardFolderRepository(QStringList folders, QString defaultFolder,
                          std::chrono::milliseconds timeLimit = defaultTimeLimit,
                          std::chrono::milliseconds quietPeriod = defaultQuietPeriod,
                          std::shared_ptr<SerialExecutor> executor = nullptr, QString cacheFolder = {},
                          FolderCheck folderCheck = {}, QObject* parent = nullptr);

    // Where the application and the command line keep the contact cache: $XDG_CACHE_HOME/Pemmo.
    static QString standardCacheFolder();
    ~VCardFolderRepository() override;

    QStringList folders() const;
    // Reads from `folders` from now on; emits `foldersChanged` when they differ.
    void setFolders(QStringList folders);
    const QString& defaultFolder() const { return m_defaultFolder; }
    // Where new contacts are written (see VCardBook::setFolderForNewContacts); empty: the first
    // address book.
    void setFolderForNewContacts(QString folder);
    // The folder a contact created now would be written to, found on the file-work thread (it
    // lists the first folder). Throws contactsDenied with no readable folder, timedOut past the
    // time limit.
    QCoro::Task<QString> folderForNewContacts();

    // Opens every folder on the calling thread: for the command line. The GUI thread asks
    // `checkAuthorization`, which opens them on the file-work thread under the time limit.
    ContactsAuthorization authorizationStatus() const override;
    QCoro::Task<ContactsAuthorization> checkAuthorization() override;
    // With no folder yet, creates the default folder and adopts it. Throws contactsDenied when a
    // folder cannot be read.
    QCoro::Task<ContactsAuthorization> requestAccess() override;
    QCoro::Task<QList<Shared<Person>>> fetchPeople() override;
    QCoro::Task<std::optional<QByteArray>> fullImage(QString id) override;
    QCoro::Task<QString> create(ContactDraft draft) override;
    QCoro::Task<void> update(QString id, ContactDraft draft) override;
    QCoro::Task<void> deleteContact(QString id) override;

    // Whether photos are scaled down to thumbnails after a read (the default). A command that
    // prints no pictures turns it off; the people it reads then keep `hasFullImage` as read.
    void setMakesThumbnails(bool makes);

    // Blocks until the file work queued so far (such as writing the contact cache) is done: for a
    // command that is about to end its process without tearing everything down.
    void finishQueuedWork();

    // How many times a vCard file was read and parsed since construction.
    int parseCount() const;

Q_SIGNALS:
    void foldersChanged(const QStringList& folders);

private:
    struct State;

    template <class Job> auto perform(Job job);

    const QString m_defaultFolder;
    const std::chrono::milliseconds m_timeLimit;
    const FolderCheck m_folderCheck;
    std::shared_ptr<SerialExecutor> m_executor;
    std::shared_ptr<State> m_state;
    mutable QMutex m_foldersLock;
    QStringList m_folders;
};

} // namespace pemmo
