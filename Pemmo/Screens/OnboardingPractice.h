// The first-run tutorial's practice run: a practice environment with one made-up contact and its
// own panel, the three tasks and how their completion is judged, and how the run takes the global
// shortcut, Quick capture, the settings and every address while it is going on, so that nothing
// the user does in it reaches their real address book, records or apps.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace pemmo {

class AppEnvironment;
class PanelController;

class OnboardingPractice : public QObject {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The practice belongs to the first-run window.")
    Q_PROPERTY(int step READ stepIndex NOTIFY changed)
    Q_PROPERTY(bool isReady READ isReady NOTIFY changed)
    Q_PROPERTY(bool isActive READ isActive NOTIFY changed)
    Q_PROPERTY(bool engaged READ isEngaged NOTIFY changed)
    Q_PROPERTY(bool openedPanel READ openedPanel NOTIFY changed)
    Q_PROPERTY(bool messaged READ messaged NOTIFY changed)
    Q_PROPERTY(int currentTask READ currentTaskIndex NOTIFY changed)
    Q_PROPERTY(QVariantList tasks READ taskList NOTIFY changed)

public:
    enum class Step { Welcome, Practice, Contacts };
    Q_ENUM(Step)
    enum class Task { OpenPemmo, FindAlex, Message };
    Q_ENUM(Task)
    enum class KeyState { Pending, Current, Done };
    enum class Request { Panel, Capture };

    static constexpr std::chrono::milliseconds bannerTimeout{4000};

    // Builds the practice environment (the standard one by default; tests shorten its timings).
    using EnvironmentFactory = std::function<std::unique_ptr<AppEnvironment>()>;
    // Makes the practice environment's panel (installed with `AppEnvironment::setPanel`) and
    // returns what owns it; dropping that takes the panel down. Called on first use.
    using PanelFactory = std::function<std::unique_ptr<QObject>(AppEnvironment&)>;

    explicit OnboardingPractice(PanelFactory makePanel, EnvironmentFactory makeEnvironment = {},
                                QObject* parent = nullptr);
    ~OnboardingPractice() override;

    static QString title(Task task);
    static QString hint(Task task);
    // The keys a task is done with, as key caps ("Ctrl", "K"); the first task's are the global
    // shortcut's (`shortcutGlyphs`, "Ctrl+K").
    static QStringList keys(Task task, const QString& shortcutGlyphs);
    // The Messages address of the practice contact's number: the only address the practice takes.
    static QString practiceMessagesAddress();
    // The banner for every other address.
    static QString onlyMessagesAlexText();
    static QString captureWaitsText();
    static QString settingsRefusedText();

    Step step() const { return m_step; }
    int stepIndex() const { return int(m_step); }
    bool isReady() const { return m_isReady; }
    bool isActive() const { return m_isActive; }
    bool hasStarted() const { return m_hasStarted; }
    bool openedPanel() const { return m_openedPanel; }
    bool messaged() const { return m_messaged; }
    const std::optional<Request>& pending() const { return m_pending; }
    // The practice environment while a run lasts.
    AppEnvironment* demo() const { return m_demo.get(); }
    AppEnvironment* live() const;
    // A run is going on and has not reached the contacts step: the shortcut, Quick capture and
    // every address belong to the practice.
    bool isEngaged() const { return m_isActive && m_step != Step::Contacts; }

    std::set<Task> completedTasks() const;
    std::optional<Task> currentTask() const;
    int currentTaskIndex() const;
    KeyState keyState(Task task) const;
    // For the strip: title, hint, done, current and the key caps with their states.
    QVariantList taskList() const;
    bool isPracticePanelVisible() const;

    // Starts a run against `live` (once per run): builds the practice environment, installs the
    // practice's address opener in it, and loads it; the run is ready once its contact is there.
    void start(AppEnvironment& live);
    // Ends the run: the practice panel and environment go.
    void stop();

    // The global shortcut while engaged. False (not handled) when the practice is not engaged.
    bool handleShortcut();
    // Opens the practice panel, or remembers the request until the run is ready.
    bool openPracticePanel();
    // Quick capture while engaged: refused with a banner in the practice panel.
    bool handleQuickCapture();
    // The settings while a run is active: the text that refuses them; none when not active.
    std::optional<QString> refuseSettings() const;
    // What the practice's address opener does with `address`.
    void openAddress(const QString& address);
    // The practice is over: the run is no longer engaged.
    Q_INVOKABLE void moveToContacts();

Q_SIGNALS:
    void changed();
    // The practice contact was messaged (once): the window takes over from the panel.
    void messagedAlex();

private:
    void setReady();
    void showPracticeBanner(const QString& message);
    PanelController* practicePanel() const;

    PanelFactory m_makePanel;
    EnvironmentFactory m_makeEnvironment;
    Step m_step = Step::Welcome;
    bool m_isReady = false;
    bool m_isActive = false;
    // Shared with the load in flight, which keeps it until the load has returned. The panel is
    // declared after it so it goes first.
    std::shared_ptr<AppEnvironment> m_demo;
    std::unique_ptr<QObject> m_panelOwner;
    bool m_openedPanel = false;
    bool m_messaged = false;
    std::optional<Request> m_pending;
    bool m_hasStarted = false;
    QPointer<AppEnvironment> m_live;
    int m_run = 0; // bumped by each start and stop, so a late load knows it is outdated
};

} // namespace pemmo
