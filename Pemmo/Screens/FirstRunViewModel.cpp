#include "Screens/FirstRunViewModel.h"

#include "App/AppEnvironment.h"
#include "App/AppStartup.h"
#include "Contacts/VCardBook.h"
#include "Screens/OnboardingPractice.h"
#include "Settings/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QVariantMap>
#include <algorithm>

namespace pemmo {

FirstRunViewModel::FirstRunViewModel(AppEnvironment& live, OnboardingPractice& practice,
                                     QList<Candidate> found, QObject* parent)
    : QObject(parent)
    , m_live(live)
    , m_practice(practice) {
    // Pemmo's own folder first: the one that works with nothing else set up. It is checked when
    // nothing else was found, so one key connects an address book either way.
    const QString own = AppEnvironment::defaultContactFolder(live.directory());
    const QStringList connected = connectedFolders();
    m_candidates.append({own, QStringLiteral("Pemmo"), found.isEmpty() || connected.contains(own)});
    for (Candidate& c : found) {
        if (c.path == own)
            continue;
        c.checked = true;
        m_candidates.append(c);
    }
    connect(&live, &AppEnvironment::hotkeyGlyphsChanged, this, &FirstRunViewModel::shortcutGlyphsChanged);
}

FirstRunViewModel::ContactsState FirstRunViewModel::contactsState(const QList<FolderState>& folders) {
    if (folders.isEmpty())
        return ContactsState::NotConnected;
    int readable = 0;
    int contacts = 0;
    for (const FolderState& f : folders) {
        readable += f.readable ? 1 : 0;
        contacts += f.readable ? f.contacts : 0;
    }
    // The address book is read whole or not at all (a folder missing for a moment must not make
    // its people look gone), so one folder that cannot be read keeps every contact out of reach.
    if (readable < folders.size())
        return ContactsState::Off;
    return contacts > 0 ? ContactsState::Ready : ContactsState::Empty;
}

QString FirstRunViewModel::contactsText(ContactsState state) {
    switch (state) {
    case ContactsState::NotConnected:
        return QStringLiteral(
            "Pemmo will set up an address book folder for you. You can also connect later.");
    case ContactsState::Off:
        return QStringLiteral(
            "Contacts access is off. Check the address book folders in Pemmo's settings, or "
            "choose Later to explore Pemmo.");
    case ContactsState::Ready:
        return QStringLiteral("Your contacts are ready. Search for someone you know.");
    case ContactsState::Empty:
        return QStringLiteral(
            "No contacts found yet. Add someone to your address book folders, then search for "
            "them in Pemmo.");
    }
    return {};
}

FirstRunViewModel::FolderState FirstRunViewModel::folderState(const QString& folder) {
    const QFileInfo info(folder);
    if (!info.isDir() || !info.isReadable() || !info.isExecutable())
        return {};
    // Counted as the address book reads the folder: its own cards and those of its address-book
    // subfolders (vdirsyncer keeps one per collection, and the folder itself then holds none).
    try {
        return {true, int(VCardBook::list({folder}).files.size())};
    } catch (const std::exception&) {
        return {};
    }
}

QStringList FirstRunViewModel::connectedFolders() const {
    return AppEnvironment::contactFolders(m_live.settings().contactFolders(), m_live.directory());
}

FirstRunViewModel::ContactsState FirstRunViewModel::contactsState() const {
    QList<FolderState> states;
    for (const QString& folder : connectedFolders())
        states.append(folderState(folder));
    return contactsState(states);
}

QString FirstRunViewModel::contactsText() const {
    return contactsText(contactsState());
}

QVariantList FirstRunViewModel::folderList() const {
    const QStringList connected = connectedFolders();
    const QString home = QDir::homePath();
    QVariantList list;
    for (const Candidate& c : m_candidates) {
        QString shown = c.path;
        if (shown.startsWith(home + u'/'))
            shown = u"~"_qs + shown.mid(home.size());
        const FolderState state = folderState(c.path);
        QString note;
        if (c.source == u"Pemmo")
            note =
                state.readable ? tr("Pemmo's own folder") : tr("Pemmo's own folder, made when you connect");
        else if (c.source == u"chosen")
            note = tr("chosen");
        else if (c.source == u"found")
            note = tr("found");
        else
            note = tr("from %1").arg(c.source);
        if (state.readable)
            note +=
                u", "_qs + (state.contacts == 1 ? tr("1 contact") : tr("%1 contacts").arg(state.contacts));
        list.append(QVariantMap{{QStringLiteral("path"), shown},
                                {QStringLiteral("note"), note},
                                {QStringLiteral("checked"), c.checked},
                                {QStringLiteral("connected"), connected.contains(c.path)}});
    }
    return list;
}

bool FirstRunViewModel::hasCheckedFolder() const {
    return std::any_of(m_candidates.cbegin(), m_candidates.cend(),
                       [](const Candidate& c) { return c.checked; });
}

void FirstRunViewModel::setNotice(const QString& notice) {
    if (m_notice == notice)
        return;
    m_notice = notice;
    Q_EMIT noticeChanged();
}

QString FirstRunViewModel::shortcutGlyphs() const {
    return m_live.hotkeyGlyphs();
}

void FirstRunViewModel::setChecked(int index, bool checked) {
    if (index < 0 || index >= m_candidates.size() || m_candidates[index].checked == checked)
        return;
    m_candidates[index].checked = checked;
    Q_EMIT foldersChanged();
}

void FirstRunViewModel::chooseFolder() {
    const QString folder = askForFolder ? askForFolder() : QString();
    if (folder.isEmpty())
        return;
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    for (Candidate& c : m_candidates)
        if (c.path == path) {
            c.checked = true;
            Q_EMIT foldersChanged();
            return;
        }
    m_candidates.append({path, QStringLiteral("chosen"), true});
    Q_EMIT foldersChanged();
}

bool FirstRunViewModel::connectFolders() {
    QStringList chosen = m_live.settings().contactFolders();
    for (const Candidate& c : m_candidates) {
        if (!c.checked)
            continue;
        if (!QFileInfo(c.path).isDir() && !QDir().mkpath(c.path)) {
            setNotice(tr("Pemmo could not make the folder %1.").arg(c.path));
            return false;
        }
        // Pemmo's own folder too is written down once connected, so the address book reads it
        // at once even when it was only just made.
        const QStringList already =
            chosen.isEmpty() ? QStringList() : AppEnvironment::contactFolders(chosen, m_live.directory());
        if (!already.contains(c.path))
            chosen.append(c.path);
    }
    setNotice(QString());
    // Written down, the folders are read at once (the environment follows the setting).
    m_live.settings().setContactFolders(chosen);
    Q_EMIT foldersChanged();
    return true;
}

void FirstRunViewModel::continueToContacts() {
    m_practice.moveToContacts();
    Q_EMIT foldersChanged();
}

void FirstRunViewModel::finish(bool openPanel) {
    end(true, openPanel);
}

void FirstRunViewModel::skip() {
    end(false, false);
}

void FirstRunViewModel::closed() {
    end(m_practice.step() == OnboardingPractice::Step::Contacts, false);
}

void FirstRunViewModel::end(bool completed, bool openPanel) {
    if (m_done)
        return;
    m_done = true;
    SettingsStore& settings = m_live.settings();
    if (completed)
        settings.setHasCompletedOnboarding(true);
    else
        settings.setHasSkippedOnboarding(true);
    settings.setOnboardingVersion(AppStartup::currentOnboardingVersion);
    m_practice.stop();
    if (onDone)
        onDone(openPanel);
}

} // namespace pemmo
