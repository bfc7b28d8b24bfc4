// pemmo-bench-generate-vdir N OUTDIR: writes N generated contacts as vdir address books below
// OUTDIR, so that whole-process timings (pemmo list, khard list) read the same files as the
// benchmarks.
#include "VdirGenerator.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool ok = args.size() == 2;
    const int count = ok ? args.at(0).toInt(&ok) : 0;
    if (!ok || count < 0) {
        std::fputs("Usage: pemmo-bench-generate-vdir N OUTDIR\n"
                   "  writes N generated contacts as .vcf files to OUTDIR/personal and OUTDIR/work\n",
                   stderr);
        return 2;
    }
    try {
        pemmo::bench::VdirGenerator::write(pemmo::bench::VdirGenerator().generate(count), args.at(1));
        std::printf("%s: %d contacts in %s\n", qUtf8Printable(args.at(1)), count,
                    qUtf8Printable(pemmo::bench::VdirGenerator::addressBooks().join(u", ")));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pemmo-bench-generate-vdir: %s\n", error.what());
        return 1;
    }
    return 0;
}
