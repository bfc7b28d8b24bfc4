// The in-memory preferences: kinds are kept, absent removes, and access from many threads is safe.
#include "Settings/InMemoryKeyValueStore.h"

#include <QTest>
#include <thread>
#include <vector>

using namespace pemmo;

namespace {

// A value built where the store takes it, not moved there: g++ 12 takes a moved variant that holds
// a number for one whose list may be uninitialised.
template <class T> std::optional<StoredValue> stored(T value) {
    return std::optional<StoredValue>(std::in_place, value);
}

} // namespace

class TestInMemoryKeyValueStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void valuesKeepTheirKind() {
        InMemoryKeyValueStore store;
        store.set(stored(qint64(560)), u"k"_qs);
        QCOMPARE(store.integer(u"k"_qs), qint64(560));
        QCOMPARE(store.text(u"k"_qs), std::nullopt);
        QCOMPARE(store.number(u"k"_qs), std::nullopt);
        QCOMPARE(store.boolean(u"k"_qs), std::nullopt);
    }

    void settingAbsentRemovesTheKey() {
        InMemoryKeyValueStore store;
        store.set(stored(true), u"k"_qs);
        QVERIFY(store.contains(u"k"_qs));
        store.set(std::nullopt, u"k"_qs);
        QVERIFY(!store.contains(u"k"_qs));
        QCOMPARE(store.keys(), QStringList());
    }

    void concurrentWritersLoseNothing() {
        InMemoryKeyValueStore store;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&store, t] {
                for (int i = 0; i < 200; ++i)
                    store.set(stored(qint64(i)), QStringLiteral("t%1.%2").arg(t).arg(i));
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        QCOMPARE(store.keys().size(), 800);
        QCOMPARE(store.writeCount(), 800);
    }
};

QTEST_GUILESS_MAIN(TestInMemoryKeyValueStore)
#include "TestInMemoryKeyValueStore.moc"
