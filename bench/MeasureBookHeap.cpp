// pemmo-bench-book-heap [N]: the heap the address book keeps for N generated contacts (default
// 10,000) once read and its thumbnails made, with nobody holding the people it handed out: after a
// first read that parses every file, and after a read that starts from the contact cache. glibc's
// count of bytes in use, so what is measured is the book's own data and the bookkeeping of its
// blocks, not the pages the allocator happens to keep.
#include "Contacts/VCardBook.h"
#include "VdirGenerator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>
#include <malloc.h>
#include <memory>

namespace {

std::size_t heapInUse() {
    ::malloc_trim(0);
    return ::mallinfo2().uordblks;
}

// Reads the book at `folder` as the application does: a read, then thumbnails a batch at a time,
// then the people handed out once more and dropped. Returns the bytes it keeps and the book.
std::unique_ptr<pemmo::VCardBook> readBook(const QString& folder, const QString& cacheFolder,
                                           const char* what, pemmo::Clock clock = pemmo::systemClock()) {
    const std::size_t before = heapInUse();
    QElapsedTimer timer;
    timer.start();
    auto book = std::make_unique<pemmo::VCardBook>(QStringList{folder}, 0, std::move(clock));
    book->setCacheFolder(cacheFolder);
    const qsizetype people = book->people().size();
    const qint64 readMs = timer.elapsed();
    while (book->makeThumbnails(32) > 0) {
    }
    (void)book->people();
    const std::size_t after = heapInUse();
    std::printf("%-22s %6lld people: %8.2f MB kept (%.0f bytes a person), read in %lld ms\n", what,
                qlonglong(people), double(after - before) / 1e6, double(after - before) / double(people),
                qlonglong(readMs));
    return book;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool ok = true;
    const int count = args.isEmpty() ? 10'000 : args.at(0).toInt(&ok);
    if (!ok || count <= 0 || args.size() > 1) {
        std::fputs("Usage: pemmo-bench-book-heap [N]\n", stderr);
        return 2;
    }
    QTemporaryDir folder;
    QTemporaryDir cache;
    pemmo::bench::VdirGenerator::write(pemmo::bench::VdirGenerator().generate(count), folder.path());
    {
        // The files were written a moment ago, and the cache leaves out files changed just before
        // the listing: this book lists them as if a minute later, so that its cache holds them all.
        const auto later = [] { return QDateTime::currentDateTime().addSecs(60); };
        const auto book = readBook(folder.path(), cache.path(), "parsed from the files", later);
        book->saveCache();
    }
    readBook(folder.path(), cache.path(), "from the contact cache");
    return 0;
}
