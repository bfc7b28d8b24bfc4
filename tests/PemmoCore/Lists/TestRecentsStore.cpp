// Recently opened people: newest first, no repeats, fifteen kept and six shown.
#include "Lists/RecentsStore.h"
#include "Settings/InMemoryKeyValueStore.h"

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

} // namespace

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

    void fewerThanSixAreAllVisible() {
        InMemoryKeyValueStore store;
        RecentsStore recents(store);
        recents.record(u"A"_qs);
        QCOMPARE(recents.visible(), QStringList{u"A"_qs});
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
        QCOMPARE(store.writeCount(), writes + 1);
    }

    void aStoredValueOfAnotherKindIsIgnored() {
        InMemoryKeyValueStore store;
        store.set(StoredValue(u"A"_qs), RecentsStore::storageKey());
        QCOMPARE(RecentsStore(store).ids(), QStringList());
    }
};

QTEST_GUILESS_MAIN(TestRecentsStore)
#include "TestRecentsStore.moc"
