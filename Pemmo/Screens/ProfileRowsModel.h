// The rows of a person's card as a list view shows them: each with its section, what kind of row
// it is, its texts, and whether the keyboard can select it (and is on it now).
#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace pemmo {

struct ProfileRow {
    QString id;
    // The heading the row sits under ("Links", "Timeline"); empty for rows without one.
    QString section;
    // What the row is, for the delegate: "circle", "addCircle", "link", "phone", "email", "detail",
    // "about", "briefing", "entry", "toggle", "change", "command", "photo", "optOut".
    QString kind;
    QString title;
    QString detail;
    // A short text at the row's end: a date, the digit that opens a link.
    QString trailing;
    // The row's place among the selectable items; -1 when the keyboard does not stop on it.
    int itemIndex = -1;
    bool selected = false;
    bool checked = false;
    // A circle's colour slot (0 to 9), -1 for other rows.
    int colorIndex = -1;
    // What a screen reader says for the row.
    QString accessibleName;
    // The first row under its heading, which the delegate shows above it (set by the model).
    bool startsSection = false;

    bool operator==(const ProfileRow&) const = default;
};

class ProfileRowsModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("Rows come from a person's card model.")
    Q_PROPERTY(int count READ count NOTIFY countChanged)

public:
    enum Role {
        IdRole = Qt::UserRole + 1,
        SectionRole,
        KindRole,
        TitleRole,
        DetailRole,
        TrailingRole,
        ItemIndexRole,
        SelectedRole,
        CheckedRole,
        ColorIndexRole,
        AccessibleNameRole,
        StartsSectionRole,
    };

    explicit ProfileRowsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    int count() const { return int(m_rows.size()); }
    const QList<ProfileRow>& rows() const { return m_rows; }
    // The row with that item index, if any.
    Q_INVOKABLE int rowOfItem(int itemIndex) const;
    // The titles of the rows of one kind, in order ("entry" gives the timeline's texts).
    Q_INVOKABLE QStringList titlesOf(const QString& kind) const;

    // Replaces the rows; when only texts or the selection changed, the rows stay and only their
    // data changes, so a list view keeps its delegates and scroll position.
    void setRows(QList<ProfileRow> rows);

Q_SIGNALS:
    void countChanged();

private:
    QList<ProfileRow> m_rows;
};

} // namespace pemmo
