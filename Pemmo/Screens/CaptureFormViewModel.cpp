#include "Screens/CaptureFormViewModel.h"

#include "AI/AILabels.h"
#include "AI/AIService.h"
#include "App/AppEnvironment.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Records/Text.h"
#include "Screens/FormDrafts.h"
#include "Settings/SettingsStore.h"
#include "Shell/AppRouter.h"

#include <QPointer>

namespace pemmo {

CaptureFormViewModel::CaptureFormViewModel(AppEnvironment& environment, Mode mode,
                                           std::optional<QString> contactID, const QString& text,
                                           QObject* parent)
    : QObject(parent)
    , m_env(environment)
    , m_mode(mode)
    , m_contactID(std::move(contactID))
    , m_text(text) {
    // What was typed here before and left without sending comes back, before the search's query:
    // that one is still in the search field.
    m_initialText = m_text;
    const QString draft = FormDrafts::of(environment).text(draftForm(), m_contactID.value_or(QString()));
    if (!draft.isEmpty())
        m_text = draft;
    if (m_contactID) {
        const auto profile = environment.sync().profile(*m_contactID);
        m_personName = profile ? profile->person->displayName() : QString();
    }
    connect(&environment.settings(), &SettingsStore::aiProviderChanged, this,
            &CaptureFormViewModel::originChanged);
}

QString CaptureFormViewModel::title() const {
    return m_mode == Mode::Capture ? tr("Quick capture") : tr("Enrich from text");
}

QString CaptureFormViewModel::placeholder() const {
    if (m_mode == Mode::Enrich)
        return tr("Paste a bio, a profile page or an e-mail signature. The AI picks out work, school, "
                  "cities, links and circles; you review every change before it is saved.");
    return m_contactID ? tr("What happened? “Had coffee, she moved to the data team, loves climbing.”")
                       : tr("Write a note about someone: “Met Ada at the meetup, she works at Acme now.”");
}

QString CaptureFormViewModel::origin() const {
    const auto provider = m_env.ai().currentProvider();
    if (!provider)
        return {};
    return provider->leavesDevice()
               ? tr("%1 · the text will be sent to the cloud").arg(provider->displayName())
               : tr("%1 · the text stays on this computer").arg(provider->displayName());
}

void CaptureFormViewModel::setText(const QString& text) {
    if (m_text == text)
        return;
    m_text = text;
    Q_EMIT textChanged();
    if (!m_error.isEmpty() && !Text::isBlank(text))
        setError(QString());
}

void CaptureFormViewModel::setError(const QString& error) {
    if (m_error == error)
        return;
    m_error = error;
    Q_EMIT errorChanged();
}

void CaptureFormViewModel::setWorking(bool working) {
    if (m_isWorking == working)
        return;
    m_isWorking = working;
    Q_EMIT isWorkingChanged();
}

QCoro::Task<void> CaptureFormViewModel::send() {
    if (m_isWorking)
        co_return;
    if (Text::isBlank(m_text)) {
        setError(m_mode == Mode::Capture ? tr("Write a note first.") : tr("Paste some text first."));
        co_return;
    }
    std::optional<Profile> profile;
    if (m_contactID) {
        profile = m_env.sync().profile(*m_contactID);
        if (!profile) {
            setError(tr("This contact is no longer in your address book."));
            co_return;
        }
    }
    QPointer<CaptureFormViewModel> self(this);
    AppEnvironment* env = &m_env;
    const QString text = m_text; // the model gets the text as typed, blank lines and all
    setError(QString());
    setWorking(true);
    std::shared_ptr<const Proposal> proposal;
    std::optional<QString> suggestedName;
    try {
        if (m_mode == Mode::Capture) {
            auto asking = env->ai().captureProposal(text, profile);
            AIService::CapturedNote captured = co_await asking;
            proposal = std::make_shared<const Proposal>(std::move(captured.proposal));
            suggestedName = captured.capture.personName;
        } else {
            auto asking = env->ai().extractProposal(text, *profile);
            Proposal extracted = co_await asking;
            proposal = std::make_shared<const Proposal>(std::move(extracted));
        }
    } catch (...) {
        const QString message = AIService::errorMessage(std::current_exception());
        if (self) {
            setWorking(false);
            setError(message);
        }
        co_return;
    }
    if (!self)
        co_return;
    setWorking(false);
    // The text has become a proposal; backing out of the review returns to the form, which still
    // holds it, and leaving the form from there keeps it again.
    FormDrafts::of(*env).keepText(draftForm(), m_contactID.value_or(QString()), QString());
    // The review goes over the form: backing out of it returns to the text.
    env->router().push(Route::review(proposal, suggestedName));
}

FormDrafts::TextForm CaptureFormViewModel::draftForm() const {
    return m_mode == Mode::Capture ? FormDrafts::TextForm::Capture : FormDrafts::TextForm::Enrich;
}

void CaptureFormViewModel::cancel() {
    // Leaving keeps what was typed; an emptied or untouched form leaves nothing behind.
    const bool kept = m_text != m_initialText && !Text::isBlank(m_text);
    FormDrafts::of(m_env).keepText(draftForm(), m_contactID.value_or(QString()), kept ? m_text : QString());
    m_env.router().pop();
    if (kept)
        m_env.router().showInfo(
            m_mode == Mode::Enrich ? tr("Kept the text for the next time you enrich %1.").arg(m_personName)
            : m_contactID ? tr("Kept what you wrote for your next Quick capture about %1.").arg(m_personName)
                          : tr("Kept what you wrote for your next Quick capture."));
}

KeyResult CaptureFormViewModel::handleKey(const KeyEvent& event) {
    return handleFormKey(
        event, [this] { send(); }, [this] { cancel(); });
}

} // namespace pemmo
