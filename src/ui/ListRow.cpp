#include "ui/ListRow.h"

#include "catalog/NameOrder.h"

namespace {

bool IsText(int role)
{
    return role == Qt::DisplayRole || role == Qt::EditRole;
}

} // namespace

CListRow::CListRow(std::shared_ptr<const ListRowSource> source, qsizetype row)
    : m_source(std::move(source)), m_row(row)
{
}

QVariant CListRow::data(int column, int role) const
{
    if (IsText(role) && column < m_source->texts.Columns() && !(column < 32 && (m_replaced >> column & 1)))
        return m_source->texts.Text(m_row, column);
    if (role == Qt::DecorationRole && column == 0)
        return m_source->icon;
    return QTreeWidgetItem::data(column, role);
}

void CListRow::setData(int column, int role, const QVariant& value)
{
    if (IsText(role) && column >= 0 && column < 32) {
        m_replaced |= 1u << column;
        if (column == 0)
            m_name = m_key = QString();
    }
    QTreeWidgetItem::setData(column, role, value);
}

void CListRow::MakeKey() const
{
    if (m_name.isNull()) {
        m_name = text(0);
        m_key = m_name.toCaseFolded();
    }
}

bool CListRow::operator<(const QTreeWidgetItem& other) const
{
    MakeKey();
    if (const auto* row = dynamic_cast<const CListRow*>(&other)) {
        row->MakeKey();
        return NameSortsBefore(m_key, m_name, row->m_key, row->m_name);
    }
    const QString theirs = other.text(0);
    return NameSortsBefore(m_key, m_name, theirs.toCaseFolded(), theirs);
}
