#pragma once

#include <QTreeWidgetItem>

// A row of a list kept in ascending order of its first column, compared as
// a list view sorts names: without regard to letter case, so "bare" comes
// before "Customers"; names equal but for case keep a stable order.
class CNameSortedItem : public QTreeWidgetItem
{
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override;
};
