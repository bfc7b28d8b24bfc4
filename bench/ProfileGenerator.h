// Builds lifelike people for the search benchmarks: generated vCards read the way the address book
// reads them, each joined with a generated record, as the sync engine publishes them. The same
// seeds always give the same people, so runs on different days search the same data.
#pragma once

#include "Records/Profile.h"
#include "VdirGenerator.h"

#include <QList>
#include <QString>
#include <vector>

namespace pemmo::bench {

class ProfileGenerator {
public:
    struct People {
        std::vector<VdirGenerator::Contact> contacts;
        QList<Profile> profiles; // in the published order: by name, then id
    };

    // `count` people; every record's dates lie before StoreGenerator::defaultNow().
    static People generate(int count);

    // Writes the people as Pemmo's data folder holds them: the vCards below `folder`/Contacts and
    // the records in `folder`/pemmo-store.json.
    static void write(const People& people, const QString& folder);

    // One line per person with the name and the details search looks at, for tools that filter
    // lines of text.
    static QString detailsLine(const Profile& profile);
};

} // namespace pemmo::bench
