// The contact form: a new contact, or a change to one. The address book's half (names,
// organisation, job title, the first e-mail and phone, the birthday) is saved as a ContactDraft
// through the sync engine's createContact / updateContact; Pemmo's half (circles, message handle,
// details, about) through updateRecord. What the user typed is checked before anything is saved,
// each problem shown beside its field. Control-Return saves, Escape cancels.
#pragma once

#include "Contacts/ContactDraft.h"
#include "Records/Profile.h"
#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QDate>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <QVariantList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>
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
    // [{key, label, value}] for Pemmo's own details (how you met, school, …).
    Q_PROPERTY(QVariantList details READ detailList NOTIFY fieldsChanged)
    // Notes under the e-mail and phone fields (the address book keeps further entries).
    Q_PROPERTY(QString emailNote READ emailNote NOTIFY fieldsChanged)
    Q_PROPERTY(QString phoneNote READ phoneNote NOTIFY fieldsChanged)
    // Where a new contact is written.
    Q_PROPERTY(QString folderNote READ folderNote CONSTANT)
    // Field name → message, for the problems found by the last save.
    Q_PROPERTY(QVariantMap errors READ errorMap NOTIFY errorsChanged)
    // A failure that belongs to no field (the address book refused the change).
    Q_PROPERTY(QString error READ error NOTIFY errorsChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)

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
    };
    static QHash<QString, QString> validate(const Values& values, const QDate& today);

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
    QString folderNote() const;
    const QHash<QString, QString>& errors() const { return m_errors; }
    const QString& error() const { return m_error; }
    bool isSaving() const { return m_isSaving; }

    // The address book's half as it will be saved. Organisation, job title and birthday the user
    // left as shown are handed over as the address book has them, so nothing changes there.
    ContactDraft draft() const;

    // Checks, then creates or changes the contact; on success the form gives way to the card.
    QCoro::Task<void> save();
    Q_INVOKABLE void submit() { save(); }
    Q_INVOKABLE void cancel();

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void fieldsChanged();
    void errorsChanged();
    void isSavingChanged();

private:
    QVariantList detailList() const;
    QVariantMap errorMap() const;
    void setText(QString& member, const QString& value, const char* field = nullptr);
    void setErrors(QHash<QString, QString> errors, QString error);
    // The circle ids of the typed names (made in the catalogue when new), with the ids of
    // circles the catalogue does not know kept as they were.
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
    QHash<QString, QString> m_errors;
    QString m_error;
    bool m_isSaving = false;
};

} // namespace pemmo
