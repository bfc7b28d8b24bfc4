// Reading and writing vCard 2.1, 3.0 and 4.0 files as pure functions over their bytes.
//
// A file is parsed into cards whose properties remember where in the file they were written, so
// that an edit can replace exactly the lines it changes and leave every other byte as it was.
//
// How properties become a Person:
// - `givenName`/`familyName`: the second and first components of the first N; when N holds no
//   names, the first FN split at its last blank (given = the words before, family = the last
//   word), unless FN just repeats the organisation (a company card).
// - `nickname`: the first NICKNAME; `organization`: the first component of the first ORG;
//   `jobTitle`: the first TITLE (absent when empty).
// - `emails`/`phones`: every EMAIL/TEL with a non-blank value, in file order. A TEL written as a
//   `tel:` URI gives its number, with an extension as " ext. 102".
// - `birthday`: the first BDAY that holds a date: "1980-03-22", "19800322" (a time part is
//   ignored), "--0322" or "--03-22" (no year), or Apple's X-APPLE-OMIT-YEAR. A BDAY;VALUE=text or
//   a partial date (year only, year and month) is no birthday.
// - `thumbnail`/`hasFullImage`: the first PHOTO held in the file (base64 or a data: URI); photos
//   that are only links are not fetched.
//
// Labels are plain words:
// - A property in a group with an X-ABLabel takes that label. Apple's built-in labels
//   (`_$!<Mobile>!$_`) become lower-case words: "mobile", "home fax", "homepage", "assistant";
//   "iPhone" and "iCloud" keep their spelling. A label the user typed is kept as written.
// - Otherwise the TYPE values decide. For phones: IPHONE gives "iPhone"; CELL or MOBILE
//   "mobile"; FAX "home fax", "work fax", "other fax" or "fax"; PAGER "pager"; MAIN "main".
//   Then, for phones and e-mail alike, the first of HOME, WORK, OTHER, SCHOOL as "home", "work",
//   "other", "school"; then the first other type, lower-cased, without an "X-" prefix. PREF,
//   INTERNET, X400, VOICE, MSG and encoding words are no labels; nothing left gives "".
#pragma once

#include "Contacts/ContactRepository.h"
#include "Records/DateComponents.h"
#include "Records/Person.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo::VCard {

enum class Version { V2_1, V3_0, V4_0 };

enum class Encoding { None, QuotedPrintable, Base64 };

struct Parameter {
    QByteArray name;  // upper-case; "TYPE" or "ENCODING" for a bare 2.1 value such as CELL or BASE64
    QByteArray value; // quotes removed, ^-escapes decoded
    QByteArray raw;   // as written between the semicolons
};

struct Property {
    QByteArray group; // as written, without the dot; empty when none
    QByteArray name;  // upper-case
    QList<Parameter> parameters;
    QByteArray value;    // unfolded, quoted-printable soft breaks removed; escapes and encodings kept
                         // (may point into the card's source: keep the card while using it)
    qsizetype begin = 0; // offset of its first line in the file
    qsizetype end = 0;   // offset just past its last line break

    const Parameter* parameter(QByteArrayView name) const;
    Encoding encoding() const;
    // The TYPE values, upper-case, lists split at commas.
    QByteArrayList types() const;
};

struct Card {
    QByteArray source; // the file's bytes, which the properties' values point into
    Version version = Version::V3_0;
    QList<Property> properties; // those of the card itself, not of a card embedded in it
    int position = 1;           // 1-based, among every card of the file
    qsizetype begin = 0;        // offset of the BEGIN:VCARD line
    qsizetype bodyBegin = 0;    // offset just past the BEGIN:VCARD line
    qsizetype endLine = 0;      // offset of the END:VCARD line
    qsizetype end = 0;          // offset just past the END:VCARD line

    const Property* first(QByteArrayView name) const;
};

struct Document {
    QList<Card> cards;    // the cards that parsed, in file order
    int cardCount = 0;    // every card begun in the file, broken ones included
    QStringList problems; // why cards were skipped, or that the file holds none
};

// Never fails: damaged cards are left out and described in `problems`.
Document parse(const QByteArray& bytes);

// Decoded values.
QString text(const Card& card, const Property& property);
QStringList components(const Card& card, const Property& property);
QString label(const Card& card, const Property& property);
QString phoneNumber(const Card& card, const Property& property);
std::optional<DateComponents> date(const Card& card, const Property& property);
std::optional<DateComponents> birthday(const Card& card);
// The first photo held in the card, as stored.
std::optional<QByteArray> photo(const Card& card);
// Whether the card holds a photo, found without decoding it.
bool hasPhoto(const Card& card);

// The label text of an X-ABLabel value.
QString appleLabel(const QString& written);

// The card's contact identifier: its UID as written; without one the file's base name, followed
// by "#" and the card's position when the file holds several cards.
QString identifier(const Card& card, const QString& fileBaseName, int cardsInFile);

enum class Photos { Thumbnail, Skip };
// With `Photos::Skip` no image is decoded: no thumbnail, and a stored photo counts as a full image
// whether or not it is one.
Person toPerson(const Card& card, const QString& id, Photos photos = Photos::Thumbnail);

// The file with the card changed as `draft` says: only the properties whose values change are
// rewritten, added or removed; every other byte stays. Returns `file` unchanged when nothing changes.
QByteArray applyDraft(QByteArrayView file, const Card& card, const ContactDraft& draft);
// A new vCard 3.0 file for `draft`.
QByteArray newCard(const ContactDraft& draft, const QString& uid);
// The file without the card.
QByteArray removeCard(QByteArrayView file, const Card& card);

} // namespace pemmo::VCard
