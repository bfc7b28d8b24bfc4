// The address book as the core sees it: one interface over the user's vCard folders and over an
// in-memory book, so the logic above runs unchanged against either.
#pragma once

#include "Contacts/ContactDraft.h"
#include "Records/Person.h"
#include "Support/Shared.h"

#include <QByteArray>
#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <optional>

namespace pemmo {

enum class ContactsAuthorization { NotDetermined, Authorized, Limited, Denied, Restricted };

// Whether contacts can be read in this state.
inline bool canRead(ContactsAuthorization status) {
    return status == ContactsAuthorization::Authorized || status == ContactsAuthorization::Limited;
}

class ContactRepository : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~ContactRepository() override = default;

    // The access state, answered at once. Where finding it touches the disk (the vCard folders
    // may sit on a network mount that hangs), the GUI thread asks `checkAuthorization` instead.
    virtual ContactsAuthorization authorizationStatus() const = 0;
    // The access state, found off the calling thread when that takes file-system work; by
    // default the state at hand. Throws PemmoError::timedOut when the check overruns its limit.
    virtual QCoro::Task<ContactsAuthorization> checkAuthorization() { co_return authorizationStatus(); }
    // Asks for access when it was never asked. Throws PemmoError (contactsDenied, contactsRestricted).
    virtual QCoro::Task<ContactsAuthorization> requestAccess() = 0;
    // The whole book, each person a body shared with the book's own list where it keeps one.
    virtual QCoro::Task<QList<Shared<Person>>> fetchPeople() = 0;
    virtual QCoro::Task<std::optional<QByteArray>> fullImage(QString id) = 0;
    // Adds a contact and returns its identifier.
    virtual QCoro::Task<QString> create(ContactDraft draft) = 0;
    // Throws PemmoError::notFound(id) when the contact no longer exists.
    virtual QCoro::Task<void> update(QString id, ContactDraft draft) = 0;
    virtual QCoro::Task<void> deleteContact(QString id) = 0;

Q_SIGNALS:
    // The change stream: one signal per change of the address book, made by anyone.
    void changes();
};

} // namespace pemmo
