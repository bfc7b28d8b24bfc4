// pemmo-bench-generate-people N DATADIR LINES: writes N generated people as Pemmo's data folder
// holds them (vCards in DATADIR/Contacts, records in DATADIR/pemmo-store.json) and the same people
// as one line of name and details each in LINES, so that `pemmo search` and a line filter such as
// fzf can be timed over the same people.
#include "ProfileGenerator.h"
#include "Support/AtomicFile.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    bool ok = args.size() == 3;
    const int count = ok ? args.at(0).toInt(&ok) : 0;
    if (!ok || count < 0) {
        std::fputs("Usage: pemmo-bench-generate-people N DATADIR LINES\n", stderr);
        return 2;
    }
    try {
        using pemmo::bench::ProfileGenerator;
        const ProfileGenerator::People people = ProfileGenerator::generate(count);
        ProfileGenerator::write(people, args.at(1));
        QByteArray lines;
        for (const pemmo::Profile& profile : people.profiles)
            lines += ProfileGenerator::detailsLine(profile).toUtf8().replace('\n', ' ') + '\n';
        pemmo::AtomicFile::write(args.at(2), lines);
        std::printf("%d people in %s, their lines in %s\n", count, qUtf8Printable(args.at(1)),
                    qUtf8Printable(args.at(2)));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "pemmo-bench-generate-people: %s\n", error.what());
        return 1;
    }
    return 0;
}
