// What every command of the command line shares: its exit codes and how it writes text.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdio>

namespace pemmo::Console {

constexpr int success = 0;
constexpr int failure = 1;
constexpr int usage = 2;

// Writes `text` as UTF-8, whatever the locale says.
inline void print(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
}

} // namespace pemmo::Console
