#include "Records/Text.h"

#include <QTextBoundaryFinder>

namespace pemmo::Text {

QString trimmed(const QString& text) {
    // QString::trimmed() covers Unicode white space, line and paragraph separators included.
    return text.trimmed();
}

bool isBlank(const QString& text) {
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

bool isBlank(const std::optional<QString>& text) {
    return !text || isBlank(*text);
}

QString firstCharacters(const QString& text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (int i = 0; i < count; ++i) {
        const qsizetype next = finder.toNextBoundary();
        if (next < 0)
            break;
        end = next;
    }
    return text.left(end);
}

} // namespace pemmo::Text
