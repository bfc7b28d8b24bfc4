#include "Screens/MomentCaptureViewModel.h"

#include "App/AppEnvironment.h"
#include "Moments/MomentError.h"
#include "Moments/MomentService.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/PemmoError.h"
#include "Shell/AppRouter.h"
#include "Support/FileError.h"

#include <QLocale>
#include <QPointer>
#include <QRegularExpression>

namespace pemmo {

namespace {

// The words a failure gives the user, whatever part of the save it came from.
QString messageOf(const std::exception_ptr& failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const MomentError& error) {
        return error.message();
    } catch (const PemmoError& error) {
        return error.message();
    } catch (const FileError& error) {
        return error.description();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
    }
    return QStringLiteral("Something went wrong.");
}

} // namespace

MomentCaptureViewModel::MomentCaptureViewModel(AppEnvironment& environment, MomentCandidate candidate,
                                               QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_candidate(std::move(candidate)) {
    const auto profile = environment.sync().profile(m_candidate.profileID);
    m_personName = profile ? profile->person->displayName() : QString();
    m_text = environment.moments().drafts().value(m_candidate.id);
}

QString MomentCaptureViewModel::placeholder() {
    return QStringLiteral("A small detail worth keeping…");
}

QString MomentCaptureViewModel::when() const {
    return describeWhen(m_candidate.startDate, m_candidate.endDate, m_env.clock()());
}

QString MomentCaptureViewModel::describeWhen(const QDateTime& startDate, const QDateTime& endDate,
                                             const QDateTime& now) {
    const QLocale locale;
    const QDateTime start = startDate.toLocalTime();
    const QDateTime end = endDate.toLocalTime();
    const QDate today = now.toLocalTime().date();
    const auto dayOf = [&](QDate date) {
        if (date == today)
            return tr("Today");
        if (date == today.addDays(-1))
            return tr("Yesterday");
        return locale.toString(date, QLocale::ShortFormat);
    };
    // Hours and minutes: some locales' short time format still shows seconds.
    QString format = locale.timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]ss")));
    const QString from = locale.toString(start.time(), format);
    const QString to = locale.toString(end.time(), format);
    if (!start.isValid() || start == end)
        return tr("%1, %2").arg(dayOf(end.date()), to);
    if (start.date() != end.date())
        return tr("%1, %2 – %3, %4").arg(dayOf(start.date()), from, dayOf(end.date()), to);
    return tr("%1, %2 – %3").arg(dayOf(end.date()), from, to);
}

void MomentCaptureViewModel::setText(const QString& text) {
    if (m_text == text)
        return;
    m_text = text;
    m_env.moments().setDraft(m_candidate.id, text);
    Q_EMIT textChanged();
    if (!m_error.isEmpty())
        setError(QString());
}

void MomentCaptureViewModel::setError(const QString& error) {
    if (m_error == error)
        return;
    m_error = error;
    Q_EMIT errorChanged();
}

void MomentCaptureViewModel::setSaving(bool saving) {
    if (m_isSaving == saving)
        return;
    m_isSaving = saving;
    Q_EMIT isSavingChanged();
}

QCoro::Task<void> MomentCaptureViewModel::save() {
    return saveText(m_text, false);
}

QCoro::Task<void> MomentCaptureViewModel::justLog() {
    return saveText(MomentService::justLogText(), true);
}

QCoro::Task<void> MomentCaptureViewModel::saveText(QString text, bool justLog) {
    if (m_isSaving)
        co_return;
    setError(QString());
    setSaving(true);
    QPointer<MomentCaptureViewModel> self(this);
    AppEnvironment* env = &m_env;
    const QString name = m_personName;
    std::exception_ptr failure;
    try {
        auto saving = m_env.moments().save(m_candidate, text, justLog);
        co_await saving;
    } catch (...) {
        failure = std::current_exception();
    }
    if (self)
        setSaving(false);
    if (failure) {
        if (self)
            setError(QStringLiteral("Could not save. ") + messageOf(failure));
        co_return;
    }
    // The entry is on the timeline: leave the screen if it is still the one on top.
    if (self && env->router().topRoute().routeKind() == Route::Kind::MomentCapture &&
        env->router().topRoute().moment() && env->router().topRoute().moment()->id == m_candidate.id)
        env->router().pop();
    env->router().showSuccess(name.isEmpty() ? tr("Added to the timeline.")
                                             : tr("Added to %1's timeline.").arg(name));
}

void MomentCaptureViewModel::dismiss() {
    if (m_isSaving)
        return;
    try {
        m_env.moments().dismiss(m_candidate);
    } catch (...) {
        setError(QStringLiteral("Could not dismiss this Moment. Try again."));
        return;
    }
    m_env.router().pop();
    m_env.router().showInfo(tr("Dismissed. This Moment will not be offered again."));
}

void MomentCaptureViewModel::stopSuggesting() {
    if (m_isSaving || !isRecurring())
        return;
    try {
        m_env.moments().stopSuggesting(m_candidate);
    } catch (...) {
        setError(QStringLiteral("Could not stop suggestions for this series. Try again."));
        return;
    }
    m_env.router().pop();
    m_env.router().showInfo(tr("Pemmo will not suggest “%1” again.").arg(m_candidate.eventTitle));
}

void MomentCaptureViewModel::cancel() {
    m_env.router().pop();
}

KeyResult MomentCaptureViewModel::handleKey(const KeyEvent& event) {
    if (event.isControlReturn()) {
        save();
        return KeyResult::Handled;
    }
    if (event.isCommand(u'j')) {
        justLog();
        return KeyResult::Handled;
    }
    if (event.isCommand(u'd')) {
        if (event.modifiers.testFlag(Qt::ShiftModifier))
            stopSuggesting();
        else
            dismiss();
        return KeyResult::Handled;
    }
    if (event.isPlain(Qt::Key_Escape)) {
        cancel();
        return KeyResult::Handled;
    }
    return KeyResult::Pass; // typing goes to the text
}

} // namespace pemmo
