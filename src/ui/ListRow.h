#pragma once

#include "catalog/RowTexts.h"

#include <QIcon>
#include <QTreeWidgetItem>

#include <memory>

// What the rows of one listing share: the packed values and the icon.
struct ListRowSource {
    CRowTexts texts;
    QIcon icon;
};

// A list row that reads its texts from the listing's packed values when the
// list shows or asks for them, so thousands of rows cost no string per
// cell. A text set on the row replaces the packed one. Rows compare as the
// name-sorted lists sort: by the first column, without regard to case.
class CListRow : public QTreeWidgetItem
{
public:
    CListRow(std::shared_ptr<const ListRowSource> source, qsizetype row);

    QVariant data(int column, int role) const override;
    void setData(int column, int role, const QVariant& value) override;
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    void MakeKey() const;

    std::shared_ptr<const ListRowSource> m_source;
    qsizetype m_row;
    quint32 m_replaced = 0; // columns whose text was set on the row
    // The first column and its folded form, made at the first sort.
    mutable QString m_name;
    mutable QString m_key;
};
