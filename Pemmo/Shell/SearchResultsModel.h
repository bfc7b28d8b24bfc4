// The search screen's rows as a list view wants them: each section's header followed by its rows,
// with the name ranges of a match marked up for display, and the selection as a row index.
// The state itself (query, sections, selection) stays in SearchViewModel.
#pragma once

#include "Search/SearchRowItem.h"

#include <QAbstractListModel>
#include <QPointF>
#include <QPointer>
#include <QtQml/qqmlregistration.h>

namespace pemmo {

class SearchViewModel;

class SearchResultsModel : public QAbstractListModel {
    Q_OBJECT
    QML_ELEMENT
    QML_UNCREATABLE("The search rows come from Shell.results.")
    Q_PROPERTY(QString query READ query WRITE setQuery NOTIFY queryChanged)
    Q_PROPERTY(QString selectedID READ selectedID NOTIFY selectionChanged)
    Q_PROPERTY(int selectedRow READ selectedRow NOTIFY selectionChanged)
    Q_PROPERTY(QString selectedProfileID READ selectedProfileID NOTIFY selectionChanged)
    Q_PROPERTY(QString emptyText READ emptyText NOTIFY rowsChanged)
    // What a screen reader says for the selected row.
    Q_PROPERTY(QString selectedAccessibleName READ selectedAccessibleName NOTIFY selectionChanged)
    // Ask: whether the query reads as a question, and whether the AI is working on it.
    Q_PROPERTY(bool canAsk READ canAsk NOTIFY rowsChanged)
    Q_PROPERTY(bool isAsking READ isAsking NOTIFY isAskingChanged)

public:
    enum Role {
        KindRole = Qt::UserRole + 1,
        RowIDRole,
        TitleRole,
        PlainTitleRole,
        SubtitleRole,
        BadgeRole,
        InitialsRole,
        SelectedRole,
        ReasonRole, // why a person found by meaning matched ("You wrote: “…”"), else empty
        AccessibleNameRole,
        ContactIDRole // the person a row stands for (a Moment's and an answer's too), else empty
    };

    // The view model is not owned and must outlive this one.
    explicit SearchResultsModel(SearchViewModel& search, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QHash<int, QByteArray> roleNames() const override;

    QString query() const;
    void setQuery(const QString& query);
    QString selectedID() const;
    int selectedRow() const { return m_selectedRow; }
    QString selectedProfileID() const;
    QString emptyText() const;
    bool canAsk() const;
    bool isAsking() const;
    QString selectedAccessibleName() const;

    Q_INVOKABLE void moveSelection(int delta);
    Q_INVOKABLE void selectRow(int row);
    // The row a list shows first to keep `row` in view with its section's heading: the heading when
    // `row` is the first of its section, else `row` itself; -1 when there is no such row.
    Q_INVOKABLE int firstToShowWith(int row) const;
    // The pointer moved over `row`; `position` is where it is in the list's own coordinates.
    Q_INVOKABLE void hoverRow(int row, QPointF position);

    // The title with the matched ranges in bold, escaped for styled text.
    static QString markedTitle(const QString& title, const QList<TextRange>& ranges);
    // Up to two letters for a row that is no person (a person's row carries their own initials):
    // the first of the first and of the last word.
    static QString initials(const QString& title);
    // "Starred", "Reach out", "People" … for the section headers.
    static QString sectionTitle(SearchSection section);
    // The row as a screen reader says it: name ("Circle …" for a circle), subtitle, badge, and why
    // it matched.
    static QString accessibleName(const SearchRowItem& item);

Q_SIGNALS:
    void queryChanged();
    void selectionChanged();
    void rowsChanged();
    void isAskingChanged();

private:
    struct Line {
        bool header = false;
        SearchRowItem item;
    };

    void rebuild();
    void updateSelection();

    SearchViewModel& m_search;
    QList<Line> m_lines;
    int m_selectedRow = -1;
};

} // namespace pemmo
