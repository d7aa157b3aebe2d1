#pragma once

#include <QTreeWidgetItem>

// A row of a list kept in ascending order of its first column, compared as
// a list view sorts names: without regard to letter case, so "bare" comes
// before "Customers"; names equal but for case keep a stable order. The
// name is given once, at construction: sorting thousands of rows compares
// a key folded once per row.
class CNameSortedItem : public QTreeWidgetItem
{
public:
    explicit CNameSortedItem(const QStringList& texts);
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    QString m_key;
};
