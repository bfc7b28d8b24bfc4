// A process that writes the store in a tight loop until it is killed; the crash-safety test runs it.
// Usage: store-writer FOLDER RECORDS
// Prints "ready" once the first write is on disk; the test then kills it in the middle of a later one.
#include "Store/PemmoStore.h"
#include "Support/WaitFor.h"

#include <QCoreApplication>
#include <cstdio>

using namespace pemmo;

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int count = QByteArray(argv[2]).toInt();

    // Only the explicit flushes write, so every write carries a whole round.
    PemmoStore store(folder, std::chrono::hours(1));
    pemmo::waitFor(store.load());
    const QString about = u"Grew up by the lake; "_qs.repeated(40);
    for (long round = 0;; ++round) {
        for (int i = 0; i < count; ++i) {
            PemmoRecord record = PemmoRecord::fresh({});
            record.about = about + QString::number(round);
            record.tags = {u"round-%1"_qs.arg(round)};
            pemmo::waitFor(store.put(record, u"contact-%1"_qs.arg(i)));
        }
        pemmo::waitFor(store.flush());
        if (round == 0) {
            std::printf("ready\n");
            std::fflush(stdout);
        }
    }
}
