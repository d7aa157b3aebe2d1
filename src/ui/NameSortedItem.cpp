#include "ui/NameSortedItem.h"

#include "catalog/NameOrder.h"

CNameSortedItem::CNameSortedItem(const QStringList& texts)
    : QTreeWidgetItem(texts), m_key(texts.value(0).toCaseFolded())
{
}

bool CNameSortedItem::operator<(const QTreeWidgetItem& other) const
{
    const auto* named = dynamic_cast<const CNameSortedItem*>(&other);
    const QString theirs = named ? named->m_key : other.text(0).toCaseFolded();
    return NameSortsBefore(m_key, text(0), theirs, other.text(0));
}
