#include "Lists/Tag.h"

#include <QStringList>

namespace pemmo {

namespace {

QStringList words(const QString& text) {
    QStringList pieces;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        const bool space = i == text.size() || text.at(i).isSpace();
        if (space && start >= 0) {
            pieces.append(text.mid(start, i - start));
            start = -1;
        } else if (!space && start < 0) {
            start = i;
        }
    }
    return pieces;
}

} // namespace

QString Tag::normalizedID(const QString& text) {
    return words(text.toLower()).join(u' ');
}

QString Tag::cleanedName(const QString& text) {
    return words(text).join(u' ');
}

} // namespace pemmo
