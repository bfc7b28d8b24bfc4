// An opener that opens nothing: it records each address it is handed (and whether in the
// background) and answers with the problem a test sets, or with success.
#pragma once

#include "Links/DestinationOpener.h"

#include <QList>
#include <QString>
#include <memory>

namespace pemmo::test {

struct RecordingOpener : DestinationOpener {
    struct Call {
        QString address;
        bool background = false;
    };

    // Shared with the test, since the environment owns the opener.
    struct Log {
        QList<Call> calls;
        std::optional<QString> problem;
        QStringList addresses() const {
            QStringList out;
            for (const Call& c : calls)
                out.append(c.address);
            return out;
        }
    };

    explicit RecordingOpener(std::shared_ptr<Log> log)
        : m_log(std::move(log)) {}

    QCoro::Task<std::optional<QString>> open(QString address, Options options) override {
        m_log->calls.append({address, options.background});
        std::optional<QString> answer = m_log->problem; // a copy: the log keeps its own
        co_return answer;
    }

    std::shared_ptr<Log> m_log;
};

} // namespace pemmo::test
