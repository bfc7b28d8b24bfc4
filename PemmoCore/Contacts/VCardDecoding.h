// The values of a parsed vCard as texts, dates, labels and photos, and the card as a Person.
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

#include "Contacts/VCardReader.h"
#include "Records/DateComponents.h"
#include "Records/Person.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

namespace pemmo::VCard {

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

} // namespace pemmo::VCard
