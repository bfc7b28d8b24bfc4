// Writing vCards: a contact form's values applied to a card with the smallest change to its file,
// a new card, and a card taken out of its file.
#pragma once

#include "Contacts/ContactDraft.h"
#include "Contacts/VCardReader.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

namespace pemmo::VCard {

// The file with the card changed as `draft` says: only the properties whose values change are
// rewritten, added or removed; every other byte stays. Returns `file` unchanged when nothing changes.
// When something changes and the card has a REV line, it becomes `revised` (when valid), so that
// other programs see the card changed.
QByteArray applyDraft(QByteArrayView file, const Card& card, const ContactDraft& draft,
                      const QDateTime& revised = {});
// A new vCard 3.0 file for `draft`.
QByteArray newCard(const ContactDraft& draft, const QString& uid);
// The file without its card `index`. A card without a UID is known by its place in the file (and
// by the file alone when it is the only card), so removing another would give it someone else's
// id: every other card without one is given its id as its UID first. `fileBaseName` is the file's
// name without its extension, as the ids are made.
QByteArray removeCard(QByteArrayView file, const Document& document, qsizetype index,
                      const QString& fileBaseName);

} // namespace pemmo::VCard
