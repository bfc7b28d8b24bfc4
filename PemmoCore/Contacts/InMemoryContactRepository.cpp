#include "Contacts/InMemoryContactRepository.h"

#include "Contacts/ContactDraftRules.h"
#include "Records/PemmoError.h"

#include <QCoroTimer>
#include <QMutexLocker>
#include <QPointer>
#include <QUuid>
#include <stdexcept>

namespace pemmo {
namespace {

qsizetype indexOf(const QList<Person>& people, const QString& id) {
    for (qsizetype i = 0; i < people.size(); ++i) {
        if (people[i].id == id)
            return i;
    }
    return -1;
}

} // namespace

InMemoryContactRepository::InMemoryContactRepository(QList<Person> people, ContactsAuthorization status,
                                                     std::optional<std::chrono::milliseconds> fetchDelay,
                                                     QHash<QString, QByteArray> images, QObject* parent)
    : ContactRepository(parent)
    , m_people(std::move(people))
    , m_status(status)
    , m_fetchDelay(fetchDelay)
    , m_images(std::move(images)) {}

ContactsAuthorization InMemoryContactRepository::authorizationStatus() const {
    QMutexLocker locker(&m_lock);
    return m_status;
}

QCoro::Task<ContactsAuthorization> InMemoryContactRepository::requestAccess() {
    QMutexLocker locker(&m_lock);
    if (m_status == ContactsAuthorization::NotDetermined)
        m_status = ContactsAuthorization::Authorized;
    co_return m_status;
}

QCoro::Task<QList<Shared<Person>>> InMemoryContactRepository::fetchPeople() {
    std::optional<std::chrono::milliseconds> delay;
    {
        QMutexLocker locker(&m_lock);
        ++m_fetchCount;
        delay = m_fetchDelay;
    }
    if (delay) {
        // The lock is not held here: the book stays usable while a fetch waits.
        const QPointer<InMemoryContactRepository> self(this);
        co_await QCoro::sleepFor(*delay);
        if (!self)
            throw std::runtime_error("The address book was closed.");
    }
    ContactsAuthorization status;
    QList<Shared<Person>> people;
    {
        QMutexLocker locker(&m_lock);
        status = m_status;
        people.reserve(m_people.size());
        for (const Person& person : std::as_const(m_people))
            people.append(person);
    }
    if (status == ContactsAuthorization::Restricted)
        throw PemmoError::contactsRestricted();
    if (status == ContactsAuthorization::Denied)
        throw PemmoError::contactsDenied();
    co_return people;
}

QCoro::Task<std::optional<QByteArray>> InMemoryContactRepository::fullImage(QString id) {
    QMutexLocker locker(&m_lock);
    const auto it = m_images.constFind(id);
    if (it == m_images.cend())
        co_return std::nullopt;
    co_return *it;
}

QCoro::Task<QString> InMemoryContactRepository::create(ContactDraft draft) {
    Person person;
    person.id = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(":ABPerson");
    // A new contact has no birthday to clear: the draft's birthday is the one it gets.
    draft.clearBirthday = false;
    person = ContactDraftRules::apply(std::move(person), draft);
    QMutexLocker locker(&m_lock);
    m_people.append(person);
    co_return person.id;
}

QCoro::Task<void> InMemoryContactRepository::update(QString id, ContactDraft draft) {
    QMutexLocker locker(&m_lock);
    const qsizetype index = indexOf(m_people, id);
    if (index < 0)
        throw PemmoError::notFound(id);
    m_people[index] = ContactDraftRules::apply(m_people[index], draft);
    co_return;
}

QCoro::Task<void> InMemoryContactRepository::deleteContact(QString id) {
    QMutexLocker locker(&m_lock);
    const qsizetype index = indexOf(m_people, id);
    if (index < 0)
        throw PemmoError::notFound(id);
    m_people.removeAt(index);
    co_return;
}

QList<Person> InMemoryContactRepository::people() const {
    QMutexLocker locker(&m_lock);
    return m_people;
}

void InMemoryContactRepository::setPeople(QList<Person> people) {
    QMutexLocker locker(&m_lock);
    m_people = std::move(people);
}

void InMemoryContactRepository::setStatus(ContactsAuthorization status) {
    QMutexLocker locker(&m_lock);
    m_status = status;
}

void InMemoryContactRepository::setFetchDelay(std::optional<std::chrono::milliseconds> delay) {
    QMutexLocker locker(&m_lock);
    m_fetchDelay = delay;
}

void InMemoryContactRepository::setImages(QHash<QString, QByteArray> images) {
    QMutexLocker locker(&m_lock);
    m_images = std::move(images);
}

int InMemoryContactRepository::fetchCount() const {
    QMutexLocker locker(&m_lock);
    return m_fetchCount;
}

void InMemoryContactRepository::emitChange() {
    Q_EMIT changes();
}

} // namespace pemmo
