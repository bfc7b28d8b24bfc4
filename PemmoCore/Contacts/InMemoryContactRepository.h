// An address book held in memory: the practice mode of onboarding, the in-memory environments and
// the tests run the whole system against it.
#pragma once

#include "Contacts/ContactRepository.h"

#include <QHash>
#include <QMutex>
#include <chrono>
#include <optional>

namespace pemmo {

class InMemoryContactRepository : public ContactRepository {
    Q_OBJECT

public:
    explicit InMemoryContactRepository(QList<Person> people = {},
                                       ContactsAuthorization status = ContactsAuthorization::Authorized,
                                       std::optional<std::chrono::milliseconds> fetchDelay = std::nullopt,
                                       QHash<QString, QByteArray> images = {}, QObject* parent = nullptr);

    ContactsAuthorization authorizationStatus() const override;
    // Turns "not determined" into "authorized"; any other state is returned as it is.
    QCoro::Task<ContactsAuthorization> requestAccess() override;
    // Counts the fetch, waits the fetch delay, then fails when access is denied or restricted.
    // Each fetch hands out fresh bodies.
    QCoro::Task<QList<Shared<Person>>> fetchPeople() override;
    QCoro::Task<std::optional<QByteArray>> fullImage(QString id) override;
    // A new person with the id "<UUID>:ABPerson", appended to the book.
    QCoro::Task<QString> create(ContactDraft draft) override;
    QCoro::Task<void> update(QString id, ContactDraft draft) override;
    QCoro::Task<void> deleteContact(QString id) override;

    QList<Person> people() const;
    void setPeople(QList<Person> people);
    void setStatus(ContactsAuthorization status);
    void setFetchDelay(std::optional<std::chrono::milliseconds> delay);
    void setImages(QHash<QString, QByteArray> images);
    int fetchCount() const;

    // Tells every listener that the book changed.
    void emitChange();

private:
    // Guards every field below; held for a read or a write, never across a wait.
    mutable QMutex m_lock;
    QList<Person> m_people;
    ContactsAuthorization m_status;
    std::optional<std::chrono::milliseconds> m_fetchDelay;
    QHash<QString, QByteArray> m_images;
    int m_fetchCount = 0;
};

} // namespace pemmo
