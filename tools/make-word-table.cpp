// make-word-table: turns the word-vector package's JSON document into the compact table the
// application maps at run time (see PemmoCore/Semantic/WordTable.h for the layout).
//
// Usage: make-word-table PACKAGE.json OUTPUT.wordtable [--words N] [--name NAME]
#include "Semantic/WordTable.h"
#include "Semantic/WordTableBuilder.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    pemmo::WordTableBuilder::Options options;
    options.name = QStringLiteral("glove-wink-sg-200k");
    QStringList paths;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == u"--words" && i + 1 < args.size())
            options.maxWords = args[++i].toInt();
        else if (args[i] == u"--name" && i + 1 < args.size())
            options.name = args[++i];
        else
            paths.append(args[i]);
    }
    if (paths.size() != 2 || options.maxWords <= 0) {
        std::fputs("usage: make-word-table PACKAGE.json OUTPUT.wordtable [--words N] [--name NAME]\n",
                   stderr);
        return 2;
    }
    QFile input(paths[0]);
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "make-word-table: %s: %s\n", qUtf8Printable(paths[0]),
                     qUtf8Printable(input.errorString()));
        return 1;
    }
    try {
        const QByteArray json = input.readAll();
        input.close();
        const pemmo::WordTable::Source source = pemmo::WordTableBuilder::fromPackageJson(json, options);
        pemmo::WordTable::write(source, paths[1]);
        std::printf("make-word-table: %zu words of %u, dimension %d, written to %s\n", source.words.size(),
                    source.vocabularySize, source.dimension, qUtf8Printable(paths[1]));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make-word-table: %s\n", error.what());
        return 1;
    }
    return 0;
}
