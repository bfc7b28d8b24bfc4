// pemmo-bench-generate N OUTDIR: writes a store file of N generated records to OUTDIR, so that
// whole-process timings (pemmo export, a Python round trip) run on the same data as the benchmarks.
#include "Store/PemmoStore.h"
#include "StoreGenerator.h"
#include "Support/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool ok = args.size() == 2;
    const int count = ok ? args.at(0).toInt(&ok) : 0;
    if (!ok || count < 0) {
        std::fputs("Usage: pemmo-bench-generate N OUTDIR\n"
                   "  writes N generated records to OUTDIR/pemmo-store.json\n",
                   stderr);
        return 2;
    }
    const QString folder = args.at(1);
    const QString path = QDir(folder).filePath(pemmo::PemmoStore::storeFileName());
    try {
        pemmo::AtomicFile::ensureDirectory(folder);
        const std::string bytes = pemmo::StoreFile::encode(pemmo::bench::StoreGenerator().generate(count));
        pemmo::AtomicFile::write(path, bytes);
        std::printf("%s: %d records, %zu bytes\n", qUtf8Printable(path), count, bytes.size());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pemmo-bench-generate: %s\n", error.what());
        return 1;
    }
    return 0;
}
