#include "Records/SharedTexts.h"

namespace pemmo {
namespace {

thread_local SharedTexts* t_current = nullptr;

QString fromUtf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

} // namespace

SharedTexts::SharedTexts()
    : m_outer(t_current) {
    t_current = this;
}

SharedTexts::~SharedTexts() {
    t_current = m_outer;
}

QString SharedTexts::text(std::string_view utf8) {
    SharedTexts* const shared = t_current;
    if (!shared || utf8.empty() || utf8.size() > maximumLength)
        return fromUtf8(utf8);
    const auto found = shared->m_texts.find(utf8);
    if (found != shared->m_texts.end())
        return found->second;
    QString made = fromUtf8(utf8);
    shared->m_texts.emplace(std::string(utf8), made);
    return made;
}

} // namespace pemmo
