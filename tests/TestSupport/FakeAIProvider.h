// A provider for the AI service's tests: records what it was asked and answers as scripted.
#pragma once

#include "AI/AIProvider.h"

#include <QCoroTimer>
#include <exception>

namespace pemmo::test {

// What a model makes of "coffee with Anna at the station": two details, a meeting and a circle.
inline CaptureResult coffeeCapture() {
    CaptureResult capture;
    capture.personName = u"Anna"_qs;
    capture.fieldUpdates = {{u"company"_qs, u"Acme"_qs}, {u"currentCity"_qs, u"Lisbon"_qs}};
    capture.interactionKind = u"met"_qs;
    capture.interactionText = u"Coffee at the station"_qs;
    capture.interactionDate = u"2026-03-03"_qs;
    capture.tags = {u"climbing"_qs};
    return capture;
}

class FakeProvider : public AIProvider {
public:
    FakeProvider(AIProviderID id, bool leavesDevice, QString displayName, QString modelName)
        : m_id(id)
        , m_leavesDevice(leavesDevice)
        , m_displayName(std::move(displayName))
        , m_modelName(std::move(modelName)) {}

    // What the provider was asked, one entry per call: the operation's name.
    QStringList calls;
    std::optional<PersonContext> lastContext;
    QString lastToday;
    QString lastText;
    QList<CandidateSummary> lastCandidates;

    AIAvailability availabilityAnswer = AIAvailability::available();
    Briefing briefingAnswer{QStringLiteral("fresh summary"), QStringLiteral("fresh opener")};
    CaptureResult captureAnswer;
    ExtractedProfile extractAnswer;
    QList<RankedCandidate> rankAnswer;
    // Thrown by the next operation instead of answering.
    std::exception_ptr failure;

    AIProviderID id() const override { return m_id; }
    bool leavesDevice() const override { return m_leavesDevice; }
    QString displayName() const override { return m_displayName; }
    QString modelName() const override { return m_modelName; }
    void setModelName(const QString& name) { m_modelName = name; }

    // Answers are returned as copies: QCoro moves from an lvalue it is handed.
    QCoro::Task<AIAvailability> availability() override { co_return AIAvailability(availabilityAnswer); }

    QCoro::Task<Briefing> briefing(PersonContext context) override {
        calls.append(QStringLiteral("briefing"));
        lastContext = context;
        return later(Briefing(briefingAnswer));
    }
    QCoro::Task<ExtractedProfile> extract(QString text) override {
        calls.append(QStringLiteral("extract"));
        lastText = text;
        return later(ExtractedProfile(extractAnswer));
    }
    QCoro::Task<CaptureResult> capture(QString note, std::optional<PersonContext> context,
                                       QString today) override {
        calls.append(QStringLiteral("capture"));
        lastText = note;
        lastContext = context;
        lastToday = today;
        return later(CaptureResult(captureAnswer));
    }
    QCoro::Task<QString> draft(PersonContext context, Channel, std::optional<QString>) override {
        calls.append(QStringLiteral("draft"));
        lastContext = context;
        return later(QStringLiteral("Hi!"));
    }
    QCoro::Task<QList<RankedCandidate>> rank(QString query, QList<CandidateSummary> candidates) override {
        calls.append(QStringLiteral("rank"));
        lastText = query;
        lastCandidates = candidates;
        return later(QList<RankedCandidate>(rankAnswer));
    }

private:
    // Answers after a turn of the event loop, as a real provider would, or throws `failure`.
    template <class T> QCoro::Task<T> later(T answer) {
        auto pause = QCoro::sleepFor(std::chrono::milliseconds(0));
        co_await pause;
        if (failure)
            std::rethrow_exception(std::exchange(failure, nullptr));
        co_return answer;
    }

    AIProviderID m_id;
    bool m_leavesDevice;
    QString m_displayName;
    QString m_modelName;
};

} // namespace pemmo::test
