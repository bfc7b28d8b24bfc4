// Circles: what users type becomes one id however it is spaced or cased; the catalogue is seeded
// once, sorted as names are, colours chosen from free slots, and renames never let two circles
// share an id.
#include "Lists/TagCatalog.h"
#include "Records/PemmoError.h"
#include "Settings/InMemoryKeyValueStore.h"

#include <QSignalSpy>
#include <QTest>
#include <nlohmann/json.hpp>

using namespace pemmo;

Q_DECLARE_METATYPE(pemmo::StoredValue)

namespace {

QStringList names(const QList<Tag>& tags) {
    QStringList list;
    for (const Tag& tag : tags)
        list.append(tag.name);
    return list;
}

// A random source that always takes the first free slot, and counts how often it was asked.
struct FirstFree {
    std::shared_ptr<int> calls = std::make_shared<int>(0);
    int operator()(int) const {
        ++*calls;
        return 0;
    }
};

StoredValue catalog(const nlohmann::json& document) {
    return StoredValue(QByteArray::fromStdString(document.dump()));
}

nlohmann::json entry(const Tag& tag) {
    return {{"id", tag.id.toStdString()},
            {"displayName", tag.name.toStdString()},
            {"colorIndex", tag.colorIndex},
            {"isDefault", tag.isDefault}};
}

// A seeded catalogue holding exactly `tags`.
void storeCatalog(InMemoryKeyValueStore& store, const QList<Tag>& tags) {
    nlohmann::json list = nlohmann::json::array();
    for (const Tag& tag : tags)
        list.push_back(entry(tag));
    store.set(catalog({{"tags", list}, {"hasSeededDefaults", true}}), TagCatalog::storageKey());
}

// `count` circles holding the first `count` colours.
QList<Tag> palette(int count) {
    QList<Tag> tags;
    for (int i = 0; i < count; ++i)
        tags.append(Tag{u"t%1"_qs.arg(i), u"T%1"_qs.arg(i), i, false});
    return tags;
}

const QList<Tag> kDefaults{
    {u"family"_qs, u"Family"_qs, 3, true},
    {u"friends"_qs, u"Friends"_qs, 2, true},
    {u"movie lover"_qs, u"Movie lover"_qs, 4, true},
    {u"school"_qs, u"School"_qs, 1, true},
    {u"work"_qs, u"Work"_qs, 0, true},
};

} // namespace

class TestTagCatalog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void normalisation_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("padded, mixed case")
            << u"  Movie   LOVER \n"_qs << u"movie lover"_qs << u"Movie LOVER"_qs;
        QTest::newRow("tabs and line breaks")
            << u"\tBoard\ngames\r\n"_qs << u"board games"_qs << u"Board games"_qs;
        QTest::newRow("no-break and line separators")
            << u"Rock\u00A0\u2028Climbing"_qs << u"rock climbing"_qs << u"Rock Climbing"_qs;
        QTest::newRow("accented capitals") << u"\u00C9COLE"_qs << u"\u00E9cole"_qs << u"\u00C9COLE"_qs;
        QTest::newRow("only spaces") << u"   "_qs << QString() << QString();
    }

    void normalisation() {
        QFETCH(QString, text);
        QFETCH(QString, id);
        QFETCH(QString, name);
        QCOMPARE(Tag::normalizedID(text), id);
        QCOMPARE(Tag::cleanedName(text), name);
    }

    void aFirstStartSeedsTheFiveDefaultsOnceWithOneWrite() {
        InMemoryKeyValueStore store;
        {
            TagCatalog tags(store);
            QCOMPARE(tags.tags(), kDefaults);
            QCOMPARE(store.writeCount(), 1);
            const auto stored = nlohmann::json::parse(store.data(TagCatalog::storageKey())->toStdString());
            QCOMPARE(stored.at("hasSeededDefaults").get<bool>(), true);
            QCOMPARE(stored.at("tags").size(), std::size_t(5));
            QCOMPARE(stored.at("tags").at(0).at("displayName").get<std::string>(), std::string("Family"));
            tags.remove(u"work"_qs);
            tags.remove(u"family"_qs);
        }
        const int writes = store.writeCount();
        TagCatalog reopened(store);
        QCOMPARE(names(reopened.tags()), (QStringList{u"Friends"_qs, u"Movie lover"_qs, u"School"_qs}));
        QCOMPARE(store.writeCount(), writes);

        // Removing every circle is remembered too.
        const QList<Tag> remaining = reopened.tags();
        for (const Tag& tag : remaining)
            reopened.remove(tag.id);
        QCOMPARE(TagCatalog(store).tags(), QList<Tag>());
    }

    void anUnseededCatalogKeepsItsTagsAndGainsTheMissingDefaults() {
        InMemoryKeyValueStore store;
        store.set(
            catalog({{"tags", {entry({u"work"_qs, u"work"_qs, 7, false})}}, {"hasSeededDefaults", false}}),
            TagCatalog::storageKey());
        TagCatalog tags(store);
        QCOMPARE(tags.tags().size(), 5);
        QCOMPARE(tags.tagWithID(u"work"_qs), (Tag{u"work"_qs, u"work"_qs, 7, false}));
        QCOMPARE(tags.tagWithID(u"movie lover"_qs), (Tag{u"movie lover"_qs, u"Movie lover"_qs, 4, true}));
        QCOMPARE(store.writeCount(), 2);
    }

    void anUnreadableCatalogIsReplacedByTheDefaults_data() {
        QTest::addColumn<StoredValue>("stored");
        QTest::newRow("not JSON") << StoredValue(QByteArray("{\"tags\": ["));
        QTest::newRow("no hasSeededDefaults")
            << catalog({{"tags", {entry({u"climbing"_qs, u"Climbing"_qs, 5, false})}}});
        QTest::newRow("entry without colour")
            << catalog({{"tags", {{{"id", "x"}, {"displayName", "X"}, {"isDefault", false}}}},
                        {"hasSeededDefaults", true}});
        QTest::newRow("colour as text") << catalog(
            {{"tags", {{{"id", "x"}, {"displayName", "X"}, {"colorIndex", "1"}, {"isDefault", false}}}},
             {"hasSeededDefaults", true}});
        QTest::newRow("a list of text, not data") << StoredValue(QStringList{u"work"_qs});
    }

    void anUnreadableCatalogIsReplacedByTheDefaults() {
        QFETCH(StoredValue, stored);
        InMemoryKeyValueStore store;
        store.set(stored, TagCatalog::storageKey());
        TagCatalog tags(store);
        QCOMPARE(tags.tags(), kDefaults);
        QCOMPARE(store.data(TagCatalog::storageKey()).has_value(), true);
    }

    void tagsSortLikeFileNames() {
        InMemoryKeyValueStore store;
        storeCatalog(store, {{u"team 10"_qs, u"Team 10"_qs, 0, false},
                             {u"apple"_qs, u"apple"_qs, 1, false},
                             {u"team 9"_qs, u"Team 9"_qs, 2, false},
                             {u"banana"_qs, u"Banana"_qs, 3, false}});
        TagCatalog tags(store);
        QCOMPARE(names(tags.tags()), (QStringList{u"apple"_qs, u"Banana"_qs, u"Team 9"_qs, u"Team 10"_qs}));
    }

    void findOrCreateReturnsTheExistingCircleUnchanged() {
        InMemoryKeyValueStore store;
        TagCatalog tags(store);
        const int writes = store.writeCount();
        QSignalSpy changed(&tags, &TagCatalog::tagsChanged);
        const Tag found = tags.findOrCreate(u"   Movie LOVER  "_qs);
        QCOMPARE(found, (Tag{u"movie lover"_qs, u"Movie lover"_qs, 4, true}));
        QCOMPARE(store.writeCount(), writes);
        QCOMPARE(changed.count(), 0);
    }

    void findOrCreateAddsACleanedCircleWithAFreeColour() {
        InMemoryKeyValueStore store;
        TagCatalog tags(store, [](int count) {
            if (count != 5)
                qFatal("five slots should be free, not %d", count);
            return 2; // free slots are 5, 6, 7, 8, 9
        });
        QSignalSpy changed(&tags, &TagCatalog::tagsChanged);
        const Tag made = tags.findOrCreate(u"  Board \t games "_qs);
        QCOMPARE(made, (Tag{u"board games"_qs, u"Board games"_qs, 7, false}));
        QCOMPARE(names(tags.tags()).first(), u"Board games"_qs);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(TagCatalog(store).tagWithID(u"board games"_qs), made);
    }

    void theLastFreeColourIsTaken() {
        InMemoryKeyValueStore store;
        storeCatalog(store, palette(9));
        TagCatalog tags(store);
        QCOMPARE(tags.findOrCreate(u"Climbing"_qs).colorIndex, 9);
    }

    void aFullPaletteDerivesTheColourFromTheID() {
        const QList<Tag> ten = palette(10);
        FirstFree random;
        // The first eight hex digits of FNV-1a of the id, modulo ten (digests computed elsewhere).
        QCOMPARE(TagCatalog::chooseColor(u"climbing"_qs, ten, random), int(0x94de5e75u % 10));
        QCOMPARE(TagCatalog::chooseColor(u"board games"_qs, ten, random), int(0x125e5e0cu % 10));
        QCOMPARE(*random.calls, 0);

        InMemoryKeyValueStore store;
        storeCatalog(store, ten);
        TagCatalog first(store);
        const int colour = first.findOrCreate(u"Climbing"_qs).colorIndex;
        first.remove(u"climbing"_qs);
        QCOMPARE(TagCatalog(store).findOrCreate(u"climbing"_qs).colorIndex, colour);
    }

    // A rename that only changes case or spacing keeps the id; another name moves the circle to its id.
    void aRenameKeepsOrMovesTheID_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("id");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("case only") << u" work "_qs << u"work"_qs << u"work"_qs
                                   << QStringList{u"Family"_qs, u"Friends"_qs, u"Movie lover"_qs,
                                                  u"School"_qs, u"work"_qs};
        QTest::newRow("a new name") << u"Office"_qs << u"office"_qs << u"Office"_qs
                                    << QStringList{u"Family"_qs, u"Friends"_qs, u"Movie lover"_qs,
                                                   u"Office"_qs, u"School"_qs};
    }

    void aRenameKeepsOrMovesTheID() {
        QFETCH(QString, typed);
        QFETCH(QString, id);
        QFETCH(QString, name);
        QFETCH(QStringList, order);
        InMemoryKeyValueStore store;
        TagCatalog tags(store);
        QCOMPARE(tags.rename(u"work"_qs, typed), id);
        QCOMPARE(tags.tagWithID(id), (Tag{id, name, 0, true}));
        QCOMPARE(tags.tagWithID(u"work"_qs).has_value(), id == u"work"_qs);
        QCOMPARE(TagCatalog(store).tagWithID(id)->name, name);
        QCOMPARE(names(tags.tags()), order);
    }

    // A rename onto another circle fails; changes to circles that do not exist do nothing.
    void refusedAndUnknownChangesWriteNothing() {
        InMemoryKeyValueStore store;
        TagCatalog tags(store);
        const int writes = store.writeCount();
        try {
            tags.rename(u"work"_qs, u"  FAMILY "_qs);
            QFAIL("renaming onto an existing circle succeeded");
        } catch (const PemmoError& error) {
            QCOMPARE(error.errorCase(), PemmoError::Case::DuplicateTag);
        }
        QCOMPARE(tags.rename(u"nobody"_qs, u"Someone"_qs), u"nobody"_qs);
        tags.remove(u"nobody"_qs);
        tags.setColor(u"nobody"_qs, 5);
        QCOMPARE(tags.tags(), kDefaults);
        QCOMPARE(store.writeCount(), writes);
    }

    void setColorIgnoresSlotsOutsideThePalette_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("expected");
        QTest::newRow("ten") << 10 << 0;
        QTest::newRow("minus one") << -1 << 0;
        QTest::newRow("nine") << 9 << 9;
        QTest::newRow("zero, unchanged") << 0 << 0;
    }

    void setColorIgnoresSlotsOutsideThePalette() {
        QFETCH(int, index);
        QFETCH(int, expected);
        InMemoryKeyValueStore store;
        TagCatalog tags(store);
        QSignalSpy changed(&tags, &TagCatalog::tagsChanged);
        tags.setColor(u"work"_qs, index);
        QCOMPARE(tags.tagWithID(u"work"_qs)->colorIndex, expected);
        QCOMPARE(changed.count(), expected == 0 ? 0 : 1); // an equal list publishes nothing
        QCOMPARE(TagCatalog(store).tagWithID(u"work"_qs)->colorIndex, expected);
    }

    void registerIDsNamesUnknownIDsAndWritesOnce() {
        InMemoryKeyValueStore store;
        QList<int> counts;
        TagCatalog tags(store, [&counts](int count) {
            counts.append(count);
            return 0;
        });
        const int writes = store.writeCount();
        tags.registerIDs({u""_qs, u"work"_qs});
        QCOMPARE(store.writeCount(), writes);

        tags.registerIDs({u"rock  climbing"_qs, u"board games"_qs, u"work"_qs});
        QCOMPARE(store.writeCount(), writes + 1);
        // Sorted ids, each coloured against the list as it stood after the one before.
        QCOMPARE(tags.tagWithID(u"board games"_qs), (Tag{u"board games"_qs, u"Board Games"_qs, 5, false}));
        QCOMPARE(tags.tagWithID(u"rock  climbing"_qs),
                 (Tag{u"rock  climbing"_qs, u"Rock Climbing"_qs, 6, false}));
        QCOMPARE(counts, (QList<int>{5, 4}));
    }

    void suggestionsListPrefixMatchesFirst() {
        InMemoryKeyValueStore store;
        TagCatalog tags(store);
        tags.findOrCreate(u"Best friends"_qs);
        QCOMPARE(names(tags.suggestions(u" FRI "_qs)), (QStringList{u"Friends"_qs, u"Best friends"_qs}));
        QCOMPARE(names(tags.suggestions(u"fri"_qs, {u"friends"_qs})), QStringList{u"Best friends"_qs});
        QCOMPARE(names(tags.suggestions(QString(), {u"work"_qs, u"school"_qs})),
                 (QStringList{u"Best friends"_qs, u"Family"_qs, u"Friends"_qs, u"Movie lover"_qs}));
        QCOMPARE(tags.suggestions(u"zzz"_qs), QList<Tag>());
    }
};

QTEST_GUILESS_MAIN(TestTagCatalog)
#include "TestTagCatalog.moc"
