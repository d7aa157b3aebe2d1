#include "app/ListRows.h"

#include <QTreeWidget>

void ApplyHeaderAlignment(const QTreeWidget& list, QTreeWidgetItem& row)
{
    const QTreeWidgetItem* header = list.headerItem();
    for (int column = 0; column < list.columnCount(); ++column)
        row.setTextAlignment(column, Qt::Alignment(header->textAlignment(column)));
}
