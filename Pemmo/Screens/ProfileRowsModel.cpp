#include "Screens/ProfileRowsModel.h"

namespace pemmo {

ProfileRowsModel::ProfileRowsModel(QObject* parent)
    : QAbstractListModel(parent) {}

int ProfileRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ProfileRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const ProfileRow& row = m_rows[index.row()];
    switch (role) {
    case IdRole:
        return row.id;
    case SectionRole:
        return row.section;
    case KindRole:
        return row.kind;
    case TitleRole:
        return row.title;
    case DetailRole:
        return row.detail;
    case TrailingRole:
        return row.trailing;
    case ItemIndexRole:
        return row.itemIndex;
    case SelectedRole:
        return row.selected;
    case CheckedRole:
        return row.checked;
    case ColorIndexRole:
        return row.colorIndex;
    case AccessibleNameRole:
        return row.accessibleName;
    case StartsSectionRole:
        return row.startsSection;
    default:
        return {};
    }
}

QHash<int, QByteArray> ProfileRowsModel::roleNames() const {
    return {{IdRole, "rowID"},
            {SectionRole, "section"},
            {KindRole, "kind"},
            {TitleRole, "title"},
            {DetailRole, "detail"},
            {TrailingRole, "trailing"},
            {ItemIndexRole, "itemIndex"},
            {SelectedRole, "selected"},
            {CheckedRole, "checked"},
            {ColorIndexRole, "colorIndex"},
            {AccessibleNameRole, "accessibleName"},
            {StartsSectionRole, "startsSection"}};
}

int ProfileRowsModel::rowOfItem(int itemIndex) const {
    if (itemIndex < 0)
        return -1;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].itemIndex == itemIndex)
            return i;
    }
    return -1;
}

QStringList ProfileRowsModel::titlesOf(const QString& kind) const {
    QStringList titles;
    for (const ProfileRow& row : m_rows) {
        if (row.kind == kind)
            titles.append(row.title);
    }
    return titles;
}

void ProfileRowsModel::setRows(QList<ProfileRow> rows) {
    for (qsizetype i = 0; i < rows.size(); ++i)
        rows[i].startsSection =
            !rows[i].section.isEmpty() && (i == 0 || rows[i - 1].section != rows[i].section);
    const bool sameShape =
        rows.size() == m_rows.size() &&
        std::equal(rows.cbegin(), rows.cend(), m_rows.cbegin(), [](const ProfileRow& a, const ProfileRow& b) {
            return a.id == b.id && a.kind == b.kind && a.section == b.section;
        });
    if (!sameShape) {
        beginResetModel();
        m_rows = std::move(rows);
        endResetModel();
        Q_EMIT countChanged();
        return;
    }
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i] == m_rows[i])
            continue;
        m_rows[i] = std::move(rows[i]);
        Q_EMIT dataChanged(index(i), index(i));
    }
}

} // namespace pemmo
