// Recently opened people: newest first, no repeats, fifteen kept and six shown, each with the
// time of the last opening.
#include "Lists/RecentsStore.h"
#include "Settings/InMemoryKeyValueStore.h"
#include "Support/IsoDate.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;

namespace {

QStringList ids(int from, int to) {
    QStringList list;
    for (int i = from; i >= to; --i)
        list.append(QString::number(i));
    return list;
}

const QDateTime kStart = QDateTime(QDate(2026, 3, 4), QTime(9, 0), Qt::UTC);

// A clock the test moves on by hand.
struct ManualClock {
    QDateTime now = kStart;
    Clock clock() {
        return [this] { return now; };
    }
};

QHash<QString, QDateTime> storedOpenings(const InMemoryKeyValueStore& store) {
    return RecentsStore::decodeOpenings(store.data(RecentsStore::openingsKey()).value_or(QByteArray()));
}

} // namespace

Q_DECLARE_METATYPE(pemmo::StoredValue)
Q_DECLARE_METATYPE(std::optional<pemmo::StoredValue>)

class TestRecentsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void recordingTwiceKeepsOneEntryAtTheFront() {
        InMemoryKeyValueStore store;
        RecentsStore recents(store);
        recents.record(u"A"_qs);
        recents.record(u"B"_qs);
        recents.record(u"A"_qs);
        QCOMPARE(recents.ids(), (QStringList{u"A"_qs, u"B"_qs}));
        QCOMPARE(recents.visible(), (QStringList{u"A"_qs, u"B"_qs})); // fewer than six: all shown
        QCOMPARE(store.textList(RecentsStore::storageKey()), (QStringList{u"A"_qs, u"B"_qs}));
        QCOMPARE(RecentsStore(store).ids(), (QStringList{u"A"_qs, u"B"_qs}));
    }

    void theSixteenthDropsTheOldestAndSixAreVisible() {
        InMemoryKeyValueStore store;
        RecentsStore recents(store);
        for (int i = 1; i <= 16; ++i)
            recents.record(QString::number(i));
        QCOMPARE(recents.ids(), ids(16, 2));
        QCOMPARE(recents.visible(), ids(16, 11));
        QCOMPARE(store.textList(RecentsStore::storageKey()), ids(16, 2));
    }

    void clearWritesOnlyWhenThereIsSomethingToForget() {
        InMemoryKeyValueStore store;
        RecentsStore recents(store);
        recents.clear();
        QCOMPARE(store.writeCount(), 0);
        recents.record(u"A"_qs);
        QSignalSpy changed(&recents, &RecentsStore::idsChanged);
        recents.clear();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(recents.ids(), QStringList());
        QCOMPARE(store.textList(RecentsStore::storageKey()), QStringList());
    }

    void pruneKeepsOrderAndWritesOnlyWhenSomeoneLeaves() {
        InMemoryKeyValueStore store;
        RecentsStore recents(store);
        for (const QString& id : {u"C"_qs, u"B"_qs, u"A"_qs})
            recents.record(id);
        const int writes = store.writeCount();
        recents.prune({u"A"_qs, u"B"_qs, u"C"_qs});
        QCOMPARE(store.writeCount(), writes);
        recents.prune({u"A"_qs, u"C"_qs});
        QCOMPARE(recents.ids(), (QStringList{u"A"_qs, u"C"_qs}));
        QCOMPARE(store.writeCount(), writes + 2); // the list and the times beside it
    }

    void everyOpeningIsDatedAndOutlivesARestart() {
        InMemoryKeyValueStore store;
        ManualClock time;
        RecentsStore recents(store, time.clock());
        recents.record(u"A"_qs);
        time.now = kStart.addSecs(60);
        recents.record(u"B"_qs);
        const QHash<QString, QDateTime> expected{{u"A"_qs, kStart}, {u"B"_qs, kStart.addSecs(60)}};
        QCOMPARE(recents.openings(), expected);
        QCOMPARE(storedOpenings(store), expected);

        const RecentsStore later(store);
        QCOMPARE(later.ids(), (QStringList{u"B"_qs, u"A"_qs}));
        QCOMPARE(later.openings(), expected);
        QCOMPARE(later.openedAt(u"A"_qs), kStart);
        QCOMPARE(later.openedAt(u"C"_qs), std::nullopt);
    }

    // Opening the person already first changes no list, yet it is a new opening.
    void openingTheFirstPersonAgainDatesItAgain() {
        InMemoryKeyValueStore store;
        ManualClock time;
        RecentsStore recents(store, time.clock());
        recents.record(u"A"_qs);
        QSignalSpy idsChanged(&recents, &RecentsStore::idsChanged);
        QSignalSpy openingsChanged(&recents, &RecentsStore::openingsChanged);
        time.now = kStart.addDays(9);
        recents.record(u"A"_qs);
        QCOMPARE(idsChanged.count(), 0);
        QCOMPARE(openingsChanged.count(), 1);
        QCOMPARE(recents.openedAt(u"A"_qs), kStart.addDays(9));
        QCOMPARE(storedOpenings(store).value(u"A"_qs), kStart.addDays(9));
    }

    // The times never speak of someone the list no longer holds.
    void theTimesFollowTheListWhenItShrinks() {
        InMemoryKeyValueStore store;
        ManualClock time;
        RecentsStore recents(store, time.clock());
        for (int i = 1; i <= 16; ++i) {
            time.now = kStart.addSecs(i);
            recents.record(QString::number(i));
        }
        QVERIFY(!recents.openedAt(u"1"_qs));
        QCOMPARE(storedOpenings(store).size(), RecentsStore::capacity);

        recents.prune({u"16"_qs, u"2"_qs});
        const QHash<QString, QDateTime> kept{{u"16"_qs, kStart.addSecs(16)}, {u"2"_qs, kStart.addSecs(2)}};
        QCOMPARE(recents.openings(), kept);
        QCOMPARE(storedOpenings(store), kept);

        QSignalSpy openingsChanged(&recents, &RecentsStore::openingsChanged);
        recents.clear();
        QCOMPARE(openingsChanged.count(), 1);
        QVERIFY(recents.openings().isEmpty());
        QVERIFY(!store.contains(RecentsStore::openingsKey()));
    }

    // What a hand-edited or older file holds beside the list is read only where it fits.
    void storedTimesAreReadOnlyWhereTheyFit_data() {
        QTest::addColumn<std::optional<StoredValue>>("stored");
        QTest::addColumn<QStringList>("withTimes");
        const QStringList list{u"A"_qs, u"B"_qs};
        QTest::newRow("none, as from an earlier release") << std::optional<StoredValue>() << QStringList();
        QTest::newRow("both") << std::optional<StoredValue>(
                                     QByteArray(R"({"A":"2026-03-01T10:00:00Z","B":"2026-03-02T10:00:00Z"})"))
                              << list;
        QTest::newRow("someone not listed")
            << std::optional<StoredValue>(
                   QByteArray(R"({"A":"2026-03-01T10:00:00Z","Z":"2026-03-02T10:00:00Z"})"))
            << QStringList{u"A"_qs};
        QTest::newRow("not a time") << std::optional<StoredValue>(QByteArray(
                                           R"({"A":"yesterday","B":"2026-03-02T10:00:00Z","C":7})"))
                                    << QStringList{u"B"_qs};
        QTest::newRow("not an object")
            << std::optional<StoredValue>(QByteArray(R"(["A","B"])")) << QStringList();
        QTest::newRow("not json") << std::optional<StoredValue>(QByteArray("A=1")) << QStringList();
        QTest::newRow("text, not data")
            << std::optional<StoredValue>(QString(R"({"A":"2026-03-01T10:00:00Z"})")) << QStringList();
    }

    void storedTimesAreReadOnlyWhereTheyFit() {
        QFETCH(std::optional<StoredValue>, stored);
        QFETCH(QStringList, withTimes);
        InMemoryKeyValueStore store;
        store.set(StoredValue(QStringList{u"A"_qs, u"B"_qs}), RecentsStore::storageKey());
        store.set(stored, RecentsStore::openingsKey());
        const RecentsStore recents(store);
        QCOMPARE(recents.ids(), (QStringList{u"A"_qs, u"B"_qs}));
        QStringList dated = recents.openings().keys();
        dated.sort();
        QCOMPARE(dated, withTimes);
    }

    void aStoredValueOfAnotherKindIsIgnored() {
        InMemoryKeyValueStore store;
        store.set(StoredValue(u"A"_qs), RecentsStore::storageKey());
        QCOMPARE(RecentsStore(store).ids(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestRecentsStore)
#include "TestRecentsStore.moc"
