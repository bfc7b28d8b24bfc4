// Writing vCards: a contact form's values applied to a card with the smallest change to its file,
// a new card, and a card taken out of its file.
#pragma once

#include "Contacts/ContactDraft.h"
#include "Contacts/VCardReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace pemmo::VCard {

// The file with the card changed as `draft` says: only the properties whose values change are
// rewritten, added or removed; every other byte stays. Returns `file` unchanged when nothing changes.
QByteArray applyDraft(QByteArrayView file, const Card& card, const ContactDraft& draft);
// A new vCard 3.0 file for `draft`.
QByteArray newCard(const ContactDraft& draft, const QString& uid);
// The file without the card.
QByteArray removeCard(QByteArrayView file, const Card& card);

} // namespace pemmo::VCard
