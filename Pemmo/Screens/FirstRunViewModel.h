// The first-run window's model: the practice run it shows, the contacts step (which vCard folders
// Pemmo reads: its own "Contacts" folder, folders of vdirsyncer or khard found on this computer,
// or one the user chooses) and how the window ends — completed or skipped, written to the settings
// so the next start opens no window.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <functional>

namespace pemmo {

class AppEnvironment;
class OnboardingPractice;

class FirstRunViewModel : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The first-run window makes its model.")
    Q_MOC_INCLUDE("Screens/OnboardingPractice.h")
    Q_PROPERTY(pemmo::OnboardingPractice* practice READ practice CONSTANT)
    Q_PROPERTY(QVariantList folders READ folderList NOTIFY foldersChanged)
    Q_PROPERTY(QString contactsText READ contactsText NOTIFY foldersChanged)
    Q_PROPERTY(bool hasCheckedFolder READ hasCheckedFolder NOTIFY foldersChanged)
    Q_PROPERTY(QString notice READ notice NOTIFY noticeChanged)
    Q_PROPERTY(QString shortcutGlyphs READ shortcutGlyphs NOTIFY shortcutGlyphsChanged)

public:
    // How the address book looks from the folders Pemmo reads.
    enum class ContactsState {
        NotConnected, // no folder yet
        Off,          // a folder cannot be read: the book is read whole or not at all
        Ready,        // every folder can be read, and they hold contacts
        Empty,        // every folder can be read, and none holds a contact
    };
    struct FolderState {
        bool readable = false;
        int contacts = 0;
    };
    static ContactsState contactsState(const QList<FolderState>& folders);
    static QString contactsText(ContactsState state);
    // What a folder holds right now: whether it can be read and its vCard files, those of its
    // address-book subfolders included.
    static FolderState folderState(const QString& folder);

    struct Candidate {
        QString path;
        QString source; // "Pemmo", "vdirsyncer", "khard", "chosen"
        bool checked = false;
    };

    // Neither the environment nor the practice is owned; both must outlive the model. `candidates`
    // are the folders offered besides Pemmo's own (ContactFolderDiscovery::find).
    FirstRunViewModel(AppEnvironment& live, OnboardingPractice& practice, QList<Candidate> found,
                      QObject* parent = nullptr);

    OnboardingPractice* practice() const { return &m_practice; }
    const QList<Candidate>& candidates() const { return m_candidates; }
    QVariantList folderList() const;
    QString contactsText() const;
    ContactsState contactsState() const;
    bool hasCheckedFolder() const;
    const QString& notice() const { return m_notice; }
    void setNotice(const QString& notice);
    QString shortcutGlyphs() const;

    // Asks for a folder (the desktop's folder dialog, or a test's answer); empty for none.
    std::function<QString()> askForFolder;
    // Runs when the window is done (finished or skipped); `openPanel` when the user asked to
    // search their contacts at once.
    std::function<void(bool openPanel)> onDone;

    Q_INVOKABLE void setChecked(int index, bool checked);
    // "Choose folder…": the chosen folder joins the list, checked.
    Q_INVOKABLE void chooseFolder();
    // Reads the checked folders from now on; Pemmo's own folder is made when checked and missing.
    // False, with `notice` set, when a folder could not be made.
    Q_INVOKABLE bool connectFolders();
    // From the practice to the contacts step.
    Q_INVOKABLE void continueToContacts();
    // The ways out: completed (the contacts step's buttons, or the window closed there) or
    // skipped (before the practice was over).
    Q_INVOKABLE void finish(bool openPanel);
    Q_INVOKABLE void skip();
    // The window was closed by the window manager.
    void closed();

    // The folders Pemmo reads now (the settings' choice, else its own folder when it exists).
    QStringList connectedFolders() const;

Q_SIGNALS:
    void foldersChanged();
    void noticeChanged();
    void shortcutGlyphsChanged();

private:
    void end(bool completed, bool openPanel);

    AppEnvironment& m_live;
    OnboardingPractice& m_practice;
    QList<Candidate> m_candidates;
    QString m_notice;
    bool m_done = false;
};

} // namespace pemmo
