#include "Shell/SearchResultsModel.h"

#include "Search/SearchViewModel.h"

#include <algorithm>

namespace pemmo {

SearchResultsModel::SearchResultsModel(SearchViewModel& search, QObject* parent)
    : QAbstractListModel(parent)
    , m_search(search) {
    connect(&search, &SearchViewModel::sectionsChanged, this, &SearchResultsModel::rebuild);
    connect(&search, &SearchViewModel::selectedIDChanged, this, &SearchResultsModel::updateSelection);
    connect(&search, &SearchViewModel::queryChanged, this, &SearchResultsModel::queryChanged);
    connect(&search, &SearchViewModel::isAskingChanged, this, &SearchResultsModel::isAskingChanged);
    rebuild();
}

bool SearchResultsModel::canAsk() const {
    return m_search.canAsk();
}

bool SearchResultsModel::isAsking() const {
    return m_search.isAsking();
}

int SearchResultsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant SearchResultsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_lines.size())
        return {};
    const Line& line = m_lines[index.row()];
    const SearchRowItem& item = line.item;
    switch (role) {
    case KindRole:
        return line.header  ? QStringLiteral("header")
               : item.tagID ? QStringLiteral("tag")
                            : QStringLiteral("person");
    case RowIDRole:
        return item.id;
    case TitleRole:
        return line.header ? item.title.toHtmlEscaped() : markedTitle(item.title, item.titleRanges);
    case PlainTitleRole:
        return item.title;
    case SubtitleRole:
        return item.subtitle.value_or(QString());
    case ReasonRole:
        return item.reason.value_or(QString());
    case BadgeRole:
        return item.badge.value_or(QString());
    case InitialsRole:
        return line.header ? QString() : !item.initials.isEmpty() ? item.initials : initials(item.title);
    case SelectedRole:
        return index.row() == m_selectedRow;
    case AccessibleNameRole:
        return line.header ? item.title : accessibleName(item);
    case ContactIDRole:
        return item.profileID.value_or(QString());
    default:
        return {};
    }
}

QHash<int, QByteArray> SearchResultsModel::roleNames() const {
    return {{KindRole, "kind"},          {RowIDRole, "rowID"},
            {TitleRole, "title"},        {PlainTitleRole, "plainTitle"},
            {SubtitleRole, "subtitle"},  {BadgeRole, "badge"},
            {InitialsRole, "initials"},  {SelectedRole, "selected"},
            {ReasonRole, "reason"},      {AccessibleNameRole, "accessibleName"},
            {ContactIDRole, "contactID"}};
}

QString SearchResultsModel::query() const {
    return m_search.query();
}

void SearchResultsModel::setQuery(const QString& query) {
    m_search.setQuery(query);
}

QString SearchResultsModel::selectedID() const {
    return m_search.selectedID().value_or(QString());
}

QString SearchResultsModel::selectedProfileID() const {
    const auto row = m_search.selectedRow();
    return row && row->profileID ? *row->profileID : QString();
}

QString SearchResultsModel::emptyText() const {
    return m_lines.isEmpty() ? m_search.emptyText() : QString();
}

QString SearchResultsModel::selectedAccessibleName() const {
    if (m_selectedRow < 0 || m_selectedRow >= m_lines.size())
        return {};
    return accessibleName(m_lines[m_selectedRow].item);
}

QString SearchResultsModel::accessibleName(const SearchRowItem& item) {
    // A circle says it is one: on screen its swatch tells it from a person, which is not heard.
    QString text = item.tagID ? tr("Circle %1").arg(item.title) : item.title;
    if (item.subtitle && !item.subtitle->isEmpty())
        text += u", "_qs + *item.subtitle;
    if (item.badge && !item.badge->isEmpty())
        text += u", "_qs + *item.badge;
    // Why the row matched comes last, on one line like on screen (a memory may hold line breaks).
    if (item.reason) {
        const QString reason = item.reason->simplified();
        if (!reason.isEmpty())
            text += u", "_qs + reason;
    }
    return text;
}

void SearchResultsModel::moveSelection(int delta) {
    m_search.moveSelection(delta);
}

int SearchResultsModel::firstToShowWith(int row) const {
    if (row < 0 || row >= m_lines.size())
        return -1;
    return row > 0 && m_lines[row - 1].header ? row - 1 : row;
}

void SearchResultsModel::selectRow(int row) {
    if (row >= 0 && row < m_lines.size() && !m_lines[row].header)
        m_search.select(m_lines[row].item.id);
}

void SearchResultsModel::hoverRow(int row, QPointF position) {
    if (row >= 0 && row < m_lines.size() && !m_lines[row].header)
        m_search.hover(m_lines[row].item.id, position);
}

QString SearchResultsModel::markedTitle(const QString& title, const QList<TextRange>& ranges) {
    if (ranges.isEmpty())
        return title.toHtmlEscaped();
    QList<TextRange> sorted = ranges;
    std::sort(sorted.begin(), sorted.end(),
              [](const TextRange& a, const TextRange& b) { return a.start < b.start; });
    QString out;
    qsizetype at = 0;
    for (const TextRange& r : sorted) {
        const qsizetype start = std::clamp<qsizetype>(r.start, at, title.size());
        const qsizetype end = std::clamp<qsizetype>(r.start + r.length, start, title.size());
        out += title.mid(at, start - at).toHtmlEscaped();
        if (end > start)
            out += QString(u"<b>"_qs + title.mid(start, end - start).toHtmlEscaped() + u"</b>"_qs);
        at = end;
    }
    out += title.mid(at).toHtmlEscaped();
    return out;
}

QString SearchResultsModel::initials(const QString& title) {
    const QStringList words = title.split(u' ', Qt::SkipEmptyParts);
    const auto first = [](const QString& word) {
        return word.size() > 1 && word.at(0).isHighSurrogate() ? word.left(2) : word.left(1);
    };
    if (words.isEmpty())
        return QString();
    if (words.size() == 1)
        return first(words.first()).toUpper();
    return QString(first(words.first()) + first(words.last())).toUpper();
}

QString SearchResultsModel::sectionTitle(SearchSection section) {
    switch (section) {
    case SearchSection::Starred:
        return tr("Starred");
    case SearchSection::Recent:
        return tr("Recent");
    case SearchSection::ReachOut:
        return tr("Reach out");
    case SearchSection::Tags:
        return tr("Circles");
    case SearchSection::Results:
        return tr("People");
    case SearchSection::AlsoMatches:
        return tr("Also matches");
    case SearchSection::Ranked:
        return tr("Best answers");
    case SearchSection::JustHappened:
        return tr("Just happened");
    }
    return {};
}

void SearchResultsModel::rebuild() {
    beginResetModel();
    m_lines.clear();
    for (const SearchSectionRows& section : m_search.sections()) {
        if (section.rows.isEmpty())
            continue;
        Line header;
        header.header = true;
        header.item.id = SearchSections::headerID(section.section);
        header.item.section = section.section;
        header.item.title = sectionTitle(section.section);
        // An AI answer says who gave it and whether the summaries left the computer.
        if (section.section == SearchSection::Ranked && !m_search.rankedOrigin().isEmpty())
            header.item.title += QStringLiteral(" · ") + m_search.rankedOrigin();
        m_lines.append(header);
        for (const SearchRowItem& row : section.rows)
            m_lines.append(Line{false, row});
    }
    m_selectedRow = -1;
    endResetModel();
    Q_EMIT rowsChanged();
    updateSelection();
}

void SearchResultsModel::updateSelection() {
    const QString id = selectedID();
    int row = -1;
    for (int i = 0; i < m_lines.size() && !id.isEmpty(); ++i) {
        if (!m_lines[i].header && m_lines[i].item.id == id) {
            row = i;
            break;
        }
    }
    const int old = m_selectedRow;
    m_selectedRow = row;
    for (const int changed : {old, row})
        if (changed >= 0)
            Q_EMIT dataChanged(index(changed), index(changed), {SelectedRole});
    Q_EMIT selectionChanged();
}

} // namespace pemmo
