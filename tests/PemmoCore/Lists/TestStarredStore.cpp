// Starred people: at most five, in the order they were starred, pruned when they leave the book.
#include "Lists/StarredStore.h"
#include "Records/PemmoError.h"
#include "Settings/InMemoryKeyValueStore.h"

#include <QSignalSpy>
#include <QTest>

using namespace pemmo;

Q_DECLARE_METATYPE(pemmo::StoredValue)
Q_DECLARE_METATYPE(std::optional<pemmo::StoredValue>)

class TestStarredStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void startsFromTheStoredListOnly_data() {
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

    void startsFromTheStoredListOnly() {
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

    void pruneKeepsOrderAndWritesOnlyWhenSomeoneLeaves() {
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

QTEST_GUILESS_MAIN(TestStarredStore)
#include "TestStarredStore.moc"
