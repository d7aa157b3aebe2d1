#pragma once

class QTreeWidget;
class QTreeWidgetItem;

// Gives each cell of a row the alignment of its column's header, so the
// length and scale columns stay right-aligned and the marks centred.
void ApplyHeaderAlignment(const QTreeWidget& list, QTreeWidgetItem& row);
