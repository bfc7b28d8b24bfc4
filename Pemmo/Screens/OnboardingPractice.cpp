#include "Screens/OnboardingPractice.h"

#include "App/AppEnvironment.h"
#include "Links/DestinationOpener.h"
#include "Links/LinkRouter.h"
#include "Profiles/ProfileSyncEngine.h"
#include "Search/SearchViewModel.h"
#include "Shell/AppRouter.h"
#include "Shell/BannerState.h"
#include "Shell/PanelController.h"

#include <QThread>
#include <QVariantMap>

namespace pemmo {

namespace {

constexpr OnboardingPractice::Task allTasks[] = {OnboardingPractice::Task::OpenPemmo,
                                                 OnboardingPractice::Task::FindAlex,
                                                 OnboardingPractice::Task::Message};

// The practice environment's opener: every address goes to the practice, none leaves the computer.
class PracticeOpener : public DestinationOpener {
public:
    explicit PracticeOpener(OnboardingPractice* practice)
        : m_practice(practice) {}

    QCoro::Task<std::optional<QString>> open(QString address, Options) override {
        if (m_practice)
            m_practice->openAddress(address);
        co_return std::nullopt;
    }

private:
    QPointer<OnboardingPractice> m_practice;
};

// Loads the practice environment; the frame keeps it alive until the load has returned, even when
// the run that started it has ended meanwhile.
QCoro::Task<void> load(std::shared_ptr<AppEnvironment> environment) {
    auto starting = environment->sync().start();
    co_await starting;
}

} // namespace

OnboardingPractice::OnboardingPractice(PanelFactory makePanel, EnvironmentFactory makeEnvironment,
                                       QObject* parent)
    : QObject(parent)
    , m_makePanel(std::move(makePanel))
    , m_makeEnvironment(makeEnvironment ? std::move(makeEnvironment)
                                        : EnvironmentFactory([] { return AppEnvironment::practice(); })) {}

OnboardingPractice::~OnboardingPractice() {
    stop();
}

QString OnboardingPractice::title(Task task) {
    switch (task) {
    case Task::OpenPemmo:
        return QStringLiteral("Open Pemmo");
    case Task::FindAlex:
        return QStringLiteral("Find Alex");
    case Task::Message:
        return QStringLiteral("Message Alex");
    }
    return {};
}

QString OnboardingPractice::hint(Task task) {
    switch (task) {
    case Task::OpenPemmo:
        return QStringLiteral("From any app, over whatever you're doing.");
    case Task::FindAlex:
        return QStringLiteral("Type a name. The first match is selected.");
    case Task::Message:
        return QStringLiteral("Opens their conversation in Messages.");
    }
    return {};
}

QStringList OnboardingPractice::keys(Task task, const QString& shortcutGlyphs) {
    switch (task) {
    case Task::OpenPemmo:
        // "Ctrl+K" as two caps; a lone "+" key stays one cap.
        if (shortcutGlyphs.isEmpty())
            return {QStringLiteral("Ctrl"), QStringLiteral("K")};
        if (shortcutGlyphs.endsWith(u"++"))
            return shortcutGlyphs.chopped(2).split(u'+', Qt::SkipEmptyParts) +
                   QStringList{QStringLiteral("+")};
        return shortcutGlyphs.split(u'+', Qt::SkipEmptyParts);
    case Task::FindAlex:
        return {QStringLiteral("A"), QStringLiteral("L"), QStringLiteral("E"), QStringLiteral("X")};
    case Task::Message:
        return {QStringLiteral("Ctrl"), QStringLiteral("M")};
    }
    return {};
}

QString OnboardingPractice::practiceMessagesAddress() {
    const Person alex = AppEnvironment::practiceContact();
    return LinkRouter::messagesURL(alex.phones.constFirst().value).value_or(QString());
}

QString OnboardingPractice::onlyMessagesAlexText() {
    return QStringLiteral("The tutorial only messages Alex. Press Ctrl+M.");
}

QString OnboardingPractice::captureWaitsText() {
    return QStringLiteral("Quick capture is waiting until practice is done.");
}

QString OnboardingPractice::settingsRefusedText() {
    return QStringLiteral("Finish practice to change your settings.");
}

std::set<OnboardingPractice::Task> OnboardingPractice::completedTasks() const {
    std::set<Task> done;
    if (m_openedPanel)
        done.insert(Task::OpenPemmo);
    if (m_messaged) {
        done.insert(Task::FindAlex);
        done.insert(Task::Message);
    } else if (m_demo && !m_demo->search().query().trimmed().isEmpty()) {
        // Found by typing: with nothing typed the search screen may show Alex among its
        // suggestions already, which would teach nothing.
        const auto row = m_demo->search().selectedRow();
        if (row && row->profileID == AppEnvironment::practiceContactID())
            done.insert(Task::FindAlex);
    }
    return done;
}

std::optional<OnboardingPractice::Task> OnboardingPractice::currentTask() const {
    const std::set<Task> done = completedTasks();
    for (Task task : allTasks)
        if (!done.contains(task))
            return task;
    return std::nullopt;
}

int OnboardingPractice::currentTaskIndex() const {
    const auto task = currentTask();
    return task ? int(*task) : -1;
}

OnboardingPractice::KeyState OnboardingPractice::keyState(Task task) const {
    if (completedTasks().contains(task))
        return KeyState::Done;
    return currentTask() == task ? KeyState::Current : KeyState::Pending;
}

QVariantList OnboardingPractice::taskList() const {
    static const char* const stateNames[] = {"pending", "current", "done"};
    const QString glyphs = m_live ? m_live->hotkeyGlyphs() : QString();
    QVariantList list;
    for (Task task : allTasks) {
        const KeyState state = keyState(task);
        QVariantList caps;
        for (const QString& key : keys(task, glyphs))
            caps.append(QVariantMap{{QStringLiteral("label"), key},
                                    {QStringLiteral("state"), QString::fromLatin1(stateNames[int(state)])}});
        list.append(QVariantMap{{QStringLiteral("title"), title(task)},
                                {QStringLiteral("hint"), hint(task)},
                                {QStringLiteral("done"), state == KeyState::Done},
                                {QStringLiteral("current"), state == KeyState::Current},
                                {QStringLiteral("keys"), caps}});
    }
    return list;
}

AppEnvironment* OnboardingPractice::live() const {
    return m_live.data();
}

PanelController* OnboardingPractice::practicePanel() const {
    return m_demo ? m_demo->panel() : nullptr;
}

bool OnboardingPractice::isPracticePanelVisible() const {
    PanelController* panel = practicePanel();
    return panel && panel->isVisible();
}

void OnboardingPractice::start(AppEnvironment& live) {
    Q_ASSERT(thread() == QThread::currentThread());
    if (m_hasStarted)
        return;
    const int run = ++m_run;
    m_hasStarted = true;
    m_isActive = true;
    m_isReady = false;
    m_step = Step::Welcome;
    m_openedPanel = false;
    m_messaged = false;
    m_pending.reset();
    m_live = &live;
    m_demo = std::shared_ptr<AppEnvironment>(m_makeEnvironment());
    m_demo->setDestinationOpener(std::make_unique<PracticeOpener>(this));
    m_demo->openSettingsAction = [this](const QString&) { showPracticeBanner(settingsRefusedText()); };
    // Finding Alex is judged by the practice search's selection.
    connect(&m_demo->search(), &SearchViewModel::selectedIDChanged, this, &OnboardingPractice::changed);
    connect(&m_demo->search(), &SearchViewModel::queryChanged, this, &OnboardingPractice::changed);
    // Both environments send their Quick capture requests here while the run lasts.
    live.setPracticeRun(this);
    m_demo->setPracticeRun(this);
    Q_EMIT changed();
    // Ready from the next turn of the event loop at the earliest, even when the load finished at
    // once: whoever started the run sees it start unready, whatever the machine's speed.
    QCoro::connect(load(m_demo), this, [this, run] {
        QMetaObject::invokeMethod(
            this,
            [this, run] {
                if (run == m_run)
                    setReady();
            },
            Qt::QueuedConnection);
    });
}

void OnboardingPractice::stop() {
    ++m_run;
    if (m_demo) {
        disconnect(&m_demo->search(), nullptr, this, nullptr);
        m_demo->sync().stop();
        m_demo->setPanel(nullptr);
    }
    m_panelOwner.reset();
    m_demo.reset();
    if (m_live && m_live->practiceRun() == this)
        m_live->setPracticeRun(nullptr);
    const bool wasActive = m_isActive || m_isReady || m_hasStarted;
    m_isActive = false;
    m_isReady = false;
    m_hasStarted = false;
    m_pending.reset();
    if (wasActive)
        Q_EMIT changed();
}

void OnboardingPractice::setReady() {
    m_isReady = true;
    if (m_step == Step::Welcome)
        m_step = Step::Practice;
    Q_EMIT changed();
    // A panel asked for while the practice was loading opens now. A Quick capture waits for the
    // end of the practice, where the live panel has it.
    if (m_pending == Request::Panel) {
        m_pending.reset();
        openPracticePanel();
    }
}

bool OnboardingPractice::handleShortcut() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (!isEngaged())
        return false;
    if (!m_isReady) {
        if (m_pending == Request::Panel)
            m_pending.reset();
        else
            m_pending = Request::Panel;
        Q_EMIT changed();
        return true;
    }
    if (isPracticePanelVisible()) {
        practicePanel()->hide();
        return true;
    }
    return openPracticePanel();
}

bool OnboardingPractice::openPracticePanel() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (!isEngaged())
        return false;
    if (!m_isReady) {
        if (m_pending != Request::Panel) {
            m_pending = Request::Panel;
            Q_EMIT changed();
        }
        return true;
    }
    if (m_step == Step::Welcome)
        m_step = Step::Practice;
    m_openedPanel = true;
    if (!m_panelOwner && m_makePanel)
        m_panelOwner = m_makePanel(*m_demo);
    m_demo->router().reset();
    m_demo->search().setQuery(QString());
    Q_EMIT changed();
    if (PanelController* panel = practicePanel())
        panel->show();
    return true;
}

bool OnboardingPractice::handleQuickCapture() {
    Q_ASSERT(thread() == QThread::currentThread());
    if (!isEngaged())
        return false;
    showPracticeBanner(captureWaitsText());
    m_pending = Request::Capture;
    Q_EMIT changed();
    return true;
}

std::optional<QString> OnboardingPractice::refuseSettings() const {
    if (!m_isActive)
        return std::nullopt;
    return settingsRefusedText();
}

void OnboardingPractice::openAddress(const QString& address) {
    Q_ASSERT(thread() == QThread::currentThread());
    if (!isEngaged())
        return;
    if (address == practiceMessagesAddress()) {
        if (m_messaged)
            return;
        m_messaged = true;
        Q_EMIT changed();
        Q_EMIT messagedAlex();
        return;
    }
    showPracticeBanner(onlyMessagesAlexText());
}

void OnboardingPractice::moveToContacts() {
    if (!m_isActive || m_step == Step::Contacts)
        return;
    m_step = Step::Contacts;
    if (PanelController* panel = practicePanel())
        panel->hide();
    Q_EMIT changed();
}

void OnboardingPractice::showPracticeBanner(const QString& message) {
    if (!m_demo)
        return;
    BannerState banner = BannerState::info(message);
    banner.timeout = bannerTimeout;
    m_demo->router().showBanner(std::move(banner));
}

} // namespace pemmo
