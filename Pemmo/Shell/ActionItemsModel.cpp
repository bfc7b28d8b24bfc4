#include "Shell/ActionItemsModel.h"

#include <algorithm>

namespace pemmo {

ActionItemsModel::ActionItemsModel(QObject* parent)
    : QAbstractListModel(parent) {}

int ActionItemsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant ActionItemsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_items.size())
        return {};
    const ActionItem& item = m_items[index.row()];
    switch (role) {
    case IdRole:
        return item.id;
    case TitleRole:
        return item.title;
    case SubtitleRole:
        return item.subtitle.value_or(QString());
    case SymbolRole:
        return item.systemImage;
    case ShortcutRole:
        return item.shortcut.value_or(QString());
    case DestructiveRole:
        return item.destructive;
    case SelectedRole:
        return index.row() == m_selected;
    default:
        return {};
    }
}

QHash<int, QByteArray> ActionItemsModel::roleNames() const {
    return {{IdRole, "itemID"},        {TitleRole, "title"},       {SubtitleRole, "subtitle"},
            {SymbolRole, "symbol"},    {ShortcutRole, "shortcut"}, {DestructiveRole, "destructive"},
            {SelectedRole, "selected"}};
}

void ActionItemsModel::setItems(QList<ActionItem> items, int selected) {
    // The same commands in the same order (the panel opened again, a person's star changed): the
    // rows stay and only what changed is told, so a list view keeps its delegates.
    const bool sameShape = items.size() == m_items.size() &&
                           std::equal(items.cbegin(), items.cend(), m_items.cbegin(),
                                      [](const ActionItem& a, const ActionItem& b) { return a.id == b.id; });
    if (!sameShape) {
        beginResetModel();
        m_items = std::move(items);
        m_selected = selected;
        endResetModel();
        return;
    }
    const int oldSelected = m_selected;
    m_selected = selected;
    for (int row = 0; row < m_items.size(); ++row) {
        const bool changed = !(items[row] == m_items[row]);
        if (changed)
            m_items[row] = std::move(items[row]);
        if (changed || row == oldSelected || row == selected)
            Q_EMIT dataChanged(index(row), index(row));
    }
}

void ActionItemsModel::setSelected(int selected) {
    if (selected == m_selected)
        return;
    const int old = m_selected;
    m_selected = selected;
    for (const int row : {old, selected})
        if (row >= 0 && row < m_items.size())
            Q_EMIT dataChanged(index(row), index(row), {SelectedRole});
}

} // namespace pemmo
