// The contact form: a new contact, or a change to one. The address book's half (names,
// organisation, job title, the first e-mail and phone, the birthday) is saved as a ContactDraft
// through the sync engine's createContact / updateContact; Pemmo's half (circles, message handle,
// details, about, links) through updateRecord, and a replacement photo through the photo store.
// What the user typed is checked before anything is saved,
// each problem shown beside its field. Control-Return saves, Escape cancels (asking first when
// something was changed, so that one key never throws typing away), Control-O chooses a photo.
#pragma once

#include "Contacts/ContactDraft.h"
#include "Records/Profile.h"
#include "Screens/QuickLinkFormViewModel.h"
#include "Shell/KeyTarget.h"
#include "Store/PhotoImport.h"

#include <QCoroTask>
#include <QDate>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>

namespace pemmo {

class AppEnvironment;

class ContactFormViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("Forms come from Shell.contactForm(…).")
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(bool isEditing READ isEditing CONSTANT)
    Q_PROPERTY(QString givenName READ givenName WRITE setGivenName NOTIFY fieldsChanged)
    Q_PROPERTY(QString familyName READ familyName WRITE setFamilyName NOTIFY fieldsChanged)
    Q_PROPERTY(QString nickname READ nickname WRITE setNickname NOTIFY fieldsChanged)
    Q_PROPERTY(QString organization READ organization WRITE setOrganization NOTIFY fieldsChanged)
    // The avatar's letters for the names typed, as the card will show them.
    Q_PROPERTY(QString initials READ initials NOTIFY fieldsChanged)
    Q_PROPERTY(QString jobTitle READ jobTitle WRITE setJobTitle NOTIFY fieldsChanged)
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY fieldsChanged)
    Q_PROPERTY(QString phone READ phone WRITE setPhone NOTIFY fieldsChanged)
    Q_PROPERTY(QString birthdayDay READ birthdayDay WRITE setBirthdayDay NOTIFY fieldsChanged)
    Q_PROPERTY(int birthdayMonth READ birthdayMonth WRITE setBirthdayMonth NOTIFY fieldsChanged)
    Q_PROPERTY(QString birthdayYear READ birthdayYear WRITE setBirthdayYear NOTIFY fieldsChanged)
    Q_PROPERTY(QStringList monthTitles READ monthTitles CONSTANT)
    Q_PROPERTY(QString circles READ circles WRITE setCircles NOTIFY fieldsChanged)
    Q_PROPERTY(QString messageHandle READ messageHandle WRITE setMessageHandle NOTIFY fieldsChanged)
    Q_PROPERTY(QString about READ about WRITE setAbout NOTIFY fieldsChanged)
    // [{key, label, value}] for Pemmo's own details (how you met, school, …), as the form opened.
    // Constant: a change would rebuild the fields and take the keyboard from the one being typed in.
    Q_PROPERTY(QVariantList details READ detailList CONSTANT)
    // Notes under the e-mail and phone fields (the address book keeps further entries).
    Q_PROPERTY(QString emailNote READ emailNote NOTIFY fieldsChanged)
    Q_PROPERTY(QString phoneNote READ phoneNote NOTIFY fieldsChanged)
    // Where a new contact is written; empty until the address book has answered.
    Q_PROPERTY(QString folderNote READ folderNote NOTIFY folderNoteChanged)
    // Field name → message, for the problems found by the last save.
    Q_PROPERTY(QVariantMap errors READ errorMap NOTIFY errorsChanged)
    // A failure that belongs to no field (the address book refused the change).
    Q_PROPERTY(QString error READ error NOTIFY errorsChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)
    // The picture the form shows (a data: URL), empty for none: the photo chosen, else Pemmo's
    // own, else the address book's.
    Q_PROPERTY(QString photoSource READ photoSource NOTIFY photoChanged)
    // Whether the contact will have a photo of Pemmo's own once saved.
    Q_PROPERTY(bool hasReplacementPhoto READ hasReplacementPhoto NOTIFY photoChanged)
    // What happens to the photo on saving, for the line under it; empty when nothing changes.
    Q_PROPERTY(QString photoNote READ photoNote NOTIFY photoChanged)
    Q_PROPERTY(QString photoError READ photoError NOTIFY photoChanged)
    // The links as they will be saved: [{id, title, url, site}].
    Q_PROPERTY(QVariantList links READ linkList NOTIFY linksChanged)
    // The link being added or changed below the list.
    Q_PROPERTY(QString linkURL READ linkURL WRITE setLinkURL NOTIFY linkEditorChanged)
    Q_PROPERTY(QString linkTitle READ linkTitle WRITE setLinkTitle NOTIFY linkEditorChanged)
    Q_PROPERTY(int linkKindIndex READ linkKindIndex WRITE setLinkKindIndex NOTIFY linkEditorChanged)
    Q_PROPERTY(QStringList linkKindTitles READ linkKindTitles CONSTANT)
    // The id of the link being changed, empty while a new one is being added.
    Q_PROPERTY(QString editingLinkID READ editingLinkID NOTIFY linkEditorChanged)
    Q_PROPERTY(QString linkError READ linkError NOTIFY linkEditorChanged)

public:
    // Names of the fields, as `errors` keys them.
    static constexpr auto givenNameField = "givenName";
    static constexpr auto emailField = "email";
    static constexpr auto phoneField = "phone";
    static constexpr auto birthdayField = "birthday";

    // A typed name split for the form: the last word is the family name, the rest the given name
    // ("Zed Newperson" → "Zed", "Newperson"; "Ana María de la Cruz" → "Ana María de la", "Cruz").
    // One word is a given name.
    static std::pair<QString, QString> splitName(const QString& name);

    // The birthday typed in three fields (day and month as numbers, month 0 for none; the year
    // optional), checked against `today`: absent when all are empty, else the date or the message
    // that says what is wrong.
    struct BirthdayInput {
        std::optional<DateComponents> date;
        QString error;
    };
    static BirthdayInput parseBirthday(const QString& day, int month, const QString& year,
                                       const QDate& today);

    // Problems of the values as typed, field name → message; empty when they can be saved.
    struct Values {
        QString givenName;
        QString familyName;
        QString organization;
        QString email;
        QString phone;
        QString birthdayDay;
        int birthdayMonth = 0;
        QString birthdayYear;

        bool operator==(const Values&) const = default;
    };
    static QHash<QString, QString> validate(const Values& values, const QDate& today);

    // The record's links after a save: `edited` (the form's list) applied to `held` (what the
    // store holds now) as changes to `shown` (what the form started from). Links the form did not
    // touch stay as the store has them, links added elsewhere meanwhile stay (after the form's),
    // and the form's order wins. Throws PemmoError::customLinkLimitReached when the result would
    // hold more custom links than allowed.
    static QList<QuickLink> mergeLinks(const QList<QuickLink>& held, const QList<QuickLink>& shown,
                                       const QList<QuickLink>& edited);

    // Create mode when `contactID` is empty, with `suggestedName` split into the name fields (an
    // e-mail address or a phone number typed as the query goes to its own field).
    ContactFormViewModel(AppEnvironment& environment, const QString& contactID,
                         const QString& suggestedName = {}, QObject* parent = nullptr);

    QString title() const;
    bool isEditing() const { return !m_contactID.isEmpty(); }
    const QString& contactID() const { return m_contactID; }

    const QString& givenName() const { return m_values.givenName; }
    void setGivenName(const QString& value);
    const QString& familyName() const { return m_values.familyName; }
    void setFamilyName(const QString& value);
    const QString& nickname() const { return m_nickname; }
    void setNickname(const QString& value);
    const QString& organization() const { return m_values.organization; }
    QString initials() const;
    void setOrganization(const QString& value);
    const QString& jobTitle() const { return m_jobTitle; }
    void setJobTitle(const QString& value);
    const QString& email() const { return m_values.email; }
    void setEmail(const QString& value);
    const QString& phone() const { return m_values.phone; }
    void setPhone(const QString& value);
    const QString& birthdayDay() const { return m_values.birthdayDay; }
    void setBirthdayDay(const QString& value);
    int birthdayMonth() const { return m_values.birthdayMonth; }
    void setBirthdayMonth(int value);
    const QString& birthdayYear() const { return m_values.birthdayYear; }
    void setBirthdayYear(const QString& value);
    static QStringList monthTitles();
    // Circle names separated by commas.
    const QString& circles() const { return m_circles; }
    void setCircles(const QString& value);
    const QString& messageHandle() const { return m_messageHandle; }
    void setMessageHandle(const QString& value);
    const QString& about() const { return m_about; }
    void setAbout(const QString& value);
    Q_INVOKABLE void setDetail(const QString& key, const QString& value);
    QString detail(const QString& key) const { return m_details.value(key); }

    QString emailNote() const;
    QString phoneNote() const;
    QString folderNote() const { return m_folderNote; }
    const QHash<QString, QString>& errors() const { return m_errors; }
    const QString& error() const { return m_error; }
    bool isSaving() const { return m_isSaving; }

    // Asked for an image file when the user chooses a photo; returns its path, empty when the
    // user changed their mind. The app opens a file dialog; tests answer directly.
    void setPhotoChooser(std::function<QString()> chooser) { m_photoChooser = std::move(chooser); }
    QString photoSource() const;
    bool hasReplacementPhoto() const;
    QString photoNote() const;
    const QString& photoError() const { return m_photoError; }
    // Asks the chooser for a file and takes it as the photo.
    Q_INVOKABLE void choosePhoto();
    // Takes the image at `path` as the photo (shown now, stored on saving); a file that is no
    // image or too large leaves the photo as it was and says why.
    Q_INVOKABLE bool setPhotoFile(const QString& path);
    // Drops Pemmo's own photo (the one chosen or the one stored), so the address book's shows.
    Q_INVOKABLE void useContactsPhoto();
    // The photo bytes that saving stores, when one was chosen.
    const std::optional<QByteArray>& chosenPhoto() const { return m_chosenPhoto; }
    // Whether the stored replacement photo has been looked up (it is read in the background).
    bool isPhotoLoaded() const { return m_photoLoaded; }

    const QList<QuickLink>& formLinks() const { return m_links; }
    const QString& linkURL() const { return m_linkFields.url; }
    void setLinkURL(const QString& value);
    const QString& linkTitle() const { return m_linkFields.title; }
    void setLinkTitle(const QString& value);
    int linkKindIndex() const { return m_linkFields.kindIndex; }
    void setLinkKindIndex(int value);
    static QStringList linkKindTitles();
    QString editingLinkID() const;
    const QString& linkError() const { return m_linkError; }
    // Adds the link in the editor (or puts the changed one in its place); an address that is not
    // one or a custom link over the limit is refused with the quick-link form's message.
    Q_INVOKABLE bool commitLink();
    // Puts the link with `id` into the editor for a change.
    Q_INVOKABLE void editLink(const QString& id);
    Q_INVOKABLE void cancelLinkEdit();
    Q_INVOKABLE void removeLink(const QString& id);
    // Moves the link one place up (`delta` -1) or down (+1).
    Q_INVOKABLE void moveLink(const QString& id, int delta);

    // The address book's half as it will be saved. Organisation, job title and birthday the user
    // left as shown are handed over as the address book has them, so nothing changes there.
    ContactDraft draft() const;

    // Whether anything differs from what the form showed when it opened: a field, a detail, the
    // photo, the links, or a link typed into the editor and not yet added. A field changed and
    // changed back counts as unchanged.
    bool hasChanges() const;

    // Checks, then creates or changes the contact; on success the form gives way to the card.
    QCoro::Task<void> save();
    Q_INVOKABLE void submit() { save(); }
    // Leaves the form. With changes, the router's confirmation card asks first ("Discard your
    // changes?"); declining it returns to the form as it was.
    Q_INVOKABLE void cancel();

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void folderNoteChanged();
    void fieldsChanged();
    void errorsChanged();
    void isSavingChanged();
    // A save stopped at problems with the fields (now in `errors`).
    void saveRefused();
    void photoChanged();
    void linksChanged();
    void linkEditorChanged();

private:
    enum class PhotoChange { None, Chosen, Dropped };
    QCoro::Task<void> loadPhoto();
    QCoro::Task<void> loadFolderNote();
    QVariantList linkList() const;
    void setLinkError(const QString& error);
    void resetLinkEditor();
    QVariantList detailList() const;
    QVariantMap errorMap() const;
    void setText(QString& member, const QString& value, const char* field = nullptr);
    void setErrors(QHash<QString, QString> errors, QString error);
    // The circle ids of the typed names, with the ids of circles the catalogue does not know
    // kept as they were.
    QStringList circleIDs() const;

    AppEnvironment& m_env;
    const QString m_contactID;
    std::optional<Profile> m_original;
    Values m_values;
    QString m_nickname;
    QString m_jobTitle;
    QString m_circles;
    QString m_messageHandle;
    QString m_about;
    QHash<QString, QString> m_details;
    // As the form was first shown: what tells a changed field from one left alone.
    Values m_shownValues;
    QString m_shownJobTitle;
    QString m_shownNickname;
    QString m_shownCircles;
    QString m_shownMessageHandle;
    QString m_shownAbout;
    QHash<QString, QString> m_shownDetails;
    QHash<QString, QString> m_errors;
    QString m_error;
    bool m_isSaving = false;

    std::function<QString()> m_photoChooser;
    // Pemmo's own photo as stored when the form opened.
    std::optional<QByteArray> m_storedPhoto;
    bool m_photoLoaded = false;
    QString m_folderNote;
    PhotoChange m_photoChange = PhotoChange::None;
    std::optional<QByteArray> m_chosenPhoto;
    QString m_photoError;

    QList<QuickLink> m_shownLinks;
    QList<QuickLink> m_links;
    QuickLinkFormViewModel::Fields m_linkFields;
    std::optional<QUuid> m_editingLink;
    QString m_linkError;
};

} // namespace pemmo
