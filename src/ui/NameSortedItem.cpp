#include "ui/NameSortedItem.h"

CNameSortedItem::CNameSortedItem(const QStringList& texts)
    : QTreeWidgetItem(texts), m_key(texts.value(0).toCaseFolded())
{
}

bool CNameSortedItem::operator<(const QTreeWidgetItem& other) const
{
    const auto* named = dynamic_cast<const CNameSortedItem*>(&other);
    const QString theirs = named ? named->m_key : other.text(0).toCaseFolded();
    const int folded = m_key.compare(theirs);
    return folded != 0 ? folded < 0 : text(0) < other.text(0);
}
