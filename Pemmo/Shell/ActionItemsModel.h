// The action panel's shown commands as a list view wants them, with the keyboard's selection.
#pragma once

#include "Shell/ActionItem.h"

#include <QAbstractListModel>
#include <QList>
#include <QtQml/qqmlregistration.h>

namespace pemmo {

class ActionItemsModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The commands come from the action panel.")

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        TitleRole,
        SubtitleRole,
        SymbolRole,
        ShortcutRole,
        DestructiveRole,
        SelectedRole,
    };

    explicit ActionItemsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    const QList<ActionItem>& items() const { return m_items; }
    void setItems(QList<ActionItem> items, int selected);
    void setSelected(int selected);

private:
    QList<ActionItem> m_items;
    int m_selected = -1;
};

} // namespace pemmo
