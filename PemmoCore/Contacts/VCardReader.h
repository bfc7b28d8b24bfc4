// Reading vCard 2.1, 3.0 and 4.0 files into cards, as a pure function over their bytes.
//
// A file is parsed into cards whose properties remember where in the file they were written, so
// that an edit can replace exactly the lines it changes and leave every other byte as it was.
// The values stay as written; VCardDecoding.h turns them into texts, dates and people.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QByteArrayView>
#include <QList>
#include <QStringList>

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

} // namespace pemmo::VCard
