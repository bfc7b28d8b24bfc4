// The Moment capture screen: writing down a memory of a one-on-one that just ended, or logging
// only that it happened, dismissing the Moment, or no longer being offered its series. The text
// typed so far is kept as the Moment's draft, so leaving and coming back finds it again.
#pragma once

#include "Moments/MomentCandidate.h"
#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace pemmo {

class AppEnvironment;

class MomentCaptureViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("The capture screen's model comes from Shell.momentCapture(…).")
    Q_PROPERTY(QString personName READ personName CONSTANT)
    Q_PROPERTY(QString contactID READ contactID CONSTANT)
    Q_PROPERTY(QString eventTitle READ eventTitle CONSTANT)
    Q_PROPERTY(QString when READ when CONSTANT)
    Q_PROPERTY(bool isRecurring READ isRecurring CONSTANT)
    Q_PROPERTY(QString placeholder READ placeholder CONSTANT)
    Q_PROPERTY(QString text READ text WRITE setText NOTIFY textChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(bool isSaving READ isSaving NOTIFY isSavingChanged)

public:
    // The environment is not owned and must outlive the model.
    MomentCaptureViewModel(AppEnvironment& environment, MomentCandidate candidate, QObject* parent = nullptr);

    const MomentCandidate& candidate() const { return m_candidate; }
    const QString& personName() const { return m_personName; }
    const QString& contactID() const { return m_candidate.profileID; }
    const QString& eventTitle() const { return m_candidate.eventTitle; }
    // When the event took place, in the user's local time ("Today, 09:30 – 10:00").
    QString when() const;
    // "Today, 14:00 – 15:00"; an event across midnight names both days ("Yesterday, 23:10 – Today,
    // 00:10"). Times are shown in the local time zone.
    static QString describeWhen(const QDateTime& start, const QDateTime& end, const QDateTime& now);
    bool isRecurring() const { return m_candidate.isRecurring(); }
    static QString placeholder();
    const QString& text() const { return m_text; }
    void setText(const QString& text);
    const QString& error() const { return m_error; }
    bool isSaving() const { return m_isSaving; }

    // Saves the text as a "met" entry on the person's timeline and goes back; a failure stays on
    // the screen as the error.
    QCoro::Task<void> save();
    // Saves "Spent time together." whatever was typed.
    QCoro::Task<void> justLog();
    // The Moment is not offered again.
    void dismiss();
    // No Moment of this series is offered again (only for a repeating event).
    void stopSuggesting();
    // Back to the search screen; the draft stays.
    Q_INVOKABLE void cancel();

    Q_INVOKABLE void submit() { save(); }
    Q_INVOKABLE void submitJustLog() { justLog(); }
    Q_INVOKABLE void submitDismiss() { dismiss(); }
    Q_INVOKABLE void submitStopSuggesting() { stopSuggesting(); }

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void textChanged();
    void errorChanged();
    void isSavingChanged();

private:
    QCoro::Task<void> saveText(QString text, bool justLog);
    void setError(const QString& error);
    void setSaving(bool saving);

    AppEnvironment& m_env;
    const MomentCandidate m_candidate;
    QString m_personName;
    QString m_text;
    QString m_error;
    bool m_isSaving = false;
};

} // namespace pemmo
