// The files of tests/data (the build names the folder in PEMMO_TEST_DATA), and the miniature word
// table made from its vectors.
#pragma once

#include "Semantic/WordTableBuilder.h"

#include <QFile>
#include <QString>

namespace pemmo::test {

inline QString testDataPath(const QString& name) {
    return qEnvironmentVariable("PEMMO_TEST_DATA") + u'/' + name;
}

inline QByteArray testData(const QString& name) {
    QFile file(testDataPath(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing test data %s", qPrintable(name));
    return file.readAll();
}

// Writes the word table "tiny" of semantic/tiny-vectors.json to `path`.
inline void writeTinyWordTable(const QString& path) {
    WordTableBuilder::Options options;
    options.name = u"tiny"_qs;
    WordTable::write(WordTableBuilder::fromPackageJson(testData(u"semantic/tiny-vectors.json"_qs), options),
                     path);
}

} // namespace pemmo::test
