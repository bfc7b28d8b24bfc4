// Recently opened people: newest first, no repeats, fifteen kept and six shown, each with the
// time of the last opening. Starred people: at most five, in the order they were starred, pruned
// when they leave the book.
#include "Lists/RecentsStore.h"
#include "Lists/StarredStore.h"
#include "Records/PemmoError.h"
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

QHash<QString, QDateTime> storedOpenings(const InMemoryKeyValueStore& store) {
    return RecentsStore::decodeOpenings(store.data(RecentsStore::openingsKey()).value_or(QByteArray()));
}

} // namespace

Q_DECLARE_METATYPE(pemmo::StoredValue)
Q_DECLARE_METATYPE(std::optional<pemmo::StoredValue>)

class TestRecentsStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Opening someone again moves them to the front, never twice in the list; opening the person
    // already first changes no list, yet it is a new opening. All of it outlives a restart.
    void everyOpeningIsDatedAndOutlivesARestart() {
        InMemoryKeyValueStore store;
        QDateTime now = kStart;
        RecentsStore recents(store, [&now] { return now; });
        for (const QString& id : {u"A"_qs, u"B"_qs, u"A"_qs}) {
            recents.record(id);
            now = now.addSecs(60);
        }
        const QStringList list{u"A"_qs, u"B"_qs};
        QCOMPARE(recents.ids(), list);
        QCOMPARE(recents.visible(), list); // fewer than six: all shown
        QCOMPARE(store.textList(RecentsStore::storageKey()), list);
        const QHash<QString, QDateTime> expected{{u"A"_qs, kStart.addSecs(120)},
                                                 {u"B"_qs, kStart.addSecs(60)}};
        QCOMPARE(recents.openings(), expected);
        QCOMPARE(storedOpenings(store), expected);

        QSignalSpy idsChanged(&recents, &RecentsStore::idsChanged);
        QSignalSpy openingsChanged(&recents, &RecentsStore::openingsChanged);
        now = kStart.addDays(9);
        recents.record(u"A"_qs);
        QCOMPARE(idsChanged.count(), 0);
        QCOMPARE(openingsChanged.count(), 1);

        const RecentsStore later(store);
        QCOMPARE(later.ids(), list);
        QCOMPARE(later.openings(), recents.openings());
        QCOMPARE(later.openedAt(u"A"_qs), kStart.addDays(9));
        QCOMPARE(later.openedAt(u"C"_qs), std::nullopt);
    }

    // Fifteen are kept and six shown; the times never speak of someone the list no longer holds.
    // Pruning and clearing write only when someone leaves.
    void theListAndItsTimesShrinkTogether() {
        InMemoryKeyValueStore store;
        QDateTime now = kStart;
        RecentsStore recents(store, [&now] { return now; });
        recents.clear();
        QCOMPARE(store.writeCount(), 0);
        for (int i = 1; i <= 16; ++i) {
            now = kStart.addSecs(i);
            recents.record(QString::number(i));
        }
        QCOMPARE(recents.ids(), ids(16, 2));
        QCOMPARE(recents.visible(), ids(16, 11));
        QCOMPARE(store.textList(RecentsStore::storageKey()), ids(16, 2));
        QVERIFY(!recents.openedAt(u"1"_qs));
        QCOMPARE(storedOpenings(store).size(), RecentsStore::capacity);

        const int writes = store.writeCount();
        const QStringList everyone = ids(20, 1);
        recents.prune(QSet<QString>(everyone.begin(), everyone.end()));
        QCOMPARE(store.writeCount(), writes);
        recents.prune({u"2"_qs, u"16"_qs});
        QCOMPARE(store.writeCount(), writes + 2); // the list and the times beside it
        QCOMPARE(recents.ids(), (QStringList{u"16"_qs, u"2"_qs}));
        const QHash<QString, QDateTime> kept{{u"16"_qs, kStart.addSecs(16)}, {u"2"_qs, kStart.addSecs(2)}};
        QCOMPARE(recents.openings(), kept);
        QCOMPARE(storedOpenings(store), kept);

        QSignalSpy idsChanged(&recents, &RecentsStore::idsChanged);
        QSignalSpy openingsChanged(&recents, &RecentsStore::openingsChanged);
        recents.clear();
        QCOMPARE(idsChanged.count(), 1);
        QCOMPARE(openingsChanged.count(), 1);
        QCOMPARE(recents.ids(), QStringList());
        QCOMPARE(store.textList(RecentsStore::storageKey()), QStringList());
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

    void starredStartFromTheStoredListOnly_data() {
        QTest::addColumn<std::optional<StoredValue>>("stored");
        QTest::addColumn<QStringList>("ids");
        QTest::newRow("nothing") << std::optional<StoredValue>() << QStringList();
        QTest::newRow("list") << std::optional<StoredValue>(QStringList{u"B"_qs, u"A"_qs})
                              << QStringList{u"B"_qs, u"A"_qs};
        QTest::newRow("repeated id") << std::optional<StoredValue>(QStringList{u"B"_qs, u"A"_qs, u"B"_qs})
                                     << QStringList{u"B"_qs, u"A"_qs};
        QTest::newRow("text") << std::optional<StoredValue>(u"A"_qs) << QStringList();
        QTest::newRow("data") << std::optional<StoredValue>(QByteArray("[\"A\"]")) << QStringList();
    }

    void starredStartFromTheStoredListOnly() {
        QFETCH(std::optional<StoredValue>, stored);
        QFETCH(QStringList, ids);
        InMemoryKeyValueStore store;
        store.set(stored, StarredStore::storageKey());
        QCOMPARE(StarredStore(store).ids(), ids);
    }

    void toggleStarsAndUnstarsAndPersists() {
        InMemoryKeyValueStore store;
        StarredStore starred(store);
        QSignalSpy changed(&starred, &StarredStore::idsChanged);
        starred.toggle(u"A"_qs);
        starred.toggle(u"B"_qs);
        QVERIFY(starred.isStarred(u"A"_qs));
        QCOMPARE(store.textList(StarredStore::storageKey()), (QStringList{u"A"_qs, u"B"_qs}));
        starred.toggle(u"A"_qs);
        QVERIFY(!starred.isStarred(u"A"_qs));
        QCOMPARE(starred.ids(), QStringList{u"B"_qs});
        QCOMPARE(store.textList(StarredStore::storageKey()), QStringList{u"B"_qs});
        QCOMPARE(changed.count(), 3);
    }

    void aSixthStarFailsAndChangesNothing() {
        InMemoryKeyValueStore store;
        StarredStore starred(store);
        const QStringList five{u"1"_qs, u"2"_qs, u"3"_qs, u"4"_qs, u"5"_qs};
        for (const QString& id : five)
            starred.toggle(id);
        const int writes = store.writeCount();
        try {
            starred.toggle(u"6"_qs);
            QFAIL("starring a sixth person succeeded");
        } catch (const PemmoError& error) {
            QCOMPARE(error.errorCase(), PemmoError::Case::StarredLimitReached);
        }
        QCOMPARE(starred.ids(), five);
        QCOMPARE(store.writeCount(), writes);

        // Making room lets the sixth in, at the end.
        starred.toggle(u"2"_qs);
        starred.toggle(u"6"_qs);
        QCOMPARE(starred.ids(), (QStringList{u"1"_qs, u"3"_qs, u"4"_qs, u"5"_qs, u"6"_qs}));
    }

    void starredPruneKeepsOrderAndWritesOnlyWhenSomeoneLeaves() {
        InMemoryKeyValueStore store;
        store.set(StoredValue(QStringList{u"C"_qs, u"A"_qs, u"B"_qs}), StarredStore::storageKey());
        StarredStore starred(store);
        const int writes = store.writeCount();
        starred.prune({u"A"_qs, u"B"_qs, u"C"_qs, u"D"_qs});
        QCOMPARE(store.writeCount(), writes);
        starred.prune({u"B"_qs, u"C"_qs});
        QCOMPARE(starred.ids(), (QStringList{u"C"_qs, u"B"_qs}));
        QCOMPARE(store.textList(StarredStore::storageKey()), (QStringList{u"C"_qs, u"B"_qs}));
        starred.prune({});
        QCOMPARE(starred.ids(), QStringList());
        QCOMPARE(store.textList(StarredStore::storageKey()), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestRecentsStore)
#include "TestRecentsStore.moc"
