// The search screen's key table and commands: moving through the results, opening a person or a
// circle, the action panel, and the Control-commands that reach the selected person without
// opening their card.
#pragma once

#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class AppEnvironment;

class SearchCommands : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("The search screen's commands come from Shell.searchCommands.")

public:
    // Starred people reachable with Control and a digit.
    static constexpr int starredShortcuts = 5;

    // The environment is not owned and must outlive this object.
    explicit SearchCommands(AppEnvironment& environment, QObject* parent = nullptr);

    // The person of the selected row, if the selected row is a person.
    std::optional<QString> selectedContactID() const;

    // Opens the selected row: a Moment's capture screen, a person's card, or the people of a circle.
    Q_INVOKABLE bool openSelected();
    // Opens the capture screen of a pending Moment (a Moment no longer pending says so instead).
    Q_INVOKABLE void openMoment(const QString& momentID);
    // Opens a person's card and remembers them as recently opened.
    Q_INVOKABLE void openProfile(const QString& contactID);
    // The starred person at `position` (1 to 5); false when nobody is starred there.
    Q_INVOKABLE bool openStarred(int position);
    // Shows the action panel for the search screen, or closes it.
    Q_INVOKABLE void toggleActions();
    // Ask (Control-I): the AI ranks people for the query and fills the ranked section; an answer
    // already shown for the query stays. Control-L (`again`) asks afresh. Failures show as banners.
    QCoro::Task<void> ask(bool again);
    Q_INVOKABLE void askAI(bool again) { ask(again); }
    // Escape on the search screen: the overlay, then the query; false when there was neither.
    Q_INVOKABLE bool escape();

    KeyResult handleKey(const KeyEvent& event) override;

private:
    // Runs a card action for the selected person, or says that nobody is selected.
    void forSelected(int actionKind);

    AppEnvironment& m_env;
};

} // namespace pemmo
