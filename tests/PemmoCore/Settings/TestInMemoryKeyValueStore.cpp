// The in-memory preferences are safe to write from many threads. (That they keep each value's kind
// and that an absent value removes its key is relied on, and checked, by the settings tests.)
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
    void concurrentWritersLoseNothing() {
        InMemoryKeyValueStore store;
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&store, t] {
                for (int i = 0; i < 200; ++i)
                    store.set(stored(qint64(i)), u"t%1.%2"_qs.arg(t).arg(i));
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
