#include "Screens/ContactFormViewModel.h"

#include "App/AppEnvironment.h"
#include "Contacts/ContactDraftRules.h"
#include "Contacts/VCardFolderRepository.h"
#include "Links/LinkRouter.h"
#include "Links/QuickLinkPolicy.h"
#include "Lists/RecentsStore.h"
#include "Lists/TagCatalog.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Profiles/RecordEdits.h"
#include "Records/PemmoError.h"
#include "Records/Text.h"
#include "Records/WritableField.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"

#include <QDir>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <tuple>

namespace pemmo {
namespace {

// A circle as typed in the form: "#" (as in a search) and the spaces around it are not part of it.
QString circleName(const QString& typed) {
    QString name = Text::trimmed(typed);
    while (name.startsWith(u'#'))
        name = Text::trimmed(name.mid(1));
    return name;
}

QStringList circleNames(const QString& typed) {
    QStringList names;
    for (const QString& piece : typed.split(u',', Qt::SkipEmptyParts)) {
        const QString name = circleName(piece);
        if (!Text::isBlank(name))
            names.append(name);
    }
    return names;
}

// A circle typed here is catalogued with the name as typed ("iOS Devs") before the record that
// carries it is published (whatever catalogues the circles of published records would otherwise
// name it from its id, "Ios Devs"). Gives the circles that are new, to be taken out again when the
// save fails: a save that fails leaves no circle behind.
QStringList catalogueCircles(TagCatalog& catalog, const QString& typed) {
    QStringList added;
    for (const QString& name : circleNames(typed)) {
        const QString id = Tag::normalizedID(name);
        if (catalog.tagWithID(id) || added.contains(id))
            continue;
        catalog.findOrCreate(name);
        added.append(id);
    }
    return added;
}

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
        // Where Find My and Gmail on the card go; without them those actions have nothing to open.
        {WritableField::FindMyURL, QT_TRANSLATE_NOOP("ContactFormViewModel", "Location link")},
        {WritableField::GmailTemplate, QT_TRANSLATE_NOOP("ContactFormViewModel", "Gmail template")},
    };
    return fields;
}

// Where the problem of one of Pemmo's own details is shown: beside that detail.
QString detailErrorKey(WritableField field) {
    return u"detail-"_qs + WritableFields::name(field);
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

QString dataURL(const QByteArray& image) {
    const bool png = image.startsWith("\x89PNG");
    return (png ? u"data:image/png;base64,"_qs : u"data:image/jpeg;base64,"_qs) +
           QString::fromLatin1(image.toBase64());
}

bool isCustom(const QuickLink& link) {
    return link.kind == QuickLink::Kind::Custom;
}

// What a save does to the record, taken once so that the change runs on whatever the store holds.
struct RecordEdit {
    QDateTime now;
    QStringList tags;
    std::optional<QString> messageHandle;
    QString about;
    QList<std::pair<WritableField, std::optional<QString>>> details;
    bool dropsCompany = false;
    bool dropsJobTitle = false;
    bool dropsBirthday = false;
    // The links as the form showed them and as the user left them, when they differ.
    std::optional<std::pair<QList<QuickLink>, QList<QuickLink>>> links;

    void operator()(PemmoRecord& record) const {
        if (links)
            record.links = ContactFormViewModel::mergeLinks(record.links, links->first, links->second);
        record.tags = tags;
        record.about = about;
        // Every field set here is logged, as the card's other edits are.
        const auto set = [&](WritableField field, const std::optional<QString>& value) {
            RecordEdits::setField(record, field, value, Interaction::Source::user(), now);
        };
        set(WritableField::MessageHandle, messageHandle);
        for (const auto& [field, value] : details)
            set(field, value);
        if (dropsCompany)
            set(WritableField::Company, std::nullopt);
        if (dropsJobTitle)
            set(WritableField::JobTitle, std::nullopt);
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

QList<QuickLink> ContactFormViewModel::mergeLinks(const QList<QuickLink>& held, const QList<QuickLink>& shown,
                                                  const QList<QuickLink>& edited) {
    QHash<QUuid, QuickLink> shownByID;
    for (const QuickLink& link : shown)
        shownByID.insert(link.id, link);
    QHash<QUuid, QuickLink> heldByID;
    for (const QuickLink& link : held)
        heldByID.insert(link.id, link);

    QList<QuickLink> result;
    QSet<QUuid> placed;
    for (const QuickLink& link : edited) {
        const auto before = shownByID.constFind(link.id);
        if (before != shownByID.cend() && *before == link) {
            // Left alone in the form: whatever the store holds now, if it still holds it.
            const auto now = heldByID.constFind(link.id);
            if (now == heldByID.cend())
                continue;
            result.append(*now);
        } else {
            result.append(link);
        }
        placed.insert(link.id);
    }
    for (const QuickLink& link : held) {
        if (shownByID.contains(link.id) || placed.contains(link.id))
            continue;
        // Added elsewhere while the form was open; a site keeps the form's link of its kind.
        const bool siteTaken =
            !isCustom(link) && std::any_of(result.cbegin(), result.cend(),
                                           [&](const QuickLink& l) { return l.kind == link.kind; });
        if (!siteTaken)
            result.append(link);
    }
    if (std::count_if(result.cbegin(), result.cend(), isCustom) > QuickLinkPolicy::customLinkLimit)
        throw PemmoError::customLinkLimitReached(QuickLinkPolicy::customLinkLimit);
    return result;
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
            const Person& person = *profile.person;
            m_values.givenName = person.givenName;
            m_values.familyName = person.familyName;
            m_nickname = person.nickname;
            // What the card shows: Pemmo's own company and job title before the address book's.
            m_values.organization = profile.company().value_or(QString());
            m_jobTitle = profile.role().value_or(QString());
            m_values.email = person.emails.isEmpty() ? QString() : person.emails.first().value;
            m_values.phone = person.phones.isEmpty() ? QString() : person.phones.first().value;
            if (const auto birthday = profile.record->birthday ? profile.record->birthday : person.birthday) {
                m_values.birthdayDay = QString::number(birthday->day);
                m_values.birthdayMonth = birthday->month;
                m_values.birthdayYear = birthday->year ? QString::number(*birthday->year) : QString();
            }
            QStringList names;
            for (const QString& id : profile.record->tags) {
                if (const auto tag = environment.tags().tagWithID(id))
                    names.append(tag->name);
            }
            m_circles = names.join(u", "_qs);
            m_messageHandle = profile.record->messageHandle.value_or(QString());
            m_about = profile.record->about;
            for (const auto& [field, label] : detailFields()) {
                Q_UNUSED(label);
                m_details.insert(WritableFields::name(field),
                                 WritableFields::slot(*profile.record, field).value_or(QString()));
            }
            m_shownLinks = profile.record->links;
            m_links = m_shownLinks;
            loadPhoto();
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
    m_shownNickname = m_nickname;
    m_shownCircles = m_circles;
    m_shownMessageHandle = m_messageHandle;
    m_shownAbout = m_about;
    m_shownDetails = m_details;
    if (!m_original)
        m_photoLoaded = true;
    if (contactID.isEmpty())
        loadFolderNote();
}

QCoro::Task<void> ContactFormViewModel::loadPhoto() {
    QPointer<ContactFormViewModel> self(this);
    auto reading = m_env.sync().replacementPhoto(m_contactID);
    std::optional<QByteArray> photo;
    try {
        photo = co_await reading;
    } catch (...) {
        // An unreadable photo counts as none: the form shows the address book's.
    }
    if (!self)
        co_return;
    m_storedPhoto = std::move(photo);
    m_photoLoaded = true;
    Q_EMIT photoChanged();
}

QString ContactFormViewModel::photoSource() const {
    if (m_photoChange == PhotoChange::Chosen && m_chosenPhoto)
        return dataURL(*m_chosenPhoto);
    if (m_photoChange == PhotoChange::None && m_storedPhoto)
        return dataURL(*m_storedPhoto);
    if (m_original && m_original->person->thumbnail && !m_original->person->thumbnail->isEmpty())
        return dataURL(*m_original->person->thumbnail);
    return {};
}

bool ContactFormViewModel::hasReplacementPhoto() const {
    switch (m_photoChange) {
    case PhotoChange::Chosen:
        return true;
    case PhotoChange::Dropped:
        return false;
    case PhotoChange::None:
        break;
    }
    return m_storedPhoto.has_value();
}

QString ContactFormViewModel::photoNote() const {
    switch (m_photoChange) {
    case PhotoChange::Chosen:
        return tr("The new photo is kept when you save.");
    case PhotoChange::Dropped:
        return tr("Pemmo's photo goes when you save; the address book's shows again.");
    case PhotoChange::None:
        break;
    }
    return {};
}

void ContactFormViewModel::choosePhoto() {
    if (!m_photoChooser)
        return;
    const QString path = m_photoChooser();
    if (!path.isEmpty())
        setPhotoFile(path);
}

bool ContactFormViewModel::setPhotoFile(const QString& path) {
    const PhotoImport::Result imported = PhotoImport::fromFile(path);
    if (!imported.ok()) {
        // The photo shown stays as it was: a wrong pick loses nothing.
        m_photoError = PhotoImport::message(imported.problem);
        Q_EMIT photoChanged();
        return false;
    }
    m_chosenPhoto = imported.jpeg;
    m_photoChange = PhotoChange::Chosen;
    m_photoError.clear();
    Q_EMIT photoChanged();
    return true;
}

void ContactFormViewModel::useContactsPhoto() {
    m_chosenPhoto.reset();
    m_photoChange = m_storedPhoto ? PhotoChange::Dropped : PhotoChange::None;
    m_photoError.clear();
    Q_EMIT photoChanged();
}

QVariantList ContactFormViewModel::linkList() const {
    const QStringList sites = QuickLinkFormViewModel::kindTitles();
    QVariantList list;
    for (const QuickLink& link : m_links) {
        list.append(QVariantMap{{u"id"_qs, link.id.toString(QUuid::WithoutBraces)},
                                {u"title"_qs, link.title},
                                {u"url"_qs, link.url},
                                {u"site"_qs, sites.value(int(link.kind) + 1)}});
    }
    return list;
}

void ContactFormViewModel::setLinkURL(const QString& value) {
    if (m_linkFields.url == value)
        return;
    m_linkFields.url = value;
    m_linkError.clear();
    Q_EMIT linkEditorChanged();
}

void ContactFormViewModel::setLinkTitle(const QString& value) {
    if (m_linkFields.title == value)
        return;
    m_linkFields.title = value;
    Q_EMIT linkEditorChanged();
}

void ContactFormViewModel::setLinkKindIndex(int value) {
    if (value < QuickLinkFormViewModel::Automatic || value > QuickLinkFormViewModel::Custom ||
        value == m_linkFields.kindIndex)
        return;
    m_linkFields.kindIndex = value;
    m_linkError.clear();
    Q_EMIT linkEditorChanged();
}

QStringList ContactFormViewModel::linkKindTitles() {
    return QuickLinkFormViewModel::kindTitles();
}

QString ContactFormViewModel::editingLinkID() const {
    return m_editingLink ? m_editingLink->toString(QUuid::WithoutBraces) : QString();
}

void ContactFormViewModel::setLinkError(const QString& error) {
    if (m_linkError == error)
        return;
    m_linkError = error;
    Q_EMIT linkEditorChanged();
}

void ContactFormViewModel::resetLinkEditor() {
    m_linkFields = {};
    m_editingLink.reset();
    m_linkError.clear();
    Q_EMIT linkEditorChanged();
}

bool ContactFormViewModel::commitLink() {
    const auto link =
        QuickLinkFormViewModel::makeLink(m_linkFields, m_editingLink.value_or(QUuid::createUuid()));
    if (!link) {
        setLinkError(PemmoError::invalidURL(m_linkFields.url).message());
        return false;
    }
    try {
        m_links = m_editingLink ? QuickLinkPolicy::replace(*link, m_links)
                                : QuickLinkPolicy::upsert(*link, m_links);
    } catch (const PemmoError& error) {
        // The typed link stays in the editor, to be changed or dropped.
        setLinkError(error.message());
        return false;
    }
    resetLinkEditor();
    Q_EMIT linksChanged();
    return true;
}

void ContactFormViewModel::editLink(const QString& id) {
    const QUuid uuid(id);
    const auto at =
        std::find_if(m_links.cbegin(), m_links.cend(), [&](const QuickLink& l) { return l.id == uuid; });
    if (at == m_links.cend())
        return;
    m_linkFields = QuickLinkFormViewModel::fieldsOf(*at);
    m_editingLink = uuid;
    m_linkError.clear();
    Q_EMIT linkEditorChanged();
}

void ContactFormViewModel::cancelLinkEdit() {
    resetLinkEditor();
}

void ContactFormViewModel::removeLink(const QString& id) {
    const QUuid uuid(id);
    if (m_links.removeIf([&](const QuickLink& l) { return l.id == uuid; }) == 0)
        return;
    if (m_editingLink == uuid)
        resetLinkEditor();
    Q_EMIT linksChanged();
}

void ContactFormViewModel::moveLink(const QString& id, int delta) {
    const QUuid uuid(id);
    const auto at =
        std::find_if(m_links.cbegin(), m_links.cend(), [&](const QuickLink& l) { return l.id == uuid; });
    if (at == m_links.cend())
        return;
    const qsizetype from = at - m_links.cbegin();
    const qsizetype to = from + (delta < 0 ? -1 : 1);
    if (delta == 0 || to < 0 || to >= m_links.size())
        return;
    m_links.move(from, to);
    Q_EMIT linksChanged();
}

QString ContactFormViewModel::title() const {
    if (!isEditing())
        return tr("New contact");
    return m_original ? tr("Edit %1").arg(m_original->person->displayName()) : tr("Edit contact");
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
    const auto field = WritableFields::fromName(key);
    if (!field || m_details.value(key) == value)
        return;
    m_details.insert(key, value);
    if (m_errors.remove(detailErrorKey(*field)))
        Q_EMIT errorsChanged();
    Q_EMIT fieldsChanged();
}

QVariantList ContactFormViewModel::detailList() const {
    QVariantList list;
    for (const auto& [field, label] : detailFields()) {
        const QString key = WritableFields::name(field);
        // The two addresses show what a typical one looks like.
        QString placeholder;
        if (field == WritableField::FindMyURL)
            placeholder = LinkRouter::defaultFindMyURL();
        else if (field == WritableField::GmailTemplate)
            placeholder = LinkRouter::defaultGmailTemplate();
        list.append(QVariantMap{{u"key"_qs, key},
                                {u"label"_qs, tr(label)},
                                {u"value"_qs, m_details.value(key)},
                                {u"placeholder"_qs, placeholder}});
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
    const qsizetype count = m_original ? m_original->person->emails.size() : 0;
    if (count > 0 && Text::isBlank(m_values.email))
        return tr("Left empty, the address book keeps its e-mail addresses.");
    if (count > 1)
        return tr("Changes the first of %1 addresses; the others stay.").arg(count);
    return {};
}

QString ContactFormViewModel::phoneNote() const {
    const qsizetype count = m_original ? m_original->person->phones.size() : 0;
    if (count > 0 && Text::isBlank(m_values.phone))
        return tr("Left empty, the address book keeps its phone numbers.");
    if (count > 1)
        return tr("Changes the first of %1 numbers; the others stay.").arg(count);
    return {};
}

QCoro::Task<void> ContactFormViewModel::loadFolderNote() {
    auto* folders = dynamic_cast<VCardFolderRepository*>(&m_env.contacts());
    if (!folders)
        co_return;
    // Asked of the address book's own thread: finding the folder lists it, and a folder on a
    // network mount can take its time. The book already follows the folder chosen in the
    // settings, a choice outside the book not counting.
    QPointer<ContactFormViewModel> self(this);
    auto finding = folders->folderForNewContacts();
    QString folder;
    try {
        folder = co_await finding;
    } catch (const std::exception&) {
        // Unreadable or too slow: no note; saving says what is wrong.
    }
    if (!self || folder.isEmpty())
        co_return;
    m_folderNote = tr("Saved in %1").arg(shownPath(folder));
    Q_EMIT folderNoteChanged();
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
    const Person& person = *m_original->person;
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

QString ContactFormViewModel::initials() const {
    Person typed;
    typed.givenName = m_values.givenName;
    typed.familyName = m_values.familyName;
    typed.organization = m_values.organization;
    return typed.initials();
}

QStringList ContactFormViewModel::circleIDs() const {
    QStringList ids;
    for (const QString& name : circleNames(m_circles)) {
        const QString id = Tag::normalizedID(name);
        if (!ids.contains(id))
            ids.append(id);
    }
    // Circles the catalogue does not know were not shown, so they were not removed either.
    if (m_original) {
        for (const QString& id : m_original->record->tags) {
            if (!m_env.tags().tagWithID(id) && !ids.contains(id))
                ids.append(id);
        }
    }
    return ids;
}

QCoro::Task<void> ContactFormViewModel::save() {
    if (m_isSaving)
        co_return;
    // A link typed but not yet added goes with the save; one that cannot be added stops it.
    if (!Text::isBlank(m_linkFields.url) && !commitLink())
        co_return;
    const QDate today = m_env.clock()().date();
    QHash<QString, QString> problems = validate(m_values, today);
    // Pemmo's own details that the card opens or writes to must be what they say they are.
    const QString otherEmail = Text::trimmed(m_details.value(WritableFields::name(WritableField::Email)));
    if (!otherEmail.isEmpty() && !looksLikeEmail(otherEmail))
        problems.insert(detailErrorKey(WritableField::Email),
                        tr("Enter an address such as name@example.com."));
    const QString location = Text::trimmed(m_details.value(WritableFields::name(WritableField::FindMyURL)));
    if (!location.isEmpty() && !LinkRouter::webURL(location))
        problems.insert(detailErrorKey(WritableField::FindMyURL), tr("Enter a valid web address."));
    if (isEditing() && !m_original)
        setErrors({}, tr("This contact is no longer in the address book."));
    if (!problems.isEmpty() || (isEditing() && !m_original)) {
        const bool refused = !problems.isEmpty();
        setErrors(std::move(problems), m_error);
        if (refused)
            Q_EMIT saveRefused();
        co_return;
    }
    setErrors({}, {});
    m_isSaving = true;
    Q_EMIT isSavingChanged();

    const ContactDraft contact = draft();
    RecordEdit edit;
    edit.now = m_env.clock()();
    edit.tags = circleIDs();
    const QString typedCircles = m_circles;
    edit.messageHandle = nonBlank(m_messageHandle);
    edit.about = Text::trimmed(m_about);
    for (const auto& [field, label] : detailFields()) {
        Q_UNUSED(label);
        edit.details.append({field, nonBlank(m_details.value(WritableFields::name(field)))});
    }
    if (m_original) {
        // A value the user changed goes to the address book; Pemmo's own copy would hide it on the card.
        const Details& held = m_original->record->details;
        edit.dropsCompany =
            held.company && Text::trimmed(m_values.organization) != Text::trimmed(m_shownValues.organization);
        edit.dropsJobTitle = held.jobTitle && Text::trimmed(m_jobTitle) != Text::trimmed(m_shownJobTitle);
        edit.dropsBirthday = m_original->record->birthday && (contact.birthday || contact.clearBirthday);
    }
    if (m_links != m_shownLinks)
        edit.links = std::pair(m_shownLinks, m_links);
    std::optional<QByteArray> newPhoto;
    if (m_photoChange == PhotoChange::Chosen)
        newPhoto = m_chosenPhoto;
    const bool dropsPhoto = m_photoChange == PhotoChange::Dropped;

    QPointer<ContactFormViewModel> self(this);
    AppEnvironment* env = &m_env;
    ProfileSyncEngine& sync = m_env.sync();
    const std::optional<Profile> original = m_original;
    QString failure;
    QString id = m_contactID;
    TagCatalog& catalog = env->tags();
    const QStringList newCircles = catalogueCircles(catalog, typedCircles);
    try {
        if (!original) {
            PemmoRecord record = PemmoRecord::fresh(env->clock()());
            edit(record);
            auto creating = sync.createContact(contact, record);
            id = co_await creating;
        } else {
            if (ContactDraftRules::apply(*original->person, contact) != original->person) {
                auto updating = sync.updateContact(id, contact);
                co_await updating;
            }
            PemmoRecord changed = *original->record;
            edit(changed);
            if (changed != original->record) {
                auto storing = sync.updateRecord(id, edit);
                co_await storing;
            }
        }
    } catch (const std::exception& error) {
        failure = ProfileSyncEngine::errorMessage(error);
    }
    // The photo goes last: the contact exists by now (a new one has its id), and a photo that
    // cannot be stored does not undo what was saved.
    QString photoFailure;
    if (failure.isEmpty() && (newPhoto || dropsPhoto)) {
        try {
            if (newPhoto) {
                auto storing = sync.setPhoto(id, *newPhoto);
                co_await storing;
            } else {
                auto resetting = sync.resetPhoto(id);
                co_await resetting;
            }
        } catch (...) {
            photoFailure =
                newPhoto ? tr("That photo could not be saved.") : u"That photo could not be restored."_qs;
        }
    }
    if (!failure.isEmpty()) {
        for (const QString& circle : newCircles)
            catalog.remove(circle);
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
    const QString name = saved ? saved->person->displayName() : QString();
    router.pop();
    if (!original) {
        // The new person's card takes the form's place, as if they had been found and opened.
        env->recents().record(id);
        router.push(Route::profile(id));
        router.showSuccess(tr("Added %1.").arg(name));
    } else {
        router.showSuccess(tr("Saved %1.").arg(name));
    }
    if (!photoFailure.isEmpty())
        router.showError(photoFailure);
}

bool ContactFormViewModel::hasChanges() const {
    // A detail never typed in is absent, one typed in and emptied again is empty: the same.
    const auto detailsChanged = [this] {
        for (const auto& [field, label] : detailFields()) {
            Q_UNUSED(label);
            const QString key = WritableFields::name(field);
            if (m_details.value(key) != m_shownDetails.value(key))
                return true;
        }
        return false;
    };
    // A link typed into the editor and not added yet, or a change to the link being edited.
    const auto linkTyped = [this] {
        if (!m_editingLink)
            return !m_linkFields.url.isEmpty() || !m_linkFields.title.isEmpty();
        const auto at = std::find_if(m_links.cbegin(), m_links.cend(),
                                     [&](const QuickLink& l) { return l.id == *m_editingLink; });
        if (at == m_links.cend())
            return true;
        const auto shown = QuickLinkFormViewModel::fieldsOf(*at);
        return shown.url != m_linkFields.url || shown.title != m_linkFields.title ||
               shown.kindIndex != m_linkFields.kindIndex;
    };
    return m_values != m_shownValues || m_jobTitle != m_shownJobTitle || m_nickname != m_shownNickname ||
           m_circles != m_shownCircles || m_messageHandle != m_shownMessageHandle ||
           m_about != m_shownAbout || detailsChanged() || m_photoChange != PhotoChange::None ||
           m_links != m_shownLinks || linkTyped();
}

void ContactFormViewModel::cancel() {
    AppRouter& router = m_env.router();
    if (!hasChanges()) {
        router.pop();
        return;
    }
    // The form is on top while it takes keys; the answer leaves this form only, should anything
    // else have changed the stack while the question was up.
    const int formKey = router.topRoute().key();
    ConfirmRequest question;
    question.title = tr("Discard your changes?");
    question.message = tr("What you typed in this form will be lost.");
    question.confirmTitle = tr("Discard");
    question.destructive = true;
    question.onConfirm = [&router, formKey] {
        if (router.topRoute().key() == formKey)
            router.pop();
    };
    router.present(std::move(question));
}

KeyResult ContactFormViewModel::handleKey(const KeyEvent& event) {
    if (event.isControlReturn()) {
        save();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        // A link being changed gives up its change first; a second Escape leaves the form.
        if (m_editingLink)
            cancelLinkEdit();
        else
            cancel();
        return KeyResult::Handled;
    }
    if (event.isCommand(u'o')) {
        choosePhoto();
        return KeyResult::Handled;
    }
    return KeyResult::Pass;
}

} // namespace pemmo
