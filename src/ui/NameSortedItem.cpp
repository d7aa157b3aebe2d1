#include "ui/NameSortedItem.h"

bool CNameSortedItem::operator<(const QTreeWidgetItem& other) const
{
    const QString mine = text(0);
    const QString theirs = other.text(0);
    const int folded = mine.compare(theirs, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : mine < theirs;
}
