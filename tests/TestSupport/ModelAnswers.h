// What model servers answer, shaped as their APIs shape it: a local model server's chat answer
// (the Ollama API), and a Claude Messages answer whose text block comes after a thinking block.
#pragma once

#include <QByteArray>
#include <nlohmann/json.hpp>

namespace pemmo::test {

inline QByteArray chatAnswer(const QByteArray& content, const char* doneReason = "stop") {
    const nlohmann::json body{{"model", "llama3.2"},
                              {"created_at", "2026-03-04T10:00:00Z"},
                              {"message", {{"role", "assistant"}, {"content", content.toStdString()}}},
                              {"done", true},
                              {"done_reason", doneReason}};
    return QByteArray::fromStdString(body.dump());
}

inline QByteArray messagesAnswer(const QByteArray& text, const char* stopReason = "end_turn") {
    const nlohmann::json body{
        {"id", "msg_1"},
        {"type", "message"},
        {"role", "assistant"},
        {"content",
         {{{"type", "thinking"}, {"thinking", "…"}}, {{"type", "text"}, {"text", text.toStdString()}}}},
        {"stop_reason", stopReason}};
    return QByteArray::fromStdString(body.dump());
}

} // namespace pemmo::test
