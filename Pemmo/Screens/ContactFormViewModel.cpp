#include "Screens/ContactFormViewModel.h"

#include "App/AppEnvironment.h"
#include "Contacts/ContactDraftRules.h"
#include "Contacts/VCardFolderRepository.h"
#include "Lists/RecentsStore.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/Text.h"
#include "Records/WritableField.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"

#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <tuple>

namespace pemmo {
namespace {

// Pemmo's own details the form shows, in the card's order. Company and job title are not among
// them: the form's organisation and job title fields stand for them.
const QList<std::pair<WritableField, const char*>>& detailFields() {
    static const QList<std::pair<WritableField, const char*>> fields = {
        {WritableField::HowWeMet, QT_TRANSLATE_NOOP("ContactFormViewModel", "How you met")},
        {WritableField::Team, QT_TRANSLATE_NOOP("ContactFormViewModel", "Team")},
        {WritableField::WorkLocation, QT_TRANSLATE_NOOP("ContactFormViewModel", "Work location")},
        {WritableField::School, QT_TRANSLATE_NOOP("ContactFormViewModel", "School")},
        {WritableField::Major, QT_TRANSLATE_NOOP("ContactFormViewModel", "Major")},
        {WritableField::GraduationYear, QT_TRANSLATE_NOOP("ContactFormViewModel", "Graduation year")},
        {WritableField::Mutuals, QT_TRANSLATE_NOOP("ContactFormViewModel", "Mutual friends")},
        {WritableField::Hometown, QT_TRANSLATE_NOOP("ContactFormViewModel", "Hometown")},
        {WritableField::CurrentCity, QT_TRANSLATE_NOOP("ContactFormViewModel", "Lives in")},
        {WritableField::Email, QT_TRANSLATE_NOOP("ContactFormViewModel", "Other e-mail")},
    };
    return fields;
}

bool looksLikeEmail(const QString& text) {
    static const QRegularExpression address(QStringLiteral("^[^@\\s]+@[^@\\s]+$"));
    return address.match(text).hasMatch();
}

bool looksLikePhone(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^\\+?[0-9 ()./-]{3,}$"));
    return number.match(text).hasMatch() && text.count(QRegularExpression(QStringLiteral("[0-9]"))) >= 3;
}

QString shownPath(const QString& path) {
    const QString home = QDir::homePath();
    if (path == home || path.startsWith(home + u'/'))
        return u'~' + path.mid(home.size());
    return path;
}

std::optional<QString> nonBlank(const QString& text) {
    return ContactDraftRules::optionalText(text);
}

// What a save does to the record, taken once so that the change runs on whatever the store holds.
struct RecordEdit {
    QStringList tags;
    std::optional<QString> messageHandle;
    QString about;
    QList<std::pair<WritableField, std::optional<QString>>> details;
    bool dropsCompany = false;
    bool dropsJobTitle = false;
    bool dropsBirthday = false;

    void operator()(PemmoRecord& record) const {
        record.tags = tags;
        record.messageHandle = messageHandle;
        record.about = about;
        for (const auto& [field, value] : details)
            WritableFields::slot(record, field) = value;
        if (dropsCompany)
            record.details.company.reset();
        if (dropsJobTitle)
            record.details.jobTitle.reset();
        if (dropsBirthday)
            record.birthday.reset();
    }
};

} // namespace

std::pair<QString, QString> ContactFormViewModel::splitName(const QString& name) {
    const QStringList words = name.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    if (words.size() == 1)
        return {words.first(), QString()};
    return {words.mid(0, words.size() - 1).join(u' '), words.last()};
}

ContactFormViewModel::BirthdayInput
ContactFormViewModel::parseBirthday(const QString& day, int month, const QString& year, const QDate& today) {
    const QString dayText = day.trimmed();
    const QString yearText = year.trimmed();
    if (dayText.isEmpty() && month == 0 && yearText.isEmpty())
        return {};
    if (dayText.isEmpty() || month < 1 || month > 12)
        return {std::nullopt, tr("Choose the day and the month, or leave all three empty.")};
    bool dayOK = false;
    const int dayNumber = dayText.toInt(&dayOK);
    std::optional<int> yearNumber;
    if (!yearText.isEmpty()) {
        bool yearOK = false;
        const int value = yearText.toInt(&yearOK);
        if (!yearOK || yearText.size() != 4 || value < 1000)
            return {std::nullopt, tr("Enter the year with four digits, or leave it empty.")};
        yearNumber = value;
    }
    // Without a year, 29 February is a day that exists: check it in a leap year.
    const QDate date(yearNumber.value_or(2000), month, dayOK ? dayNumber : 0);
    if (!dayOK || !date.isValid())
        return {std::nullopt, tr("That day does not exist in that month.")};
    if (yearNumber && today.isValid() && date > today)
        return {std::nullopt, tr("A birthday cannot be in the future.")};
    return {DateComponents{yearNumber, month, dayNumber}, QString()};
}

QHash<QString, QString> ContactFormViewModel::validate(const Values& values, const QDate& today) {
    QHash<QString, QString> errors;
    if (Text::isBlank(values.givenName) && Text::isBlank(values.familyName) &&
        Text::isBlank(values.organization))
        errors.insert(QString::fromLatin1(givenNameField), tr("Enter a name or an organisation."));
    const QString email = Text::trimmed(values.email);
    if (!email.isEmpty() && !looksLikeEmail(email))
        errors.insert(QString::fromLatin1(emailField), tr("Enter an address such as name@example.com."));
    const QString phone = Text::trimmed(values.phone);
    if (!phone.isEmpty() && !phone.contains(QRegularExpression(QStringLiteral("[0-9]"))))
        errors.insert(QString::fromLatin1(phoneField), tr("A phone number needs digits."));
    const BirthdayInput birthday =
        parseBirthday(values.birthdayDay, values.birthdayMonth, values.birthdayYear, today);
    if (!birthday.error.isEmpty())
        errors.insert(QString::fromLatin1(birthdayField), birthday.error);
    return errors;
}

ContactFormViewModel::ContactFormViewModel(AppEnvironment& environment, const QString& contactID,
                                           const QString& suggestedName, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_contactID(contactID) {
    if (!contactID.isEmpty()) {
        m_original = environment.sync().profile(contactID);
        if (m_original) {
            const Profile& profile = *m_original;
            const Person& person = profile.person;
            m_values.givenName = person.givenName;
            m_values.familyName = person.familyName;
            m_nickname = person.nickname;
            // What the card shows: Pemmo's own company and job title before the address book's.
            m_values.organization = profile.company().value_or(QString());
            m_jobTitle = profile.role().value_or(QString());
            m_values.email = person.emails.isEmpty() ? QString() : person.emails.first().value;
            m_values.phone = person.phones.isEmpty() ? QString() : person.phones.first().value;
            if (const auto birthday = profile.record.birthday ? profile.record.birthday : person.birthday) {
                m_values.birthdayDay = QString::number(birthday->day);
                m_values.birthdayMonth = birthday->month;
                m_values.birthdayYear = birthday->year ? QString::number(*birthday->year) : QString();
            }
            QStringList names;
            for (const QString& id : profile.record.tags) {
                if (const auto tag = environment.tags().tagWithID(id))
                    names.append(tag->name);
            }
            m_circles = names.join(u", "_qs);
            m_messageHandle = profile.record.messageHandle.value_or(QString());
            m_about = profile.record.about;
            for (const auto& [field, label] : detailFields()) {
                Q_UNUSED(label);
                m_details.insert(WritableFields::name(field),
                                 WritableFields::slot(profile.record, field).value_or(QString()));
            }
        }
    } else {
        const QString typed = suggestedName.simplified();
        if (looksLikeEmail(typed))
            m_values.email = typed;
        else if (looksLikePhone(typed))
            m_values.phone = typed;
        else
            std::tie(m_values.givenName, m_values.familyName) = splitName(typed);
    }
    m_shownValues = m_values;
    m_shownJobTitle = m_jobTitle;
}

QString ContactFormViewModel::title() const {
    if (!isEditing())
        return tr("New contact");
    return m_original ? tr("Edit %1").arg(m_original->person.displayName()) : tr("Edit contact");
}

QStringList ContactFormViewModel::monthTitles() {
    QStringList titles{tr("Month")};
    const QLocale locale;
    for (int month = 1; month <= 12; ++month)
        titles.append(locale.standaloneMonthName(month));
    return titles;
}

void ContactFormViewModel::setText(QString& member, const QString& value, const char* field) {
    if (member == value)
        return;
    member = value;
    // A corrected field loses its message; the others keep theirs until the next save.
    if (field && m_errors.remove(QString::fromLatin1(field)))
        Q_EMIT errorsChanged();
    Q_EMIT fieldsChanged();
}

void ContactFormViewModel::setGivenName(const QString& value) {
    setText(m_values.givenName, value, givenNameField);
}
void ContactFormViewModel::setFamilyName(const QString& value) {
    setText(m_values.familyName, value, givenNameField);
}
void ContactFormViewModel::setNickname(const QString& value) {
    setText(m_nickname, value);
}
void ContactFormViewModel::setOrganization(const QString& value) {
    setText(m_values.organization, value, givenNameField);
}
void ContactFormViewModel::setJobTitle(const QString& value) {
    setText(m_jobTitle, value);
}
void ContactFormViewModel::setEmail(const QString& value) {
    setText(m_values.email, value, emailField);
}
void ContactFormViewModel::setPhone(const QString& value) {
    setText(m_values.phone, value, phoneField);
}
void ContactFormViewModel::setBirthdayDay(const QString& value) {
    setText(m_values.birthdayDay, value, birthdayField);
}
void ContactFormViewModel::setBirthdayMonth(int value) {
    if (value < 0 || value > 12 || value == m_values.birthdayMonth)
        return;
    m_values.birthdayMonth = value;
    if (m_errors.remove(QString::fromLatin1(birthdayField)))
        Q_EMIT errorsChanged();
    Q_EMIT fieldsChanged();
}
void ContactFormViewModel::setBirthdayYear(const QString& value) {
    setText(m_values.birthdayYear, value, birthdayField);
}
void ContactFormViewModel::setCircles(const QString& value) {
    setText(m_circles, value);
}
void ContactFormViewModel::setMessageHandle(const QString& value) {
    setText(m_messageHandle, value);
}
void ContactFormViewModel::setAbout(const QString& value) {
    setText(m_about, value);
}

void ContactFormViewModel::setDetail(const QString& key, const QString& value) {
    if (!WritableFields::fromName(key) || m_details.value(key) == value)
        return;
    m_details.insert(key, value);
    Q_EMIT fieldsChanged();
}

QVariantList ContactFormViewModel::detailList() const {
    QVariantList list;
    for (const auto& [field, label] : detailFields()) {
        const QString key = WritableFields::name(field);
        list.append(
            QVariantMap{{u"key"_qs, key}, {u"label"_qs, tr(label)}, {u"value"_qs, m_details.value(key)}});
    }
    return list;
}

QVariantMap ContactFormViewModel::errorMap() const {
    QVariantMap map;
    for (auto it = m_errors.cbegin(); it != m_errors.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}

QString ContactFormViewModel::emailNote() const {
    const qsizetype count = m_original ? m_original->person.emails.size() : 0;
    if (count > 0 && Text::isBlank(m_values.email))
        return tr("Left empty, the address book keeps its e-mail addresses.");
    if (count > 1)
        return tr("Changes the first of %1 addresses; the others stay.").arg(count);
    return {};
}

QString ContactFormViewModel::phoneNote() const {
    const qsizetype count = m_original ? m_original->person.phones.size() : 0;
    if (count > 0 && Text::isBlank(m_values.phone))
        return tr("Left empty, the address book keeps its phone numbers.");
    if (count > 1)
        return tr("Changes the first of %1 numbers; the others stay.").arg(count);
    return {};
}

QString ContactFormViewModel::folderNote() const {
    if (isEditing())
        return {};
    const auto* folders = dynamic_cast<const VCardFolderRepository*>(&m_env.contacts());
    if (!folders)
        return {};
    QString folder = m_env.settings().newContactsFolder().trimmed();
    if (folder.isEmpty())
        folder = folders->folders().value(0);
    if (folder.isEmpty())
        return {};
    return tr("Saved in %1").arg(shownPath(AppEnvironment::contactFolders({folder}, QString()).value(0)));
}

void ContactFormViewModel::setErrors(QHash<QString, QString> errors, QString error) {
    if (m_errors == errors && m_error == error)
        return;
    m_errors = std::move(errors);
    m_error = std::move(error);
    Q_EMIT errorsChanged();
}

ContactDraft ContactFormViewModel::draft() const {
    ContactDraft draft;
    draft.givenName = m_values.givenName;
    draft.familyName = m_values.familyName;
    draft.nickname = m_nickname;
    draft.organization = m_values.organization;
    draft.jobTitle = m_jobTitle;
    draft.email = m_values.email;
    draft.phone = m_values.phone;
    const auto birthday =
        parseBirthday(m_values.birthdayDay, m_values.birthdayMonth, m_values.birthdayYear, QDate());
    if (!m_original) {
        draft.birthday = birthday.date;
        return draft;
    }
    const Person& person = m_original->person;
    // Fields left as shown keep the address book as it is, even where the form showed Pemmo's value.
    if (Text::trimmed(m_values.organization) == Text::trimmed(m_shownValues.organization))
        draft.organization = person.organization.value_or(QString());
    if (Text::trimmed(m_jobTitle) == Text::trimmed(m_shownJobTitle))
        draft.jobTitle = person.jobTitle.value_or(QString());
    const bool birthdayChanged = m_values.birthdayDay.trimmed() != m_shownValues.birthdayDay.trimmed() ||
                                 m_values.birthdayMonth != m_shownValues.birthdayMonth ||
                                 m_values.birthdayYear.trimmed() != m_shownValues.birthdayYear.trimmed();
    if (birthdayChanged) {
        draft.birthday = birthday.date;
        draft.clearBirthday = !birthday.date;
    }
    return draft;
}

QStringList ContactFormViewModel::circleIDs() const {
    TagCatalog& catalog = m_env.tags();
    QStringList ids;
    for (const QString& name : m_circles.split(u',', Qt::SkipEmptyParts)) {
        if (Text::isBlank(name))
            continue;
        const QString id = catalog.findOrCreate(name).id;
        if (!ids.contains(id))
            ids.append(id);
    }
    // Circles the catalogue does not know were not shown, so they were not removed either.
    if (m_original) {
        for (const QString& id : m_original->record.tags) {
            if (!catalog.tagWithID(id) && !ids.contains(id))
                ids.append(id);
        }
    }
    return ids;
}

QCoro::Task<void> ContactFormViewModel::save() {
    if (m_isSaving)
        co_return;
    const QDate today = m_env.clock()().date();
    QHash<QString, QString> problems = validate(m_values, today);
    if (isEditing() && !m_original)
        setErrors({}, tr("This contact is no longer in the address book."));
    if (!problems.isEmpty() || (isEditing() && !m_original)) {
        setErrors(std::move(problems), m_error);
        co_return;
    }
    setErrors({}, {});
    m_isSaving = true;
    Q_EMIT isSavingChanged();

    const ContactDraft contact = draft();
    RecordEdit edit;
    edit.tags = circleIDs();
    edit.messageHandle = nonBlank(m_messageHandle);
    edit.about = Text::trimmed(m_about);
    for (const auto& [field, label] : detailFields()) {
        Q_UNUSED(label);
        edit.details.append({field, nonBlank(m_details.value(WritableFields::name(field)))});
    }
    if (m_original) {
        // A value the user changed goes to the address book; Pemmo's own copy would hide it on the card.
        const Details& held = m_original->record.details;
        edit.dropsCompany =
            held.company && Text::trimmed(m_values.organization) != Text::trimmed(m_shownValues.organization);
        edit.dropsJobTitle = held.jobTitle && Text::trimmed(m_jobTitle) != Text::trimmed(m_shownJobTitle);
        edit.dropsBirthday = m_original->record.birthday && (contact.birthday || contact.clearBirthday);
    }

    QPointer<ContactFormViewModel> self(this);
    AppEnvironment* env = &m_env;
    ProfileSyncEngine& sync = m_env.sync();
    const std::optional<Profile> original = m_original;
    QString failure;
    QString id = m_contactID;
    try {
        if (!original) {
            PemmoRecord record = PemmoRecord::fresh(env->clock()());
            edit(record);
            auto creating = sync.createContact(contact, record);
            id = co_await creating;
        } else {
            if (ContactDraftRules::apply(original->person, contact) != original->person) {
                auto updating = sync.updateContact(id, contact);
                co_await updating;
            }
            PemmoRecord changed = original->record;
            edit(changed);
            if (changed != original->record) {
                auto storing = sync.updateRecord(id, edit);
                co_await storing;
            }
        }
    } catch (const std::exception& error) {
        failure = ProfileSyncEngine::errorMessage(error);
    }
    if (!self)
        co_return;
    m_isSaving = false;
    Q_EMIT isSavingChanged();
    if (!failure.isEmpty()) {
        setErrors({}, failure);
        co_return;
    }
    AppRouter& router = env->router();
    const auto saved = env->sync().profile(id);
    const QString name = saved ? saved->person.displayName() : QString();
    router.pop();
    if (!original) {
        // The new person's card takes the form's place, as if they had been found and opened.
        env->recents().record(id);
        router.push(Route::profile(id));
        router.showSuccess(tr("Added %1.").arg(name));
    } else {
        router.showSuccess(tr("Saved %1.").arg(name));
    }
}

void ContactFormViewModel::cancel() {
    m_env.router().pop();
}

KeyResult ContactFormViewModel::handleKey(const KeyEvent& event) {
    if (event.isControlReturn()) {
        save();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        cancel();
        return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

} // namespace pemmo
