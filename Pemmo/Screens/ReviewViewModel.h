// The review of what a model proposes for a person: every change on its own checkable line, all
// checked at first; the user unchecks what is wrong, picks the person when the note named nobody,
// and applies. Nothing is written before Apply, and then only the checked lines.
#pragma once

#include "AI/Proposal.h"
#include "Shell/KeyTarget.h"

#include <QCoroTask>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <optional>

namespace pemmo {

class AppEnvironment;

class ReviewViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("Reviews come from Shell.review(routeKey).")
    Q_PROPERTY(QString summary READ summary NOTIFY changed)
    Q_PROPERTY(QString origin READ origin CONSTANT)
    Q_PROPERTY(QString personName READ personName NOTIFY changed)
    Q_PROPERTY(bool needsPerson READ needsPerson NOTIFY changed)
    Q_PROPERTY(bool isEmpty READ isEmpty NOTIFY changed)
    Q_PROPERTY(QVariantList items READ itemsForView NOTIFY changed)
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY changed)
    Q_PROPERTY(int checkedCount READ checkedCount NOTIFY changed)
    Q_PROPERTY(QString personQuery READ personQuery WRITE setPersonQuery NOTIFY peopleChanged)
    Q_PROPERTY(QVariantList people READ peopleForView NOTIFY peopleChanged)
    Q_PROPERTY(int selectedPerson READ selectedPerson NOTIFY peopleChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(bool isApplying READ isApplying NOTIFY isApplyingChanged)

public:
    // People the picker lists at most.
    static constexpr int peopleShown = 8;

    // `suggestedName` is the name the note gave, used to start the person search. The environment
    // is not owned and must outlive the review.
    ReviewViewModel(AppEnvironment& environment, Proposal proposal, const QString& suggestedName = {},
                    QObject* parent = nullptr);

    const Proposal& proposal() const { return m_proposal; }
    const QString& summary() const { return m_proposal.summary; }
    // Who wrote the proposal and whether the note or text left this computer.
    QString origin() const;
    QString personName() const;
    bool needsPerson() const { return !m_proposal.personID.has_value(); }
    bool isEmpty() const { return m_proposal.isEmpty(); }
    int selectedIndex() const { return m_selectedIndex; }
    int checkedCount() const { return int(m_proposal.selected.size()); }
    const QString& personQuery() const { return m_personQuery; }
    void setPersonQuery(const QString& query);
    // Contact ids the picker offers, best first.
    const QStringList& people() const { return m_people; }
    int selectedPerson() const { return m_selectedPerson; }
    const QString& error() const { return m_error; }
    bool isApplying() const { return m_isApplying; }

    Q_INVOKABLE void toggle(int index);
    Q_INVOKABLE void select(int index);
    Q_INVOKABLE void moveSelection(int delta);
    // The note was about this person: the items are checked against their record.
    Q_INVOKABLE void pickPerson(const QString& contactID);

    // Applies the checked items through the sync engine and leaves the review; failures stay on
    // the screen with nothing changed.
    QCoro::Task<void> apply();
    Q_INVOKABLE void submit() { apply(); }
    // Leaves without changing anything.
    Q_INVOKABLE void cancel();

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void changed();
    void peopleChanged();
    void errorChanged();
    void isApplyingChanged();

private:
    QVariantList itemsForView() const;
    QVariantList peopleForView() const;
    void updatePeople();
    void setError(const QString& error);
    // Leaves the review, and the capture or enrich form under it: the work is done.
    void leave();

    AppEnvironment& m_env;
    Proposal m_proposal;
    int m_selectedIndex = 0;
    QString m_personQuery;
    QStringList m_people;
    int m_selectedPerson = 0;
    QString m_error;
    bool m_isApplying = false;
};

} // namespace pemmo
