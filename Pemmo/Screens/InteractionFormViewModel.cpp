#include "Screens/InteractionFormViewModel.h"

#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/EntryDay.h"
#include "Records/Text.h"
#include "Screens/FormDrafts.h"
#include "Shell/AppRouter.h"

#include <QPointer>

namespace pemmo {

InteractionFormViewModel::InteractionFormViewModel(AppEnvironment& environment, const QString& contactID,
                                                   std::optional<QUuid> entryID, QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_contactID(contactID)
    , m_entryID(entryID) {
    const auto profile = environment.sync().profile(contactID);
    m_personName = profile ? profile->person->displayName() : QString();
    if (profile && entryID) {
        for (const Interaction& entry : profile->record->interactions) {
            if (entry.id == *entryID) {
                m_original = entry;
                m_kind = entry.kind;
                m_text = entry.text;
                break;
            }
        }
    }
    const QDate today = environment.clock()().toLocalTime().date();
    m_dayText = EntryDay::format(m_original ? m_original->date.toLocalTime().date() : today, today);
    m_initial = {m_kind, m_text, m_dayText};
    // What was typed here before and left without saving comes back.
    if (const auto draft = FormDrafts::of(environment).entry(contactID, entryID)) {
        m_kind = draft->kind;
        m_text = draft->text;
        m_dayText = draft->day;
    }
}

QString InteractionFormViewModel::title() const {
    return isEditing() ? tr("Edit memory") : tr("Log interaction");
}

QStringList InteractionFormViewModel::kindTitles() {
    return {tr("Note"), tr("Met"), tr("Message"), tr("Call"), tr("Email"), tr("Other")};
}

void InteractionFormViewModel::setKindIndex(int index) {
    if (index < 0 || index > int(Interaction::Kind::Other) || index == int(m_kind))
        return;
    m_kind = Interaction::Kind(index);
    Q_EMIT kindIndexChanged();
}

void InteractionFormViewModel::setText(const QString& text) {
    if (m_text == text)
        return;
    m_text = text;
    Q_EMIT textChanged();
    if (!m_error.isEmpty() && !Text::isBlank(text))
        setError(QString());
}

void InteractionFormViewModel::setDayText(const QString& text) {
    if (m_dayText == text)
        return;
    m_dayText = text;
    Q_EMIT dayTextChanged();
    // A corrected day loses its message; the text keeps its own until the next save.
    setDayError(QString());
}

void InteractionFormViewModel::setError(const QString& error) {
    if (m_error == error)
        return;
    m_error = error;
    Q_EMIT errorChanged();
}

void InteractionFormViewModel::setDayError(const QString& error) {
    if (m_dayError == error)
        return;
    m_dayError = error;
    Q_EMIT errorChanged();
}

QCoro::Task<void> InteractionFormViewModel::save() {
    if (m_isSaving)
        co_return;
    // Each problem is told beside its field, both at once when both are wrong.
    const QDateTime now = m_env.clock()();
    const QDate today = now.toLocalTime().date();
    const auto day = EntryDay::parse(m_dayText, today);
    QString dayError;
    if (!day)
        dayError = tr("Write the day as \u201Ctoday\u201D, \u201Cyesterday\u201D or a date such as %1.")
                       .arg(today.toString(Qt::ISODate));
    else if (*day > today)
        dayError =
            tr("%1 is still to come. The timeline keeps what has happened.").arg(day->toString(Qt::ISODate));
    QString error;
    if (Text::isBlank(m_text))
        error = tr("Write what happened to save it.");
    else if (m_entryID && !m_original)
        error = tr("This entry is no longer on the timeline.");
    setDayError(dayError);
    setError(error);
    if (!dayError.isEmpty() || !error.isEmpty()) {
        Q_EMIT saveRefused();
        co_return;
    }
    m_isSaving = true;
    Q_EMIT isSavingChanged();
    QPointer<InteractionFormViewModel> self(this);
    AppEnvironment* env = &m_env;
    const QString name = m_personName;
    const QString contactID = m_contactID;
    const std::optional<QUuid> entryID = m_entryID;

    Interaction entry;
    if (m_original) {
        entry = *m_original;
        // An entry moved to another day; left on its day it keeps its time.
        if (*day != m_original->date.toLocalTime().date())
            entry.date = EntryDay::instant(*day, now);
    } else {
        entry.id = QUuid::createUuid();
        entry.date = EntryDay::instant(*day, now);
        entry.source = Interaction::Source::user();
    }
    entry.kind = m_kind;
    entry.text = Text::trimmed(m_text);
    // An entry Pemmo logged by itself ("Opened Messages") is the user's once they rewrite it: their
    // words are what search and Ask look in, and the card no longer calls it Pemmo's.
    if (m_original && m_original->source.kind == Interaction::Source::Kind::Auto &&
        entry.text != Text::trimmed(m_original->text))
        entry.source = Interaction::Source::user();
    const bool editing = m_original.has_value();
    auto saving = editing ? m_env.sync().updateInteraction(m_contactID, entry)
                          : m_env.sync().addInteraction(m_contactID, entry);
    co_await saving;
    if (self) {
        m_isSaving = false;
        Q_EMIT isSavingChanged();
    }
    FormDrafts::of(*env).dropEntry(contactID, entryID);
    env->router().pop();
    env->router().showSuccess(editing ? tr("Saved the memory.") : tr("Added to %1's timeline.").arg(name));
}

void InteractionFormViewModel::cancel() {
    FormDrafts& drafts = FormDrafts::of(m_env);
    // Leaving keeps what was typed; an emptied or untouched form leaves nothing behind.
    const bool changed = m_kind != m_initial.kind || m_text != m_initial.text || m_dayText != m_initial.day;
    const bool kept = changed && !Text::isBlank(m_text);
    if (kept)
        drafts.keepEntry(m_contactID, m_entryID, {m_kind, m_text, m_dayText});
    else
        drafts.dropEntry(m_contactID, m_entryID);
    m_env.router().pop();
    if (kept)
        m_env.router().showInfo(isEditing()
                                    ? tr("Kept your changes to this memory for when you edit it again.")
                                    : tr("Kept what you wrote. Ctrl+J brings it back."));
}

KeyResult InteractionFormViewModel::handleKey(const KeyEvent& event) {
    return handleFormKey(
        event, [this] { save(); }, [this] { cancel(); });
}

} // namespace pemmo
