// The first-run window as the tray application shows it: an ordinary window (QML, in the live
// panel's engine) over a practice run and its own practice panel. Opened at the first start and by
// "Replay practice…"; each opening is a fresh run.
#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QQmlEngine;
class QQuickView;

namespace pemmo {

class AppEnvironment;
class FirstRunViewModel;
class OnboardingPractice;

class FirstRunWindow : public QObject {
    Q_OBJECT

public:
    // Neither the environment nor the engine is owned; both must outlive the window. `dark` tells
    // the practice panel the live panel's look.
    FirstRunWindow(AppEnvironment& live, QQmlEngine& engine, std::function<bool()> dark,
                   QObject* parent = nullptr);
    ~FirstRunWindow() override;

    // Shows the window, starting a practice run when none is going on.
    void open();
    bool isOpen() const;
    // The run while the window is open, else null.
    OnboardingPractice* practice() const { return m_practice.get(); }
    FirstRunViewModel* model() const { return m_model.get(); }
    QQuickView* view() const { return m_view.get(); }
    // Says `text` in the window and brings it to the front (a request the practice refused).
    void tell(const QString& text);

    // Runs once the window is done; `openPanel` when the user asked to search their contacts.
    std::function<void(bool openPanel)> onDone;

private:
    void done(bool openPanel);
    void teardown();

    AppEnvironment& m_live;
    QQmlEngine& m_engine;
    std::function<bool()> m_dark;
    std::unique_ptr<OnboardingPractice> m_practice;
    std::unique_ptr<FirstRunViewModel> m_model;
    std::unique_ptr<QQuickView> m_view;
};

} // namespace pemmo
