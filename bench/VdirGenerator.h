// Builds vdir address books of synthetic but lifelike vCards for the benchmarks: mostly 3.0, some
// 4.0 and a few 2.1, as a CardDAV account synced by vdirsyncer looks. The same seed always gives
// the same bytes, so runs on different days read the same folders.
#pragma once

#include "SeededRandom.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <vector>

namespace pemmo::bench {

class VdirGenerator {
public:
    static constexpr std::uint64_t defaultSeed = 0x7cad'0b00'2026;

    enum class CardVersion { V2_1, V3_0, V4_0 };

    struct Email {
        QString address;
        QString type; // "HOME", "WORK", "OTHER"
    };
    struct Phone {
        QString number; // as the user typed it
        QString type;   // "CELL", "HOME", "WORK"
    };
    struct Contact {
        CardVersion version = CardVersion::V3_0;
        QString book;     // the address-book subfolder
        QString fileName; // without the folder
        QString uid;      // empty: the card carries none
        QString prefix, given, additional, family;
        QString nickname;
        QString organization, department, title;
        QList<Email> emails;
        QList<Phone> phones;
        std::optional<QDate> birthday;
        bool birthdayHasYear = true;
        QString note; // long enough to be folded when present
        QString street, city, postalCode, country;
        QStringList categories;
        bool hasPhoto = false;
    };

    // The address books the contacts are spread over, as vdirsyncer names its collections.
    static QStringList addressBooks();

    explicit VdirGenerator(std::uint64_t seed = defaultSeed);

    // `count` contacts with distinct file names and identifiers. Each call continues the same
    // random sequence; a new generator with the same seed starts it again.
    std::vector<Contact> generate(int count);

    // The file's bytes: CRLF line ends, lines folded at 75 octets (2.1 lines are left whole).
    static QByteArray encode(const Contact& contact);
    // Where the contact's file lives below `root`.
    static QString path(const QString& root, const Contact& contact);
    // Writes every contact's file below `root`, creating the address-book folders.
    static void write(const std::vector<Contact>& contacts, const QString& root);
    // A small real JPEG, made once and shared by every contact with a photo.
    static const QByteArray& samplePhoto();

private:
    bool chance(double probability) { return m_random.chance(probability); }
    int between(int low, int high) { return m_random.between(low, high); } // both ends included
    template <class Items> QString pick(const Items& items) {
        return QString::fromUtf8(
            items[static_cast<std::size_t>(between(0, static_cast<int>(std::size(items)) - 1))]);
    }

    QUuid uuid() { return m_random.uuid(); }
    QString digits(int count);
    Contact contact();
    Phone phone(CardVersion version);

    SeededRandom m_random;
};

} // namespace pemmo::bench
