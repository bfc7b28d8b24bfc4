// The action panel: every command of the context it was opened for (the search screen or a
// person's card), narrowed by what the user types, with the keyboard selection. Choosing a command
// closes the panel and runs it; a command that asks first replaces the panel by its confirmation.
#pragma once

#include "Shell/ActionContext.h"
#include "Shell/ActionItem.h"
#include "Shell/ActionItemsModel.h"
#include "Shell/KeyTarget.h"

#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>
#include <functional>
#include <optional>

namespace pemmo {

class AppEnvironment;

class ActionPanelViewModel : public QObject, public KeyTarget {
    Q_OBJECT
    Q_INTERFACES(pemmo::KeyTarget)
    QML_ELEMENT
    QML_UNCREATABLE("The action panel comes from Shell.actionPanel.")
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(pemmo::ActionItemsModel* items READ itemsModel CONSTANT)
    Q_PROPERTY(QString filter READ filter WRITE setFilter NOTIFY filterChanged)
    Q_PROPERTY(int selectedIndex READ selectedIndex NOTIFY selectionChanged)
    Q_PROPERTY(int count READ count NOTIFY filterChanged)
    Q_PROPERTY(QString selectedAccessibleName READ selectedAccessibleName NOTIFY selectionChanged)
    Q_PROPERTY(QVariantList hints READ hints NOTIFY hintsChanged)

public:
    struct Entry {
        ActionItem item;
        // Running it shows a confirmation instead of closing the panel.
        bool opensConfirm = false;
        std::function<void()> perform;
        // The key that runs it from its screen, and from the open panel.
        std::optional<QKeyCombination> key;
    };

    // The environment is not owned and must outlive the model.
    ActionPanelViewModel(const ActionContext& context, AppEnvironment& environment,
                         QObject* parent = nullptr);

    const ActionContext& context() const { return m_context; }
    // Builds the commands of another context (or the same one afresh) with an empty filter. The
    // rows model stays the same object, so a view keeps its delegates from one opening to the next.
    void reopen(const ActionContext& context);
    QString title() const { return m_title; }
    // Every command of the context, built once.
    const QList<Entry>& entries() const { return m_entries; }
    // The commands the filter lets through, in catalogue order.
    const QList<ActionItem>& visibleItems() const { return m_items->items(); }
    ActionItemsModel* itemsModel() const { return m_items; }
    int count() const { return int(m_visible.size()); }
    const QString& filter() const { return m_filter; }
    void setFilter(const QString& filter);
    int selectedIndex() const { return m_selectedIndex; }
    QString selectedAccessibleName() const;
    // The footer's key hints while the panel is up, as [keys, what they do] pairs: Return runs the
    // selected command (named), Escape clears the filter or closes.
    QVariantList hints() const;

    Q_INVOKABLE void moveSelection(int by);
    Q_INVOKABLE void select(int index);
    // Runs the shown command at `index`.
    Q_INVOKABLE void perform(int index);
    // Runs the command with that id, shown or not; false when there is none.
    bool performID(const QString& id);

    KeyResult handleKey(const KeyEvent& event) override;

Q_SIGNALS:
    void titleChanged();
    void filterChanged();
    void selectionChanged();
    void hintsChanged();

private:
    void build();
    void buildSearch();
    void buildProfile(const QString& contactID);
    void add(ActionItem item, std::function<void()> perform,
             std::optional<QKeyCombination> key = std::nullopt, bool opensConfirm = false);
    void applyFilter();
    void run(int entry);

    ActionContext m_context;
    ActionItemsModel* m_items;
    AppEnvironment& m_env;
    QString m_title;
    QList<Entry> m_entries;
    QList<int> m_visible;
    QString m_filter;
    int m_selectedIndex = -1;
};

} // namespace pemmo
